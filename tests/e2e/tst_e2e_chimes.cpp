#include "Audio.h"

using namespace e2e;

namespace {

// Each stroke starts once the one before has sounded (less a stream's start-up jitter) and,
// when asked, rings out rather than being cut off: still at 0.004, it would be about 100 ms early.
bool wellStruck(const QList<Stroke>& strokes, bool ringOut)
{
    for (qsizetype i = 0; i < strokes.size(); ++i) {
        if ((i > 0 && strokes[i].at - strokes[i - 1].at < 0.2)
            || (ringOut && strokes[i].endPeak >= 0.004))
            return fail(u"stroke %1 comes early or is cut off: "_s.arg(i + 1) + describe(strokes));
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
        const QString pack = QFINDTESTDATA("../data/sounds-e2e/Strike");
        const bool ready
            = copyFolder(pack, clock.dataDir() + u"/horolan/Sounds/Strike"_s) && m_audio.record();
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

    void chime_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("pressC"); // at once; else the hour comes 3 s after the start
        QTest::addColumn<int>("strokes");
        const QString off = u"UseChimes=False\nUseChimesCount=True\n"_s;
        QTest::newRow("counting: three at 03:00")
            << u"2026-03-16 02:59:57"_s << u"UseChimes=True\n"_s << false << 3;
        QTest::newRow("counting off: one")
            << u"2026-03-16 02:59:57"_s << u"UseChimesCount=False\n"_s << false << 1;
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
            CHECK(
                m_audio.strokes().isEmpty() || fail(u"before C: "_s + describe(m_audio.strokes())));
            from = m_audio.mark();
            CHECK(clock.key(u"c"_s));
        }
        // The faked clock starts after the mark: the hour comes 3 s after it, or later.
        const auto earliest = [&] { return m_audio.at(from) + (pressC ? 0 : 3.0); };
        CHECK(m_audio.waitForQuiet(earliest() + 2));
        const QList<Stroke> found = m_audio.strokes();
        const double first = found.value(0).at;
        CHECK((found.size() == strokes
                  && (!strokes || (first > earliest() - 0.05 && first < earliest() + 3)))
            || fail(describe(found) + u"; expected from %1 s"_s.arg(earliest())));
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
        Clock clock(m_x, options(u"2026-03-16 11:59:57"_s, {}));
        qint64 started = 0;
        CHECK(begin(clock, &started)
            && waitUntil([&] { return m_audio.strokes().size() >= 2; }, 12000));
        if (terminate) {
            // Ten strokes to go would take 2.5 s more; SysTrayIcon comes only with a save.
            CHECK(clock.signal(SIGTERM) && clock.closed(1000));
            QVERIFY(clock.saved(u"SysTrayIcon=True"_s));
            return;
        }
        CHECK(clock.key(u"x"_s));
        const qint64 pressed = m_audio.mark();
        CHECK(m_audio.waitForQuiet(m_audio.at(pressed)));
        const QList<Stroke> found = m_audio.strokes();
        CHECK((found.size() >= 2 && found.size() < 12
                  && m_audio.silentFrom() <= m_audio.at(pressed) + 1)
            || fail(describe(found) + u"; X at %1 s"_s.arg(m_audio.at(pressed))));
        CHECK(wellStruck(found, false) && clock.running());
    }
};

QTEST_GUILESS_MAIN(TestE2eChimes)
#include "tst_e2e_chimes.moc"
