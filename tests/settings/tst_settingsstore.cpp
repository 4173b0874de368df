#include "core/settings/SettingsStore.h"

#include "core/base/Clock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

bool isFifo(const QString& path)
{
    struct stat info { };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// A socket bound at the path, left there when its descriptor is closed.
bool bindSocket(const QString& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    qstrcpy(address.sun_path, name.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound
        = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

} // namespace

class TstSettingsStore : public QObject {
    Q_OBJECT
private slots:
    // The user's store is looked for here, never in the real configuration.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void userStoreLocation();
    void storedText_data();
    void storedText();
    void damagedFileKeptAside_data();
    void damagedFileKeptAside();
    void healthyFileNotCopied();
    void writeFailureReported();
    void changesBeforeSync_data();
    void changesBeforeSync();
    void notARegularFile_data();
    void notARegularFile();

private:
    QTemporaryDir m_config;
    FixedClock m_clock { QDateTime(QDate(2026, 12, 5), QTime(18, 7, 5)) };
};

void TstSettingsStore::userStoreLocation()
{
    SettingsStore store(m_clock);
    QCOMPARE(store.fileName(),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Quarnet.conf");
}

// Hand-edited or foreign values always come back as text.
void TstSettingsStore::storedText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("Key=+060Paris") << "+060Paris";
    QTest::newRow("unquoted comma") << QByteArray("Key=+330Delhi, India") << "+330Delhi, India";
    QTest::newRow("quoted blanks") << QByteArray("Key=\"  x  \"") << "  x  ";
    QTest::newRow("empty") << QByteArray("Key=") << "";
    QTest::newRow("byte array") << QByteArray("Key=@ByteArray(87.5)") << "87.5";
    QTest::newRow("variant int") << QByteArray("Key=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)") << "5";
    QTest::newRow("variant list, huge count")
        << QByteArray("Key=@Variant(\\0\\0\\0\\v\\xff\\xff\\xff\\xff)") << "";
    QTest::newRow("variant garbage") << QByteArray("Key=@Variant(\\xff\\xff)") << "";
    QTest::newRow("invalid") << QByteArray("Key=@Invalid()") << "";
    QTest::newRow("huge") << "Key=" + QByteArray(1 << 20, '7') << QString(1 << 20, u'7');
}

void TstSettingsStore::storedText()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    writeFile(path, "[Setting]\n" + line + "\n");
    const SettingsStore store(path, m_clock);
    QCOMPARE(store.read(u"Setting", u"Key", "fallback"), text);
    QCOMPARE(store.read(u"Setting", u"Missing", "fallback"), QString("fallback"));
}

void TstSettingsStore::damagedFileKeptAside_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("earlier"); // a store that read the file first: closed, open
    QTest::newRow("unterminated section") << "unterminated-section.conf"
                                          << "42"
                                          << "";
    QTest::newRow("binary garbage") << "binary-garbage.conf"
                                    << ""
                                    << "";
    // QSettings hands a later object its earlier parse of the unchanged file, without the error.
    QTest::newRow("read before by a closed store") << "unterminated-section.conf"
                                                   << "42"
                                                   << "closed";
    QTest::newRow("read before by an open store") << "binary-garbage.conf"
                                                  << ""
                                                  << "open";
}

void TstSettingsStore::damagedFileKeptAside()
{
    QFETCH(QString, fixture);
    QFETCH(QString, speed);
    QFETCH(QString, earlier);
    const QString source = QFINDTESTDATA("../data/settings/" + fixture);
    QVERIFY(!source.isEmpty());
    QCOMPARE(SettingsStore(source, m_clock).status(), QSettings::FormatError);
    const QByteArray original = contents(source);

    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    QVERIFY(QFile::copy(source, path));
    const QString kept = path + ".damaged-20261205-180705";
    std::unique_ptr<SettingsStore> reader;
    if (!earlier.isEmpty())
        reader = std::make_unique<SettingsStore>(path, m_clock);
    if (earlier == "closed")
        reader.reset();
    {
        SettingsStore store(path, m_clock);
        QCOMPARE(store.status(), QSettings::FormatError);
        QCOMPARE(store.read(u"Setting", u"Speed", {}), speed); // what could be parsed is kept
        QVERIFY(!QFile::exists(kept)); // reading alone copies nothing

        store.write(u"Setting", u"Speed", "50");
        QVERIFY(!QFile::exists(kept)); // nor does a change before it is saved
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression("could not be read completely; kept as"));
        QVERIFY(store.sync());
        QCOMPARE(contents(kept), original);
        store.write(u"Setting", u"Speed", "60");
        QVERIFY(store.sync());
        QCOMPARE(store.status(), QSettings::NoError);
    }
    reader.reset();
    QCOMPARE(QDir(dir.path()).entryList({ "*.damaged-*" }, QDir::Files).size(), 1);
    QCOMPARE(QSettings(path, QSettings::IniFormat).status(), QSettings::NoError);
    QCOMPARE(SettingsStore(path, m_clock).read(u"Setting", u"Speed", {}), QString("60"));
}

void TstSettingsStore::healthyFileNotCopied()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    writeFile(path, "[Setting]\nSpeed=42\n");
    SettingsStore store(path, m_clock);
    store.write(u"Setting", u"Speed", "43");
    QVERIFY(store.sync());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "Quarnet.conf" });
}

void TstSettingsStore::writeFailureReported()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("file"), "not a folder");
    SettingsStore store(dir.filePath("file/Quarnet.conf"), m_clock);
    store.write(u"Setting", u"Speed", "43");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not write the settings"));
    QVERIFY(!store.sync());
    QVERIFY(store.hasUnsavedChanges());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("changed since the last save are lost"));
}

// Changes read back at once, as QSettings would give them, but reach the file only at sync(),
// whatever the event loop does meanwhile.
void TstSettingsStore::changesBeforeSync_data()
{
    QTest::addColumn<QStringList>("changes"); // "key=text", or "-key" to remove
    QTest::addColumn<QString>("values"); // Speed, Top, Item1, Sub/x; then the keys of WTT
    const QString stored = "42 100 a 5; Count Item1 Item2";
    QTest::newRow("none") << QStringList {} << stored;
    QTest::newRow("written") << QStringList { "Setting/Speed=50", "WTT/Item3=c" }
                             << "50 100 a 5; Count Item1 Item2 Item3";
    QTest::newRow("slashes as QSettings takes them")
        << QStringList { "/Setting//Speed/=51" } << "51 100 a 5; Count Item1 Item2";
    QTest::newRow("removed") << QStringList { "-WTT/Item1", "-Setting/Top" }
                             << "42 - - 5; Count Item2";
    QTest::newRow("removed with what is below")
        << QStringList { "-WTT/Sub", "-Setting" } << "- - a -; Count Item1 Item2";
    QTest::newRow("removed, then written again")
        << QStringList { "-WTT", "WTT/Item1=z", "WTT/Sub/x=6" } << "42 100 z 6; Item1";
}

void TstSettingsStore::changesBeforeSync()
{
    QFETCH(QStringList, changes);
    QFETCH(QString, values);
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    const QByteArray text = "[Setting]\nSpeed=42\nTop=100\n[WTT]\nCount=2\nItem1=a\nItem2=b\n"
                            "Sub\\x=5\n";
    writeFile(path, text);
    const auto summary = [](SettingsStore& store) {
        QStringList found;
        for (const auto& [section, key] : { std::pair { "Setting", "Speed" }, { "Setting", "Top" },
                 { "WTT", "Item1" }, { "WTT", "Sub/x" } })
            found << store.read(QString(section), QString(key)).value_or("-");
        return found.join(' ') + "; " + store.keys("WTT").join(' ');
    };
    SettingsStore store(path, m_clock);
    for (const QString& change : changes) {
        const QString key = change.section('=', 0, 0);
        if (key.startsWith('-'))
            store.remove(key.mid(1).section('/', 0, 0), key.mid(1).section('/', 1));
        else
            store.write(key.section('/', 0, 0), key.section('/', 1), change.section('=', 1));
    }
    QCOMPARE(summary(store), values);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(contents(path), text);
    QVERIFY(store.sync());
    QCOMPARE(summary(store), values);
    QVERIFY(QFile::copy(path, path + "-copy")); // read from disk, not from QSettings' memory
    SettingsStore fromDisk(path + "-copy", m_clock);
    QCOMPARE(summary(fromDisk), values);
}

// Whatever is not a regular file in the place of the file or of its lock would block QSettings:
// it is moved aside, and the store starts empty and saves a regular file.
void TstSettingsStore::notARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("entry"); // what is in the way, "" for nothing
    QTest::addColumn<QString>("speed"); // as read at the start
    QTest::newRow("FIFO") << "fifo"
                          << "Quarnet.conf"
                          << "";
    QTest::newRow("link to a FIFO") << "link-fifo"
                                    << "Quarnet.conf"
                                    << "";
    QTest::newRow("device") << "device"
                            << "Quarnet.conf"
                            << "";
    QTest::newRow("socket") << "socket"
                            << "Quarnet.conf"
                            << "";
    QTest::newRow("folder") << "folder"
                            << "Quarnet.conf"
                            << "";
    QTest::newRow("FIFO as the lock") << "fifo"
                                      << "Quarnet.conf.lock"
                                      << "42";
    QTest::newRow("user store, FIFO") << "user-fifo"
                                      << "Quarnet.conf"
                                      << "";
    QTest::newRow("link to a regular file") << "link-file"
                                            << ""
                                            << "42";
}

void TstSettingsStore::notARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, entry);
    QFETCH(QString, speed);
    QTemporaryDir scratch;
    const QString folder = kind.startsWith("user") ? m_config.path() : scratch.path();
    const QString path = folder + "/Quarnet.conf";
    const QString fifo = scratch.filePath("fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QString real = scratch.filePath("real.conf");
    writeFile(real, "[Setting]\nSpeed=42\n");
    const QString inTheWay = folder + u'/' + (entry.isEmpty() ? "Quarnet.conf" : entry);
    if (entry == "Quarnet.conf.lock")
        QVERIFY(QFile::copy(real, path));
    if (kind.endsWith("fifo") && !kind.startsWith("link"))
        QVERIFY(QFile::rename(fifo, inTheWay));
    else if (kind == "link-fifo")
        QVERIFY(QFile::link(fifo, inTheWay));
    else if (kind == "device"
        && ::mknod(QFile::encodeName(inTheWay).constData(), S_IFCHR | 0600, ::makedev(1, 3)) != 0)
        QSKIP("making a device needs CAP_MKNOD"); // never a link to a real one: a save replaces it
    else if (kind == "link-file")
        QVERIFY(QFile::link(real, inTheWay));
    else if (kind == "socket")
        QVERIFY(bindSocket(inTheWay));
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(inTheWay + "/inside"));
    const QString aside = inTheWay + ".not-a-file-20261205-180705";

    if (!entry.isEmpty())
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression("is .* and not a regular file; moved aside as .*not-a-file"));
    {
        auto store = kind.startsWith("user") ? std::make_unique<SettingsStore>(m_clock)
                                             : std::make_unique<SettingsStore>(path, m_clock);
        QCOMPARE(store->read(u"Setting", u"Speed", {}), speed);
        QVERIFY(!store->memoryOnly());
        store->write(u"Setting", u"Speed", "50");
        QVERIFY(store->sync());
    }
    QCOMPARE(QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(), !entry.isEmpty());
    if (kind.endsWith("fifo"))
        QVERIFY(isFifo(kind == "link-fifo" ? fifo : aside));
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).isSymLink(), kind == "link-file"); // saved through the link
    QVERIFY(!QFileInfo::exists(path + ".lock") || QFileInfo(path + ".lock").isFile());
    QVERIFY(QFile::copy(path, scratch.filePath("copy.conf")));
    QCOMPARE(SettingsStore(scratch.filePath("copy.conf"), m_clock).read(u"Setting", u"Speed", {}),
        QString("50"));
    if (kind.startsWith("user")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::remove(aside));
    }
}

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
