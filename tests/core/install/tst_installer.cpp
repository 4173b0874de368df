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

using namespace Qt::StringLiterals;

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
        const QString written = test::unescaped(item.trimmed());
        const qsizetype at = written.indexOf(u'@'), equals = written.indexOf(u'=');
        const QString path = written.left(at > 0 ? at : equals);
        list.append({ raw ? path.toLatin1() : path.toUtf8(),
            at > 0 ? written.mid(at + 1).section(u'=', 0, 0) : QString(),
            equals > 0 ? written.mid(equals + 1).toUtf8() : path.toUtf8() });
    }
    return list;
}

qint64 bytes(const QByteArray& size) // 400K, 3M
{
    const qint64 unit = size.endsWith('M') ? 1 << 20 : size.endsWith('K') ? 1 << 10 : 1;
    return size.left(size.size() - (unit > 1)).toLongLong() * unit;
}

QByteArray text(const Entry& entry)
{
    return entry.kind == u"zeros" ? QByteArray(bytes(entry.value), 0)
        : entry.kind.isEmpty()    ? entry.value
                                  : QByteArray();
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
        if (entry.kind == u"link" || entry.kind == u"fifo") {
            if ((entry.kind == u"link" ? ::symlink(entry.value.constData(), path.constData())
                                       : ::mkfifo(path.constData(), 0644))
                != 0)
                return false;
            continue;
        }
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const QByteArray bytes = text(entry);
        if (fd < 0 || ::write(fd, bytes.constData(), bytes.size()) != bytes.size())
            return false;
        ::close(fd);
    }
    return true;
}

// The entries written one by one with libarchive: any name, any kind of entry.
bool writeArchive(const QString& path, const QList<Entry>& list)
{
    archive* a = archive_write_new();
    path.endsWith(u".zip") ? archive_write_set_format_zip(a)
                           : archive_write_set_format_pax_restricted(a);
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
            if (entry.kind == u"hardlink")
                archive_entry_copy_hardlink(e, entry.value.constData());
            QByteArray data = text(entry);
            archive_entry_set_size(e, data.size());
            if (entry.kind == u"sparse") { // all of it a hole but its last byte
                archive_entry_set_size(e, bytes(entry.value));
                archive_entry_sparse_add_entry(e, bytes(entry.value) - 1, 1);
                data = "x";
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

// Every file under root, sorted; with its text where expected asks for it ("path=text").
QString listing(const QString& root, const QString& expected = {})
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        const QString name = file.fileName().mid(root.size() + 1);
        files << (expected.contains(name + u'=') && file.open(QIODevice::ReadOnly)
                ? name + u'=' + file.readAll()
                : name);
    }
    files.sort();
    return files.isEmpty() ? u"-"_s : files.join(u' ');
}

// The archive or folder a row asks for, made in work: its name, then "raw", "lib" and the tool's
// own options, which start with "-".
QString makeSource(const QString& work, const QString& column, const QString& entryColumn)
{
    QStringList options = column.split(u' ', Qt::SkipEmptyParts);
    QString name = options.takeFirst();
    while (!options.isEmpty() && !options[0].startsWith(u'-') && options[0] != u"raw"
        && options[0] != u"lib")
        name += u' ' + options.takeFirst();
    const QList<Entry> list = entries(entryColumn, options.removeAll(u"raw"_s));
    const QString path = work + u'/' + name;
    if (name.endsWith(u".rar"))
        return test::dataPath(u"install/"_s + name);
    if (name.endsWith(u'/'))
        return makeTree(QFile::encodeName(path), list) ? path.chopped(1) : QString();
    if (options.removeAll(u"lib"_s))
        return writeArchive(path, list) ? path : QString();
    // zip, 7z and tar as the user has them; tar compresses as the suffix says.
    const QString command = name.endsWith(u".zip") ? u"zip -qry %1 \"%2\" ."_s
        : name.endsWith(u".7z")                    ? u"7z a -bso0 %1 \"%2\" ."_s
        : name.contains(u".tar")                   ? u"tar -caf \"%2\" %1 ."_s
                                                   : QString();
    if (command.isEmpty()) { // not an archive
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(list.value(0).value) ? path
                                                                                  : QString();
    }
    if (!makeTree(QFile::encodeName(work + u"/tree"_s), list))
        return {};
    QProcess tool;
    tool.setWorkingDirectory(work + u"/tree"_s);
    tool.startCommand(command.arg(options.join(u' '), path));
    return tool.waitForFinished(60000) && tool.exitCode() == 0 ? path : QString();
}

} // namespace

// Skins and sound packs from archives made by the real tools, and the bad ones, each refused whole.
class TestInstaller : public QObject {
    Q_OBJECT

private slots:
    void installs_data() { test::addRows(u"install.rows"_s); }
    void installs()
    {
        QFETCH(QStringList, row);
        QTemporaryDir work;
        const QString root = work.filePath(u"root"_s), samples = work.filePath(u"samples"_s);
        QVERIFY(QDir().mkpath(root));
        for (const QString& had : row[3].split(u' ', Qt::SkipEmptyParts)) {
            const QString folder
                = had.startsWith(u"sample:") ? samples + u'/' + had.mid(7) : root + u'/' + had;
            QVERIFY(had == u"-"
                || (QDir().mkpath(folder) && QFile(folder + u"/old"_s).open(QIODevice::WriteOnly)));
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
        const QString said = report.lines.join(u" / "_s);
        if (row[5].endsWith(u"..."_s))
            QVERIFY2(said.startsWith(row[5].chopped(3)), qPrintable(said));
        else
            QCOMPARE(said, row[5]);
        QCOMPARE(listing(root, row[6]), row[6]);
        // Nothing beside what the row made; a refusal is logged as a warning.
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), made);
        QVERIFY(!QFileInfo::exists(u"/tmp/horolan-escape"_s));
        QVERIFY(!said.startsWith(u"nothing"_s) || log.has(u"install"_s, u"warning"_s, said));
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
        const QString root = work.filePath(u"root"_s);
        QFile file(
            makeSource(work.path(), archive, u"Cool/Skin.ini=[info];Cool/back.bmp=BM0123456789"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QStringList texts { u"[info]"_s, u"BM0123456789"_s, u"[info]\r\nname=Slate\r\n"_s,
            u"BM"_s };
        QFile damaged(work.filePath(u"damaged"_s + archive.mid(archive.indexOf(u'.'))));
        const Installer installer(Roots({ root }, root));
        for (qsizetype i = 0; i < (changes ? 2 : 1) * bytes.size(); ++i) {
            QByteArray changed = i < bytes.size() ? bytes.left(i) : bytes;
            if (i >= bytes.size())
                changed[i - bytes.size()] = char(changed[i - bytes.size()] ^ 0x5a);
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && damaged.write(changed) == changed.size());
            damaged.close();
            const InstallReport report = installer.install(damaged.fileName(), Conflict::KeepBoth);
            QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            int files = 0;
            for (; it.hasNext(); ++files) {
                QFile installed(it.next());
                QVERIFY2(installed.open(QIODevice::ReadOnly)
                        && texts.contains(QString::fromUtf8(installed.readAll())),
                    qPrintable(u"byte %1: %2"_s.arg(i).arg(it.filePath())));
            }
            QCOMPARE(files > 0, !report.installed.isEmpty());
            QVERIFY(QDir(root).removeRecursively());
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
        const QString root = work.filePath(u"root"_s);
        QVERIFY(QDir().mkpath(root + u"/Skins/Cool"_s)
            && QFile(root + u"/Skins/Cool/old"_s).open(QIODevice::WriteOnly));
        const QString source
            = makeSource(work.path(), u"Cool.zip"_s, u"Cool/Skin.ini;Cool/back.bmp@zeros=300K"_s);
        arm(QFile::encodeName(root).constData(), qPrintable(call), nth,
            call == u"write" ? ENOSPC : EIO);
        const InstallReport done
            = Installer(Roots({ root }, root)).install(source, Conflict::Replace);
        arm(nullptr, nullptr, 0, 0);
        QVERIFY2(done.lines.join(u'/').startsWith(report), qPrintable(done.lines.join(u'/')));
        QCOMPARE(listing(root), u"Skins/Cool/old"_s);
    }

    void remove()
    {
        // Only the user's own goes, moved away whole; a sample stays.
        QTemporaryDir work;
        const QString root = work.filePath(u"root"_s), samples = work.filePath(u"samples"_s);
        QVERIFY(QDir().mkpath(root + u"/Sounds/Mine"_s)
            && QDir().mkpath(samples + u"/Sounds/Sample"_s));
        const Installer installer(Roots({ samples, root }, root));
        QCOMPARE(installer.remove(InstallKind::SoundPack, u"Sample"_s),
            u"the sound pack \"Sample\" is not one of your own"_s);
        QCOMPARE(installer.remove(InstallKind::SoundPack, u"mine"_s), QString());
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { u"Sounds"_s });
        QVERIFY(QFileInfo::exists(samples + u"/Sounds/Sample"_s));
    }
};

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
