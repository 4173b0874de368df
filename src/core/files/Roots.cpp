#include "core/files/Roots.h"

#include "core/base/Logging.h"
#include "core/files/FileList.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const QString appFolderName = QStringLiteral("horolan");

void addRoot(QStringList& roots, const QString& path)
{
    if (path.isEmpty() || QDir::isRelativePath(path))
        return;
    const QString clean = QDir::cleanPath(path);
    if (!roots.contains(clean))
        roots.append(clean);
}

// Whether parent holds a folder of exactly this name (a file system that ignores case would
// find "skins" for "Skins"; the listing tells the real name).
bool holdsFolder(const QString& parent, const QString& name)
{
    if (!QFileInfo(parent + u'/' + name).isDir())
        return false;
    QDirIterator it(parent, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        if (it.fileName() == name)
            return true;
    }
    return false;
}

// The first folder of parent, in list order, named like name in any letter case.
QString folderLike(const QString& parent, const QString& name)
{
    QString best;
    QDirIterator it(parent, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString entry = it.fileName();
        if (entry.compare(name, Qt::CaseInsensitive) == 0
            && (best.isEmpty() || FileList::nameLess(entry, best)))
            best = entry;
    }
    return best;
}

} // namespace

Roots Roots::standard()
{
    QStringList roots;
    addRoot(roots, QCoreApplication::applicationDirPath());

    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString userRoot = QDir::cleanPath(dataHome + u'/' + appFolderName);
    addRoot(roots, userRoot);

    // The two usual system folders always come last, in this order, whatever XDG_DATA_DIRS says.
    const QStringList fixed { QStringLiteral("/usr/local/share/horolan"),
        QStringLiteral("/usr/share/horolan") };
    const QStringList dataDirs
        = qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts);
    for (const QString& dir : dataDirs) {
        if (QDir::isRelativePath(dir))
            continue;
        const QString root = QDir::cleanPath(dir + u'/' + appFolderName);
        if (!fixed.contains(root))
            addRoot(roots, root);
    }
    for (const QString& root : fixed)
        addRoot(roots, root);
    qCDebug(lcMain) << "roots:" << roots;
    return Roots(roots, userRoot);
}

QString Roots::resolve(const QString& kind, const QString& name) const
{
    const QLoggingCategory& category = kind == u"Sounds" ? lcSound() : lcSkin();
    if (!isSafeName(kind) || !isSafeName(name)) {
        qCDebug(category) << "name" << name << "of kind" << kind << "is not a plain folder name";
        return QString();
    }
    // The exact name under any root first; then the name in another letter case, as a name typed
    // by hand or kept from a skin made on Windows may have it.
    for (const bool exact : { true, false }) {
        for (const QString& root : m_roots) {
            if (!holdsFolder(root, kind))
                continue;
            const QString kindFolder = root + u'/' + kind;
            const QString found = exact ? (holdsFolder(kindFolder, name) ? name : QString())
                                        : folderLike(kindFolder, name);
            if (!found.isEmpty()) {
                qCDebug(category) << name << "resolves to" << kindFolder + u'/' + found;
                return kindFolder + u'/' + found;
            }
        }
    }
    qCDebug(category) << name << "of kind" << kind << "is under no root";
    return QString();
}

QStringList Roots::list(const QString& kind) const
{
    QStringList names;
    if (!isSafeName(kind))
        return names;
    QSet<QString> seen;
    for (const QString& root : m_roots) {
        if (!holdsFolder(root, kind))
            continue;
        // Without QDir::Hidden the listing leaves ".name" folders out.
        QDirIterator it(root + u'/' + kind, QDir::Dirs | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QString name = it.fileName();
            if (name.startsWith(u'.') || !isSafeName(name) || seen.contains(name))
                continue;
            seen.insert(name);
            names.append(name);
        }
    }
    std::sort(names.begin(), names.end(), FileList::nameLess);
    return names;
}

bool Roots::isSafeName(const QString& name)
{
    if (name.isEmpty() || name == u"." || name.contains(u"..") || name.contains(u'/')
        || name.contains(u'\\') || name.contains(QChar(0)))
        return false;
#ifdef Q_OS_WIN
    if (name.contains(u':'))
        return false;
#endif
    return true;
}
