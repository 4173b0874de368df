// The settings file: its load and save rules, a row of tests/data/settings/MANIFEST each, and the
// store's failures: refused saves, what is not a regular file, interrupted saves, kills.
#include "core/settings/Autostart.h"
#include "core/settings/SaveCoalescer.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>

#include <dlfcn.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>

using namespace std::chrono_literals;

char* toString(const Settings& s)
{
    QString text;
    QDebug(&text) << s.position << s.showWorldTime << s.useChimes << s.lockPosition << s.onTop
                  << s.twelveHour << s.countChimes << s.speed << s.skin << s.soundPack << s.scroll
                  << s.worldTimes << s.worldTimePosition;
    return qstrdup(qPrintable(text));
}

namespace {

const FixedClock g_clock(QDateTime(QDate(2026, 12, 5), QTime(18, 7, 5)));

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// From a copy of a name not used before: QSettings would hand this process what it read before.
Settings loadCopy(const QString& path)
{
    static int copies = 0;
    const QString copy = path + ".copy" + QString::number(++copies);
    return QFile::copy(path, copy) ? loadSettings(SettingsStore(copy, g_clock)) : Settings();
}

// The two sets differ in every value, and their lists in length.
Settings valueSet(int n)
{
    const bool odd = n % 2;
    Settings s;
    s.position = odd ? QPoint(300, 480) : QPoint(20, 10);
    s.showWorldTime = s.lockPosition = s.twelveHour = s.randomSkin = s.quietWhenLocked
        = s.quietWhenFullScreen = odd;
    s.useChimes = s.onTop = s.countChimes = s.scroll = s.quietWhenDoNotDisturb = !odd;
    s.speed = odd ? 42.5f : 88;
    s.skin = odd ? "Beta, Gamma" : "Alpha";
    s.soundPack = odd ? "Bells" : "< skin >";
    s.worldTimePosition = odd ? QPoint(75, 40) : QPoint();
    s.quietHours = { odd, QTime(odd ? 1 : 21, 30), QTime(odd ? 5 : 6, 0) };
    s.chimeVolume = odd ? 35 : 100;
    for (int i = 1; i <= (odd ? 40 : 3); ++i)
        s.worldTimes.append({ QStringLiteral("+%1 Zone %2").arg(odd ? 60 : 120).arg(i),
            i % 3 ? QString() : QStringLiteral("Europe/London") });
    return s;
}

bool saveSet(const QString& path, int n)
{
    SettingsStore store(path, g_clock);
    saveSettings(store, valueSet(n));
    return !store.hasUnsavedChanges();
}

// Root passes permission checks with these capabilities: this thread, where the store does its
// work, drops them meanwhile.
bool makeReadOnly(const QString& path, bool on)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct caps[2] {};
    const quint32 mask = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER;
    if (::syscall(SYS_capget, &header, caps) == 0) {
        caps[0].effective = on ? caps[0].effective & ~mask : caps[0].permitted;
        ::syscall(SYS_capset, &header, caps);
    }
    return ::chmod(QFile::encodeName(path).constData(), on ? 0500 : 0700) == 0;
}

// FaultInjector.cpp, when it is preloaded.
using ArmFaults = void (*)(const char* folder, const char* kind, long nth, int error);
const auto armFaults = reinterpret_cast<ArmFaults>(dlsym(RTLD_DEFAULT, "horolanArmFaults"));
const auto faultCalls
    = reinterpret_cast<long (*)(const char*)>(dlsym(RTLD_DEFAULT, "horolanFaultCalls"));

// What a save of set 1 over set 0 writes, and how many calls of a kind it makes, in a folder of
// its own.
std::pair<QByteArray, long> cleanSave(const QString& kind)
{
    const test::Folders dir;
    const QString path = dir.path("Quarnet.conf");
    if (!saveSet(path, 0))
        return {};
    SettingsStore store(path, g_clock);
    armFaults(qPrintable(dir.path()), qPrintable(kind), 0, 0);
    saveSettings(store, valueSet(1));
    const long calls = faultCalls(qPrintable(kind));
    armFaults(nullptr, nullptr, 0, 0);
    return { store.hasUnsavedChanges() ? QByteArray() : contents(path), calls };
}

// Only the file, no leftover beside it.
QStringList besideTheFile(const test::Folders& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init() // no warning unless a row expects it; a fault's warnings are the row's to judge
    {
        if (qstrcmp(QTest::currentTestFunction(), "faultDuringSave") != 0)
            QTest::failOnWarning(QRegularExpression(".*"));
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void rules_data() { test::addRows(QStringLiteral("settings/MANIFEST")); }
    void rules();
    void refusedSave_data();
    void refusedSave();
    void missingFolder();
    void notAFile_data();
    void notAFile();
    void interruptedSave_data();
    void interruptedSave();
    void killDuringSaves();
    void faultDuringSave_data();
    void faultDuringSave();
    void killAtEachCall_data();
    void killAtEachCall();
    void burstSavedOnce();
    void autostart_data();
    void autostart();
};

void TestSettings::autostart_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QByteArray>("edited"); // the entry as the desktop's settings leave it
    QTest::addColumn<bool>("on");
    QTest::newRow("by name") << "horolan"
                             << "horolan" << QByteArray() << true;
    QTest::newRow("blanks") << "/opt/my clocks/horolan"
                            << "\"/opt/my clocks/horolan\"" << QByteArray() << true;
    QTest::newRow("quote and dollar") << "/a/b\"c$"
                                      << "\"/a/b\\\\\"c\\\\$\"" << QByteArray() << true;
    QTest::newRow("hidden") << "horolan"
                            << "horolan" << QByteArray("Hidden=true\n") << false;
    QTest::newRow("switched off") << "horolan"
                                  << "horolan" << QByteArray("X-GNOME-Autostart-enabled=false\n")
                                  << false;
}

// The entry written is what the desktop reads; the box shows what the entry says.
void TestSettings::autostart()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QFETCH(QByteArray, edited);
    QFETCH(bool, on);
    const test::Folders dir;
    qputenv("XDG_CONFIG_HOME", dir.path("config").toUtf8());
    QVERIFY(!Autostart::isOn() && Autostart::set(true, program));
    QVERIFY(contents(Autostart::entryPath()).contains("\nExec=" + exec.toUtf8() + '\n'));
    if (!edited.isEmpty()) {
        QFile file(Autostart::entryPath());
        QVERIFY(file.open(QIODevice::Append) && file.write(edited) == edited.size());
    }
    QCOMPARE(Autostart::isOn(), on);
    QVERIFY(Autostart::set(false, program) && !Autostart::isOn());
    QVERIFY(!QFile::exists(Autostart::entryPath()));
    // A config folder that cannot be written: refused, said once, nothing claimed.
    dir.write("blocked", "a file, not a folder");
    qputenv("XDG_CONFIG_HOME", dir.path("blocked").toUtf8());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write the autostart entry"));
    QVERIFY(!Autostart::set(true, program) && !Autostart::isOn());
    qunsetenv("XDG_CONFIG_HOME");
}

void TestSettings::rules()
{
    QFETCH(QStringList, row);
    QMultiMap<QString, QString> expect;
    static const QRegularExpression token(R"re((\S+?)=("[^"]*"|\S*))re");
    for (const auto& match : token.globalMatch(row.value(2)))
        expect.insert(match.captured(1), match.captured(2).remove(u'"'));
    for (const QString& text : expect.values("warn"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(text));
    const QByteArray bytes = row[1] == "-" ? QByteArray()
        : row[1].startsWith(u'@')          ? contents(test::dataPath(row[1].mid(1)))
                                           : QByteArray::fromPercentEncoding(row[1].toUtf8());
    QLocale::setDefault(QLocale(expect.value("locale", "C")));
    const test::Folders dir;
    const QString path = dir.path("Quarnet.conf");
    if (row[1] != "-")
        dir.write("Quarnet.conf", bytes);
    Settings saved;
    {
        SettingsStore store(path, g_clock);
        saved = loadSettings(store);
        QCOMPARE(contents(path), bytes); // loading writes nothing
        if (expect.contains("keep"))
            saved.worldTimes.resize(expect.value("keep").toInt());
        saveSettings(store, saved);
    }
    if (expect.contains("saved"))
        QCOMPARE(contents(path), contents(test::dataPath(expect.value("saved"))));
    const QByteArray kept = contents(path + ".damaged-20261205-180705");
    QCOMPARE(kept, expect.contains("damaged") ? bytes : QByteArray());
    const QSettings file(path, QSettings::IniFormat);
    for (const auto& [key, value] : expect.asKeyValueRange())
        QVERIFY2(!key.contains(u'/') || file.value(key, "-").toString() == value,
            qPrintable(key + " is " + file.value(key, "-").toString()));
    // Loaded, saved and loaded again, nothing changes: the first load holds what a file can.
    QCOMPARE(loadCopy(path), saved);
}

void TestSettings::refusedSave_data()
{
    QTest::addColumn<QString>("readOnly");
    QTest::newRow("folder read-only") << ".";
    QTest::newRow("file read-only") << "Quarnet.conf";
}

// A refused save leaves the file as it was, says so once for the whole run of failures, and is
// retried until it lands.
void TestSettings::refusedSave()
{
    QFETCH(QString, readOnly);
    const test::Folders dir;
    const QString path = dir.path("Quarnet.conf");
    QVERIFY(saveSet(path, 0));
    const QByteArray before = contents(path);
    const auto apply = [&](bool on) { return makeReadOnly(dir.path(readOnly), on); };
    const auto lift = qScopeGuard([&] { apply(false); }); // also when a check fails
    QVERIFY(apply(true));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not write the settings"));
    SettingsStore store(path, g_clock);
    saveSettings(store, valueSet(1));
    QVERIFY(store.retryRemainingMs() > 29000);
    store.setRetryDelay(5ms);
    QTRY_VERIFY(store.failedAttempts() >= 4);
    QCOMPARE(contents(path), before);
    QVERIFY(apply(false));
    QTRY_VERIFY(!store.hasUnsavedChanges());
    QCOMPARE(loadCopy(path), valueSet(1));
}

// A configuration folder that is not there yet is made by the first save; a name QSettings
// cannot read back as written (U+FEFF at its start) does not fail it.
void TestSettings::missingFolder()
{
    const test::Folders dir;
    const QString path = dir.path("config/horolan/Quarnet.conf");
    Settings bom = valueSet(1);
    bom.skin.prepend(QChar(0xfeff));
    SettingsStore store(path, g_clock);
    saveSettings(store, bom);
    QVERIFY(!store.hasUnsavedChanges());
    QCOMPARE(loadCopy(path), valueSet(1));
}

void TestSettings::notAFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("FIFO as the file") << "Quarnet.conf" << false;
    QTest::newRow("FIFO as the lock") << "Quarnet.conf.lock" << false;
    QTest::newRow("FIFO as the file, folder read-only") << "Quarnet.conf" << true;
}

// A FIFO would block the clock: it is moved aside, or else the store keeps to memory.
void TestSettings::notAFile()
{
    QFETCH(QString, entry);
    QFETCH(bool, readOnly);
    const test::Folders dir;
    const QString path = dir.path("Quarnet.conf"), fifo = dir.path(entry);
    QVERIFY(!entry.endsWith(".lock") || saveSet(path, 0));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!readOnly || makeReadOnly(dir.path(), true));
    const auto lift = qScopeGuard([&] { readOnly&& makeReadOnly(dir.path(), false); });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(readOnly ? "memory only" : "aside"));
    {
        SettingsStore store(path, g_clock);
        QCOMPARE(store.memoryOnly(), readOnly);
        QCOMPARE(loadSettings(store), entry.endsWith(".lock") ? valueSet(0) : Settings());
        saveSettings(store, valueSet(1));
        QCOMPARE(store.hasUnsavedChanges(), readOnly);
        QVERIFY(!store.retryPending());
    }
    const QFileInfo moved(readOnly ? fifo : fifo + ".not-a-file-20261205-180705");
    QVERIFY(moved.exists() && !moved.isFile());
    QVERIFY(readOnly || loadCopy(path) == valueSet(1));
}

void TestSettings::interruptedSave_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("stale lock") << false; // its owner details never written; the kills leave others
    QTest::newRow("lock held by a running clock") << true;
}

// A save killed before its rename leaves its new file and a stale lock: the next start moves that
// file aside, and never touches the user's copies (issue 17) or anything else.
void TestSettings::interruptedSave()
{
    QFETCH(bool, live);
    const test::Folders dir;
    const QString path = dir.path("Quarnet.conf");
    QVERIFY(saveSet(path, 0));
    QLockFile lock(path + ".lock");
    if (live)
        QVERIFY(lock.tryLock(0));
    else
        dir.write("Quarnet.conf.lock", {});
    const QDateTime locked = QFileInfo(path + ".lock").lastModified();
    const QByteArray saved = contents(path);
    // A leftover; the user's copies, one named as Qt could but older than the lock; a stranger.
    const QStringList names { "AbCdEf", "backup", "Before", "BACKUP", "old123", "QwErTy",
        "XyZabc" };
    for (const QString& name : names) {
        dir.write("Quarnet.conf." + name, name == "XyZabc" ? "not settings" : saved);
        QFile file(path + '.' + name); // closed: the time set now stays
        QVERIFY(file.open(QIODevice::ReadOnly)
            && file.setFileTime(
                locked.addSecs(name == "QwErTy" ? -60 : 1), QFile::FileModificationTime));
    }
    SettingsStore store(path, g_clock);
    for (const QString& name : names)
        QVERIFY2(QFile::exists(path + '.' + name) == (name != "AbCdEf" || live), qPrintable(name));
    QCOMPARE(contents(path + ".interrupted/Quarnet.conf.AbCdEf"), live ? QByteArray() : saved);
    QCOMPARE(QFile::exists(path + ".lock"), live); // a stale lock is gone
}

// Killed at any moment of a save, the file holds the old set or the new one, byte for byte.
void TestSettings::killDuringSaves()
{
    const test::Folders dir;
    const QString path = dir.path("Quarnet.conf");
    QVERIFY(saveSet(path, 0) && saveSet(path + ".0", 0) && saveSet(path + ".1", 1));
    const QByteArrayList sets { contents(path + ".0"), contents(path + ".1") };
    int locked = 0;
    for (int kill = 0; kill < 50; ++kill) {
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), { "--save-loop", path });
        QVERIFY(helper.waitForReadyRead(10000));
        std::this_thread::sleep_for(1us * QRandomGenerator::global()->bounded(6000));
        helper.kill(); // SIGKILL
        QVERIFY(helper.waitForFinished(10000));
        locked += QFile::exists(path + ".lock");
        QVERIFY2(sets.contains(contents(path)), qPrintable(QString::number(kill)));
        SettingsStore next(path, g_clock); // the lock goes, and new files that read as ours
        QVERIFY(!QFile::exists(path + ".lock"));
    }
    qInfo("%d of 50 kills came while a save held its lock", locked);
    QVERIFY(locked > 0);
}

void TestSettings::faultDuringSave_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");
    for (const char* kind : { "write", "sync", "close", "rename" })
        for (const auto& [name, error] : { std::pair { "no space", ENOSPC },
                 std::pair { "quota", EDQUOT }, std::pair { "I/O error", EIO } })
            QTest::addRow("%s fails: %s", kind, name) << QString(kind) << error;
}

// Whichever call of a save fails, the file holds the old settings or the new ones, byte for byte,
// nothing is left beside it, and the next save lands.
void TestSettings::faultDuringSave()
{
    QFETCH(QString, kind);
    QFETCH(int, error);
    if (!armFaults)
        QSKIP("FaultInjector.cpp is not preloaded");
    const auto [saved, calls] = cleanSave(kind);
    QVERIFY(!saved.isEmpty() && calls > 0);
    for (long nth = 1; nth <= calls; ++nth) {
        const test::Folders dir;
        const QString path = dir.path("Quarnet.conf");
        QVERIFY(saveSet(path, 0));
        const QByteArray old = contents(path);
        SettingsStore store(path, g_clock);
        test::LogCapture log;
        armFaults(qPrintable(dir.path()), qPrintable(kind), nth, error);
        saveSettings(store, valueSet(1));
        armFaults(nullptr, nullptr, 0, 0);
        const QString at = QStringLiteral("call %1 of %2").arg(nth).arg(calls);
        QVERIFY2(contents(path) == old || contents(path) == saved, qPrintable(at));
        QVERIFY2(!store.hasUnsavedChanges() || log.has("settings", "warning", "could not write"),
            qPrintable(at));
        QVERIFY2(besideTheFile(dir) == QStringList { "Quarnet.conf" },
            qPrintable(at + ": " + besideTheFile(dir).join(", ")));
        QVERIFY(store.sync());
        QCOMPARE(contents(path), saved);
    }
}

void TestSettings::killAtEachCall_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : { "write", "sync", "close", "rename" })
        QTest::addRow("killed at a %s", kind) << QString(kind);
}

// Killed at any call of a save, the file holds the old settings or the new ones; the next start
// clears what the save left, and its save lands.
void TestSettings::killAtEachCall()
{
    QFETCH(QString, kind);
    if (!armFaults)
        QSKIP("FaultInjector.cpp is not preloaded");
    const auto [saved, calls] = cleanSave(kind);
    QVERIFY(!saved.isEmpty() && calls > 0);
    qInfo("a save makes %ld %s calls", calls, qPrintable(kind));
    for (long nth = 1; nth <= calls; ++nth) {
        const test::Folders dir;
        const QString path = dir.path("Quarnet.conf");
        QVERIFY(saveSet(path, 0));
        const QByteArray old = contents(path);
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(),
            { "--save-killed", path, kind, QString::number(nth) });
        QVERIFY(helper.waitForFinished(10000));
        const QString at = QStringLiteral("call %1 of %2").arg(nth).arg(calls);
        QVERIFY2(helper.exitStatus() == QProcess::CrashExit, qPrintable(at));
        QVERIFY2(contents(path) == old || contents(path) == saved, qPrintable(at));
        QVERIFY(saveSet(path, 1));
        QCOMPARE(contents(path), saved);
        QVERIFY2(besideTheFile(dir) == QStringList { "Quarnet.conf" },
            qPrintable(at + ": " + besideTheFile(dir).join(", ")));
    }
}

// A burst of changes is saved once, a moment after its last one, or at once on flush().
void TestSettings::burstSavedOnce()
{
    int saves = 0;
    SaveCoalescer coalescer([&] { ++saves; }, 10s), quick([&] { ++saves; }, 1ms);
    coalescer.requestSave();
    QTest::qWait(200);
    coalescer.requestSave(); // starts the delay again
    QVERIFY(coalescer.remainingTimeMs() > 9850);
    coalescer.flush();
    coalescer.flush();
    QCOMPARE(saves, 1);
    quick.requestSave();
    QTRY_COMPARE(saves, 2);
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--save-loop") == 0) { // the process killed
        SettingsStore store(QFile::decodeName(argv[2]), g_clock);
        std::puts("ready");
        std::fflush(stdout);
        for (int n = 1;; ++n)
            saveSettings(store, valueSet(n));
    }
    if (argc == 5 && qstrcmp(argv[1], "--save-killed") == 0 && armFaults) {
        SettingsStore store(QFile::decodeName(argv[2]), g_clock);
        const QString folder = QFileInfo(QFile::decodeName(argv[2])).absolutePath();
        armFaults(qPrintable(folder), argv[3], std::atol(argv[4]), 0);
        saveSettings(store, valueSet(1));
        return 0; // not killed: the test says so
    }
    TestSettings test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
