#include "core/face/FacePainter.h"

#include "core/base/Twips.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

float twips(double px)
{
    return float(Twips::fromPixels(px));
}

QDateTime at(int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(2026, 12, 5), QTime(h, m, s, ms));
}

QImage canvas(qreal dpr = 1)
{
    QImage image(int(200 * dpr), int(200 * dpr), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    return image;
}

template <typename Draw> QImage paint(Draw draw, qreal dpr = 1)
{
    QImage image = canvas(dpr);
    {
        QPainter painter(&image);
        FacePainter face(painter);
        draw(face);
    }
    return image;
}

QImage render(const SkinRecord& skin, const QDateTime& time, qreal dpr = 1)
{
    return paint(
        [&](FacePainter& face) {
            face.drawDigitalTime(skin, time, QLocale::c());
            face.drawHands(skin, time);
        },
        dpr);
}

QImage rotated(const QString& text, double xPx, double yPx, int angle, int size = 15)
{
    return paint([&](FacePainter& face) {
        face.printModel().CurrentX = xPx;
        face.printModel().CurrentY = yPx;
        face.PrintRotated(text, QStringLiteral("DejaVu Sans"), size, angle, 0);
    });
}

// Hands of 5 px in red, green and blue on a 200 px box centred at (100, 100).
SkinRecord handsSkin()
{
    SkinRecord skin;
    skin.analogpos = { 0, 0, twips(200), twips(200) };
    skin.hurcolor = rgbColor(255, 0, 0);
    skin.mincolor = rgbColor(0, 160, 0);
    skin.seccolor = rgbColor(0, 0, 255);
    skin.hurwidth = skin.minwidth = skin.secwidth = 5;
    skin.hurlenght = 50;
    skin.minlenght = 80;
    skin.seclenght = 95;
    return skin;
}

SkinRecord digitalSkin()
{
    SkinRecord skin;
    skin.useanalog = false;
    skin.usedig = true;
    const SkinFont font { QStringLiteral("DejaVu Sans"), 15 };
    skin.hur = { twips(10), twips(10), font, 0 };
    skin.min = { twips(60), twips(10), font, 0 };
    skin.sec = { twips(110), twips(10), font, 0 };
    skin.ampm = { twips(160), twips(10), font, 0 };
    return skin;
}

// The pixel (logical coordinates) r px from the centre along a hand at d degrees.
QColor along(const QImage& image, double degrees, double r)
{
    const double a = (degrees - 90) * M_PI / 180;
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(int((100 + r * std::cos(a)) * dpr), int((100 + r * std::sin(a)) * dpr));
}

bool hasInk(const QImage& image)
{
    QImage white = canvas(image.devicePixelRatio());
    return image != white;
}

QRect inkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != 0xffffffff)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// True when a and b differ only where a is blank: a is b with some marks left out.
bool onlyGapsOf(const QImage& a, const QImage& b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && a.pixel(x, y) != 0xffffffff)
                return false;
    return true;
}

} // namespace

class tst_FacePainter : public QObject {
    Q_OBJECT

private slots:
    void clipLine_data();
    void clipLine();
    void rotatedPixelSize_data();
    void rotatedPixelSize();
    void hands_data();
    void hands();
    void ellipticBoxAndTail();
    void background();
    void colonGaps_data();
    void colonGaps();
    void twelveHourLine();
    void breakTexts_data();
    void breakTexts();
    void rotatedText();
    void absurdPositions_data();
    void absurdPositions();
    void longHandIsClipped();
    void missingFontStillDraws();
};

void tst_FacePainter::clipLine_data()
{
    QTest::addColumn<QLineF>("line");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QLineF>("expected");
    QTest::newRow("inside") << QLineF(10, 10, 50, 60) << true << QLineF(10, 10, 50, 60);
    QTest::newRow("crossing") << QLineF(-100, 50, 300, 50) << true << QLineF(0, 50, 100, 50);
    QTest::newRow("huge") << QLineF(50, 50, 50, 1e30) << true << QLineF(50, 50, 50, 100);
    QTest::newRow("outside") << QLineF(200, 0, 200, 100) << false << QLineF();
    QTest::newRow("nan") << QLineF(notANumber, 0, 50, 50) << false << QLineF();
    QTest::newRow("inf") << QLineF(50, 50, inf, 50) << false << QLineF();
}

void tst_FacePainter::clipLine()
{
    QFETCH(QLineF, line);
    QFETCH(bool, kept);
    QFETCH(QLineF, expected);
    const auto clipped = FaceGeometry::clipLine(line, QRectF(0, 0, 100, 100));
    QCOMPARE(clipped.has_value(), kept);
    if (kept)
        QCOMPARE(*clipped, expected);
}

void tst_FacePainter::rotatedPixelSize_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("pixels"); // -1: the 16-bit product overflows
    QTest::newRow("15") << 15 << 22;
    QTest::newRow("9") << 9 << 13;
    QTest::newRow("10") << 10 << 15;
    QTest::newRow("negative") << -10 << 15;
    QTest::newRow("largest") << 1489 << 2184;
    QTest::newRow("overflow") << 1490 << -1;
}

void tst_FacePainter::rotatedPixelSize()
{
    QFETCH(int, points);
    QFETCH(int, pixels);
    QCOMPARE(FaceGeometry::rotatedPixelSize(points).value_or(-1), pixels);
}

void tst_FacePainter::hands_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<double>("hour");
    QTest::addColumn<double>("minute");
    QTest::addColumn<double>("second");
    QTest::addColumn<double>("notMinute"); // an angle where the minute hand must not be
    QTest::addColumn<double>("notSecond");

    QTest::newRow("03:00:40") << at(3, 0, 40) << false << 1.0 << 90.0 << 0.0 << 240.0 << 4.0
                              << 244.0;
    QTest::newRow("03:00:40 dpr 2")
        << at(3, 0, 40) << false << 2.0 << 90.0 << 0.0 << 240.0 << 4.0 << 244.0;
    QTest::newRow("10:15:45") << at(10, 15, 45) << false << 1.0 << 307.5 << 90.0 << 270.0 << 94.5
                              << 273.0;
    QTest::newRow("10:15:45.500 smooth")
        << at(10, 15, 45, 500) << true << 1.0 << 307.5 << 94.5 << 273.0 << 90.0 << 270.0;
    QTest::newRow("18:30:15.500 smooth dpr 2")
        << at(18, 30, 15, 500) << true << 2.0 << 195.0 << 181.5 << 93.0 << 186.0 << 90.0;
}

void tst_FacePainter::hands()
{
    QFETCH(QDateTime, time);
    QFETCH(bool, smooth);
    QFETCH(qreal, dpr);
    QFETCH(double, hour);
    QFETCH(double, minute);
    QFETCH(double, second);
    QFETCH(double, notMinute);
    QFETCH(double, notSecond);

    SkinRecord skin = handsSkin();
    skin.smooth = smooth;
    const QImage image = render(skin, time, dpr);
    QCOMPARE(along(image, hour, 45), QColor(255, 0, 0));
    QCOMPARE(along(image, hour, 57), QColor(Qt::white)); // past the tip and its cap
    QCOMPARE(along(image, minute, 75), QColor(0, 160, 0));
    QCOMPARE(along(image, second, 90), QColor(0, 0, 255));
    QVERIFY(along(image, notMinute, 75) != QColor(0, 160, 0));
    QVERIFY(along(image, notSecond, 90) != QColor(0, 0, 255));
}

void tst_FacePainter::ellipticBoxAndTail()
{
    SkinRecord skin = handsSkin();
    skin.analogpos = { twips(55), twips(10), twips(180), twips(90) }; // centre (100, 100)
    skin.hurlenght = skin.minlenght = skin.seclenght = 100;
    skin.hurstart = -20;
    const QImage image = render(skin, at(3, 0, 30));
    QCOMPARE(image.pixelColor(185, 100), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(196, 100), QColor(Qt::white));
    QCOMPARE(image.pixelColor(85, 100), QColor(255, 0, 0)); // the tail, 18 px behind the pivot
    QCOMPARE(image.pixelColor(76, 100), QColor(Qt::white));
    QCOMPARE(image.pixelColor(100, 60), QColor(0, 160, 0)); // minute tip at (100, 55)
    QCOMPARE(image.pixelColor(100, 50), QColor(Qt::white));
    QCOMPARE(image.pixelColor(100, 140), QColor(0, 0, 255)); // second tip at (100, 145)
    QCOMPARE(image.pixelColor(100, 151), QColor(Qt::white));
}

void tst_FacePainter::background()
{
    QImage picture(10, 10, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    picture.setPixelColor(9, 9, Qt::red);
    QImage buffer = canvas(2);
    {
        QPainter painter(&buffer);
        FacePainter(painter).drawBackground(picture);
    }
    QCOMPARE(buffer.pixelColor(0, 0), QColor(Qt::transparent)); // replaced, not blended
    QCOMPARE(buffer.pixelColor(19, 19), QColor(Qt::red)); // one picture pixel is 2 x 2
    QCOMPARE(buffer.pixelColor(20, 20), QColor(Qt::white));
}

void tst_FacePainter::colonGaps_data()
{
    QTest::addColumn<QString>("blinkdots");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("showdigsec");
    QTest::addColumn<bool>("colons");
    QTest::newRow("yes odd") << "yes" << 31 << true << false;
    QTest::newRow("yes even") << "yes" << 32 << true << true;
    QTest::newRow("off") << "off" << 32 << true << false;
    QTest::newRow("off, no seconds") << "off" << 32 << false << false;
    QTest::newRow("no") << "no " << 31 << true << true;
}

void tst_FacePainter::colonGaps()
{
    QFETCH(QString, blinkdots);
    QFETCH(int, second);
    QFETCH(bool, showdigsec);
    QFETCH(bool, colons);

    SkinRecord skin = digitalSkin();
    skin.showdigsec = showdigsec;
    skin.blinkdots = blinkdots;
    const QImage image = render(skin, at(10, 15, second));
    skin.blinkdots = QStringLiteral("no ");
    const QImage withColons = render(skin, at(10, 15, second));
    QVERIFY(hasInk(image));
    QCOMPARE(image == withColons, colons);
    QVERIFY(onlyGapsOf(image, withColons));
    // Nothing printed past the minutes when the seconds are off.
    QCOMPARE(inkBounds(image).right() < 70, !showdigsec);
}

void tst_FacePainter::twelveHourLine()
{
    SkinRecord skin = digitalSkin();
    skin.AMPM = true;
    const QImage twelve = render(skin, at(0, 30, 0));
    skin.AMPM = false;
    const QImage noon = render(skin, at(12, 30, 0));
    QCOMPARE(twelve.copy(0, 0, 200, 100), noon.copy(0, 0, 200, 100));

    const auto designator = [](const QString& text) { return rotated(text, 10, 160, 0); };
    QCOMPARE(twelve.copy(0, 100, 200, 100), designator("AM").copy(0, 100, 200, 100));
    QVERIFY(twelve.copy(0, 100, 200, 100) != designator("PM").copy(0, 100, 200, 100));
}

void tst_FacePainter::breakTexts_data()
{
    QTest::addColumn<bool>("AMPM");
    QTest::addColumn<bool>("showdigsec");
    QTest::addColumn<QString>("blinkdots");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QStringList>("texts"); // hur, min, sec, ampm

    QTest::newRow("no seconds") << false << false << "no" << at(10, 15, 20)
                                << QStringList { "10:", "15", "", "" };
    QTest::newRow("seconds") << false << true << "no" << at(10, 15, 20)
                             << QStringList { "10:", "15:", "20", "" };
    QTest::newRow("blink odd") << false << true << "yes" << at(10, 15, 21)
                               << QStringList { "10", "15", "21", "" };
    QTest::newRow("twelve-hour") << true << true << "no" << at(22, 15, 20)
                                 << QStringList { "10:", "15:", "20", "PM" };
}

void tst_FacePainter::breakTexts()
{
    QFETCH(bool, AMPM);
    QFETCH(bool, showdigsec);
    QFETCH(QString, blinkdots);
    QFETCH(QDateTime, time);
    QFETCH(QStringList, texts);

    SkinRecord skin = digitalSkin();
    skin.break_ = true;
    skin.AMPM = AMPM;
    skin.showdigsec = showdigsec;
    skin.blinkdots = blinkdots;
    skin.angle = { 0, 25, -14, 0 }; // tenths: rounded halves to even, 2 and -1 degrees
    const int angles[] = { 0, 2, -1, 0 };
    const QImage expected = paint([&](FacePainter& face) {
        for (int i = 0; i < 4; ++i) {
            face.printModel().CurrentX = 10;
            face.printModel().CurrentY = 10 + 50 * i;
            face.PrintRotated(texts[i], "DejaVu Sans", 15, angles[i], 0);
        }
    });
    QCOMPARE(render(skin, time), expected);
}

void tst_FacePainter::rotatedText()
{
    const QRect straight = inkBounds(rotated("HHHH", 100, 100, 0));
    QVERIFY(straight.left() >= 100 && straight.top() >= 100);
    QVERIFY(straight.width() > straight.height());

    // Counter-clockwise: the text runs upwards from the position and lies to its right.
    SkinRecord skin = digitalSkin();
    skin.break_ = true;
    skin.showdigsec = false;
    skin.hur.left = skin.hur.top = twips(100);
    skin.min.left = twips(-1000);
    skin.angle[0] = 900;
    const QRect up = inkBounds(render(skin, at(18, 18, 0)));
    QVERIFY2(up.left() >= 100 && up.bottom() <= 100, qPrintable(QDebug::toString(up)));
    QVERIFY(up.height() > up.width() && up.right() < 100 + 22);
}

void tst_FacePainter::absurdPositions_data()
{
    QTest::addColumn<double>("positionPx");
    QTest::addColumn<bool>("breakTexts");
    QTest::newRow("32767 px") << 32767.0 << false;
    QTest::newRow("32767 px, break") << 32767.0 << true;
    QTest::newRow("-1e30") << -1e30 << true;
    QTest::newRow("nan") << notANumber << false;
    QTest::newRow("nan, break") << notANumber << true;
    QTest::newRow("inf") << inf << false;
    QTest::newRow("-inf, break") << -inf << true;
}

void tst_FacePainter::absurdPositions()
{
    QFETCH(double, positionPx);
    QFETCH(bool, breakTexts);

    SkinRecord skin = handsSkin();
    skin.usedig = true;
    skin.AMPM = true;
    skin.break_ = breakTexts;
    skin.angle = { 150, -300, 450, 900 };
    const float far = twips(positionPx);
    skin.analogpos.left = far;
    for (TextElement* e : { &skin.hur, &skin.min, &skin.sec, &skin.ampm })
        e->left = far;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!hasInk(render(skin, at(10, 15, 45))));
    skin.analogpos = { 0, 0, far, far };
    QVERIFY(!hasInk(render(skin, at(10, 15, 45))));
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
}

void tst_FacePainter::longHandIsClipped()
{
    SkinRecord skin = handsSkin();
    skin.seclenght = 32767;
    skin.secwidth = 255;
    QElapsedTimer timer;
    timer.start();
    const QImage image = render(skin, at(10, 15, 45));
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(image.pixelColor(0, 100), QColor(0, 0, 255));
}

void tst_FacePainter::missingFontStillDraws()
{
    for (const QString& face : { QStringLiteral("No Such Face Horolan"), QString() }) {
        for (const bool breakTexts : { false, true }) {
            SkinRecord skin = digitalSkin();
            skin.break_ = breakTexts;
            skin.hur.font = SkinFont { face, 0 };
            QVERIFY(hasInk(render(skin, at(10, 15, 45)).copy(0, 0, 200, 50)));
        }
    }
}

QTEST_MAIN(tst_FacePainter)
#include "tst_facepainter.moc"
