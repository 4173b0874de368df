#include "core/install/Installer.h"

#include "core/base/Logging.h"
#include "core/files/FileList.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Found {
    InstallKind kind;
    QString folder;
};

void findItems(const QString& folder, int depth, QList<Found>& found)
{
    const QDir dir(folder);
    // Hidden files are no part of a skin: a Mac writes "._Skin.ini" beside "Skin.ini".
    const QStringList files = dir.entryList(QDir::Files);
    const auto holds
        = [&files](auto match) { return std::any_of(files.begin(), files.end(), match); };
    if (holds([](const QString& file) {
            return file.compare(QStringLiteral("Skin.ini"), Qt::CaseInsensitive) == 0;
        })) {
        found.append({ InstallKind::Skin, folder });
        return;
    }
    if (holds([](const QString& file) {
            return file.compare(QStringLiteral("SP.ini"), Qt::CaseInsensitive) == 0
                || file.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive);
        })) {
        found.append({ InstallKind::SoundPack, folder });
        return;
    }
    if (depth == Installer::maxDepth)
        return;
    QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(folders.begin(), folders.end(), FileList::nameLess);
    for (const QString& sub : folders) {
        // A Mac's copies of its files' metadata, never a skin.
        if (sub != u"__MACOSX")
            findItems(folder + u'/' + sub, depth + 1, found);
    }
}

// A name the clock resolves and lists: no "..", no leading dot, no blanks at its ends.
QString plainName(QString name)
{
    while (name.contains(QStringLiteral("..")))
        name.replace(QStringLiteral(".."), QStringLiteral("."));
    name = name.trimmed();
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.trimmed();
}

// What a killed install or removal left in the user's folder, a day on.
void sweep(const QString& root)
{
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    const QFileInfoList left = QDir(root).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& folder : left) {
        const QString name = folder.fileName();
        const bool ours = name.startsWith(u".install-") || name.startsWith(u".remove-");
        if (ours && folder.lastModified().toUTC() < dayAgo) {
            qCInfo(lcInstall) << "removing" << folder.filePath() << "left by an earlier install";
            QDir(folder.filePath()).removeRecursively();
        }
    }
}

// Everything written to the folder's file system (whole), or the folder's own entries, reaches
// the disk: a skin renamed into place must not come back empty after a power cut.
bool sync(const QString& folder, bool wholeFileSystem)
{
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
#ifdef __linux__
    const bool synced = (wholeFileSystem ? ::syncfs(fd) : ::fsync(fd)) == 0;
#else
    if (wholeFileSystem)
        ::sync();
    const bool synced = ::fsync(fd) == 0;
#endif
    ::close(fd);
    if (!synced)
        qCWarning(lcInstall) << "cannot sync" << folder;
    return synced;
}

// A folder renamed whole, on one file system.
bool move(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

QString Installer::kindFolder(InstallKind kind)
{
    return kind == InstallKind::Skin ? QStringLiteral("Skins") : QStringLiteral("Sounds");
}

QString Installer::kindText(InstallKind kind)
{
    return kind == InstallKind::Skin ? QStringLiteral("skin") : QStringLiteral("sound pack");
}

QString Installer::baseName(const QString& source)
{
    const QFileInfo info(source);
    QString name = info.fileName();
    if (info.isDir())
        return name;
    for (const QLatin1StringView suffix :
        { QLatin1StringView(".tar.gz"), QLatin1StringView(".tar.bz2"), QLatin1StringView(".tar.xz"),
            QLatin1StringView(".tgz"), QLatin1StringView(".tbz2"), QLatin1StringView(".tbz"),
            QLatin1StringView(".txz"), QLatin1StringView(".tar"), QLatin1StringView(".zip"),
            QLatin1StringView(".rar"), QLatin1StringView(".7z") }) {
        if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
            return name.chopped(suffix.size());
    }
    return info.completeBaseName();
}

QString Installer::usersFolder(InstallKind kind, const QString& name) const
{
    const QString root = m_roots.userRoot();
    if (root.isEmpty())
        return {};
    const QString folder = root + u'/' + kindFolder(kind);
    const QStringList own = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : own) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + u'/' + entry;
    }
    return {};
}

bool Installer::isTaken(InstallKind kind, const QString& name, const QStringList& batch) const
{
    return m_roots.list(kindFolder(kind)).contains(name, Qt::CaseInsensitive)
        || !usersFolder(kind, name).isEmpty()
        || batch.contains(kindFolder(kind) + u'/' + name, Qt::CaseInsensitive);
}

QString Installer::freeName(InstallKind kind, const QString& name, const QStringList& batch) const
{
    for (int n = 2;; ++n) {
        QString candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
        if (!isTaken(kind, candidate, batch))
            return candidate;
    }
}

Unpacked Installer::unpack(const QString& given, const std::function<void(double)>& progress) const
{
    Unpacked result;
    result.source = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    const QString root = m_roots.userRoot();
    if (root.isEmpty() || !QDir().mkpath(root)) {
        result.refusal = QStringLiteral("there is no folder for your skins (%1)").arg(root);
        return result;
    }
    sweep(root);
    result.staging = std::make_shared<QTemporaryDir>(root + QStringLiteral("/.install-XXXXXX"));
    const QString files = result.staging->filePath(QStringLiteral("files"));
    if (!result.staging->isValid() || !QDir().mkdir(files)) {
        result.refusal = QStringLiteral("cannot make a temporary folder in %1").arg(root);
        result.staging.reset();
        return result;
    }
    result.refusal = ::unpack(result.source, files, m_limits, progress);
    QList<Found> found;
    if (result.refusal.isEmpty())
        findItems(files, 0, found);
    if (result.refusal.isEmpty() && found.isEmpty())
        result.refusal = QStringLiteral("it holds no skin and no sound pack");
    if (!result.refusal.isEmpty()) {
        result.staging.reset();
        return result;
    }

    QStringList batch;
    for (const Found& item : found) {
        QString name = plainName(
            item.folder == files ? baseName(result.source) : QFileInfo(item.folder).fileName());
        if (name.isEmpty())
            name = kindText(item.kind);
        Unpacked::Item next { item.kind, item.folder, name, false };
        // Only the user's own may be replaced: a sample's name, or one this archive holds
        // twice, is kept beside it.
        next.taken = !usersFolder(item.kind, name).isEmpty();
        if (isTaken(item.kind, name, batch)
            && (!next.taken
                || batch.contains(kindFolder(item.kind) + u'/' + name, Qt::CaseInsensitive))) {
            next.name = freeName(item.kind, name, batch);
            next.taken = false;
        }
        batch << kindFolder(item.kind) + u'/' + next.name;
        qCDebug(lcInstall).noquote()
            << result.source << "holds the" << kindText(item.kind) << next.name << "in"
            << item.folder << (next.taken ? "(a name you have)" : "");
        result.items.append(next);
    }
    return result;
}

InstallReport Installer::finish(Unpacked& unpacked, const QList<Conflict>& choices) const
{
    InstallReport report;
    const QString from = u'"' + QFileInfo(unpacked.source).fileName() + u'"';
    if (!unpacked.refusal.isEmpty()) {
        report.lines << QStringLiteral("nothing installed from %1: %2").arg(from, unpacked.refusal);
        qCWarning(lcInstall).noquote() << report.lines.constLast();
        return report;
    }
    sync(unpacked.staging->path(), true);
    // Names kept beside others when unpacked stay theirs.
    QStringList batch;
    for (const Unpacked::Item& item : std::as_const(unpacked.items)) {
        if (!item.taken)
            batch << kindFolder(item.kind) + u'/' + item.name;
    }
    for (qsizetype i = 0; i < unpacked.items.size(); ++i) {
        const Unpacked::Item& item = unpacked.items[i];
        const QString kind = kindText(item.kind);
        QString name = item.name;
        QString replaced;
        if (item.taken) {
            const Conflict choice = choices.value(i, Conflict::Ask);
            if (choice == Conflict::Replace) {
                replaced = usersFolder(item.kind, name);
            } else if (choice == Conflict::KeepBoth) {
                name = freeName(item.kind, name, batch);
            } else {
                report.lines << QStringLiteral("kept the %1 \"%2\" you have: not installed from %3")
                                    .arg(kind, name, from);
                continue;
            }
        }
        const QString folder = m_roots.userRoot() + u'/' + kindFolder(item.kind);
        const QString aside = unpacked.staging->filePath(QStringLiteral("replaced-%1").arg(i));
        if (!replaced.isEmpty() && !move(replaced, aside)) {
            report.lines << QStringLiteral("cannot replace the %1 \"%2\"").arg(kind, name);
            continue;
        }
        if (!QDir().mkpath(folder) || !move(item.folder, folder + u'/' + name)) {
            if (!replaced.isEmpty())
                move(aside, replaced);
            report.lines
                << QStringLiteral("cannot install the %1 \"%2\" in %3").arg(kind, name, folder);
            continue;
        }
        sync(folder, false);
        batch << kindFolder(item.kind) + u'/' + name;
        report.installed.append({ item.kind, name });
        report.lines << QStringLiteral("installed \"%1\" as a %2%3")
                            .arg(name, kind,
                                replaced.isEmpty() ? QString()
                                                   : QStringLiteral(", in place of yours"));
    }
    for (const QString& line : std::as_const(report.lines))
        qCInfo(lcInstall).noquote() << line;
    // The temporary folder goes, and with it anything replaced.
    unpacked.staging.reset();
    return report;
}

InstallReport Installer::install(const QString& source, Conflict policy) const
{
    Unpacked unpacked = unpack(source);
    return finish(unpacked, QList<Conflict>(unpacked.items.size(), policy));
}

bool Installer::isUsers(InstallKind kind, const QString& name) const
{
    const QString root = m_roots.userRoot();
    return !root.isEmpty()
        && m_roots.resolve(kindFolder(kind), name)
               .startsWith(root + u'/' + kindFolder(kind) + u'/');
}

QString Installer::remove(InstallKind kind, const QString& name) const
{
    if (!isUsers(kind, name))
        return QStringLiteral("the %1 \"%2\" is not one of your own").arg(kindText(kind), name);
    const QString folder = m_roots.resolve(kindFolder(kind), name);
    // Moved away whole first, so that nothing is left half-removed.
    QTemporaryDir trash(m_roots.userRoot() + QStringLiteral("/.remove-XXXXXX"));
    if (!trash.isValid() || !move(folder, trash.filePath(QStringLiteral("removed"))))
        return QStringLiteral("cannot remove %1").arg(folder);
    qCInfo(lcInstall).noquote() << "removed the" << kindText(kind) << name;
    return {};
}
