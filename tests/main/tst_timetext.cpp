#include "core/face/TimeText.h"

#include <QTest>

class tst_TimeText : public QObject {
    Q_OBJECT

private slots:
    void format_data();
    void format();
};

void tst_TimeText::format_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");

    const QTime evening(18, 7, 5);
    const struct {
        const char* pattern;
        const char* expected;
    } table[] = { { "SS", "05" }, { "s", "5" }, { "n", "7" }, { "h", "18" }, { "HH:", "18:" },
        { "HH: AMPM", "06: PM" }, { "NN:", "07:" }, { "HH:NN", "18:07" },
        { "HH:NN AMPM", "06:07 PM" }, { ":SS", ":05" }, { "AMPM", "PM" },
        { "DD/MM/YYYY, HH:NN", "05/12/2026, 18:07" },
        { "DD/MM/YYYY, HH:NN AMPM", "05/12/2026, 06:07 PM" } };
    for (const auto& row : table)
        QTest::addRow("18:07:05 %s", row.pattern) << row.pattern << evening << "C" << row.expected;

    const auto row = [](const char* name, const char* pattern, QTime t, const char* expected,
                         const char* locale = "C") {
        QTest::newRow(name) << pattern << t << locale << expected;
    };
    row("00:30 12h", "HH:NN AMPM", QTime(0, 30), "12:30 AM");
    row("00:30 12h hour", "HH: AMPM", QTime(0, 30), "12: AM");
    row("00:30 24h", "HH:NN", QTime(0, 30), "00:30");
    row("00:30 h", "h", QTime(0, 30), "0");
    row("00:30 s", "s", QTime(0, 30), "0");
    row("12:00 12h", "HH:NN AMPM", QTime(12, 0), "12:00 PM");
    row("12:00 h", "h", QTime(12, 0), "12");
    row("12:00 designator", "AMPM", QTime(12, 0), "PM");
    row("11:59:59 designator", "AMPM", QTime(11, 59, 59), "AM");
    row("23:59:59 12h", "DD/MM/YYYY, HH:NN AMPM", QTime(23, 59, 59), "05/12/2026, 11:59 PM");
    row("23:59:59 24h", "HH:NN", QTime(23, 59, 59), "23:59");
    row("23:59:59 seconds", ":SS", QTime(23, 59, 59), ":59");
    row("German date separator", "DD/MM/YYYY, HH:NN", evening, "05.12.2026, 18:07", "de_DE");
    row("Swedish date separator", "DD/MM/YYYY", evening, "05-12-2026", "sv_SE");
    row("Dutch designator", "HH:NN AMPM", evening, "06:07 p.m.", "nl_NL");
}

void tst_TimeText::format()
{
    QFETCH(QString, pattern);
    QFETCH(QTime, time);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    const QDateTime at(QDate(2026, 12, 5), time);
    QCOMPARE(TimeText::format(pattern, at, QLocale(locale)), expected);
}

QTEST_GUILESS_MAIN(tst_TimeText)
#include "tst_timetext.moc"
