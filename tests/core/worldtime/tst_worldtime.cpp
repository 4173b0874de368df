// Zone time of day and the world time table's entries, as the editor makes and lists them.
#include "core/skin/BuiltInSkin.h"
#include "core/worldtime/WorldTimeBoard.h"
#include "core/worldtime/WorldTimeTable.h"
#include "core/worldtime/ZoneTime.h"
#include "support/TestSupport.h"

#include <QTest>

namespace {

QDateTime at(const char* zone, const char* when)
{
    const QDateTime naive = QDateTime::fromString(QString::fromLatin1(when), Qt::ISODate);
    return QDateTime(naive.date(), naive.time(), QTimeZone(zone));
}

const char* const july = "2026-07-15T12:00:00";
const char* const january = "2026-01-15T12:00:00";

} // namespace

class TestWorldTime : public QObject {
    Q_OBJECT
private slots:
    void minuteOfDay_data()
    {
        QTest::addColumn<QDateTime>("now"); // the computer's clock, in its own zone
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("time");
        // The computer's summer time changes nothing: +000 is universal time all year.
        QTest::newRow("New York, January") << at("America/New_York", january) << "+000GMT"
                                           << ""
                                           << "17:00";
        QTest::newRow("New York, July") << at("America/New_York", july) << "+000GMT"
                                        << ""
                                        << "16:00";
        QTest::newRow("Berlin, January") << at("Europe/Berlin", january) << "+000GMT"
                                         << ""
                                         << "11:00";
        QTest::newRow("Berlin, July") << at("Europe/Berlin", july) << "+000GMT"
                                      << ""
                                      << "10:00";
        QTest::newRow("-720") << at("Europe/Berlin", "2026-01-15T06:00:00") << "-720W"
                              << ""
                              << "17:00";
        QTest::newRow("+720") << at("UTC", "2026-01-15T20:00:00") << "+720E"
                              << ""
                              << "08:00";
        QTest::newRow("+030 at 23:30 is midnight") << at("UTC", "2026-01-15T23:30:00") << "+030x"
                                                   << ""
                                                   << "00:00";
        QTest::newRow("-060 at 00:10") << at("UTC", "2026-01-15T00:10:00") << "-060x"
                                       << ""
                                       << "23:10";
        QTest::newRow("seconds dropped") << at("UTC", "2026-01-15T12:00:59") << "+330x"
                                         << ""
                                         << "17:30";
        // Thirteen hours east: universal time is still the day before.
        QTest::newRow("computer at +13, -720")
            << at("Pacific/Tongatapu", "2026-01-15T05:00:00") << "-720x"
            << ""
            << "04:00";
        QTest::newRow("London named, January") << at("America/New_York", january) << "+000London"
                                               << "Europe/London"
                                               << "17:00";
        QTest::newRow("London named, July") << at("America/New_York", july) << "+000London"
                                            << "Europe/London"
                                            << "17:00";
        QTest::newRow("unknown zone: the entry's offset") << at("UTC", july) << "+060Nowhere"
                                                          << "Atlantis/Capital"
                                                          << "13:00";
    }
    void minuteOfDay()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, entry);
        QFETCH(QString, zone);
        QFETCH(QString, time);
        WorldTimeTable::ZoneClock clock;
        const int minute = clock.minuteOfDay({ entry, zone }, now);
        QCOMPARE(QTime(0, 0).addSecs(minute * 60).toString(u"HH:mm"), time);
    }

    void labels()
    {
        QCOMPARE(ZoneTime::labels().join(u' '),
            u"-12:00 -11:00 -10:00 -09:00 -08:00 -07:00 -06:00 -05:00 -04:00 -03:30 -03:00 "
            "-02:00 -01:00 +00:00 +01:00 +02:00 +03:00 +03:30 +04:00 +04:30 +05:00 +05:30 "
            "+06:00 +07:00 +08:00 +09:00 +09:30 +10:00 +11:00 +12:00");
    }

    void add_data()
    {
        QTest::addColumn<QString>("choice"); // a label of the selector; empty: none chosen
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("entry"); // text and zone; empty: nothing added
        QTest::addColumn<QString>("row"); // the list row in July
        QTest::newRow("blanks trimmed") << "+00:00"
                                        << "  London "
                                        << "+000London"
                                        << "+00:00 London";
        QTest::newRow("no name") << "-12:00"
                                 << ""
                                 << "-720GMT-12:00"
                                 << "-12:00 GMT-12:00";
        QTest::newRow("half hour") << "+05:30"
                                   << "Delhi"
                                   << "+330Delhi"
                                   << "+05:30 Delhi";
        QTest::newRow("west") << "-03:30"
                              << "Newfoundland"
                              << "-210Newfoundland"
                              << "-03:30 Newfoundland";
        QTest::newRow("named, its city") << "Europe/London"
                                         << " "
                                         << "+000London Europe/London"
                                         << "+01:00 London";
        QTest::newRow("named, far east") << "Pacific/Kiritimati"
                                         << "Line Islands"
                                         << "+840Line Islands Pacific/Kiritimati"
                                         << "+14:00 Line Islands";
        QTest::newRow("none chosen") << ""
                                     << "Paris"
                                     << ""
                                     << "";
    }
    void add()
    {
        QFETCH(QString, choice);
        QFETCH(QString, name);
        QFETCH(QString, entry);
        QFETCH(QString, row);
        const QDateTime now = at("Europe/Berlin", july);
        QList<WorldTimeEntry> table { { "+060Paris", "" } };
        const WorldTimeEditor editor(now);
        QVERIFY(editor.choices().size() > 300);
        QCOMPARE(editor.add(table, int(editor.choiceLabels().indexOf(choice)), name, now),
            !entry.isEmpty());
        QCOMPARE(table.size(), entry.isEmpty() ? 1 : 2);
        if (entry.isEmpty())
            return;
        QCOMPARE((table.back().text + u' ' + table.back().zone).trimmed(), entry);
        QCOMPARE(WorldTimeEditor::listTexts(table, now), QStringList({ "+01:00 Paris", row }));
        // In January a named zone lists its standard offset.
        if (!table.back().zone.isEmpty())
            QCOMPARE(WorldTimeEditor::listTexts(table, at("Europe/Berlin", january)).back().left(6),
                ZoneTime::offsetText(WorldTimeTable::fixedOffset(table.back().text)));
    }

    void remove()
    {
        QList<WorldTimeEntry> table { { "+060A", "" }, { "+060B", "" }, { "+060A", "" } };
        QVERIFY(!WorldTimeEditor::remove(table, -1) && !WorldTimeEditor::remove(table, 3));
        QVERIFY(WorldTimeEditor::remove(table, 1));
        QCOMPARE(WorldTimeEditor::listTexts(table, at("UTC", july)),
            QStringList({ "+01:00 A", "+01:00 A" }));
        QVERIFY(WorldTimeEditor::remove(table, 0) && WorldTimeEditor::remove(table, 0)
            && !WorldTimeEditor::remove(table, 0));
    }

    // Entries deleted while the column is far down: it comes back at once, scrolling or not.
    void columnAfterShrink()
    {
        WorldTimeBoard board;
        const QDateTime now = at("UTC", july);
        const QList<WorldTimeEntry> many(20, { "+000A", "" });
        for (int i = 0; i < 100; ++i)
            board.tick(many, now, true);
        QCOMPARE(board.scrollTwips(), -3000);
        board.tick(many.first(1), now, false);
        QVERIFY(board.scrollTwips() > -WorldTimeBoard::entryTwips && board.scrollTwips() <= 0);
        board.tick({}, now, true);
        QCOMPARE(board.scrollTwips(), 0);
    }

    // Scrolling moves a strip drawn once: every step, through wraps, shows what drawing the column
    // at that place does, but for a faint fringe where a dial leaves or enters the box.
    void stripScrolls()
    {
        Skin skin;
        WorldTimeSkin look;
        BuiltInSkin::applyValues(skin, look, true);
        test::SequenceRandom random;
        WorldTimeBoard scrolled, drawn;
        scrolled.applySkin({}, look, skin.transparent, random);
        drawn.applySkin({}, look, skin.transparent, random);
        QList<WorldTimeEntry> entries;
        for (int i = 0; i < 7; ++i)
            entries << WorldTimeEntry {
                QStringLiteral("+%1Zone %2").arg(i * 90, 3, 10, QChar(u'0')).arg(i), {}
            };
        const QDateTime now = at("UTC", july);
        const QRect box = look.box.toAlignedRect();
        int worst = 0;
        for (int step = 0; step < 80; ++step) {
            scrolled.tick(entries, now, true);
            drawn.tick(entries, now, true);
            drawn.tick(entries, now, false); // standing still: drawn, not moved
            QCOMPARE(scrolled.scrollTwips(), drawn.scrollTwips());
            int differing = 0;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x) {
                    const QRgb a = scrolled.buffer().pixel(x, y), b = drawn.buffer().pixel(x, y);
                    differing += std::abs(qRed(a) - qRed(b)) > 8
                        || std::abs(qGreen(a) - qGreen(b)) > 8 || std::abs(qBlue(a) - qBlue(b)) > 8;
                }
            worst = std::max(worst, differing);
        }
        qInfo() << "most pixels differing in a step:" << worst;
        QVERIFY2(worst <= box.width(), qPrintable(QString::number(worst)));
    }

    // A WTT picture's @2x companion comes with it, never by itself (0.9 would pick the second
    // of two); the built-in Earth has its own, drawn at twice the size.
    void companions()
    {
        const test::Folders folders;
        for (const auto& [name, size] : { std::pair { "a/WTTa.png", QSize(10, 13) },
                 { "a/WTTa@2x.png", QSize(20, 26) }, { "b/WTT1@2X.PNG", QSize(20, 26) } })
            folders.picture(QString::fromLatin1(name), size, Qt::blue, Qt::magenta);
        test::SequenceRandom random({ 0.9 });
        WorldTimeBoard board;
        board.applySkin(folders.path("a"), WorldTimeSkin(), Qt::magenta, random);
        QCOMPARE(QFileInfo(board.background().path).fileName(), "WTTa.png");
        QCOMPARE(board.background().companion.size(), QSize(20, 26));
        board.applySkin(folders.path("b"), WorldTimeSkin(), Qt::magenta, random);
        QVERIFY(board.background().isBuiltIn());
        QCOMPARE(board.background().companion.size(), QSize(200, 260));
    }
};

QTEST_MAIN(TestWorldTime)
#include "tst_worldtime.moc"
