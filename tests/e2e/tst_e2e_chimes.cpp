#include "Audio.h"

#include <numbers>

using namespace e2e;

namespace {

// Cut off 100 ms early, the pack's strike still sounds at about -30 dB.
constexpr double cutLevel = 0.004;

// Each stroke starts once the one before has sounded (less a stream's start-up jitter) and,
// when asked, rings out rather than being cut off.
bool wellStruck(const QList<Stroke>& strokes, bool ringOut)
{
    for (qsizetype i = 0; i < strokes.size(); ++i) {
        if (i > 0 && strokes[i].at - strokes[i - 1].at < 0.2)
            return fail(u"stroke %1 starts before the one before has sounded: "_s.arg(i + 1)
                + describe(strokes));
        if (ringOut && strokes[i].endPeak >= cutLevel)
            return fail(u"stroke %1 is cut off while it rings: "_s.arg(i + 1) + describe(strokes));
    }
    return true;
}

} // namespace

// Chimes as sound: a private PulseAudio with a null sink, the clock playing into it on a faked
// wall clock, and a recording in which the strokes of a one-stroke counting pack are found and
// timed. Its one sound is a 250 ms strike at 880 Hz that rings out to 60 dB down.
class TestE2eChimes : public QObject {
    Q_OBJECT

    XServer m_x;
    Audio m_audio;

    // Installs the pack, starts a recording, then the clock; startMark: the moment before.
    bool begin(Clock& clock, qint64* startMark)
    {
        const bool ready = copyFolder(QFINDTESTDATA("../data/sounds-e2e/Strike"),
                               clock.dataDir() + u"/horolan/Sounds/Strike"_s)
            && m_audio.record();
        *startMark = m_audio.mark();
        return ready && clock.start();
    }
    ClockOptions options(const QString& start, const QString& settings) const
    {
        return { .settings = u"[Setting]\nSoundPack=Strike\n"_s + settings,
            .fakeStart = start,
            .env = { m_audio.pulseServer() } };
    }

private slots:
    void initTestCase() { CHECK(m_x.start() && m_audio.start()); }

    void strokeFinder()
    {
        // Strikes like the pack's, each rising 1 ms before the end of a 10 ms window, the last
        // one cut off after 80 ms.
        std::vector<float> s(size_t(2 * Audio::rate));
        const double onsets[] { 0.109, 0.609, 1.109 };
        for (const double at : onsets) {
            for (int i = 0; i < (at > 1 ? 0.08 : 0.25) * Audio::rate; ++i) {
                const double t = double(i) / Audio::rate;
                s[size_t(at * Audio::rate) + i] = float(0.6 * std::min(1.0, t / 0.002)
                    * std::exp(-t / 0.035) * std::sin(2 * std::numbers::pi * 880 * t));
            }
        }
        const QList<Stroke> found = findStrokes(s, Audio::rate);
        QVERIFY2(found.size() == 3 && found[0].endPeak < cutLevel && found[2].endPeak >= cutLevel,
            qPrintable(describe(found)));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(found[i].at - onsets[i]) < 0.003, qPrintable(describe(found)));
    }

    void chime_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("pressC"); // at once; else the hour comes 3 s after the start
        QTest::addColumn<int>("strokes");
        const QString counting = u"UseChimes=True\nUseChimesCount=True\n"_s;
        const QString off = u"UseChimes=False\nUseChimesCount=True\n"_s;
        QTest::newRow("counting: three at 03:00")
            << u"2026-03-16 02:59:57"_s << counting << false << 3;
        QTest::newRow("counting off: one")
            << u"2026-03-16 02:59:57"_s << u"UseChimes=True\nUseChimesCount=False\n"_s << false
            << 1;
        QTest::newRow("chimes off: none") << u"2026-03-16 02:59:57"_s << off << false << 0;
        QTest::newRow("C with chimes off: three at 15:20")
            << u"2026-03-16 15:20:00"_s << off << true << 3;
    }
    void chime()
    {
        QFETCH(QString, start);
        QFETCH(QString, settings);
        QFETCH(bool, pressC);
        QFETCH(int, strokes);
        Clock clock(m_x, options(start, settings));
        qint64 from = 0;
        CHECK(begin(clock, &from));
        if (pressC) {
            QTest::qWait(300);
            QVERIFY2(m_audio.strokes().isEmpty(),
                qPrintable(u"before C: "_s + describe(m_audio.strokes())));
            from = m_audio.mark();
            CHECK(clock.key(u"c"_s));
        }
        // The faked clock starts after the mark: the hour comes 3 s after it, or later.
        const auto earliest = [&] { return m_audio.at(from) + (pressC ? 0 : 3.0); };
        QVERIFY2(m_audio.waitForQuiet(earliest() + 2), qPrintable(describe(m_audio.strokes())));
        const QList<Stroke> found = m_audio.strokes();
        const QString seen = describe(found) + u"; none expected before %1 s"_s.arg(earliest());
        QVERIFY2(found.size() == strokes
                && (!strokes || (found[0].at > earliest() - 0.05 && found[0].at < earliest() + 3)),
            qPrintable(seen));
        CHECK(wellStruck(found, true));
    }

    void countInterrupted_data()
    {
        QTest::addColumn<bool>("terminate"); // else X
        QTest::newRow("X stops the count") << false;
        QTest::newRow("SIGTERM ends the clock at once") << true;
    }
    void countInterrupted()
    {
        QFETCH(bool, terminate);
        Clock clock(
            m_x, options(u"2026-03-16 11:59:57"_s, u"UseChimes=True\nUseChimesCount=True\n"_s));
        qint64 started = 0;
        CHECK(begin(clock, &started));
        QVERIFY2(waitUntil([&] { return m_audio.strokes().size() >= 2; }, 12000),
            qPrintable(describe(m_audio.strokes())));
        if (terminate) {
            // Ten strokes to go would take 2.5 s more; SysTrayIcon comes only with a save.
            CHECK(clock.signal(SIGTERM) && clock.closed(1000));
            QVERIFY(clock.saved(u"SysTrayIcon=True"_s));
            return;
        }
        CHECK(clock.key(u"x"_s));
        const qint64 pressed = m_audio.mark();
        QVERIFY2(
            m_audio.waitForQuiet(m_audio.at(pressed)), qPrintable(describe(m_audio.strokes())));
        const QList<Stroke> found = m_audio.strokes();
        QVERIFY2(found.size() >= 2 && found.size() < 12
                && m_audio.silentFrom() <= m_audio.at(pressed) + 1.0,
            qPrintable(describe(found)
                + u"; X at %1 s, silent from %2 s"_s.arg(m_audio.at(pressed))
                      .arg(m_audio.silentFrom())));
        CHECK(wellStruck(found, false) && clock.running());
    }
};

QTEST_GUILESS_MAIN(TestE2eChimes)
#include "tst_e2e_chimes.moc"
