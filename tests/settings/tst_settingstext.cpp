#include "core/settings/SettingsText.h"

#include <QLocale>
#include <QTest>

#include <limits>

class TstSettingsText : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void fromNumber_data();
    void fromNumber();
};

void TstSettingsText::fromNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("fraction keeps its point") << 87.5 << "87.5";
    QTest::newRow("whole") << 1800.0 << "1800";
    QTest::newRow("single precision") << 0.1 << "0.1";
    QTest::newRow("seven digits") << 1.0 / 3 << "0.3333333";
    QTest::newRow("negative") << -120.25 << "-120.25";
    QTest::newRow("minus zero") << -0.0 << "0";
    QTest::newRow("large: no exponent") << 12345678.0 << "12345680";
    QTest::newRow("small: no exponent") << 0.00001 << "0.00001";
    QTest::newRow("not finite") << std::numeric_limits<double>::infinity() << "0";
    QTest::newRow("beyond single precision") << 1e300 << "0";
}

void TstSettingsText::fromNumber()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(SettingsText::fromNumber(value), text);
    // What is written reads back as the same single-precision number.
    if (text != u"0")
        QCOMPARE(float(SettingsText::toNumber(text)), float(value));
}

QTEST_GUILESS_MAIN(TstSettingsText)
#include "tst_settingstext.moc"
