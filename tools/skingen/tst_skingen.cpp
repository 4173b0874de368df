#include "Art.h"
#include "SampleSkins.h"
#include "SkinCheck.h"

#include "core/shape/TraceShape.h"
#include "core/skin/SkinIniReader.h"
#include "core/skin/TymeColor.h"

#include <QTest>

#include <cmath>

namespace {

constexpr QRgb key = qRgb(255, 0, 255);

bool inDisc(double x, double y)
{
    return std::hypot(x - 20, y - 20) <= 16;
}

QImage disc(const QColor& fill)
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(fill);
    Art::cutOutline(image, key, inDisc);
    return image;
}

const SkinFile* fileOf(const QList<SampleSkin>& skins, const QString& folder, const QString& name)
{
    for (const SampleSkin& skin : skins)
        for (const SkinFile& file : skin.files)
            if (skin.folder == folder && file.name == name)
                return &file;
    return nullptr;
}

} // namespace

class tst_SkinGen : public QObject {
    Q_OBJECT

private slots:
    void cutOutlineKeepsTheKeyOutside();
    void outlineFaults_data();
    void outlineFaults();
    void iniTextIsCrLfWindows1252();
    void tymeHexReadsBack();
    void spinnerOutlineMoves();
};

void tst_SkinGen::cutOutlineKeepsTheKeyOutside()
{
    // A picture drawn in the key colour itself must still come out with a whole shape.
    const QImage image = disc(QColor(key));
    int keys = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool isKey = (image.pixel(x, y) & 0xffffff) == (key & 0xffffff);
            QCOMPARE(isKey, !inDisc(x + 0.5, y + 0.5));
            keys += isKey;
        }
    QVERIFY(keys > 0);
    QCOMPARE(TraceShape(image, key).boundingRect(), QRect(4, 4, 32, 32));
}

void tst_SkinGen::outlineFaults_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("fault"); // a word of the expected fault; empty for none

    const QImage clean = disc(QColor(60, 70, 80));
    QTest::newRow("clean") << clean << QString();

    QImage hole = clean;
    hole.setPixel(20, 20, key);
    QTest::newRow("key pixel inside") << hole << QStringLiteral("inside");

    QImage pieces = clean;
    for (int y = 0; y < 40; ++y)
        pieces.setPixel(20, y, key);
    QTest::newRow("cut in two") << pieces << QStringLiteral("pieces");

    QImage fringe = clean;
    fringe.setPixel(20, 4, qRgb(240, 20, 230));
    QTest::newRow("pinkish edge") << fringe << QStringLiteral("nearly");

    QImage pinkInside = clean;
    pinkInside.setPixel(20, 20, qRgb(240, 20, 230));
    QTest::newRow("pink away from the edge") << pinkInside << QString();

    QImage noKey(40, 40, QImage::Format_RGB32);
    noKey.fill(Qt::gray);
    QTest::newRow("no key") << noKey << QStringLiteral("no pixel");
}

void tst_SkinGen::outlineFaults()
{
    QFETCH(QImage, picture);
    QFETCH(QString, fault);
    const QStringList faults = SkinCheck::outlineFaults(picture, key);
    if (fault.isEmpty())
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    else
        QVERIFY2(
            faults.size() == 1 && faults.first().contains(fault), qPrintable(faults.join(u'\n')));
}

void tst_SkinGen::iniTextIsCrLfWindows1252()
{
    const QList<SampleSkin> skins = SampleSkins::all();
    QCOMPARE(skins.size(), 5);
    const SkinFile* ini = fileOf(skins, QStringLiteral("Pebbles"), QStringLiteral("Skin.ini"));
    QVERIFY(ini);
    QVERIFY(ini->bytes.contains("Caf\xe9 "));
    QCOMPARE(ini->bytes.count('\n'), ini->bytes.count("\r\n"));

    SkinRecord skin;
    WttSkinRecord wtt;
    SkinIniReport report;
    SkinIniReader::readData(ini->bytes, skin, wtt, &report);
    QCOMPARE(report.stopLine, 0);
    QVERIFY(skin.comment.contains(QStringLiteral("Caf\u00e9 table")));
    QCOMPARE(skin.transcolor, QStringLiteral("255000255"));
}

void tst_SkinGen::tymeHexReadsBack()
{
    const QRgb colour = qRgb(240, 232, 214);
    QString hex = Art::tymeHex(colour);
    QCOMPARE(hex, QStringLiteral("D6E8F0"));
    QCOMPARE(TymeColor(hex), rgbColor(240, 232, 214));
    QCOMPARE(Art::nineDigits(qRgb(0, 255, 7)), QStringLiteral("000255007"));
}

void tst_SkinGen::spinnerOutlineMoves()
{
    // The window's shape itself must animate: each frame has its own outline, and they follow
    // each other in name order.
    const QList<SampleSkin> skins = SampleSkins::all();
    QRegion previous;
    for (int i = 1; i <= 10; ++i) {
        const SkinFile* frame = fileOf(skins, QStringLiteral("Spinner"),
            QStringLiteral("Back%1.BMP").arg(i, 2, 10, QChar(u'0')));
        QVERIFY2(frame, qPrintable(QString::number(i)));
        const QRegion outline = TraceShape(QImage::fromData(frame->bytes), key);
        QVERIFY(!outline.isEmpty());
        QVERIFY(outline != previous);
        previous = outline;
    }
}

QTEST_MAIN(tst_SkinGen)
#include "tst_skingen.moc"
