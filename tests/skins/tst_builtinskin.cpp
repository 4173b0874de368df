#include "core/skin/BuiltInSkin.h"

#include <QTest>

class TstBuiltInSkin : public QObject {
    Q_OBJECT
private slots:
    void values();
    void infoFields_data();
    void infoFields();
    void keepsWhatItDoesNotOwn();
    void picture();
};

void TstBuiltInSkin::values()
{
    SkinRecord skin;
    WttSkinRecord wtt;
    skin.seccolor = 1;
    skin.hurlenght = 7;
    skin.usedig = true;
    skin.angle = { 1, 2, 3, 4 };
    skin.backtype = QStringLiteral("animat");
    skin.analogpos = { 1, 2, 3, 4 };
    skin.hur = { 45, 45, {}, 9 };
    skin.sec.color = 9;
    wtt.timenightcolor = 0;
    wtt.boxpos = {};
    BuiltInSkin::applyValues(skin, wtt, true);

    QCOMPARE(skin.seccolor, rgbColor(255, 0, 0));
    QCOMPARE(int(skin.hurlenght), 80);
    QVERIFY(!skin.usedig);
    QCOMPARE(skin.angle, (std::array<std::int16_t, 4> { 0, 0, 0, 0 }));
    QCOMPARE(skin.backtype, QStringLiteral("random"));
    QCOMPARE(skin.blinkdots, QStringLiteral("yes"));
    QCOMPARE(skin.transcolor, QStringLiteral("255000255"));
    QCOMPARE(skin.chimestype.size(), 6);
    // Positions in twips, 15 per pixel.
    QCOMPARE(skin.analogpos.left, 75.f);
    QCOMPARE(skin.analogpos.top, 75.f);
    QCOMPARE(skin.analogpos.width, 1350.f);
    QCOMPARE(skin.analogpos.height, 1350.f);
    QCOMPARE(skin.hur.left, 150.f);
    QCOMPARE(skin.hur.top, 150.f);
    QCOMPARE(skin.hur.color, 0u);
    QCOMPARE(skin.min.left, 150.f + 450);
    QCOMPARE(skin.sec.left, 150.f + 900);
    QCOMPARE(skin.ampm.left, 150.f + 1350);
    QCOMPARE(skin.sec.top, 150.f);
    QCOMPARE(skin.sec.color, 0u);
    QCOMPARE(wtt.boxpos.left, 45.f);
    QCOMPARE(wtt.boxpos.top, 255.f);
    QCOMPARE(wtt.boxpos.width, 1410.f);
    QCOMPARE(wtt.boxpos.height, 1440.f);
    QCOMPARE(wtt.areacolor, rgbColor(200, 200, 200));
    QCOMPARE(wtt.timecolor, rgbColor(255, 255, 255));
    QCOMPARE(wtt.timenightcolor, rgbColor(200, 200, 200));
}

void TstBuiltInSkin::infoFields_data()
{
    QTest::addColumn<bool>("onlyValues");
    QTest::newRow("values only keep the previous info") << true;
    QTest::newRow("full built-in skin") << false;
}

void TstBuiltInSkin::infoFields()
{
    QFETCH(bool, onlyValues);
    SkinRecord skin;
    WttSkinRecord wtt;
    skin.name = skin.madeby = skin.date = skin.email = skin.homepage = skin.comment
        = QStringLiteral("previous");
    BuiltInSkin::applyValues(skin, wtt, onlyValues);
    const QStringList info { skin.madeby, skin.name, skin.date, skin.email, skin.homepage,
        skin.comment };
    if (onlyValues)
        QCOMPARE(info, QStringList(6, QStringLiteral("previous")));
    else
        QCOMPARE(info,
            QStringList({ "Ardel", "Normal", "14/8/1999", "horolan@example.org", "",
                "The original skin" }));
}

void TstBuiltInSkin::keepsWhatItDoesNotOwn()
{
    SkinRecord skin;
    WttSkinRecord wtt;
    skin.tymeskin = true;
    skin.alignment = QStringLiteral("center");
    skin.AMPM = true;
    skin.hur.font.face = QStringLiteral("Serif");
    skin.ampm.font.size = 14;
    BuiltInSkin::applyValues(skin, wtt, false);
    QVERIFY(skin.tymeskin);
    QVERIFY(skin.AMPM);
    QCOMPARE(skin.alignment, QStringLiteral("center"));
    QCOMPARE(skin.hur.font.face, QStringLiteral("Serif"));
    QCOMPARE(skin.ampm.font.size, 14.0);
}

void TstBuiltInSkin::picture()
{
    const QImage& image = BuiltInSkin::picture();
    QCOMPARE(image.size(), QSize(100, 100));
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(&BuiltInSkin::picture(), &image);
    const QRgb magenta = qRgb(255, 0, 255);
    for (const QPoint corner : { QPoint(0, 0), QPoint(99, 0), QPoint(0, 99), QPoint(99, 99) })
        QCOMPARE(image.pixel(corner), magenta);

    int inside = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const double dx = x + 0.5 - 50;
            const double dy = y + 0.5 - 50;
            const bool in = dx * dx + dy * dy <= 50 * 50;
            const QRgb px = image.pixel(x, y);
            if (!in) {
                QVERIFY2(px == magenta, qPrintable(QStringLiteral("%1,%2 outside").arg(x).arg(y)));
                continue;
            }
            ++inside;
            QVERIFY2(px != magenta, qPrintable(QStringLiteral("%1,%2 inside").arg(x).arg(y)));
            // No pinkish fringe: red and blue both high with green low marks a magenta blend.
            QVERIFY2(!(qRed(px) > qGreen(px) + 40 && qBlue(px) > qGreen(px) + 40),
                qPrintable(QStringLiteral("%1,%2 pinkish").arg(x).arg(y)));
        }
    }
    QVERIFY(inside > 7800); // about pi x 50 x 50
    // The face is light and clean where the hands turn.
    for (int y = 16; y < 84; ++y) {
        for (int x = 16; x < 84; ++x) {
            if ((x - 50) * (x - 50) + (y - 50) * (y - 50) < 34 * 34)
                QVERIFY(qGray(image.pixel(x, y)) > 200);
        }
    }
}

QTEST_MAIN(TstBuiltInSkin)
#include "tst_builtinskin.moc"
