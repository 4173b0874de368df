// The store's failures: refused saves, what is not a regular file, interrupted saves, kills.
#include "SettingsTesting.h"

#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>

#include <random>
#include <thread>

#include <csignal>
#include <dlfcn.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>

namespace {

// Set n % 2: the two sets differ in every value, and their lists in length.
Settings valueSet(int n, int entries = 0)
{
    const bool odd = n % 2;
    Settings s { odd ? QPoint(300, 480) : QPoint(20, 10), odd, !odd, odd, !odd, odd, !odd,
        odd ? 42.5f : 88, odd ? "Beta, Gamma" : "Alpha", odd ? "Bells" : "< skin >", {}, !odd };
    for (int i = 1; i <= (entries ? entries : odd ? 40 : 3); ++i)
        s.worldTimes << QStringLiteral("+%1 Zone %2").arg(odd ? 60 : 120).arg(i);
    return s;
}

bool saveSet(const QString& path, int n, int entries = 0)
{
    const FixedClock clock;
    SettingsStore store(path, clock);
    saveSettings(store, valueSet(n, entries));
    return !store.hasUnsavedChanges();
}

// Root passes permission checks with these capabilities, dropped meanwhile from this thread,
// where the store does its work.
bool makeReadOnly(const QString& path, bool on)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct caps[2] {};
    const quint32 mask = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER;
    if (::geteuid() == 0 && ::syscall(SYS_capget, &header, caps) == 0) {
        caps[0].effective = on ? caps[0].effective & ~mask : caps[0].effective | caps[0].permitted;
        ::syscall(SYS_capset, &header, caps);
    }
    const QFile::Permissions read = QFileInfo(path).isDir() ? QFile::ReadOwner | QFile::ExeOwner
                                                            : QFile::Permissions(QFile::ReadOwner);
    return QFile::setPermissions(path, on ? read : read | QFile::WriteOwner);
}

} // namespace

class TstSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { g_print = qInstallMessageHandler(keepWarning); }
    void init() { g_warnings.clear(); }
    void refusedSave_data();
    void refusedSave();
    void notAFile_data();
    void notAFile();
    void interruptedSave_data();
    void interruptedSave();
    void killDuringSaves();

private:
    FixedClock m_clock { QDateTime(QDate(2026, 12, 5), QTime(18, 7, 5)) };
};

void TstSettingsStore::refusedSave_data()
{
    QTest::addColumn<QString>("fault"); // what is read-only, or the room left on the disk in bytes
    QTest::addColumn<QString>("file"); // "set", "none" or a damaged file
    // These run on their own, with a library of ours preloaded that fills a folder's disk.
    if (qEnvironmentVariableIsSet("HOROLAN_FULL_DISK")) {
        QTest::newRow("disk full") << "0" << QString("set");
        QTest::newRow("room for the lock, not the file") << "4096" << QString("set");
        return;
    }
    QTest::newRow("folder read-only") << "." << QString("set");
    QTest::newRow("folder read-only, no file yet") << "." << QString("none");
    QTest::newRow("file read-only") << "Quarnet.conf" << QString("set");
    QTest::newRow("damaged file, folder read-only") << "." << QString("unterminated-section.conf");
}

// A refused save leaves the file as it was, says so once for the whole run of failures, and is
// retried until it lands.
void TstSettingsStore::refusedSave()
{
    QFETCH(QString, fault);
    QFETCH(QString, file);
    bool disk = false;
    const long long roomBytes = fault.toLongLong(&disk);
    auto* const fill = reinterpret_cast<void (*)(const char*, long long)>(
        ::dlsym(RTLD_DEFAULT, "horolanFillDisk"));
    if (disk && !fill)
        QSKIP("the disk-full library is not preloaded");
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    if (file != "none")
        QVERIFY(file == "set" ? saveSet(path, 0, 300)
                              : QFile::copy(QFINDTESTDATA("../../data/settings/" + file), path));
    const QByteArray before = contents(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(dir.path()).canonicalFilePath());
    const auto apply = [&](bool on) {
        return disk ? (fill(folder, on ? roomBytes : -1), true)
                    : makeReadOnly(dir.filePath(fault), on);
    };
    const int warnings = file.endsWith(".conf") ? 2 : 1; // and the copy that could not be made
    QVERIFY(apply(true));
    const auto lift = qScopeGuard([&] { apply(false); }); // also when a check fails
    SettingsStore store(path, m_clock);
    saveSettings(store, valueSet(1, 300));
    QVERIFY(store.retryRemainingMs() > 29000);
    store.setRetryDelay(std::chrono::milliseconds(5));
    QTRY_VERIFY(store.failedAttempts() >= 4);
    QCOMPARE(g_warnings.size(), warnings);
    QCOMPARE(contents(path), before);
    QVERIFY(apply(false));
    QTRY_VERIFY(!store.hasUnsavedChanges());
    QVERIFY(loadCopy(path) == valueSet(1, 300));
    QVERIFY(!file.endsWith(".conf") || contents(path + ".damaged-20261205-180705") == before);
}

void TstSettingsStore::notAFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("FIFO as the file") << "Quarnet.conf" << false;
    QTest::newRow("FIFO as the lock") << "Quarnet.conf.lock" << false;
    QTest::newRow("FIFO as the file, folder read-only") << "Quarnet.conf" << true;
}

// A FIFO would block the clock: it is moved aside, or else the store keeps to memory.
void TstSettingsStore::notAFile()
{
    QFETCH(QString, entry);
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    QVERIFY(!entry.endsWith(".lock") || saveSet(path, 0));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(entry)).constData(), 0600), 0);
    QVERIFY(!readOnly || makeReadOnly(dir.path(), true));
    const auto lift = qScopeGuard([&] { readOnly&& makeReadOnly(dir.path(), false); });
    {
        SettingsStore store(path, m_clock);
        QCOMPARE(store.memoryOnly(), readOnly);
        QVERIFY(loadSettings(store) == (entry.endsWith(".lock") ? valueSet(0) : Settings()));
        saveSettings(store, valueSet(1));
        QCOMPARE(store.hasUnsavedChanges(), readOnly);
        QVERIFY(!store.retryPending());
    }
    QCOMPARE(g_warnings.size(), 1);
    const QString fifo = dir.filePath(entry) + (readOnly ? "" : ".not-a-file-20261205-180705");
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    QVERIFY(readOnly || loadCopy(path) == valueSet(1));
}

void TstSettingsStore::interruptedSave_data()
{
    QTest::addColumn<QString>("lock");
    QTest::addColumn<int>("copiesAgeS"); // the user's copies, from the lock's time
    QTest::newRow("dead owner, copies older than the lock") << "dead" << -60;
    QTest::newRow("dead owner, copies newer than the lock") << "dead" << 5;
    QTest::newRow("lock with no owner written") << "ownerless" << 5;
    QTest::newRow("lock held by a running clock") << "live" << 5;
}

// A save killed before its rename leaves its new file and a stale lock: the next start moves
// that file aside, and never touches the user's copies or anything else.
void TstSettingsStore::interruptedSave()
{
    QFETCH(QString, lock);
    QFETCH(int, copiesAgeS);
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    QVERIFY(saveSet(path, 0));
    std::optional<QLockFile> live;
    if (lock == "dead")
        QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(), { "--lock", path }), 0);
    else if (lock == "ownerless")
        QVERIFY(QFile(path + ".lock").open(QIODevice::WriteOnly));
    else
        QVERIFY(live.emplace(path + ".lock").tryLock(0));
    const QDateTime locked = QFileInfo(path + ".lock").lastModified();
    const QByteArray saved = contents(path);
    const std::initializer_list<std::tuple<QString, int, QByteArray>> files {
        { "AbCdEf", 1, saved }, { "backup", copiesAgeS, saved }, { "Before", copiesAgeS, saved },
        { "BACKUP", copiesAgeS, saved }, { "old123", copiesAgeS, saved },
        { "XyZabc", 1, "not settings" }, { "QwErTy", -60, saved }
    };
    for (const auto& [suffix, ageS, text] : files) {
        QFile file(path + '.' + suffix);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close(); // closing stamps the time: it is set after
        QVERIFY(file.open(QIODevice::ReadOnly)
            && file.setFileTime(locked.addSecs(ageS), QFileDevice::FileModificationTime));
    }
    SettingsStore store(path, m_clock);
    for (const auto& [suffix, ageS, text] : files)
        QVERIFY2(
            QFile::exists(path + '.' + suffix) == (suffix != "AbCdEf" || live), qPrintable(suffix));
    QCOMPARE(contents(path + ".interrupted/Quarnet.conf.AbCdEf"), live ? QByteArray() : saved);
    QCOMPARE(QFile::exists(path + ".lock"), bool(live)); // a stale lock is gone
}

// Killed at any moment of a save, the file holds the old set or the new one, byte for byte.
void TstSettingsStore::killDuringSaves()
{
    const quint32 seed = qEnvironmentVariableIsSet("HOROLAN_KILL_SEED")
        ? qEnvironmentVariableIntValue("HOROLAN_KILL_SEED")
        : std::random_device()() >> 1;
    qInfo("HOROLAN_KILL_SEED=%u", seed);
    std::mt19937 random(seed);
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    QVERIFY(saveSet(path, 0) && saveSet(path + ".0", 0) && saveSet(path + ".1", 1));
    const QByteArray sets[2] = { contents(path + ".0"), contents(path + ".1") };
    int locked = 0;
    for (int kill = 0; kill < 50; ++kill) {
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), { "--save-loop", path });
        QVERIFY(helper.waitForReadyRead(10000));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        QCOMPARE(::kill(pid_t(helper.processId()), SIGKILL), 0);
        QVERIFY(helper.waitForFinished(10000));
        locked += QFile::exists(path + ".lock");
        const QByteArray saved = contents(path); // as a save of either set wrote it
        QVERIFY2(saved == sets[0] || saved == sets[1],
            qPrintable(QString("kill %1 of seed %2").arg(kill).arg(seed)));
        SettingsStore next(path, m_clock); // the lock goes, and new files that read as ours
        QVERIFY(!QFile::exists(path + ".lock"));
    }
    qInfo("%d of 50 kills came while a save held its lock", locked);
    QVERIFY(locked > 0);
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = argc == 3 ? QFile::decodeName(argv[2]) : QString();
    if (argc == 3 && qstrcmp(argv[1], "--lock") == 0) // left by a process that dies
        ::_exit(QLockFile(path + ".lock").tryLock(0) ? 0 : 1);
    if (argc == 3 && qstrcmp(argv[1], "--save-loop") == 0) {
        const FixedClock clock;
        SettingsStore store(path, clock);
        std::puts("ready");
        std::fflush(stdout);
        for (int n = 1;; ++n)
            saveSettings(store, valueSet(n));
    }
    TstSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
