#include "core/settings/SettingsGuard.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/settings/SettingsIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock file without its owner's details was left by a process killed between making it and
// writing them. QLockFile calls such a lock stale only when it is 30 s old, and the next save
// would wait that long on it; the flock its maker took tells at once whether it is alive.
bool removeOwnerlessLock(const QString& lockPath)
{
    qint64 pid = 0;
    QString host, application;
    if (QLockFile(lockPath).getLockInfo(&pid, &host, &application))
        return false;
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && QFile::remove(lockPath);
    ::close(fd);
    if (removed)
        qCDebug(lcSettings) << "removed" << lockPath << "which no process holds";
    return removed;
}

QString kindOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        if (S_ISFIFO(info.st_mode))
            return QStringLiteral("a FIFO");
        if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
            return QStringLiteral("a device");
        if (S_ISSOCK(info.st_mode))
            return QStringLiteral("a socket");
    }
    return QFileInfo(path).isDir() ? QStringLiteral("a folder") : QStringLiteral("a special file");
}

// Renames the entry itself (a link, not what it points to), and never copies: QFile::rename
// would fall back to reading the source.
bool renameEntry(const QString& from, const QString& to, QString* reason)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool taken(const QString& name)
{
    const QFileInfo entry(name);
    return entry.exists() || entry.isSymLink();
}

// Qt names a save's new file with six random ASCII letters. A person's copy is a word
// ("backup", "Before", "BACKUP") or holds digits ("old123"): a name is taken only with lower case
// letters and an upper case one past the first.
bool generatedName(QStringView suffix)
{
    bool lower = false, upperPastFirst = false;
    for (qsizetype i = 0; i < suffix.size(); ++i) {
        const char16_t c = suffix[i].unicode();
        if (c >= u'a' && c <= u'z')
            lower = true;
        else if (c >= u'A' && c <= u'Z')
            upperPastFirst = upperPastFirst || i > 0;
        else
            return false;
    }
    return suffix.size() == 6 && lower && upperPastFirst;
}

// Empty (cut before its first byte) or starting with a group the clock writes.
bool writtenAsSettings(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray first = file.readLine(64).trimmed();
    return file.size() == 0 || first == "[Setting]" || first == "[WTT]";
}

} // namespace

SettingsGuard::SettingsGuard(const QString& filePath, const Clock& clock)
    : m_filePath(filePath)
    , m_clock(clock)
{ }

QString SettingsGuard::stamped(const QString& path, const QString& what) const
{
    const QString stem
        = path + u'.' + what + u'-' + m_clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int i = 2; taken(target) && i <= 100; ++i)
        target = stem + u'-' + QString::number(i);
    return taken(target) ? QString() : target;
}

bool SettingsGuard::filesUsable()
{
    return moveAsideIfNotAFile(m_filePath)
        && moveAsideIfNotAFile(m_filePath + QStringLiteral(".lock"));
}

bool SettingsGuard::moveAsideIfNotAFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return true;
    const QString kind = kindOf(path);
    const QString target = stamped(path, QStringLiteral("not-a-file"));
    QString reason;
    if (!target.isEmpty() && renameEntry(path, target, &reason)) {
        qCWarning(lcSettings).noquote()
            << path << "is" << kind << "and not a regular file; moved aside as" << target;
        return true;
    }
    qCWarning(lcSettings).noquote().nospace()
        << path << " is " << kind << " and not a regular file, and moving it aside failed ("
        << (reason.isEmpty() ? QStringLiteral("no free name") : reason)
        << "); the settings are kept in memory only and will not be saved";
    return false;
}

void SettingsGuard::clearInterruptedSaves()
{
    removeOwnScratch();
    moveOldSaves();
}

// A save of this build writes "<file>.saving-<pid>-<n>.*": those of a process that is gone are
// its leftovers.
void SettingsGuard::removeOwnScratch()
{
    const QFileInfo prefix(SettingsIni::scratchPrefix(m_filePath));
    QDir folder = prefix.dir();
    // Names are matched here, not by a name filter: those are regular expressions, an engine the
    // clock would load at every start for this alone.
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(prefix.fileName()))
            continue;
        bool ok = false;
        const qint64 pid
            = name.sliced(prefix.fileName().size()).section(u'-', 0, 0).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH && folder.remove(name))
            qCDebug(lcSettings) << "removed" << name << "left by a save that was killed";
    }
}

// An older build saved through QSettings itself: a save killed between naming its new file and
// renaming it over the old one left it behind, with the stale lock QSettings held. Such a file is
// taken for a leftover only when its name is one Qt makes, it was written in the minute after the
// lock was taken, and it holds what the clock writes; it is moved into a folder of its own.
void SettingsGuard::moveOldSaves()
{
    const QString lockPath = m_filePath + QStringLiteral(".lock");
    const QFileInfo lockInfo(lockPath);
    if (!lockInfo.exists())
        return;
    const QDateTime lockedSince = lockInfo.lastModified();
    QLockFile lock(lockPath);
    if (!lock.tryLock(0) && !(removeOwnerlessLock(lockPath) && lock.tryLock(0))) {
        qCDebug(lcSettings) << lockPath << "is held:" << lock.error();
        return;
    }
    const QFileInfo file(m_filePath);
    const QDir dir = file.absoluteDir();
    const QString folder = m_filePath + QStringLiteral(".interrupted");
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        // "<file>.XXXXXX"
        if (name.size() != file.fileName().size() + 7 || !name.startsWith(file.fileName() + u'.'))
            continue;
        const QFileInfo candidate(dir.filePath(name));
        const QDateTime written = candidate.lastModified();
        if (!generatedName(name.sliced(file.fileName().size() + 1)) || written < lockedSince
            || written > lockedSince.addSecs(60)
            || !writtenAsSettings(candidate.absoluteFilePath()))
            continue;
        const QString target = folder + u'/' + candidate.fileName();
        QString reason;
        if (QDir().mkpath(folder) && !QFileInfo::exists(target)
            && renameEntry(candidate.absoluteFilePath(), target, &reason))
            qCInfo(lcSettings) << "moved" << candidate.absoluteFilePath()
                               << "left by an interrupted save to" << folder;
        else
            qCWarning(lcSettings) << "could not move" << candidate.absoluteFilePath()
                                  << "left by an interrupted save to" << folder << reason;
    }
    qCDebug(lcSettings) << "removed the stale lock" << lockPath;
}

bool SettingsGuard::keepDamagedCopy()
{
    if (m_damageKept)
        return true;
    const QString target = stamped(m_filePath, QStringLiteral("damaged"));
    m_damageKept = !target.isEmpty() && QFile::copy(m_filePath, target);
    if (m_damageKept)
        qCWarning(lcSettings) << m_filePath << "could not be read completely; kept as" << target;
    else if (!std::exchange(m_copyFailureTold, true))
        qCWarning(lcSettings) << m_filePath << "could not be read completely, and copying it to"
                              << target << "failed; it is not written over until a copy is kept";
    return m_damageKept;
}
