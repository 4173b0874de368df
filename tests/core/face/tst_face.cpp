#include "core/face/ClockFace.h"
#include "core/face/FacePainter.h"
#include "core/face/TimeText.h"
#include "core/skin/SkinReader.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QPainter>
#include <QTest>

namespace {

// The face of a skin, written as its author writes it, over a white picture 200 px square.
ClockFace face(const QString& ini, QTime time, qreal ratio = 1)
{
    Skin skin;
    WorldTimeSkin worldTime;
    SkinReader::readText(ini, skin, worldTime);
    Background white;
    white.picture = QImage(200, 200, QImage::Format_RGB32);
    white.picture.fill(Qt::white);
    ClockFace face(QLocale::c());
    face.setDevicePixelRatio(ratio);
    face.setBackground(white);
    face.draw(skin, false, QDateTime(QDate(2026, 12, 5), time), false);
    return face;
}

} // namespace

class TestFace : public QObject {
    Q_OBJECT
private slots:
    void geometry_data() { test::addRows(QStringLiteral("facegeometry.rows")); }
    void geometry();
    void timeText_data() { test::addRows(QStringLiteral("timetext.rows")); }
    void timeText();
    void pixels_data() { test::addRows(QStringLiteral("facepixels.rows")); }
    void pixels();
    void drawsOnlyChanges_data();
    void drawsOnlyChanges();
    void highDpiFrames();
};

void TestFace::geometry()
{
    using namespace FaceGeometry;
    QFETCH(QStringList, row);
    QList<double> n(6); // the row's numbers, then zeros: every function below reads them
    for (qsizetype i = 0; const QString& word : row[2].split(u' '))
        n[i++] = word.toDouble();
    const QTime t = QTime::fromString(row[2].section(u' ', 0, 0), Qt::ISODateWithMs);
    const bool smooth = row[2].endsWith(u"smooth");
    QStringList out;
    const auto add = [&](auto... values) { ((out << QString::number(values)), ...); };
    if (row[1] == u"degrees")
        add(hourDegrees(t.hour(), t.minute()), minuteDegrees(t.minute(), t.second(), smooth),
            secondDegrees(t.second(), t.msec() / 1000.0, smooth));
    if (const QPointF p = handPoint({ n[0], n[1], n[2], n[3] }, n[4], handAngle(n[5]));
        row[1] == u"point")
        add(p.x(), p.y());
    if (const auto line = clipLine({ n[0], n[1], n[2], n[3] }, { 0, 0, 100, 100 });
        row[1] == u"clip" && line)
        add(line->x1(), line->y1(), line->x2(), line->y2());
    if (row[1] == u"colon")
        out << (isColonHidden(int(n[0]), ColonBlink(n[1])) ? "hidden" : "shown");
    if (row[1] == u"pixels" && rotatedPixelSize(int(n[0])))
        add(*rotatedPixelSize(int(n[0])));
    QCOMPARE(out.isEmpty() ? QStringLiteral("none") : out.join(u' '), row[3]);
}

void TestFace::timeText()
{
    QFETCH(QStringList, row);
    const QDateTime time(QDate(2026, 12, 5), QTime::fromString(row[2]));
    QCOMPARE(row[1] == u"spoken" ? TimeText::spoken(time.time(), QLocale(row[3]))
                                 : TimeText::format(row[1], time, QLocale(row[3])),
        row[4]);
}

// The face's pixels (facepixels.rows); absurd skins draw quickly.
void TestFace::pixels()
{
    QFETCH(QStringList, row);
    const QTime time = QTime::fromString(row[2]);
    const QDeadlineTimer deadline(500);
    const QImage image = face(row[1], time, row[3].toDouble()).buffer();
    QVERIFY(!deadline.hasExpired());
    const QImage shown = face(row[1] + "\n[setting]\nblinkdots=no", time).buffer();
    for (const QString& check : row.mid(4)) {
        const QString what = check.section(u'=', 0, 0);
        const QString want = check.section(u'=', 1);
        const QStringList box = want.split(u',');
        if (what == u"ink") {
            QRect ink; // where the image is not white
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    ink |= image.pixel(x, y) == 0xffffffff ? QRect() : QRect(x, y, 1, 1);
            }
            QVERIFY(want == u"none"
                    ? ink.isEmpty()
                    : QRect(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt())
                          .contains(ink));
        } else if (what == u"gaps") {
            QCOMPARE(image != shown, want == u"yes");
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    QVERIFY(
                        image.pixel(x, y) == shown.pixel(x, y) || image.pixel(x, y) == 0xffffffff);
            }
        } else {
            const QColor got
                = image.pixelColor(what.section(u',', 0, 0).toInt(), what.section(u',', 1).toInt());
            const QColor wanted(want);
            const int off = qAbs(got.red() - wanted.red()) + qAbs(got.green() - wanted.green())
                + qAbs(got.blue() - wanted.blue());
            QVERIFY2(off < 60, qPrintable(got.name()));
        }
    }
}

void TestFace::drawsOnlyChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("850 ms later, same second") << "850" << false;
    QTest::newRow("900 ms later, next second") << "900" << true;
    QTest::newRow("smooth hands, 1 ms later") << "smooth" << true;
    QTest::newRow("the skin") << "skin" << true;
    QTest::newRow("the picture") << "picture" << true;
    QTest::newRow("twelve-hour display") << "12h" << true;
    QTest::newRow("the time zone, the same moment") << "zone" << true;
}

// A face is drawn again only when what it shows would change.
void TestFace::drawsOnlyChanges()
{
    QFETCH(QString, change);
    QFETCH(bool, drawn);
    Skin skin;
    skin.smooth = change == u"smooth";
    QDateTime time(QDate(2026, 12, 5), QTime(10, 15, 30, 100));
    ClockFace face = ::face(skin.smooth ? "[setting]\nsmooth=yes" : "", time.time());
    QVERIFY(!face.draw(skin, false, time, false));
    if (change == u"picture")
        face.setBackground(face.background());
    skin.secondHand.width += change == u"skin";
    time = change == u"zone" ? time.toOffsetFromUtc(5 * 3600)
                             : time.addMSecs(change == u"smooth" ? 1 : change.toInt());
    QCOMPARE(face.draw(skin, change == u"12h", time, false), drawn);
}

// At a device-pixel ratio of 2 an animation's frames are made once each: a frame shown again has
// its own outline back, not the last frame's.
void TestFace::highDpiFrames()
{
    const auto makeFrame = [](int number, int width) {
        Background frame;
        frame.picture = QImage(20, 20, QImage::Format_RGB32);
        frame.picture.fill(qRgb(255, 0, 255));
        QPainter(&frame.picture).fillRect(0, 0, width, 20, Qt::gray);
        frame.key = qRgb(255, 0, 255);
        frame.frame = number;
        return frame;
    };
    const Background one = makeFrame(1, 5), two = makeFrame(2, 9);
    ClockFace face(QLocale::c());
    face.setDevicePixelRatio(2);
    for (const Background* shown : { &one, &two, &one, &two }) {
        face.setBackground(*shown);
        QCOMPARE(face.screenOutline(), shown->forScreen(2).outline);
        QCOMPARE(face.screenOutline(), QRegion(0, 0, shown == &one ? 10 : 18, 40));
    }
}

QTEST_MAIN(TestFace)
#include "tst_face.moc"
