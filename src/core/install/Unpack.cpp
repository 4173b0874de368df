#include "core/install/Unpack.h"

#include "core/base/Logging.h"
#include "core/install/ArchiveLibrary.h"
#include "core/text/TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <clocale>
#include <locale.h>
#include <memory>

namespace {

// Open by the time anything below runs: unpack() refuses first where it cannot be.
const ArchiveLibrary& lib()
{
    return *ArchiveLibrary::open();
}

struct ArchiveFree {
    void operator()(archive* a) const { lib().archive_read_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { lib().archive_entry_free(e); }
};

// A stored name as a reason may show it: what a terminal would take as a control turns to "?".
QString shown(const QString& name)
{
    QString text = name.left(120);
    for (QChar& c : text)
        c = c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u'?') : c;
    return u'"' + text + u'"';
}

// The names of the folders and the file a stored name leads to, each one a plain name, or why
// it leads nowhere inside the target. "/" and "\" both separate names, as archives made on
// Windows write them.
QString splitName(const QString& stored, QStringList& parts)
{
    QString name = stored;
    name.replace(u'\\', u'/');
    if (name.startsWith(u'/'))
        return shown(stored) + QStringLiteral(" is an absolute path");
    if (name.size() >= 2 && name[1] == u':' && name[0].unicode() < 0x80 && name[0].isLetter())
        return shown(stored) + QStringLiteral(" names a drive");
    for (const QString& part : name.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        if (part == u"..")
            return shown(stored) + QStringLiteral(" leaves the archive's folder");
        for (const QChar c : part) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return shown(stored) + QStringLiteral(" holds a character a file name cannot hold");
        }
        if (part.toUtf8().size() > 255)
            return shown(stored) + QStringLiteral(" is longer than a file name can be");
        parts << part;
    }
    return {};
}

class Unpacker {
public:
    Unpacker(const QString& source, const QString& into, const UnpackLimits& limits,
        const std::function<void(double)>& progress)
        : m_source(source)
        , m_into(into)
        , m_limits(limits)
        , m_progress(progress)
    { }

    QString run();

private:
    QString open();
    QString entry(archive_entry* entry, const QString& stored);
    QString writeFile(const QString& path, const QString& stored);
    QString failure(const char* what) const;
    void tell();

    const QString& m_source;
    const QString& m_into;
    const UnpackLimits& m_limits;
    const std::function<void(double)>& m_progress;
    std::unique_ptr<archive, ArchiveFree> m_archive;
    bool m_folder = false;
    QByteArray m_folderPrefix; // a folder's entries are named from it
    qint64 m_sourceBytes = 0;
    qint64 m_bytes = 0;
    int m_entries = 0;
    // Each path written, in letter-case-folded form, to the path as written and whether it is a
    // folder: names that differ only in letter case are one.
    QHash<QString, std::pair<QString, bool>> m_written;
    QByteArray m_buffer;
};

QString Unpacker::open()
{
    const QFileInfo info(m_source);
    const QByteArray path = QFile::encodeName(m_source);
    m_folder = info.isDir();
    if (m_folder) {
        m_archive.reset(lib().archive_read_disk_new());
        // Only the folder given may be a link; links inside it are entries like any other.
        lib().archive_read_disk_set_symlink_hybrid(m_archive.get());
        lib().archive_read_disk_set_behavior(m_archive.get(),
            ARCHIVE_READDISK_NO_XATTR | ARCHIVE_READDISK_NO_ACL | ARCHIVE_READDISK_NO_FFLAGS);
        m_folderPrefix = path.endsWith('/') ? path : path + '/';
        if (lib().archive_read_disk_open(m_archive.get(), path.constData()) != ARCHIVE_OK)
            return failure("cannot read the folder");
        return {};
    }
    if (!info.isFile())
        return QStringLiteral("it is not there, or neither a file nor a folder");
    m_sourceBytes = info.size();
    m_archive.reset(lib().archive_read_new());
    archive* a = m_archive.get();
    lib().archive_read_support_format_zip(a);
    lib().archive_read_support_format_rar(a);
    lib().archive_read_support_format_rar5(a);
    lib().archive_read_support_format_7zip(a);
    lib().archive_read_support_format_tar(a);
    lib().archive_read_support_filter_gzip(a);
    lib().archive_read_support_filter_bzip2(a);
    lib().archive_read_support_filter_xz(a);
    if (lib().archive_read_open_filename(a, path.constData(), 64 * 1024) != ARCHIVE_OK)
        return failure("cannot open it");
    return {};
}

QString Unpacker::run()
{
    if (QString refused = open(); !refused.isEmpty())
        return refused;
    m_buffer.resize(64 * 1024);
    const std::unique_ptr<archive_entry, EntryFree> owned(lib().archive_entry_new());
    for (;;) {
        archive_entry* entry = owned.get();
        const int read = m_folder ? lib().archive_read_next_header2(m_archive.get(), entry)
                                  : lib().archive_read_next_header(m_archive.get(), &entry);
        if (read == ARCHIVE_EOF)
            break;
        if (read < ARCHIVE_WARN)
            return failure("reading an entry");
        if (read == ARCHIVE_WARN)
            qCDebug(lcInstall) << m_source << "-" << lib().archive_error_string(m_archive.get());
        QByteArray bytes;
        if (const char* name = lib().archive_entry_pathname(entry))
            bytes = name;
        else if (const wchar_t* wide = lib().archive_entry_pathname_w(entry))
            bytes = QString::fromWCharArray(wide).toUtf8();
        if (m_folder) {
            if (lib().archive_read_disk_can_descend(m_archive.get()))
                lib().archive_read_disk_descend(m_archive.get());
            // The folder itself comes first, by the name it was given.
            if (!bytes.startsWith(m_folderPrefix))
                continue;
            bytes = bytes.mid(m_folderPrefix.size());
        }
        if (++m_entries > m_limits.entries)
            return QStringLiteral("it holds more than %1 files and folders").arg(m_limits.entries);
        if (QString refused = this->entry(entry, decodeFileName(bytes)); !refused.isEmpty())
            return refused;
        tell();
    }
    return {};
}

QString Unpacker::entry(archive_entry* entry, const QString& stored)
{
    if (lib().archive_entry_is_encrypted(entry))
        return QStringLiteral("it is encrypted");
    if (lib().archive_entry_hardlink(entry))
        return shown(stored) + QStringLiteral(" is a link");
    const mode_t type = lib().archive_entry_filetype(entry);
    if (type == AE_IFLNK)
        return shown(stored) + QStringLiteral(" is a link");
    if (type != AE_IFREG && type != AE_IFDIR)
        return shown(stored) + QStringLiteral(" is a device, a FIFO or a socket");
    QStringList parts;
    if (QString refused = splitName(stored, parts); !refused.isEmpty())
        return refused;
    if (parts.isEmpty())
        return {};
    if (lib().archive_entry_size_is_set(entry)
        && lib().archive_entry_size(entry) > m_limits.bytes - m_bytes)
        return QStringLiteral("it unpacks to more than %1 MiB").arg(m_limits.bytes >> 20);

    // The path as written: each folder under the spelling it was first written with.
    QString path;
    QString key;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        key += u'/' + parts[i].toCaseFolded();
        const bool last = i == parts.size() - 1;
        const auto written = m_written.constFind(key);
        if (written == m_written.cend()) {
            path += (path.isEmpty() ? QString() : QStringLiteral("/")) + parts[i];
            const bool folder = !last || type == AE_IFDIR;
            if (folder && !QDir().mkpath(m_into + u'/' + path))
                return QStringLiteral("cannot make a folder in %1").arg(m_into);
            m_written.insert(key, { path, folder });
            continue;
        }
        if (!written->second || (last && type != AE_IFDIR)) {
            // The first wins: a later file of the same name in another letter case is left out.
            qCInfo(lcInstall).noquote() << m_source << "-" << shown(stored) << "is"
                                        << shown(written->first) << "in another letter case:"
                                        << "kept the first";
            return {};
        }
        path = written->first;
    }
    return type == AE_IFREG ? writeFile(path, stored) : QString();
}

QString Unpacker::writeFile(const QString& path, const QString& stored)
{
    QFile file(m_into + u'/' + path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return QStringLiteral("cannot write %1: %2").arg(shown(path), file.errorString());
    for (;;) {
        const la_ssize_t n
            = lib().archive_read_data(m_archive.get(), m_buffer.data(), m_buffer.size());
        if (n == 0)
            break;
        if (n < 0)
            return failure(qPrintable(QStringLiteral("reading %1").arg(shown(stored))));
        m_bytes += n;
        if (m_bytes > m_limits.bytes)
            return QStringLiteral("it unpacks to more than %1 MiB").arg(m_limits.bytes >> 20);
        if (!m_folder && m_bytes > m_limits.ratioFrom && m_bytes / m_limits.ratio > m_sourceBytes)
            return QStringLiteral("it unpacks to over %1 times its size").arg(m_limits.ratio);
        if (file.write(m_buffer.constData(), n) != n)
            return QStringLiteral("cannot write %1: %2").arg(shown(path), file.errorString());
        if (m_bytes % (1 << 20) < n)
            tell();
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot write %1: %2").arg(shown(path), file.errorString());
    return {};
}

QString Unpacker::failure(const char* what) const
{
    archive* a = m_archive.get();
    const QString error = QString::fromUtf8(lib().archive_error_string(a));
    qCDebug(lcInstall) << m_source << "-" << what << "-" << error;
    // Asked before a format is known, libarchive follows a null pointer.
    if (!m_folder && lib().archive_format(a) != 0
        && lib().archive_read_has_encrypted_entries(a) > 0)
        return QStringLiteral("it is encrypted");
    if (error.contains(QStringLiteral("passphrase"), Qt::CaseInsensitive)
        || error.contains(QStringLiteral("encrypt"), Qt::CaseInsensitive))
        return QStringLiteral("it is encrypted");
    if (m_folder)
        return QStringLiteral("cannot read it: %1").arg(error);
    if (m_entries == 0 && lib().archive_format(a) == 0)
        return QStringLiteral("it is not a zip, rar, 7z or tar archive");
    return QStringLiteral("it is damaged or cut short (%1)").arg(error);
}

void Unpacker::tell()
{
    if (!m_progress)
        return;
    if (m_folder || m_sourceBytes <= 0)
        m_progress(-1);
    else
        m_progress(
            std::min(1.0, double(lib().archive_filter_bytes(m_archive.get(), -1)) / m_sourceBytes));
}

} // namespace

QString unpack(const QString& source, const QString& into, const UnpackLimits& limits,
    const std::function<void(double)>& progress)
{
    if (QString why; !ArchiveLibrary::open(&why))
        return QStringLiteral("archives cannot be read here (%1)").arg(why);
    // libarchive gives the names it knows the characters of (7z's, flagged zip names, RAR's
    // Unicode ones) in the locale's character set: on this thread, always UTF-8, whatever
    // locale the clock runs in.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    const locale_t before = utf8 ? uselocale(utf8) : nullptr;
    QString refused = Unpacker(source, into, limits, progress).run();
    if (utf8) {
        uselocale(before);
        freelocale(utf8);
    }
    return refused;
}
