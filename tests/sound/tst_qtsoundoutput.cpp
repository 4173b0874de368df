#include "sound/QtSoundOutput.h"

#include <QElapsedTimer>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <functional>

namespace {

// Drives QSoundEffect even where no sound server runs (its end signal then never comes), or
// plays as if there were no device at all; counts beeps instead of making them.
class TestOutput : public QtSoundOutput {
public:
    bool device = true;
    int beeps = 0;
    mutable int deviceQueries = 0;
    void beep() override { ++beeps; }

protected:
    bool hasAudioOutput() const override
    {
        ++deviceQueries;
        return device;
    }
};

// 44.1 kHz 16-bit mono, a quiet tone; declaredMs > ms makes the header claim more than is there.
QString writeWav(const QString& path, int ms, qint64 declaredMs = 0)
{
    const int frames = 44100 * ms / 1000;
    QByteArray data(frames * 2, '\0');
    for (int i = 0; i < frames; ++i)
        qToLittleEndian<qint16>(qint16(i % 100 * 20), data.data() + 2 * i);
    const auto le = [](quint32 v, int n) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b.left(n);
    };
    const quint32 declared = quint32(std::max<qint64>(declaredMs, ms) * 44100 / 1000 * 2);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("RIFF" + le(36 + data.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2)
        + le(44100, 4) + le(88200, 4) + le(2, 2) + le(16, 2) + "data" + le(declared, 4) + data);
    return path;
}

} // namespace

class tst_QtSoundOutput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void lazy();
    void playSyncEndsOnItsOwn_data();
    void playSyncEndsOnItsOwn();
    void playSyncCut_data();
    void playSyncCut();
    void refused_data();
    void refused();
    void eventLoopRunsDuringPlaySync();
    void noDeviceAsyncBeeps();

private:
    QTemporaryDir m_dir;
    QString m_short, m_long, m_claimsAnHour;
};

void tst_QtSoundOutput::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_short = writeWav(m_dir.filePath(QStringLiteral("short.wav")), 300);
    m_long = writeWav(m_dir.filePath(QStringLiteral("long.wav")), 5000);
    m_claimsAnHour = writeWav(m_dir.filePath(QStringLiteral("hour.wav")), 300, 3600 * 1000);
}

void tst_QtSoundOutput::lazy()
{
    TestOutput out;
    out.stop();
    QCOMPARE(out.deviceQueries, 0);
    QVERIFY(out.findChildren<QSoundEffect*>().isEmpty());
}

void tst_QtSoundOutput::playSyncEndsOnItsOwn_data()
{
    QTest::addColumn<bool>("device");
    QTest::addColumn<bool>("claimsAnHour");
    QTest::addColumn<int>("beeps");
    QTest::newRow("effect") << true << false << 0;
    // Qt's loader would wait for the missing bytes for ever: a beep plays instead.
    QTest::newRow("effect, header claims an hour") << true << true << 1;
    QTest::newRow("no device") << false << false << 1;
    QTest::newRow("no device, header claims an hour") << false << true << 1;
}

void tst_QtSoundOutput::playSyncEndsOnItsOwn()
{
    QFETCH(bool, device);
    QFETCH(bool, claimsAnHour);
    TestOutput out;
    out.device = device;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(out.playSync(claimsAnHour ? m_claimsAnHour : m_short));
    QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 1500,
        qPrintable(QString::number(clock.elapsed())));
    QTEST(out.beeps, "beeps");
    QCOMPARE(out.findChildren<QSoundEffect*>().size(), device && !claimsAnHour ? 1 : 0);
}

void tst_QtSoundOutput::playSyncCut_data()
{
    QTest::addColumn<bool>("device");
    QTest::addColumn<int>("how");
    for (const bool device : { true, false }) {
        const char* d = device ? "effect" : "no device";
        QTest::addRow("%s, stop", d) << device << 0;
        QTest::addRow("%s, empty async play", d) << device << 1;
        QTest::addRow("%s, another async play", d) << device << 2;
        QTest::addRow("%s, nested sync play", d) << device << 3;
    }
}

// A long sound waited for synchronously ends as soon as something cuts it.
void tst_QtSoundOutput::playSyncCut()
{
    QFETCH(bool, device);
    QFETCH(int, how);
    TestOutput out;
    out.device = device;
    const std::function<void()> cuts[] = {
        [&] { out.stop(); },
        [&] { out.playAsync(QString()); },
        [&] { out.playAsync(m_short); },
        [&] { QVERIFY(out.playSync(m_short)); },
    };
    QTimer::singleShot(100, this, cuts[how]);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(out.playSync(m_long));
    QVERIFY2(
        clock.elapsed() < (how == 3 ? 1500 : 1000), qPrintable(QString::number(clock.elapsed())));
}

void tst_QtSoundOutput::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("text named .wav") << QStringLiteral("fake.wav");
    QTest::newRow("missing") << QStringLiteral("missing.wav");
    QTest::newRow("folder") << QString();
}

void tst_QtSoundOutput::refused()
{
    QFETCH(QString, name);
    QFile fake(m_dir.filePath(QStringLiteral("fake.wav")));
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("RIFF, but only in words: this is not a sound.\n");
    fake.close();
    const QString path = m_dir.filePath(name);

    TestOutput out;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!out.playSync(path));
    QVERIFY(clock.elapsed() < 200);
    QCOMPARE(out.beeps, 0);
    // An asynchronous play falls back to a beep, as the desktop's default sound would.
    out.playAsync(path);
    QCOMPARE(out.beeps, 1);
    QVERIFY(out.findChildren<QSoundEffect*>().isEmpty());
}

void tst_QtSoundOutput::eventLoopRunsDuringPlaySync()
{
    TestOutput out;
    QElapsedTimer clock;
    clock.start();
    qint64 firedAtMs = -1;
    QTimer::singleShot(0, this, [&] { firedAtMs = clock.elapsed(); });
    QVERIFY(out.playSync(m_short));
    QVERIFY(firedAtMs >= 0 && firedAtMs < 250);
}

void tst_QtSoundOutput::noDeviceAsyncBeeps()
{
    TestOutput out;
    out.device = false;
    QElapsedTimer clock;
    clock.start();
    out.playAsync(m_long);
    out.playAsync(m_short);
    QVERIFY(clock.elapsed() < 200);
    QCOMPARE(out.beeps, 2);
    QVERIFY(out.findChildren<QSoundEffect*>().isEmpty());
}

QTEST_MAIN(tst_QtSoundOutput)
#include "tst_qtsoundoutput.moc"
