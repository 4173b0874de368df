#include "DurabilitySupport.h"

#include "core/settings/SettingsText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <optional>
#include <random>
#include <thread>

#include <csignal>
#include <unistd.h>

using namespace Durability;
using namespace std::chrono_literals;

namespace {

constexpr int waitMs = 10000;

int envNumber(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = waitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(50us);
    }
    return true;
}

// Waits until a stopped process has really stopped.
bool waitStopped(qint64 pid)
{
    const QString stat = QStringLiteral("/proc/%1/stat").arg(pid);
    return waitFor([&] {
        QFile file(stat);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = file.readAll();
        const qsizetype close = text.lastIndexOf(')');
        return close > 0 && text.size() > close + 2 && text[close + 2] == 'T';
    });
}

// The files of the folder the process holds open.
QStringList openFilesIn(qint64 pid, const QString& folder)
{
    QStringList files;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd :
        QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const QByteArray link = QFile::encodeName(fds + u'/' + fd);
        const ssize_t size = ::readlink(link.constData(), target, sizeof target - 1);
        if (size <= 0)
            continue;
        const QString path = QFile::decodeName(QByteArray(target, size));
        if (path.startsWith(folder + u'/'))
            files << path.sliced(folder.size() + 1);
    }
    return files;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

class Helper {
public:
    Helper(const char* programVariable, const QString& progressPath)
        : m_program(qEnvironmentVariable(programVariable))
        , m_progressFile(progressPath)
    {
        progress = mapProgress(m_progressFile);
    }
    ~Helper()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(waitMs);
        }
    }
    bool start(const QStringList& arguments)
    {
        new (progress) Progress {};
        m_process.setProgram(m_program);
        m_process.setArguments(arguments + QStringList { m_progressFile.fileName() });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        return m_process.waitForStarted(waitMs) && waitFor([this] {
            return progress->ready.load() == 1 || m_process.state() == QProcess::NotRunning;
        }) && progress->ready.load() == 1;
    }
    bool signal(int number) { return ::kill(pid_t(m_process.processId()), number) == 0; }
    bool finished() { return m_process.waitForFinished(waitMs); }
    qint64 pid() const { return m_process.processId(); }
    QProcess& process() { return m_process; }

    Progress* progress = nullptr;

private:
    QString m_program;
    QFile m_progressFile;
    QProcess m_process;
};

} // namespace

class TstSettingsDurability : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void killDuringSaves();
    void closingSignalSavesNewest();
    void interruptedSaveCleared_data();
    void interruptedSaveCleared();

private:
    QTemporaryDir m_work;
};

void TstSettingsDurability::initTestCase()
{
    for (const char* helper : { "HOROLAN_KILL_HELPER", "HOROLAN_CLOSE_HELPER" })
        QVERIFY2(QFileInfo(qEnvironmentVariable(helper)).isExecutable(), helper);
    QVERIFY(m_work.isValid());
}

// A save is atomic: whenever the process dies, the file holds the set of the last save that
// returned, or the set of the save under way; never a mix, never nothing.
void TstSettingsDurability::killDuringSaves()
{
    const int kills = envNumber("HOROLAN_KILLS", 120);
    const auto seed = quint32(
        envNumber("HOROLAN_KILL_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
    qInfo("HOROLAN_KILL_SEED=%u HOROLAN_KILLS=%d", seed, kills);
    std::mt19937 random(seed);

    // By default on a tmpfs, where a save does not wait for the disk: a killed process leaves
    // the same files on any file system, and the kills come many times faster.
    const QString base = qEnvironmentVariable("HOROLAN_KILL_DIR",
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                           : m_work.path());
    QTemporaryDir dir(base + QStringLiteral("/tst_settingsdurability-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString folder = dir.path();
    const QString path = folder + QStringLiteral("/Quarnet.conf");
    QVERIFY(saveSet(path, 0));
    const QString expected[2] = { expectedSummary(0), expectedSummary(1) };
    QCOMPARE(load(path).summary, expected[0]);

    Helper helper("HOROLAN_KILL_HELPER", m_work.filePath(QStringLiteral("progress")));
    QVERIFY(helper.progress);
    // How long a save takes here, so that the kills spread over about two of them.
    QVERIFY(helper.start({ QStringLiteral("save"), path }));
    std::this_thread::sleep_for(300ms);
    const std::uint32_t calibration = helper.progress->completed;
    QVERIFY(helper.signal(SIGKILL));
    QVERIFY(helper.finished());
    QVERIFY(calibration > 0);
    const auto spanUs = std::max<std::uint32_t>(2 * 300'000 / calibration, 100);
    qInfo("a save takes %u us in %s", 300'000 / calibration, qPrintable(base));
    load(path);

    int newFileOpen = 0, lockHeld = 0, inSaveInfo = 0, staleLocks = 0, leftovers = 0;
    std::uint64_t saves = 0;
    QElapsedTimer timer;
    timer.start();
    for (int kill = 0; kill < kills; ++kill) {
        const QString context = QStringLiteral("kill %1 of seed %2").arg(kill).arg(seed);
        QVERIFY2(helper.start({ QStringLiteral("save"), path }), qPrintable(context));
        Progress& progress = *helper.progress;
        QVERIFY2(waitFor([&] { return progress.completed.load() >= 1; }), qPrintable(context));
        // Most saves take well under a millisecond: this spreads the kills over many of them.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % spanUs));

        // Stopped first, to see what it holds open at the moment it dies.
        QVERIFY(helper.signal(SIGSTOP));
        QVERIFY(waitStopped(helper.pid()));
        const QStringList open = openFilesIn(helper.pid(), folder);
        QVERIFY(helper.signal(SIGKILL));
        QVERIFY(helper.finished());

        const std::uint32_t started = progress.started, completed = progress.completed;
        QCOMPARE(progress.failed.load(), 0u);
        saves += completed;
        lockHeld += open.contains(QStringLiteral("Quarnet.conf.lock"));
        newFileOpen += open.size() - open.count(QStringLiteral("Quarnet.conf.lock"))
                - open.count(QStringLiteral("Quarnet.conf"))
            > 0;
        inSaveInfo += started != completed;
        const QStringList left = folderEntries(folder);
        staleLocks += left.contains(QStringLiteral("Quarnet.conf.lock"));
        leftovers += left.size() - 1 - left.contains(QStringLiteral("Quarnet.conf.lock"));

        // QSettings keeps a file it read in memory; a copy under a new name is read from disk.
        const QString copy = m_work.filePath(QStringLiteral("check-%1.conf").arg(kill));
        QVERIFY(QFile::copy(path, copy));
        const Loaded loaded = load(copy);
        QFile::remove(copy);
        QVERIFY2(loaded.status == QSettings::NoError, qPrintable(context));
        const bool old = loaded.summary == expected[completed % 2];
        const bool under = started != completed && loaded.summary == expected[started % 2];
        QVERIFY2(old || under,
            qPrintable(QStringLiteral("%1: saves %2 started, %3 done; the file loads as %4")
                           .arg(context)
                           .arg(started)
                           .arg(completed)
                           .arg(loaded.summary)));

        // The next start clears whatever the kill left.
        load(path);
        const QStringList after = folderEntries(folder);
        QVERIFY2(after == QStringList { QStringLiteral("Quarnet.conf") },
            qPrintable(context + QStringLiteral(": left after the next start: ") + after.join(u' ')
                + QStringLiteral("; lock: ")
                + QString::fromUtf8(contents(path + QStringLiteral(".lock")).toPercentEncoding())));
    }
    qInfo("%d kills in %lld ms over %llu saves: %d with the new file open, %d holding the save "
          "lock, %d inside SaveInfo; left behind: %d stale locks, %d new files",
        kills, timer.elapsed(), static_cast<unsigned long long>(saves), newFileOpen, lockHeld,
        inSaveInfo, staleLocks, leftovers);
    QVERIFY2(newFileOpen > 0, "no kill landed while a new file was being written");
}

// Whatever was changed last before a closing signal is in the file after the clock ends.
void TstSettingsDurability::closingSignalSavesNewest()
{
    const int runs = envNumber("HOROLAN_TERMS", 25);
    const auto seed = quint32(
        envNumber("HOROLAN_KILL_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
    qInfo("HOROLAN_KILL_SEED=%u HOROLAN_TERMS=%d", seed, runs);
    std::mt19937 random(seed);
    Helper helper("HOROLAN_CLOSE_HELPER", m_work.filePath(QStringLiteral("progress")));
    QVERIFY(helper.progress);
    for (int run = 0; run < runs; ++run) {
        const QString context = QStringLiteral("run %1 of seed %2").arg(run).arg(seed);
        // A folder each: QSettings in this process would not read the same file again.
        const QString path = m_work.filePath(QStringLiteral("close-%1/Quarnet.conf").arg(run));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Setting]\nLockPos=False\n[WTT]\nScroll=True\n");
        }
        QVERIFY2(helper.start({ path }), qPrintable(context));
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        QVERIFY(helper.signal(SIGTERM));
        QVERIFY(helper.finished());
        QCOMPARE(helper.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper.process().exitCode(), 0);

        // Change n presses L when odd, S when even.
        const std::uint32_t changes = helper.progress->changes;
        QVERIFY2(changes > 0, qPrintable(context));
        const bool lockPos = (changes + 1) / 2 % 2 == 1;
        const bool scroll = changes / 2 % 2 == 0;
        const QSettings saved(path, QSettings::IniFormat);
        QCOMPARE(saved.status(), QSettings::NoError);
        QVERIFY2(saved.value("Setting/LockPos").toString() == SettingsText::fromBool(lockPos)
                && saved.value("WTT/Scroll").toString() == SettingsText::fromBool(scroll),
            qPrintable(QStringLiteral("%1: SIGTERM after %2 changes, saved LockPos=%3 Scroll=%4")
                           .arg(context)
                           .arg(changes)
                           .arg(saved.value("Setting/LockPos").toString(),
                               saved.value("WTT/Scroll").toString())));
    }
}

void TstSettingsDurability::interruptedSaveCleared_data()
{
    QTest::addColumn<bool>("lockLive");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("stale lock: the new file goes")
        << false << QStringList { "Quarnet.conf", "Quarnet.conf.backup" };
    QTest::newRow("lock held by a running clock: nothing goes")
        << true
        << QStringList { "Quarnet.conf", "Quarnet.conf.AbCdEf", "Quarnet.conf.backup",
               "Quarnet.conf.lock" };
}

// A save killed between naming its new file and renaming it leaves both that file and its lock;
// the next start removes them, and nothing older than the lock.
void TstSettingsDurability::interruptedSaveCleared()
{
    QFETCH(bool, lockLive);
    QFETCH(QStringList, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quarnet.conf"));
    QVERIFY(saveSet(path, 0));
    QFile backup(path + QStringLiteral(".backup"));
    QVERIFY(backup.open(QIODevice::WriteOnly));
    backup.write("[Setting]\nSpeed=2\n");
    QVERIFY(backup.setFileTime(
        QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    backup.close();

    QProcess interrupted;
    interrupted.start(
        qEnvironmentVariable("HOROLAN_KILL_HELPER"), { QStringLiteral("interrupted"), path });
    QVERIFY(interrupted.waitForFinished(waitMs));
    QCOMPARE(interrupted.exitCode(), 0);
    QCOMPARE(folderEntries(dir.path()),
        QStringList(
            { "Quarnet.conf", "Quarnet.conf.AbCdEf", "Quarnet.conf.backup", "Quarnet.conf.lock" }));

    std::optional<QLockFile> live;
    if (lockLive) {
        QFile::remove(path + QStringLiteral(".lock"));
        live.emplace(path + QStringLiteral(".lock"));
        QVERIFY(live->tryLock(0));
    }
    QCOMPARE(load(path).summary, expectedSummary(0));
    QCOMPARE(folderEntries(dir.path()), kept);
}

QTEST_GUILESS_MAIN(TstSettingsDurability)
#include "tst_settingsdurability.moc"
