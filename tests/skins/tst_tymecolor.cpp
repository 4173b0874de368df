#include "core/skin/TymeColor.h"

#include <QTest>

class TstTymeColor : public QObject {
    Q_OBJECT
private slots:
    void hexByte_data();
    void hexByte();
    void tymeColor_data();
    void tymeColor();
};

void TstTymeColor::hexByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("after");
    QTest::newRow("ff") << "ff" << 255 << "ff";
    QTest::newRow("0A lower-cased in place") << "0A" << 10 << "0a";
    QTest::newRow("one digit") << "7" << 7 << "7";
    QTest::newRow("upper one digit") << "C" << 12 << "c";
    QTest::newRow("bad first digit") << "g5" << 5 << "g5";
    QTest::newRow("bad last digit") << "5g" << 80 << "5g";
    QTest::newRow("three reads the last") << "123" << 3 << "123";
    QTest::newRow("empty") << "" << 0 << "";
    QTest::newRow("non-ascii digit")
        << QString::fromUtf8("\u0661\u0662") << 0 << QString::fromUtf8("\u0661\u0662");
}

void TstTymeColor::hexByte()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(QString, after);
    QCOMPARE(int(HexByte(text)), value);
    QCOMPARE(text, after);
}

void TstTymeColor::tymeColor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("color");
    QTest::addColumn<QString>("after");
    QTest::newRow("FF is red") << "FF" << uint(rgbColor(255, 0, 0)) << "0000FF";
    QTest::newRow("0000FF is red") << "0000FF" << uint(rgbColor(255, 0, 0)) << "0000FF";
    QTest::newRow("00FF00 green") << "00FF00" << uint(rgbColor(0, 255, 0)) << "00FF00";
    QTest::newRow("FF0000 blue") << "FF0000" << uint(rgbColor(0, 0, 255)) << "FF0000";
    QTest::newRow("bgr order") << "102030" << uint(rgbColor(0x30, 0x20, 0x10)) << "102030";
    QTest::newRow("non-hex counts 0") << "ZZ00FF" << uint(rgbColor(255, 0, 0)) << "ZZ00FF";
    QTest::newRow("blanks trimmed") << "  ab  " << uint(rgbColor(0xab, 0, 0)) << "0000ab";
    QTest::newRow("empty is black") << "" << 0u << "000000";
    QTest::newRow("longer: last two red")
        << "1234567" << uint(rgbColor(0x67, 0x34, 0x12)) << "1234567";
}

void TstTymeColor::tymeColor()
{
    QFETCH(QString, text);
    QFETCH(uint, color);
    QFETCH(QString, after);
    QCOMPARE(uint(TymeColor(text)), color);
    QCOMPARE(text, after);
}

QTEST_APPLESS_MAIN(TstTymeColor)
#include "tst_tymecolor.moc"
