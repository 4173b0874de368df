#include "core/install/Installer.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry of a row: "path", "path/", "path=text" or "path@kind=value" (see install.rows).
struct Entry {
    QByteArray path;
    QString kind;
    QByteArray value;
};

QList<Entry> entries(const QString& column, bool raw)
{
    QList<Entry> list;
    for (const QString& item : column.split(u';', Qt::SkipEmptyParts)) {
        const QString spec = test::unescaped(item.trimmed());
        const qsizetype at = spec.indexOf(u'@');
        const qsizetype equals = spec.indexOf(u'=');
        const qsizetype end = at > 0 ? at : equals > 0 ? equals : spec.size();
        const QString path = spec.left(end);
        Entry entry { raw ? path.toLatin1() : path.toUtf8(), {}, path.toUtf8() };
        if (at > 0)
            entry.kind = spec.mid(at + 1).section(u'=', 0, 0);
        if (equals > 0)
            entry.value = spec.mid(equals + 1).toUtf8();
        list << entry;
    }
    return list;
}

qint64 bytes(const QByteArray& size) // 400K, 3M
{
    const qint64 unit = size.endsWith('M') ? 1 << 20 : size.endsWith('K') ? 1 << 10 : 1;
    return size.left(size.size() - (unit > 1)).toLongLong() * unit;
}

// The entries as files on disk, named by their bytes.
bool makeTree(const QByteArray& folder, const QList<Entry>& list)
{
    for (const Entry& entry : list) {
        const QByteArray path = folder + '/' + entry.path;
        for (qsizetype slash = 0; (slash = path.indexOf('/', slash + 1)) > 0;)
            ::mkdir(path.left(slash).constData(), 0755);
        if (entry.path.endsWith('/'))
            continue;
        if (entry.kind == u"link") {
            if (::symlink(entry.value.constData(), path.constData()) != 0)
                return false;
        } else if (entry.kind == u"fifo") {
            if (::mkfifo(path.constData(), 0644) != 0)
                return false;
        } else {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const QByteArray text
                = entry.kind == u"zeros" ? QByteArray(bytes(entry.value), 0) : entry.value;
            if (fd < 0 || ::write(fd, text.constData(), text.size()) != text.size())
                return false;
            ::close(fd);
        }
    }
    return true;
}

// The entries written one by one with libarchive: any name, any kind of entry.
bool writeArchive(const QString& path, const QList<Entry>& list)
{
    archive* a = archive_write_new();
    if (path.endsWith(u".zip"))
        archive_write_set_format_zip(a);
    else
        archive_write_set_format_pax_restricted(a);
    if (path.endsWith(u".gz"))
        archive_write_add_filter_gzip(a);
    bool written
        = archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const Entry& entry : list) {
        const int count = entry.kind == u"many" ? entry.value.toInt() : 1;
        for (int i = 0; i < count && written; ++i) {
            archive_entry* e = archive_entry_new();
            archive_entry_copy_pathname(
                e, (entry.path + (count > 1 ? QByteArray::number(i) : "")).constData());
            archive_entry_set_perm(e, 0644);
            archive_entry_set_filetype(e, entry.kind == u"device" ? AE_IFCHR : AE_IFREG);
            QByteArray data = entry.kind.isEmpty() ? entry.value : QByteArray();
            if (entry.kind == u"hardlink")
                archive_entry_copy_hardlink(e, entry.value.constData());
            if (entry.kind == u"zeros")
                data = QByteArray(bytes(entry.value), 0);
            archive_entry_set_size(e, data.size());
            if (entry.kind == u"sparse") {
                archive_entry_set_size(e, bytes(entry.value));
                archive_entry_sparse_add_entry(e, bytes(entry.value) - 1, 1);
                data = QByteArray(1, 'x');
            }
            written = archive_write_header(a, e) == ARCHIVE_OK
                && archive_write_data(a, data.constData(), data.size()) == data.size();
            archive_entry_free(e);
        }
    }
    written = archive_write_close(a) == ARCHIVE_OK && written;
    archive_write_free(a);
    return written;
}

// The folder's contents packed by the tool the archive's suffix names.
bool pack(const QString& archive, const QStringList& options, const QString& folder)
{
    QString tool = QStringLiteral("tar");
    QStringList arguments;
    if (archive.endsWith(u".zip")) {
        tool = QStringLiteral("zip");
        arguments << QStringLiteral("-qry") << options << archive << QStringLiteral(".");
    } else if (archive.endsWith(u".7z")) {
        tool = QStringLiteral("7z");
        arguments << QStringLiteral("a") << QStringLiteral("-bso0") << options << archive
                  << QStringLiteral(".");
    } else {
        const QString filter = archive.endsWith(u".gz") ? QStringLiteral("-z")
            : archive.endsWith(u".bz2")                 ? QStringLiteral("-j")
            : archive.endsWith(u".xz")                  ? QStringLiteral("-J")
                                                        : QString();
        arguments << QStringLiteral("-c") + filter.mid(1) + QStringLiteral("f") << archive
                  << QStringLiteral(".");
    }
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(tool, arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

// Every file under root, sorted; with its text where expected asks for it ("path=text").
QString listing(const QString& root, const QString& expected = {})
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = path.mid(root.size() + 1);
        QFile file(path);
        const bool withText = expected.contains(name + u'=');
        files << (withText && file.open(QIODevice::ReadOnly) ? name + u'=' + file.readAll() : name);
    }
    files.sort();
    return files.isEmpty() ? QStringLiteral("-") : files.join(u' ');
}

const QStringList tools { QStringLiteral(".zip"), QStringLiteral(".7z"), QStringLiteral(".tar"),
    QStringLiteral(".tar.gz"), QStringLiteral(".tar.bz2"), QStringLiteral(".tar.xz") };

// The archive or folder a row asks for, made in work.
QString makeSource(const QString& work, const QString& column, const QString& entryColumn)
{
    // The name, then the options: "raw", "lib" and the tool's own, which start with "-".
    QStringList options = column.split(u' ', Qt::SkipEmptyParts);
    QString name = options.takeFirst();
    while (!options.isEmpty() && !options.first().startsWith(u'-') && options.first() != u"raw"
        && options.first() != u"lib")
        name += u' ' + options.takeFirst();
    const bool raw = options.removeAll(QStringLiteral("raw"));
    const bool lib = options.removeAll(QStringLiteral("lib"));
    const QList<Entry> list = entries(entryColumn, raw);
    const QString path = work + u'/' + name;
    if (name.endsWith(u".rar"))
        return test::dataPath(QStringLiteral("install/") + name);
    if (name.endsWith(u'/'))
        return makeTree(QFile::encodeName(path), list) ? path.chopped(1) : QString();
    if (lib)
        return writeArchive(path, list) ? path : QString();
    if (std::none_of(
            tools.begin(), tools.end(), [&](const QString& s) { return name.endsWith(s); })) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(list.value(0).value) ? path
                                                                                  : QString();
    }
    const QString tree = work + QStringLiteral("/tree");
    return makeTree(QFile::encodeName(tree), list) && pack(path, options, tree) ? path : QString();
}

} // namespace

// Skins and sound packs from archives made by the real tools, and the bad ones, each refused whole.
class TestInstaller : public QObject {
    Q_OBJECT

private slots:
    void installs_data() { test::addRows(QStringLiteral("install.rows")); }
    void installs()
    {
        QFETCH(QStringList, row);
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("root"));
        const QString samples = work.filePath(QStringLiteral("samples"));
        QVERIFY(QDir().mkpath(root));
        for (const QString& had : row[3].split(u' ', Qt::SkipEmptyParts)) {
            if (had != u"-") {
                const QString folder
                    = had.startsWith(u"sample:") ? samples + u'/' + had.mid(7) : root + u'/' + had;
                QVERIFY(QDir().mkpath(folder));
                QFile old(folder + QStringLiteral("/old"));
                QVERIFY(old.open(QIODevice::WriteOnly));
            }
        }
        const QString source = makeSource(work.path(), row[1], row[2]);
        QVERIFY2(!source.isEmpty(), "the row's archive could not be made");
        const QStringList made
            = QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const Conflict choice = row[4] == u"replace" ? Conflict::Replace
            : row[4] == u"keep-both"                 ? Conflict::KeepBoth
                                                     : Conflict::Cancel;

        test::LogCapture log;
        const InstallReport report
            = Installer(Roots({ root, samples }, root)).install(source, choice);
        const QString said = report.lines.join(QStringLiteral(" / "));
        if (row[5].endsWith(QStringLiteral("...")))
            QVERIFY2(said.startsWith(row[5].chopped(3)), qPrintable(said));
        else
            QCOMPARE(said, row[5]);
        QCOMPARE(listing(root, row[6]), row[6]);
        // Nothing beside what the row made; a refusal is logged as a warning.
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), made);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/horolan-escape")));
        if (said.startsWith(QStringLiteral("nothing")))
            QVERIFY(log.has(QStringLiteral("install"), QStringLiteral("warning"), said));
    }

    // An archive cut short at any byte, or with any byte changed, is refused with nothing left,
    // or installs files as they were packed. Changes only where the format checks its files'
    // data: tar has no checksum of it, libarchive leaves gzip's own unread when the tar ends
    // before it, and checks none of a stored RAR file's.
    void damaged_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<bool>("changes");
        QTest::newRow("zip") << "Cool.zip" << true;
        QTest::newRow("7z") << "Cool.7z" << true;
        QTest::newRow("tar.gz") << "Cool.tar.gz" << false;
        QTest::newRow("rar") << "Download.rar" << false;
    }
    void damaged()
    {
        QFETCH(QString, archive);
        QFETCH(bool, changes);
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("root"));
        const QString good = makeSource(work.path(), archive,
            QStringLiteral("Cool/Skin.ini=[info]\\nname=Cool;Cool/back.bmp=BM0123456789abcdef"));
        QFile file(good);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QStringList texts { QStringLiteral("[info]\nname=Cool"),
            QStringLiteral("BM0123456789abcdef"), QStringLiteral("[info]\r\nname=Slate\r\n"),
            QStringLiteral("BM") };
        const QString damaged
            = work.filePath(QStringLiteral("damaged") + archive.mid(archive.indexOf(u'.')));
        const Installer installer(Roots({ root }, root));
        for (qsizetype i = 0; i < (changes ? 2 : 1) * bytes.size(); ++i) {
            QByteArray changed = bytes;
            if (i < bytes.size())
                changed.truncate(i);
            else
                changed[i - bytes.size()] = char(changed[i - bytes.size()] ^ 0x5a);
            QFile out(damaged);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && out.write(changed) == changed.size());
            out.close();
            const InstallReport report = installer.install(damaged, Conflict::KeepBoth);
            QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            int files = 0;
            while (it.hasNext()) {
                QFile installed(it.next());
                QVERIFY(installed.open(QIODevice::ReadOnly));
                QVERIFY2(texts.contains(QString::fromUtf8(installed.readAll())),
                    qPrintable(QStringLiteral("byte %1: %2").arg(i).arg(it.filePath())));
                ++files;
            }
            QCOMPARE(files > 0, !report.installed.isEmpty());
            QVERIFY(QDir(root).removeRecursively() || !QFileInfo::exists(root));
        }
    }

    // A disk that fills, or a rename that fails, leaves nothing and the user's own untouched.
    void diskFull_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("nth");
        QTest::addColumn<QString>("report");
        QTest::newRow("full while unpacking") << "write" << 2
                                              << "nothing installed from \"Cool.zip\": cannot "
                                                 "write \"Cool/back.bmp\": No space left on device";
        QTest::newRow("moving yours aside") << "rename" << 1 << "cannot replace the skin \"Cool\"";
        QTest::newRow("moving it into place")
            << "rename" << 2 << "cannot install the skin \"Cool\" in ";
    }
    void diskFull()
    {
        QFETCH(QString, call);
        QFETCH(int, nth);
        QFETCH(QString, report);
        using Arm = void (*)(const char*, const char*, long, int);
        const auto arm = reinterpret_cast<Arm>(::dlsym(RTLD_DEFAULT, "horolanArmFaults"));
        if (!arm)
            QSKIP("needs the settings tests' fault library preloaded, as CTest runs it");
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("root"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/Skins/Cool")));
        QFile old(root + QStringLiteral("/Skins/Cool/old"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        const QString source = makeSource(work.path(), QStringLiteral("Cool.zip"),
            QStringLiteral("Cool/Skin.ini;Cool/back.bmp@zeros=300K"));
        arm(QFile::encodeName(root).constData(), qPrintable(call), nth,
            call == u"write" ? ENOSPC : EIO);
        const InstallReport done
            = Installer(Roots({ root }, root)).install(source, Conflict::Replace);
        arm(nullptr, nullptr, 0, 0);
        QVERIFY2(done.lines.join(u'/').startsWith(report), qPrintable(done.lines.join(u'/')));
        QCOMPARE(listing(root), QStringLiteral("Skins/Cool/old"));
    }

    void remove()
    {
        // Only the user's own goes; a sample of the same kind stays.
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("root"));
        const QString samples = work.filePath(QStringLiteral("samples"));
        for (const QString& folder :
            { root + QStringLiteral("/Sounds/Mine"), samples + QStringLiteral("/Sounds/Sample") })
            QVERIFY(QDir().mkpath(folder));
        const Installer installer(Roots({ samples, root }, root));
        QVERIFY(!installer.isUsers(InstallKind::SoundPack, QStringLiteral("Sample")));
        QCOMPARE(installer.remove(InstallKind::SoundPack, QStringLiteral("Sample")),
            QStringLiteral("the sound pack \"Sample\" is not one of your own"));
        QVERIFY(installer.isUsers(InstallKind::SoundPack, QStringLiteral("mine")));
        QCOMPARE(installer.remove(InstallKind::SoundPack, QStringLiteral("mine")), QString());
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("Sounds") });
        QVERIFY(QFileInfo::exists(samples + QStringLiteral("/Sounds/Sample")));
    }
};

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
