#include "AudioServer.h"
#include "E2eHarness.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cmath>
#include <memory>
#include <numbers>

using namespace e2e;

// The real clock's chimes as sound: a private PulseAudio server with a null sink, the clock
// playing into it under a faked wall clock, and a recording of the sink in which the strokes of
// a one-strike counting pack are found and timed. The first tests check that harness alone.
class TestE2eChimes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void strokesFound_data();
    void strokesFound();
    void recordsWhatIsPlayed();
    void hourlyChime_data();
    void hourlyChime();
    void stopKeyEndsCount();
    void chimeKey_data();
    void chimeKey();
    void strokesRingOut();
    void cleanup();
    void cleanupTestCase();

private:
    // Starts a recording of the sink, then a clock at fakeStart on a settings file that chooses
    // the test pack, and waits for its window. m_startMark is taken just before the clock starts.
    bool startClock(const QString& fakeStart, const QString& settings);
    bool press(const QString& key);
    // Consecutive strokes at least this far apart: each ends before the next one starts.
    bool strokesApart(const QList<Stroke>& strokes, double seconds);
    // The first count strokes fade out rather than being cut off while they ring.
    bool fadeOut(const QList<Stroke>& strokes, qsizetype count);

    std::unique_ptr<XServer> m_x;
    std::unique_ptr<AudioServer> m_audio;
    std::unique_ptr<AudioRecording> m_recording;
    std::unique_ptr<ClockApp> m_app;
    WindowInfo m_window;
    qint64 m_startMark = 0;
    QString m_error;
};

namespace {

const QString packName = QStringLiteral("Strike");
// The length of the pack's one sound.
constexpr double strokeSeconds = 0.25;
// Onsets of strokes played one after the other; less the jitter of a stream's start.
constexpr double minOnsetGap = 0.8 * strokeSeconds;
// After a chime's last stroke, how long nothing more may come.
constexpr int quietAfterMs = 1500;
// A mark's place in the recording may come out late by up to one block of the null sink.
constexpr double timelineSlack = 0.05;
// The fixture ends 60 dB down; cut off 100 ms early it is still at about -30 dB.
constexpr double cutLevel = 0.004;

// A strike as the fixture has it: 880 Hz, 2 ms attack, decaying with a 35 ms time constant.
void addStrike(AudioClip& clip, double atSeconds, double level, double lengthSeconds)
{
    const auto first = size_t(std::lround(atSeconds * clip.sampleRate));
    const auto count = size_t(std::lround(lengthSeconds * clip.sampleRate));
    if (clip.samples.size() < first + count)
        clip.samples.resize(first + count);
    const double decay = lengthSeconds > 0.5 ? 1e9 : 0.035; // a long one is held
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / clip.sampleRate;
        const double envelope = std::min(1.0, t / 0.002) * std::exp(-t / decay);
        clip.samples[first + i]
            += float(level * envelope * std::sin(2 * std::numbers::pi * 880 * t));
    }
}

bool installPack(const ClockApp& app)
{
    const QString fixture = QFINDTESTDATA("../data/sounds-e2e/Strike");
    const QString target = app.dataDir() + QStringLiteral("/horolan/Sounds/") + packName;
    if (fixture.isEmpty() || !QDir().mkpath(target))
        return false;
    const QDir source(fixture);
    for (const QString& name : source.entryList(QDir::Files)) {
        if (!QFile::copy(source.filePath(name), target + u'/' + name))
            return false;
    }
    return true;
}

// The strokes that came before a mark's place in the recording.
QList<Stroke> before(const QList<Stroke>& strokes, double seconds)
{
    QList<Stroke> result;
    for (const Stroke& s : strokes) {
        if (s.atSeconds < seconds - timelineSlack)
            result << s;
    }
    return result;
}

QString timing(const QList<Stroke>& strokes)
{
    QStringList gaps;
    QStringList lengths;
    for (qsizetype i = 0; i < strokes.size(); ++i) {
        if (i > 0)
            gaps << QString::number(
                qRound((strokes[i].atSeconds - strokes[i - 1].atSeconds) * 1000));
        lengths << QStringLiteral("%1 (end at %2)")
                       .arg(qRound((strokes[i].endSeconds - strokes[i].atSeconds) * 1000))
                       .arg(strokes[i].endPeak, 0, 'f', 4);
    }
    return QStringLiteral("onsets %1 ms apart; sounding %2 ms")
        .arg(gaps.isEmpty() ? QStringLiteral("-") : gaps.join(u' '), lengths.join(u' '));
}

} // namespace

void TestE2eChimes::initTestCase()
{
    m_x = std::make_unique<XServer>();
    QVERIFY2(m_x->start(), qPrintable(m_x->error()));
    m_audio = std::make_unique<AudioServer>();
    QElapsedTimer started;
    started.start();
    QVERIFY2(m_audio->start(), qPrintable(m_audio->error()));
    qInfo("PulseAudio answered after %lld ms", started.elapsed());
}

void TestE2eChimes::cleanup()
{
    if (QTest::currentTestFailed()) {
        if (m_recording) {
            m_recording->stop();
            QString name = QStringLiteral("tst_e2e_chimes-%1").arg(QTest::currentTestFunction());
            if (QTest::currentDataTag())
                name += u'-' + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_');
            const QString path = QDir::current().absoluteFilePath(name + QStringLiteral(".wav"));
            if (writeWav(path, m_recording->clip()))
                qWarning().noquote() << "the recording is kept in" << path;
        }
        if (m_app)
            qWarning().noquote() << "the clock's output:\n" << m_app->output();
        if (m_audio)
            qWarning().noquote() << "PulseAudio's log:\n" << m_audio->log();
    }
    m_app.reset();
    m_recording.reset();
}

void TestE2eChimes::cleanupTestCase()
{
    m_app.reset();
    m_recording.reset();
    m_audio.reset();
    m_x.reset();
}

bool TestE2eChimes::startClock(const QString& fakeStart, const QString& settings)
{
    m_recording = std::make_unique<AudioRecording>(*m_audio);
    if (!m_recording->start()) {
        m_error = m_recording->error();
        return false;
    }
    ClockApp::Options options;
    options.fakeStart = fakeStart;
    options.environment = m_audio->clientEnvironment();
    m_app = std::make_unique<ClockApp>(*m_x, options);
    const QString text
        = QStringLiteral("[Setting]\nLeft=1500\nTop=1500\nSoundPack=%1\n").arg(packName) + settings;
    if (!installPack(*m_app) || !m_app->writeSettings(text)) {
        m_error = QStringLiteral("cannot prepare the clock's folders in ") + m_app->homeDir();
        return false;
    }
    m_startMark = m_recording->markMs();
    const auto window = m_app->startAndWait();
    if (!window) {
        m_error = m_app->error();
        return false;
    }
    m_window = *window;
    return true;
}

bool TestE2eChimes::press(const QString& key)
{
    if (!m_x->key(m_window.id, key)) {
        m_error = m_x->error();
        return false;
    }
    return true;
}

bool TestE2eChimes::strokesApart(const QList<Stroke>& strokes, double seconds)
{
    for (qsizetype i = 1; i < strokes.size(); ++i) {
        if (strokes[i].atSeconds - strokes[i - 1].atSeconds < seconds) {
            m_error = QStringLiteral("stroke %1 starts %2 ms after the one before, which lasts "
                                     "%3 ms: the chime did not wait for the end of its sound; %4")
                          .arg(i + 1)
                          .arg(qRound((strokes[i].atSeconds - strokes[i - 1].atSeconds) * 1000))
                          .arg(qRound(strokeSeconds * 1000))
                          .arg(describe(strokes));
            return false;
        }
    }
    return true;
}

bool TestE2eChimes::fadeOut(const QList<Stroke>& strokes, qsizetype count)
{
    for (qsizetype i = 0; i < count && i < strokes.size(); ++i) {
        if (strokes[i].endPeak >= cutLevel) {
            m_error = QStringLiteral("stroke %1 is cut off %2 ms after its onset, still at %3; the "
                                     "sound lasts %4 ms; %5")
                          .arg(i + 1)
                          .arg(qRound((strokes[i].endSeconds - strokes[i].atSeconds) * 1000))
                          .arg(strokes[i].endPeak, 0, 'f', 4)
                          .arg(qRound(strokeSeconds * 1000))
                          .arg(timing(strokes));
            return false;
        }
    }
    return true;
}

void TestE2eChimes::strokesFound_data()
{
    QTest::addColumn<QList<double>>("strikes"); // onsets, seconds
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("lengthSeconds");
    QTest::addColumn<double>("noise"); // peak of a steady hum under everything
    QTest::addColumn<int>("found");
    QTest::addColumn<bool>("fade"); // every stroke fades out

    const QList<double> none;
    QTest::newRow("silence") << none << 0.0 << strokeSeconds << 0.0 << 0 << true;
    QTest::newRow("hum alone") << none << 0.0 << strokeSeconds << 0.015 << 0 << true;
    QTest::newRow("three apart") << QList<double> { 0.1, 0.6, 1.1 } << 0.6 << strokeSeconds << 0.0
                                 << 3 << true;
    QTest::newRow("back to back") << QList<double> { 0.1, 0.35, 0.6 } << 0.6 << strokeSeconds << 0.0
                                  << 3 << true;
    // Each rises 1 ms before the end of a 10 ms window: that window is neither quiet nor loud.
    QTest::newRow("onsets late in a window")
        << QList<double> { 0.109, 0.609, 1.109 } << 0.6 << strokeSeconds << 0.0 << 3 << true;
    QTest::newRow("at the very start")
        << QList<double> { 0.0 } << 0.6 << strokeSeconds << 0.0 << 1 << true;
    // A hum never falls silent.
    QTest::newRow("soft, over a hum")
        << QList<double> { 0.2, 0.5 } << 0.25 << strokeSeconds << 0.015 << 2 << false;
    QTest::newRow("cut off while ringing")
        << QList<double> { 0.1, 0.35 } << 0.6 << 0.12 << 0.0 << 2 << false;
    QTest::newRow("a held tone is one stroke")
        << QList<double> { 0.1 } << 0.6 << 1.0 << 0.0 << 1 << false;
}

void TestE2eChimes::strokesFound()
{
    QFETCH(QList<double>, strikes);
    QFETCH(double, level);
    QFETCH(double, lengthSeconds);
    QFETCH(double, noise);
    QFETCH(int, found);
    QFETCH(bool, fade);

    AudioClip clip;
    clip.samples.resize(size_t(2 * clip.sampleRate));
    for (const double at : strikes)
        addStrike(clip, at, level, lengthSeconds);
    for (size_t i = 0; i < clip.samples.size(); ++i)
        clip.samples[i]
            += float(noise * std::sin(2 * std::numbers::pi * 50 * double(i) / clip.sampleRate));

    const QList<Stroke> strokes = findStrokes(clip);
    QVERIFY2(strokes.size() == found, qPrintable(describe(strokes)));
    for (qsizetype i = 0; i < strokes.size() && i < strikes.size(); ++i)
        QVERIFY2(
            std::abs(strokes[i].atSeconds - strikes[i]) < 0.003, qPrintable(describe(strokes)));
    if (found > 0)
        QCOMPARE(fadeOut(strokes, found), fade);
}

void TestE2eChimes::recordsWhatIsPlayed()
{
    const QString strike = QFINDTESTDATA("../data/sounds-e2e/Strike/strike.wav");
    AudioClip fixture;
    QString why;
    QVERIFY2(readWav(strike, fixture, &why), qPrintable(why));
    const QList<Stroke> own = findStrokes(fixture);
    QVERIFY2(own.size() == 1 && own[0].atSeconds < 0.005, qPrintable(describe(own)));
    QVERIFY(std::abs(fixture.seconds() - strokeSeconds) < 0.01);

    m_recording = std::make_unique<AudioRecording>(*m_audio);
    QVERIFY2(m_recording->start(), qPrintable(m_recording->error()));
    const qint64 firstMark = m_recording->markMs();
    // paplay returns once its sound has drained, so the second one starts after the first ends.
    for (int i = 0; i < 2; ++i) {
        const ToolResult r = m_audio->run(QStringLiteral("paplay"), { strike });
        QVERIFY2(r.ok, qPrintable(r.error));
    }
    const qint64 lastMark = m_recording->markMs();
    QVERIFY2(m_recording->waitForQuiet(m_recording->seconds(lastMark) + 0.3, 500, 5000),
        qPrintable(describe(m_recording->strokes())));
    const QList<Stroke> strokes = m_recording->strokes();
    QVERIFY2(strokes.size() == 2, qPrintable(describe(strokes)));
    QVERIFY2(
        before(strokes, m_recording->seconds(firstMark)).isEmpty(), qPrintable(describe(strokes)));
    QVERIFY2(strokesApart(strokes, minOnsetGap), qPrintable(m_error));
    QVERIFY2(fadeOut(strokes, 2), qPrintable(m_error));
    // Loud as the file, less what the server's mono-to-stereo mix takes off (about 2.5 dB).
    const double ratio = strokes[0].peak / own[0].peak;
    QVERIFY2(ratio > 0.5 && ratio < 1.05,
        qPrintable(QStringLiteral("peak %1, the file's %2").arg(strokes[0].peak).arg(own[0].peak)));
    qInfo("paplay: first stroke %.0f ms after it was started; %s",
        (strokes[0].atSeconds - m_recording->seconds(firstMark)) * 1000,
        qPrintable(timing(strokes)));
}

void TestE2eChimes::hourlyChime_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("strokes");

    QTest::newRow("counting") << QStringLiteral("UseChimes=True\nUseChimesCount=True\n") << 3;
    QTest::newRow("counting off: one stroke")
        << QStringLiteral("UseChimes=True\nUseChimesCount=False\n") << 1;
    QTest::newRow("chimes off: silence")
        << QStringLiteral("UseChimes=False\nUseChimesCount=True\n") << 0;
}

void TestE2eChimes::hourlyChime()
{
    QFETCH(QString, settings);
    QFETCH(int, strokes);

    QVERIFY2(startClock(QStringLiteral("2026-03-16 02:59:57"), settings), qPrintable(m_error));
    AudioRecording& rec = *m_recording;
    // The faked clock starts as the program does, so 03:00:00 comes 3 s after the mark.
    const double hourAt = rec.seconds(m_startMark) + 3.0;
    rec.waitForStrokes(strokes, 12000);
    QVERIFY2(
        rec.waitForQuiet(hourAt + 2.5, quietAfterMs, 15000), qPrintable(describe(rec.strokes())));

    const QList<Stroke> found = rec.strokes();
    const QString seen
        = describe(found) + QStringLiteral(", the hour at %1 s").arg(hourAt, 0, 'f', 3);
    if (!found.isEmpty())
        qInfo("first stroke %.0f ms after 03:00:00; %s", (found[0].atSeconds - hourAt) * 1000,
            qPrintable(timing(found)));
    QVERIFY2(
        before(found, hourAt).isEmpty(), qPrintable(QStringLiteral("before the hour: ") + seen));
    QVERIFY2(found.size() == strokes, qPrintable(seen));
    if (strokes > 0)
        QVERIFY2(found[0].atSeconds - hourAt < 3.0, qPrintable(QStringLiteral("late: ") + seen));
    QVERIFY2(strokesApart(found, minOnsetGap), qPrintable(m_error));
}

void TestE2eChimes::stopKeyEndsCount()
{
    QVERIFY2(startClock(QStringLiteral("2026-03-16 11:59:57"),
                 QStringLiteral("UseChimes=True\nUseChimesCount=True\n")),
        qPrintable(m_error));
    AudioRecording& rec = *m_recording;
    QVERIFY2(rec.waitForStrokes(2, 12000), qPrintable(describe(rec.strokes())));
    const qint64 pressMark = rec.markMs();
    QVERIFY2(press(QStringLiteral("x")), qPrintable(m_error));
    const qint64 pressedMark = rec.markMs();
    QVERIFY2(rec.waitForQuiet(rec.seconds(pressedMark), quietAfterMs, 10000),
        qPrintable(describe(rec.strokes())));

    const QList<Stroke> found = rec.strokes();
    const double pressedAt = rec.seconds(pressedMark);
    const double silentAt = soundEndsAt(rec.clip());
    const QString seen = describe(found)
        + QStringLiteral(", X sent between %1 and %2 s, silent from %3 s")
              .arg(rec.seconds(pressMark), 0, 'f', 3)
              .arg(pressedAt, 0, 'f', 3)
              .arg(silentAt, 0, 'f', 3);
    qInfo("X after stroke 2: %lld strokes; silent %.0f ms after xdotool started, %.0f ms after it "
          "returned; %s",
        qint64(found.size()), (silentAt - rec.seconds(pressMark)) * 1000,
        (silentAt - pressedAt) * 1000, qPrintable(timing(found)));
    QVERIFY2(found.size() >= 2 && found.size() < 12, qPrintable(seen));
    QVERIFY2(silentAt <= pressedAt + 1.0, qPrintable(seen));
    QVERIFY2(strokesApart(found, minOnsetGap), qPrintable(m_error));
    // Stopped, not hung: the clock still runs.
    QVERIFY(m_app->isRunning());
}

void TestE2eChimes::chimeKey_data()
{
    QTest::addColumn<QString>("fakeStart");
    QTest::addColumn<int>("hour"); // on the twelve-hour dial
    QTest::addColumn<bool>("stop"); // X after the second stroke

    QTest::newRow("10:20, stopped") << QStringLiteral("2026-03-16 10:20:00") << 10 << true;
    QTest::newRow("15:20 strikes 3") << QStringLiteral("2026-03-16 15:20:00") << 3 << false;
}

void TestE2eChimes::chimeKey()
{
    QFETCH(QString, fakeStart);
    QFETCH(int, hour);
    QFETCH(bool, stop);

    // Off: the key plays all the same.
    QVERIFY2(startClock(fakeStart, QStringLiteral("UseChimes=False\nUseChimesCount=True\n")),
        qPrintable(m_error));
    AudioRecording& rec = *m_recording;
    QTest::qWait(300);
    QVERIFY2(rec.strokes().isEmpty(),
        qPrintable(QStringLiteral("before C: ") + describe(rec.strokes())));

    const qint64 pressMark = rec.markMs();
    QVERIFY2(press(QStringLiteral("c")), qPrintable(m_error));
    QVERIFY2(rec.waitForStrokes(stop ? 2 : hour, 8000), qPrintable(describe(rec.strokes())));
    qint64 pressedMark = rec.markMs();
    if (stop) {
        QVERIFY2(press(QStringLiteral("x")), qPrintable(m_error));
        pressedMark = rec.markMs();
    }
    QVERIFY2(rec.waitForQuiet(rec.seconds(pressedMark), quietAfterMs, 10000),
        qPrintable(describe(rec.strokes())));

    const QList<Stroke> found = rec.strokes();
    const double pressedAt = rec.seconds(pressMark);
    const QString seen
        = describe(found) + QStringLiteral(", C pressed at %1 s").arg(pressedAt, 0, 'f', 3);
    qInfo("first stroke %.0f ms after C was pressed; %s", (found[0].atSeconds - pressedAt) * 1000,
        qPrintable(timing(found)));
    QVERIFY2(before(found, pressedAt).isEmpty(), qPrintable(seen));
    if (stop) {
        QVERIFY2(found.size() >= 2 && found.size() < hour, qPrintable(seen));
        QVERIFY2(soundEndsAt(rec.clip()) <= rec.seconds(pressedMark) + 1.0, qPrintable(seen));
    } else {
        QVERIFY2(found.size() == hour, qPrintable(seen));
    }
    QVERIFY2(strokesApart(found, minOnsetGap), qPrintable(m_error));
}

void TestE2eChimes::strokesRingOut()
{
    QVERIFY2(startClock(QStringLiteral("2026-03-16 14:20:00"),
                 QStringLiteral("UseChimes=False\nUseChimesCount=True\n")),
        qPrintable(m_error));
    AudioRecording& rec = *m_recording;
    QVERIFY2(press(QStringLiteral("c")), qPrintable(m_error));
    QVERIFY2(rec.waitForStrokes(2, 8000), qPrintable(describe(rec.strokes())));
    QVERIFY2(rec.waitForQuiet(rec.nowSeconds(), quietAfterMs, 10000),
        qPrintable(describe(rec.strokes())));

    // The first ends where the second begins, the second on its own.
    const QList<Stroke> found = rec.strokes();
    qInfo("%s", qPrintable(timing(found)));
    QVERIFY2(found.size() == 2, qPrintable(describe(found)));
    QVERIFY2(fadeOut(found, 2), qPrintable(m_error));
}

QTEST_GUILESS_MAIN(TestE2eChimes)
#include "tst_e2e_chimes.moc"
