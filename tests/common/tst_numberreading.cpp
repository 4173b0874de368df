#include "core/text/NumberReading.h"

#include <QTest>

#include <cmath>

using namespace NumberReading;

class TstNumberReading : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void roundHalfEven_data();
    void roundHalfEven();
    void ranges_data();
    void ranges();
};

void TstNumberReading::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("isNumber");
    QTest::newRow("integer") << "42" << 42.0 << true;
    QTest::newRow("blanks, sign, fraction, junk") << "  -12.5x" << -12.5 << true;
    QTest::newRow("tab skipped") << "\t7" << 7.0 << true;
    QTest::newRow("plus") << "+3" << 3.0 << true;
    QTest::newRow("point first") << ".5" << 0.5 << true;
    QTest::newRow("trailing point") << "5." << 5.0 << true;
    QTest::newRow("stops at comma") << "10,20" << 10.0 << true;
    QTest::newRow("exponent not read") << "1e5" << 1.0 << true;
    QTest::newRow("second point stops") << "1.2.3" << 1.2 << true;
    QTest::newRow("letters") << "abc" << 0.0 << false;
    QTest::newRow("empty") << "" << 0.0 << false;
    QTest::newRow("sign alone") << "-" << 0.0 << false;
    QTest::newRow("point alone") << "." << 0.0 << false;
    QTest::newRow("blank inside") << "1 2" << 1.0 << true;
    QTest::newRow("sign then blank") << "- 2" << 0.0 << false;
    QTest::newRow("arabic digits") << QString::fromUtf8("\u0661\u0662") << 0.0 << false;
    QTest::newRow("0.3 correctly rounded") << "0.3" << 0.3 << true;
    QTest::newRow("0.7 correctly rounded") << "0.7" << 0.7 << true;
    QTest::newRow("long digits correctly rounded")
        << "123456789012345678901234567890" << 1.2345678901234568e29 << true;
    QTest::newRow("too large") << QString(400, u'9') << qInf() << true;
    QTest::newRow("too small") << "0." + QString(400, u'0') + "1" << 0.0 << true;
}

void TstNumberReading::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, isNumber);
    // The nearest double matters: 0.3 px x 15 must round to 4 twips, not 5.
    const double read = NumberReading::leadingNumber(text);
    QVERIFY2(read == value, qPrintable(QString::number(read, 'g', 17))); // exact, not fuzzy
    QCOMPARE(startsWithNumber(text), isNumber);
}

void TstNumberReading::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("-0.5") << -0.5 << 0.0;
    QTest::newRow("2.4") << 2.4 << 2.0;
    QTest::newRow("2.6") << 2.6 << 3.0;
    QTest::newRow("-2.6") << -2.6 << -3.0;
    QTest::newRow("just above half") << 2.5000001 << 3.0;
    QTest::newRow("large odd half") << 4503599627370495.5 << 4503599627370496.0;
}

void TstNumberReading::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    QVERIFY(NumberReading::roundHalfEven(value) == rounded);
}

void TstNumberReading::ranges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte"); // -1: does not fit
    QTest::addColumn<int>("int16"); // 99999: does not fit
    QTest::newRow("0") << "0" << 0 << 0;
    QTest::newRow("255") << "255" << 255 << 255;
    QTest::newRow("255.5 rounds up to even") << "255.5" << -1 << 256;
    QTest::newRow("255.49") << "255.49" << 255 << 255;
    QTest::newRow("256") << "256" << -1 << 256;
    QTest::newRow("-0.5 rounds to 0") << "-0.5" << 0 << 0;
    QTest::newRow("-1") << "-1" << -1 << -1;
    QTest::newRow("32767") << "32767" << -1 << 32767;
    QTest::newRow("32767.5") << "32767.5" << -1 << 99999;
    QTest::newRow("-32768") << "-32768" << -1 << -32768;
    QTest::newRow("-32768.5 to even") << "-32768.5" << -1 << -32768;
    QTest::newRow("-32769") << "-32769" << -1 << 99999;
    QTest::newRow("40000") << "40000" << -1 << 99999;
    QTest::newRow("huge digits") << QString(400, u'9') << -1 << 99999;
    QTest::newRow("huge negative") << "-" + QString(400, u'9') << -1 << 99999;
}

void TstNumberReading::ranges()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    QFETCH(int, int16);
    const double value = NumberReading::leadingNumber(text);
    const auto b = toByte(value);
    const auto i = toInt16(value);
    QCOMPARE(b ? int(*b) : -1, byte);
    QCOMPARE(i ? int(*i) : 99999, int16);
}

QTEST_APPLESS_MAIN(TstNumberReading)
#include "tst_numberreading.moc"
