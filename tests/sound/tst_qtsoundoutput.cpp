#include "ui/audio/QtSoundOutput.h"

#include "ui/audio/WavInfo.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

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

QString sourceOf(const QtSoundOutput& out, const QString& path)
{
    const QSoundEffect* effect = out.loadedEffect(path);
    return effect ? effect->source().toLocalFile() : QString();
}

ino_t inodeOf(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

void setModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
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
    void loadedOncePerFile();
    void loadedBounded();
    void changedFileReloaded_data();
    void changedFileReloaded();
    void paddedCopiesKept_data();
    void paddedCopiesKept();
    void damagedCopyReplaced();
    void paddedFolderSwept_data();
    void paddedFolderSwept();
    void init();
    void cleanupTestCase();

private:
    QString cacheFolder() const { return m_cache->filePath(QStringLiteral("horolan/sounds")); }

    QTemporaryDir m_dir;
    QTemporaryDir m_tmp; // TMPDIR: sounds never leave anything in it
    std::unique_ptr<QTemporaryDir> m_cache; // XDG_CACHE_HOME, new for every test
    QString m_short, m_long, m_claimsAnHour;
};

void tst_QtSoundOutput::initTestCase()
{
    QVERIFY(m_dir.isValid() && m_tmp.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
    m_short = writeWav(m_dir.filePath(QStringLiteral("short.wav")), 300);
    m_long = writeWav(m_dir.filePath(QStringLiteral("long.wav")), 5000);
    m_claimsAnHour = writeWav(m_dir.filePath(QStringLiteral("hour.wav")), 300, 3600 * 1000);
}

void tst_QtSoundOutput::init()
{
    m_cache = std::make_unique<QTemporaryDir>(m_dir.filePath(QStringLiteral("cache-XXXXXX")));
    QVERIFY(m_cache->isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache->path()));
}

void tst_QtSoundOutput::cleanupTestCase()
{
    QCOMPARE(QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
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
    QCOMPARE(out.effectCount(), device && !claimsAnHour ? 1 : 0);
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

// A count chime plays one file many times: it is loaded once, and each stroke has a player of
// its own (Qt's sink falls silent when one is started again and again).
void tst_QtSoundOutput::loadedOncePerFile()
{
    TestOutput out;
    out.playAsync(m_short);
    const QPointer<const QSoundEffect> loaded = out.loadedEffect(m_short);
    QVERIFY(loaded);
    QVERIFY(out.playSync(m_short));
    QVERIFY(out.playSync(m_short));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    out.playAsync(m_short);
    out.playAsync(m_short);
    QCOMPARE(out.findChildren<QSoundEffect*>().size(), 1 + 3);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(out.findChildren<QSoundEffect*>().size(), 1 + 1);
    QCOMPARE(out.loadedEffect(m_short), loaded.get());
    QCOMPARE(out.effectCount(), 1);
    QCOMPARE(out.beeps, 0);
}

void tst_QtSoundOutput::loadedBounded()
{
    QStringList files;
    for (int i = 0; i <= QtSoundOutput::maxEffects; ++i)
        files << writeWav(m_dir.filePath(QStringLiteral("bounded%1.wav").arg(i)), 20);
    TestOutput out;
    for (int i = 0; i < QtSoundOutput::maxEffects; ++i)
        out.playAsync(files[i]);
    out.playAsync(files[0]);
    const QPointer<const QSoundEffect> second = out.loadedEffect(files[1]);
    out.playAsync(files.last());
    out.stop();
    // The least recently played goes.
    QCOMPARE(out.effectCount(), QtSoundOutput::maxEffects);
    QVERIFY(!second);
    QVERIFY(out.loadedEffect(files[0]) && out.loadedEffect(files.last()));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(out.findChildren<QSoundEffect*>().size(), QtSoundOutput::maxEffects);
}

void tst_QtSoundOutput::changedFileReloaded_data()
{
    QTest::addColumn<bool>("longer");
    QTest::newRow("longer") << true;
    QTest::newRow("same size, newer") << false;
}

void tst_QtSoundOutput::changedFileReloaded()
{
    QFETCH(bool, longer);
    const QString path = writeWav(m_dir.filePath(QStringLiteral("changing.wav")), 100);
    setModified(path, QDateTime::currentDateTime().addSecs(-60));
    TestOutput out;
    out.playAsync(path);
    const QPointer<const QSoundEffect> before = out.loadedEffect(path);
    const QString copyBefore = sourceOf(out, path);
    if (longer)
        writeWav(path, 200);
    else
        setModified(path, QDateTime::currentDateTime());
    out.playAsync(path);
    QVERIFY(!before);
    QVERIFY(out.loadedEffect(path));
    QCOMPARE(out.effectCount(), 1);
    QVERIFY(sourceOf(out, path) != copyBefore);
    const std::optional<WavInfo> copy = WavInfo::readFile(sourceOf(out, path));
    QVERIFY(copy);
    QCOMPARE(copy->durationMs, (longer ? 200 : 100) + 250);
}

void tst_QtSoundOutput::paddedCopiesKept_data()
{
    QTest::addColumn<bool>("cacheWritable");
    QTest::newRow("in the cache") << true;
    // XDG_CACHE_HOME names a file: the copies go to a folder of this user's in TMPDIR.
    QTest::newRow("cache not writable") << false;
}

// Copies outlive the output and serve the next one, so a killed clock leaves nothing new behind.
void tst_QtSoundOutput::paddedCopiesKept()
{
    QFETCH(bool, cacheWritable);
    QString folder = cacheFolder();
    if (!cacheWritable) {
        const QString notAFolder = m_cache->filePath(QStringLiteral("file"));
        QVERIFY(QFile(notAFolder).open(QIODevice::WriteOnly));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(notAFolder));
        folder = m_tmp.filePath(QStringLiteral("horolan-%1-sounds").arg(::getuid()));
    }
    QString copy;
    {
        TestOutput out;
        out.playAsync(m_short);
        copy = sourceOf(out, m_short);
    }
    QCOMPARE(QFileInfo(copy).absolutePath(), folder);
    QVERIFY(QFileInfo(copy).fileName().contains(QRegularExpression("^[0-9a-f]{40}\\.wav$")));
    const std::optional<WavInfo> info = WavInfo::readFile(copy);
    QVERIFY(info && info->dataComplete);
    QCOMPARE(info->durationMs, 300 + 250);
    const ino_t inode = inodeOf(copy);

    TestOutput again;
    again.playAsync(m_short);
    QCOMPARE(sourceOf(again, m_short), copy);
    QCOMPARE(inodeOf(copy), inode);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
    if (!cacheWritable)
        QVERIFY(QDir(folder).removeRecursively());
}

// A copy cut short would hang Qt's loader: it is checked like any sound and written anew.
void tst_QtSoundOutput::damagedCopyReplaced()
{
    QString copy;
    {
        TestOutput out;
        out.playAsync(m_short);
        copy = sourceOf(out, m_short);
        // Cut short while Qt still reads it, it would hang this test instead.
        QTRY_VERIFY(out.loadedEffect(m_short)->status() != QSoundEffect::Loading);
    }
    QFile file(copy);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(file.size() / 2));
    file.close();
    TestOutput again;
    again.playAsync(m_short);
    QCOMPARE(sourceOf(again, m_short), copy);
    const std::optional<WavInfo> info = WavInfo::readFile(copy);
    QVERIFY(info && info->dataComplete);
}

void tst_QtSoundOutput::paddedFolderSwept_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("ageHours");
    QTest::addColumn<QList<bool>>("kept");
    const QString copy = QString(40, u'a') + QStringLiteral(".wav");
    const QString other = QString(40, u'b') + QStringLiteral(".wav");
    QTest::newRow("unused for a month")
        << QStringList { copy, other } << QList<int> { 31 * 24, 29 * 24 }
        << QList<bool> { false, true };
    QTest::newRow("what a save cut short left")
        << QStringList { copy + QStringLiteral(".Xy12ab"), other + QStringLiteral(".Cd34ef") }
        << QList<int> { 2, 0 } << QList<bool> { false, true };
    QTest::newRow("not ours") << QStringList { QStringLiteral("notes.txt"),
        QStringLiteral("a.wav") }
                              << QList<int> { 365 * 24, 365 * 24 } << QList<bool> { true, true };
    QStringList many;
    QList<int> ages;
    QList<bool> kept;
    for (int i = 0; i < QtSoundOutput::maxPaddedFiles + 3; ++i) {
        many << QStringLiteral("%1.wav").arg(i, 40, 10, QLatin1Char('0'));
        ages << i;
        kept << (i < QtSoundOutput::maxPaddedFiles);
    }
    QTest::newRow("too many: the oldest go") << many << ages << kept;
}

void tst_QtSoundOutput::paddedFolderSwept()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, ageHours);
    QFETCH(QList<bool>, kept);
    QVERIFY(QDir().mkpath(cacheFolder()));
    const QDateTime now = QDateTime::currentDateTime();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = cacheFolder() + u'/' + names[i];
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        setModified(path, now.addSecs(-3600LL * ageHours[i] - 60));
    }
    TestOutput out;
    out.playAsync(m_short);
    for (qsizetype i = 0; i < names.size(); ++i)
        QVERIFY2(QFile::exists(cacheFolder() + u'/' + names[i]) == kept[i], qPrintable(names[i]));
    QVERIFY(QFile::exists(sourceOf(out, m_short)));
}

QTEST_MAIN(tst_QtSoundOutput)
#include "tst_qtsoundoutput.moc"
