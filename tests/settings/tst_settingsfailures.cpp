#include "DurabilitySupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Durability;

namespace {

bool g_privateMounts = false;
int g_warnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && qstrcmp(context.category, "horolan.settings") == 0)
        ++g_warnings;
    g_previousHandler(type, context, message);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Loaded from disk: QSettings in this process would keep what it read before.
QString loadFromDisk(const QString& path)
{
    const QString copy = path + QStringLiteral("-check");
    QFile::remove(copy);
    if (!QFile::copy(path, copy))
        return QStringLiteral("(no file)");
    const Loaded loaded = load(copy);
    QFile::remove(copy);
    return loaded.status == QSettings::NoError ? loaded.summary : QStringLiteral("(damaged)");
}

// Root passes every permission check; without these capabilities it meets them as a user does.
// They are the calling thread's, where the stores under test do their work.
void setFileCapabilities(bool on)
{
    if (::geteuid() != 0)
        return;
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    const quint32 mask = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER;
    data[0].effective
        = on ? data[0].effective | (data[0].permitted & mask) : data[0].effective & ~mask;
    ::syscall(SYS_capset, &header, data);
}

enum class Fault { ReadOnlyFolder, ReadOnlyFolderNoFile, ReadOnlyFile, FullDisk, NearlyFullDisk };

// A settings folder that can be made to refuse a save and then let it pass again.
class FaultyFolder {
public:
    explicit FaultyFolder(Fault fault)
        : m_fault(fault)
        , m_folder(m_dir.filePath(QStringLiteral("config")))
    {
        QDir().mkpath(m_folder);
        if (fault == Fault::FullDisk || fault == Fault::NearlyFullDisk) {
            if (!g_privateMounts)
                m_error = QStringLiteral("mounting a tmpfs is not permitted here (it needs root "
                                         "or CAP_SYS_ADMIN for a private mount namespace)");
            else if (::mount("tmpfs", qPrintable(m_folder), "tmpfs", MS_NOSUID | MS_NODEV,
                         "size=512k,mode=0755")
                != 0)
                m_error = QStringLiteral("mount -t tmpfs failed: ") + std::strerror(errno);
            else
                m_mounted = true;
        }
    }
    ~FaultyFolder()
    {
        lift();
        setFileCapabilities(true);
        if (m_mounted)
            ::umount2(qPrintable(m_folder), MNT_DETACH);
    }
    QString error() const { return m_error; }
    QString path() const { return m_folder + QStringLiteral("/Quarnet.conf"); }

    bool apply()
    {
        setFileCapabilities(false);
        switch (m_fault) {
        case Fault::ReadOnlyFolder:
        case Fault::ReadOnlyFolderNoFile:
            return QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner);
        case Fault::ReadOnlyFile:
            return QFile::setPermissions(path(), QFile::ReadOwner);
        case Fault::FullDisk:
            return fill(0);
        case Fault::NearlyFullDisk:
            // Room for the lock QSettings takes, not for the new file: Qt 6.4 would put a
            // cut-short file in place of the old one.
            return fill(8192);
        }
        return false;
    }
    void lift()
    {
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (QFile::exists(path()))
            QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(m_folder + QStringLiteral("/filler"));
    }

private:
    bool fill(off_t leaveBytes)
    {
        const int fd = ::open(qPrintable(m_folder + QStringLiteral("/filler")),
            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        static const char block[4096] = {};
        off_t size = 0;
        while (::write(fd, block, sizeof block) == sizeof block)
            size += sizeof block;
        const bool full
            = errno == ENOSPC && ::ftruncate(fd, size > leaveBytes ? size - leaveBytes : 0) == 0;
        ::close(fd);
        return full;
    }

    Fault m_fault;
    QTemporaryDir m_dir;
    QString m_folder;
    QString m_error;
    bool m_mounted = false;
};

// Big enough that a nearly full disk holds its lock but not the file.
constexpr int wttEntries = 600;

bool saveNewSet(SettingsStore& store)
{
    HorolanState state;
    Window window;
    applySet(1, state, window, wttEntries);
    Settings::SaveInfo(store, state, window);
    return !store.hasUnsavedChanges();
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstSettingsFailures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(countWarnings); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void init() { g_warnings = 0; }
    void refusedSaveRetried_data();
    void refusedSaveRetried();
    void lastAttemptAtTheEnd_data();
    void lastAttemptAtTheEnd();
    void damagedFileInReadOnlyFolder();
    void fifoInReadOnlyFolder();

private:
    FixedClock m_clock;
};

void TstSettingsFailures::refusedSaveRetried_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("folder read-only, file writable") << Fault::ReadOnlyFolder;
    QTest::newRow("folder read-only, no file yet") << Fault::ReadOnlyFolderNoFile;
    QTest::newRow("file read-only") << Fault::ReadOnlyFile;
    QTest::newRow("disk full") << Fault::FullDisk;
    QTest::newRow("disk nearly full") << Fault::NearlyFullDisk;
}

// A refused save leaves the file as it was, says so once, and is retried until it succeeds.
void TstSettingsFailures::refusedSaveRetried()
{
    QFETCH(Fault, fault);
    FaultyFolder folder(fault);
    if (!folder.error().isEmpty())
        QSKIP(qPrintable(folder.error()));
    const QString path = folder.path();
    if (fault != Fault::ReadOnlyFolderNoFile)
        QVERIFY(saveSet(path, 0, wttEntries));
    const QByteArray before = contents(path);
    QVERIFY(folder.apply());

    SettingsStore store(path, m_clock);
    QVERIFY(!saveNewSet(store));
    QCOMPARE(g_warnings, 1);
    QCOMPARE(contents(path), before);
    QVERIFY(store.retryPending());
    QVERIFY(store.retryRemainingMs() > 29000);

    store.setRetryDelay(std::chrono::milliseconds(5));
    QTRY_VERIFY(store.failedAttempts() >= 5);
    QCOMPARE(g_warnings, 1); // once for the whole run of failures
    QCOMPARE(contents(path), before);

    folder.lift();
    QTRY_VERIFY(!store.hasUnsavedChanges());
    QVERIFY(!store.retryPending());
    QCOMPARE(loadFromDisk(path), expectedSummary(1, wttEntries));
    QCOMPARE(g_warnings, 1);

    // A new run of failures is told again.
    QVERIFY(folder.apply());
    store.write(Settings::Setting, u"Speed", QStringLiteral("10"));
    QVERIFY(!store.sync());
    QCOMPARE(g_warnings, 2);
    folder.lift();
    QVERIFY(store.sync());
}

void TstSettingsFailures::lastAttemptAtTheEnd_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("lifted");
    QTest::newRow("folder writable again") << Fault::ReadOnlyFolder << true;
    QTest::newRow("folder still read-only") << Fault::ReadOnlyFolder << false;
    QTest::newRow("disk still nearly full") << Fault::NearlyFullDisk << false;
}

// Changes still unsaved when the store goes (the clock ends) get one more attempt; when that
// fails too, the loss is told and the file is left as it was.
void TstSettingsFailures::lastAttemptAtTheEnd()
{
    QFETCH(Fault, fault);
    QFETCH(bool, lifted);
    FaultyFolder folder(fault);
    if (!folder.error().isEmpty())
        QSKIP(qPrintable(folder.error()));
    const QString path = folder.path();
    QVERIFY(saveSet(path, 0, wttEntries));
    const QByteArray before = contents(path);
    QVERIFY(folder.apply());
    {
        SettingsStore store(path, m_clock);
        QVERIFY(!saveNewSet(store));
        if (lifted)
            folder.lift();
        else
            QTest::ignoreMessage(
                QtWarningMsg, QRegularExpression("settings changed since the last save are lost"));
    }
    if (lifted)
        QCOMPARE(loadFromDisk(path), expectedSummary(1, wttEntries));
    else
        QCOMPARE(contents(path), before);
}

// A damaged file is not written over until it is copied aside, and a read-only folder lets
// neither happen; once it is writable, both do.
void TstSettingsFailures::damagedFileInReadOnlyFolder()
{
    const QString fixture = QFINDTESTDATA("../data/settings/unterminated-section.conf");
    QVERIFY(!fixture.isEmpty());
    FaultyFolder folder(Fault::ReadOnlyFolder);
    const QString path = folder.path();
    QVERIFY(QFile::copy(fixture, path));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    const QByteArray original = contents(path);
    QVERIFY(folder.apply());

    const FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(18, 7, 5)));
    SettingsStore store(path, clock);
    QCOMPARE(store.status(), QSettings::FormatError);
    store.write(Settings::Setting, u"Speed", QStringLiteral("50"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("copying it to .* failed"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not write the settings"));
    QVERIFY(!store.sync());
    QVERIFY(!store.sync());
    QCOMPARE(contents(path), original);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList { "Quarnet.conf" });

    folder.lift();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be read completely; kept as"));
    QVERIFY(store.sync());
    QCOMPARE(contents(path + ".damaged-20261205-180705"), original);
    QCOMPARE(QSettings(path + ".damaged-20261205-180705", QSettings::IniFormat).status(),
        QSettings::FormatError);
    QFile::copy(path, path + "-copy");
    QCOMPARE(SettingsStore(path + "-copy", clock).status(), QSettings::NoError);
    QCOMPARE(SettingsStore(path + "-copy", clock).read(u"Setting", u"Speed", {}), QString("50"));
}

// A FIFO that cannot be moved aside is left alone: the store keeps its changes in memory, says
// once that they will not be saved, and never opens the FIFO.
void TstSettingsFailures::fifoInReadOnlyFolder()
{
    FaultyFolder folder(Fault::ReadOnlyFolderNoFile);
    const QString path = folder.path();
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QVERIFY(folder.apply());
    {
        SettingsStore store(path, m_clock);
        QCOMPARE(g_warnings, 1);
        QVERIFY(store.memoryOnly());
        QCOMPARE(store.read(Settings::Setting, u"Speed", QStringLiteral("88")), QString("88"));
        store.write(Settings::Setting, u"Speed", QStringLiteral("50"));
        QCOMPARE(store.read(Settings::Setting, u"Speed", {}), QString("50"));
        QVERIFY(!store.sync());
        QVERIFY(!store.retryPending());
        QCOMPARE(store.fileName(), path);
    }
    QCOMPARE(g_warnings, 1);
    folder.lift();
    QCOMPARE(QDir(QFileInfo(path).path())
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
        QStringList { "Quarnet.conf" });
    QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
}

int main(int argc, char* argv[])
{
    // A private mount namespace: a tmpfs a test mounts goes with the process, whatever happens.
    g_privateMounts = ::unshare(CLONE_NEWNS) == 0
        && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QCoreApplication app(argc, argv);
    TstSettingsFailures test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsfailures.moc"
