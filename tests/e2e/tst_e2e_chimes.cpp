#include "E2eHarness.h"

using namespace e2e;

struct Stroke { // in s: where it starts in the recording, how long it sounds
    double at = 0;
    double length = 0;
    friend QDebug operator<<(QDebug d, const Stroke& s) { return d << s.at << '+' << s.length; }
};

// Chimes on a faked wall clock into a private PulseAudio's null sink, recorded: one 880 Hz strike.
class TestE2eChimes : public QObject {
    Q_OBJECT
    static constexpr int rate = 44100;
    XServer m_x;
    QTemporaryDir m_dir { u"/tmp/horolan-pa-XXXXXX"_s }; // a socket's path has at most 107 bytes
    std::optional<Helper> m_server;
    std::optional<Helper> m_parec; // ends first
    QFile m_file { m_dir.filePath(u"recording.raw"_s) };
    std::vector<float> m_samples;
    QElapsedTimer m_timer;
    double m_startMs = 1e12; // the recording's first sample on m_timer, as early as readings allow

    const std::vector<float>& samples()
    {
        const qint64 now = m_timer.elapsed();
        const QByteArray bytes = m_file.read(m_file.bytesAvailable() / 4 * 4);
        const size_t before = m_samples.size();
        m_samples.resize(before + size_t(bytes.size()) / 4);
        if (!bytes.isEmpty()) // an empty vector's data() may be null, which memcpy refuses
            std::memcpy(m_samples.data() + before, bytes.constData(), size_t(bytes.size()));
        // Samples arrive after they sound: each reading bounds the start from above.
        if (!m_samples.empty())
            m_startMs = std::min(m_startMs, now - m_samples.size() * 1000.0 / rate);
        return m_samples;
    }
    double now() // in the recording
    {
        samples();
        return (m_timer.elapsed() - m_startMs) / 1000;
    }

    QList<Stroke> strokes(double since)
    {
        // A stroke starts at its first sample of 0.05 after 40 ms below 0.02, rising but briefly
        // between the two, and sounds until its last millisecond above 5e-4.
        const std::vector<float>& s = samples();
        const qsizetype ms = rate / 1000;
        const auto loud = [](float v) { return std::abs(v) >= 0.05f; };
        QList<Stroke> found;
        for (qsizetype i = 0, run = 0, quiet = 0; i + ms <= qsizetype(s.size()); i += ms) {
            const auto [low, high] = std::minmax_element(s.begin() + i, s.begin() + i + ms);
            const float peak = std::max(-*low, *high);
            if (peak >= 0.05f && quiet >= 40)
                found << Stroke { double(std::find_if(s.begin() + i, s.end(), loud) - s.begin())
                    / rate };
            if (peak >= 5e-4f && !found.isEmpty())
                found.last().length = double(i + ms) / rate - found.last().at;
            run = peak < 0.02f ? run + 1 : 0;
            quiet = peak >= 0.05f ? 0 : peak < 0.02f ? run : quiet;
        }
        found.removeIf([&](const Stroke& stroke) { return stroke.at < since; });
        return found;
    }

    // Until the recording reaches from and no stroke has begun in its last second.
    bool quietAfter(double from)
    {
        const auto quiet = [&] { return now() >= from && strokes(now() - 1).isEmpty(); };
        return qWaitFor(quiet, 10000) || fail(u"no quiet after %1 s"_s.arg(from));
    }

    // Each rings out, for 0.23 s: one cut off early, or by the next stroke, sounds under 0.18 s.
    static bool rangOut(const QList<Stroke>& strokes)
    {
        const auto cut = [](const Stroke& s) { return s.length < 0.18; };
        return std::none_of(strokes.begin(), strokes.end(), cut) || fail(QDebug::toString(strokes));
    }

    // The clock with a pack (its strike re-encoded by sox if asked), started after the moment
    // returned; -1 when it did not start.
    double begin(std::optional<Clock>& clock, const QString& start, const QString& settings = {},
        const QString& pack = u"Strike"_s, const QString& encode = {})
    {
        clock.emplace(u"[Setting]\nSoundPack=%1\n"_s.arg(pack) + settings, start);
        const double from = now();
        const QString folder = QFINDTESTDATA("../data/sounds-e2e/" + pack);
        const QTemporaryDir encoded;
        return clock->install(folder, u"Sounds/"_s + pack)
                && (encode.isEmpty()
                    || (run(u"sox %1/strike.wav %2 %3/strike.wav"_s.arg(
                            folder, encode, encoded.path()))
                        && clock->install(encoded.path(), u"Sounds/"_s + pack)))
                && clock->start()
            ? from
            : -1;
    }

private slots:
    // -n: no default script, so no hardware, X11 or D-Bus modules.
    void initTestCase()
    {
        CHECK(m_x.start());
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8()); // where it puts its socket
        qputenv("PULSE_SERVER", "unix:" + m_dir.filePath(u"pulse/native"_s).toUtf8());
        m_server.emplace(u"pulseaudio -n --exit-idle-time=-1 --realtime=no --high-priority=no "
                         "--no-cpu-limit=yes --load=\"module-null-sink sink_name=horolan\" "
                         "--load=\"module-native-protocol-unix auth-anonymous=1\""_s,
            m_dir.filePath(u"pulseaudio"_s));
        QVERIFY2(qWaitFor([&] { return run(u"pactl info"_s).has_value(); }, 10000),
            qPrintable(readFile(m_dir.filePath(u"pulseaudio.err"_s))));
        m_parec.emplace(
            u"parec -d horolan.monitor --raw --format=float32ne --rate=44100 --channels=1 "
            "--latency-msec=20"_s,
            m_file.fileName());
        m_timer.start();
        // The null sink may take a second or more to deliver its first block.
        QVERIFY(m_parec->waitForStarted() && m_file.open(QIODevice::ReadOnly));
        QVERIFY2(qWaitFor([&] { return samples().size() >= rate / 5; }, 10000),
            qPrintable(readFile(m_file.fileName() + u".err"_s)));
    }

    void chime_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("pressC"); // at once; else the hour comes 3 s after the start
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("pack");
        QTest::addColumn<QString>("encode"); // sox's options for the strike, if any
        const QString three = u"2026-03-16 02:59:57"_s, strike = u"Strike"_s;
        const QString off = u"UseChimes=False\n"_s;
        QTest::newRow("counting: three at 03:00")
            << three << u"UseChimes=True\n"_s << false << 3 << strike << QString();
        QTest::newRow("counting: twelve at 12:00")
            << u"2026-03-16 11:59:57"_s << QString() << false << 12 << strike << QString();
        QTest::newRow("counting off: one")
            << three << u"UseChimesCount=False\n"_s << false << 1 << strike << QString();
        QTest::newRow("chimes off: none") << three << off << false << 0 << strike << QString();
        QTest::newRow("C with chimes off: three at 15:20")
            << u"2026-03-16 15:20:00"_s << off << true << 3 << strike << QString();
        QTest::newRow("a file that does not decode beeps")
            << three << QString() << false << 1 << u"Garbled"_s << QString();
        // Codecs of old packs, heard; every codec at every rate is decoded in the unit rows.
        for (const char* encode : { "-e ima-adpcm -r 11025 -c 2", "-e ms-adpcm -r 22050",
                 "-e u-law -r 8000", "-e a-law -r 48000 -c 2", "-e unsigned -b 8 -r 22050 -c 2" })
            QTest::addRow("three, %s", encode)
                << three << QString() << false << 3 << strike << QString::fromLatin1(encode);
    }
    void chime()
    {
        QFETCH(QString, start);
        QFETCH(QString, settings);
        QFETCH(bool, pressC);
        QFETCH(int, count);
        QFETCH(QString, pack);
        QFETCH(QString, encode);
        std::optional<Clock> clock;
        const double from = begin(clock, start, settings, pack, encode);
        CHECK(from >= 0 && (!pressC || clock->key(u"c"_s)));
        // The faked clock starts after from: the hour comes 3 s after it, or later; C at once.
        const double earliest = from + (pressC ? 0 : 3);
        CHECK(quietAfter(earliest + 2));
        const QList<Stroke> found = strokes(from);
        CHECK((found.size() == count && strokes(earliest - 0.05).size() == count)
            || fail(QDebug::toString(found) + u"; expected from %1 s"_s.arg(earliest)));
        if (pack != u"Strike"_s)
            return;
        CHECK(rangOut(found));
        // Each stroke follows the last as it ends; block codecs pad the sound a little.
        const double slack = encode.contains(u"adpcm"_s) ? 0.1 : 0.03;
        for (qsizetype i = 1; i < found.size(); ++i)
            CHECK(std::abs(found[i].at - found[i - 1].at - 0.25) <= slack
                || fail(QDebug::toString(found)));
    }

    void countInterrupted_data()
    {
        QTest::addColumn<bool>("terminate"); // else X
        QTest::newRow("X stops the count") << false;
        QTest::newRow("SIGTERM ends the clock at once") << true;
    }
    void countInterrupted()
    {
        // Ten strokes to go would take 2.5 s more; SysTrayIcon comes only with a save.
        QFETCH(bool, terminate);
        std::optional<Clock> clock;
        const double from = begin(clock, u"2026-03-16 11:59:57"_s);
        CHECK(from >= 0 && qWaitFor([&] { return strokes(from).size() >= 2; }, 12000));
        if (terminate) {
            CHECK(clock->signal(SIGTERM) && clock->closed(500)
                && clock->saved(u"SysTrayIcon=True"_s));
            return;
        }
        CHECK(clock->key(u"x"_s));
        const double pressed = now();
        CHECK(quietAfter(pressed));
        // Silence within 50 ms of the key: no stroke begins after it, none sounds on.
        const QList<Stroke> heard = strokes(from);
        qInfo() << "X at" << pressed << "s; heard" << heard;
        CHECK(
            ((strokes(pressed).isEmpty() && heard.last().at + heard.last().length <= pressed + 0.05)
                || fail(QDebug::toString(heard)))
            && clock->running());
    }
};

QTEST_GUILESS_MAIN(TestE2eChimes)
#include "tst_e2e_chimes.moc"
