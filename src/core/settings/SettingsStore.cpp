#include "core/settings/SettingsStore.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString path(QStringView section, QStringView key)
{
    QString result;
    result.reserve(section.size() + 1 + key.size());
    return result.append(section).append(u'/').append(key);
}

QString textOf(const QVariant& value, QStringView key)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QStringList:
        // A hand-edited value with an unquoted comma ("+330Delhi, India") is split by QSettings.
        return value.toStringList().join(u", ");
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant& part : value.toList())
            parts << (part.canConvert<QString>() ? part.toString() : QString());
        return parts.join(u", ");
    }
    default:
        break;
    }
    if (value.isValid() && value.canConvert<QString>())
        return value.toString();
    qCWarning(lcSettings) << key << "holds a value with no text form"
                          << (value.isValid() ? value.typeName() : "(invalid)")
                          << "and reads as empty text";
    return {};
}

// A lock file without its owner's details was left by a process killed between making it and
// writing them. QLockFile calls such a lock stale only when it is 30 s old, and the next save
// would wait that long on it; the flock its maker took tells at once whether it is alive.
bool removeOwnerlessLock(const QString& lockPath)
{
#ifdef Q_OS_UNIX
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
#else
    Q_UNUSED(lockPath)
    return false;
#endif
}

// QSettings keeps one parse of a file for all its objects in a process, and keeps it a while after
// they are gone: an object made later on the unchanged file reports no FormatError. So damage, once
// found, is remembered here for as long as the file stays as QSettings judges it unchanged (the
// same size and time of change), with the copy kept of it, if any.
struct DamagedFile {
    qint64 size = -1;
    QDateTime modified;
    QString keptAs;
};

struct DamagedFiles {
    QMutex mutex;
    QHash<QString, DamagedFile> byPath;
};

DamagedFiles& damagedFiles()
{
    static DamagedFiles files;
    return files;
}

bool unchanged(const DamagedFile& damaged, const QFileInfo& file)
{
    return file.size() == damaged.size && file.lastModified() == damaged.modified;
}

// The damage known of the file as it is now; forgets what is known of a file since changed.
std::optional<DamagedFile> knownDamage(const QString& path)
{
    DamagedFiles& files = damagedFiles();
    const QMutexLocker lock(&files.mutex);
    const auto it = files.byPath.constFind(path);
    if (it == files.byPath.cend())
        return std::nullopt;
    if (unchanged(*it, QFileInfo(path)))
        return *it;
    files.byPath.erase(it);
    return std::nullopt;
}

void rememberDamage(const QString& path, const QString& keptAs)
{
    const QFileInfo file(path);
    DamagedFiles& files = damagedFiles();
    const QMutexLocker lock(&files.mutex);
    // What is gone or changed since is forgotten, so that a long run does not pile it up.
    if (files.byPath.size() >= 64)
        files.byPath.removeIf([](const std::pair<const QString&, DamagedFile&>& entry) {
            return !unchanged(entry.second, QFileInfo(entry.first));
        });
    files.byPath.insert(path, { file.size(), file.lastModified(), keptAs });
}

void forgetDamage(const QString& path)
{
    DamagedFiles& files = damagedFiles();
    const QMutexLocker lock(&files.mutex);
    files.byPath.remove(path);
}

QString kindOf(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        if (S_ISFIFO(info.st_mode))
            return QStringLiteral("a FIFO");
        if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
            return QStringLiteral("a device");
        if (S_ISSOCK(info.st_mode))
            return QStringLiteral("a socket");
    }
#endif
    return QFileInfo(path).isDir() ? QStringLiteral("a folder") : QStringLiteral("a special file");
}

// Renames the entry itself (a link, not what it points to), and never copies: QFile::rename
// would fall back to reading the source.
bool renameEntry(const QString& from, const QString& to, QString* reason)
{
#ifdef Q_OS_UNIX
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#else
    QFile file(from);
    if (file.rename(to))
        return true;
    *reason = file.errorString();
    return false;
#endif
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

// Empty (cut before its first byte) or starting with a group this store writes.
bool writtenAsSettings(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray first = file.readLine(64).trimmed();
    return file.size() == 0 || first == "[Setting]" || first == "[WTT]";
}

// Writes only when told to: QSettings would otherwise also write on its own from the event
// loop, outside the store's account of what is saved.
class ExplicitSettings final : public QSettings {
public:
    using QSettings::QSettings;

protected:
    bool event(QEvent* event) override
    {
        return event->type() == QEvent::UpdateRequest || QSettings::event(event);
    }
};

std::unique_ptr<QSettings> prepared(std::unique_ptr<QSettings> settings)
{
    // Never the direct-write fallback, which would truncate the file before writing it.
    settings->setAtomicSyncRequired(true);
    // QSettings parses sections when first touched, and a damaged one sets the status of the
    // object that touches it: parse them all now, so that status() tells at once.
    settings->allKeys();
    return settings;
}

} // namespace

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// There the native user store is this INI file. Opened by its path, it can be checked before
// QSettings opens it, and QSettings does not also read the system-wide Quarnet.conf files.
SettingsStore::SettingsStore(const Clock& clock)
    : SettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/Quarnet.conf"),
        clock)
{ }
#else
SettingsStore::SettingsStore(const Clock& clock)
    : SettingsStore(
        QString(),
        [] {
            auto settings = std::make_unique<ExplicitSettings>(QSettings::NativeFormat,
                QSettings::UserScope, QStringLiteral("Quarnet"), QString());
            // Only the user's own store counts, not a system-wide Quarnet.conf.
            settings->setFallbacksEnabled(false);
            return prepared(std::move(settings));
        },
        clock)
{ }
#endif

// INI rather than native: on Windows a native path would name a registry key.
SettingsStore::SettingsStore(const QString& filePath, const Clock& clock)
    : SettingsStore(
        filePath,
        [filePath] {
            return prepared(std::make_unique<ExplicitSettings>(filePath, QSettings::IniFormat));
        },
        clock)
{ }

// An empty path: one that only QSettings knows, and that is not checked.
SettingsStore::SettingsStore(const QString& filePath,
    std::function<std::unique_ptr<QSettings>()> makeSettings, const Clock& clock)
    : m_clock(clock)
    , m_filePath(filePath.isEmpty() ? QString() : QFileInfo(filePath).absoluteFilePath())
    , m_makeSettings(std::move(makeSettings))
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(defaultRetryDelay);
    QObject::connect(&m_retry, &QTimer::timeout, &m_retry, [this] { sync(); });
    if (m_filePath.isEmpty() || filesUsable()) {
        m_settings = m_makeSettings();
        if (m_filePath.isEmpty())
            m_filePath = m_settings->fileName();
    } else {
        // A path no file can take: it reads as empty, and the store never gives it changes.
        m_settings = std::make_unique<ExplicitSettings>(
            QStringLiteral("/dev/null/Quarnet.conf"), QSettings::IniFormat);
    }
    qCDebug(lcSettings) << "settings store" << fileName() << m_settings->status();
    if (m_memoryOnly)
        return;
    if (m_settings->status() == QSettings::FormatError) {
        m_damaged = true;
        if (!knownDamage(m_filePath))
            rememberDamage(m_filePath, QString());
    } else if (const std::optional<DamagedFile> known = knownDamage(m_filePath)) {
        qCDebug(lcSettings) << fileName() << "was found damaged by an earlier store";
        m_damaged = true;
        m_damageKept = !known->keptAs.isEmpty();
    }
    moveInterruptedSave();
}

SettingsStore::~SettingsStore()
{
    // Memory only: the loss was told when the store was made.
    if (!m_unsaved || m_memoryOnly)
        return;
    if (!sync())
        qCWarning(lcSettings) << "the settings changed since the last save are lost:" << fileName()
                              << "could not be written";
    m_retry.stop();
}

std::optional<QString> SettingsStore::read(QStringView section, QStringView key) const
{
    const QString fullKey = normalized(path(section, key));
    if (const std::optional<std::optional<QString>> change = changeOf(fullKey))
        return *change;
    if (!m_settings->contains(fullKey))
        return std::nullopt;
    return textOf(m_settings->value(fullKey), fullKey);
}

QString SettingsStore::read(QStringView section, QStringView key, const QString& fallback) const
{
    return read(section, key).value_or(fallback);
}

QStringList SettingsStore::keys(const QString& section)
{
    const QString group = normalized(section);
    QSet<QString> names;
    const std::optional<std::optional<QString>> groupChange = changeOf(group);
    if (!groupChange || groupChange->has_value()) {
        m_settings->beginGroup(group);
        const QStringList stored = m_settings->childKeys();
        m_settings->endGroup();
        names = QSet<QString>(stored.cbegin(), stored.cend());
    }
    const QString prefix = group.isEmpty() ? QString() : group + u'/';
    for (auto it = m_changes.lowerBound(prefix);
         it != m_changes.cend() && it.key().startsWith(prefix); ++it) {
        const QString name = it.key().sliced(prefix.size());
        if (name.contains(u'/'))
            continue;
        if (it->has_value())
            names.insert(name);
        else
            names.remove(name);
    }
    QStringList result(names.cbegin(), names.cend());
    result.sort();
    return result;
}

void SettingsStore::write(QStringView section, QStringView key, const QString& text)
{
    const QString fullKey = normalized(path(section, key));
    if (fullKey.isEmpty()) {
        qCWarning(lcSettings) << "no key to write" << section << key;
        return;
    }
    m_changes.insert(fullKey, text);
    m_unsaved = true;
}

// As QSettings removes: the key and every key below it.
void SettingsStore::remove(QStringView section, QStringView key)
{
    const QString fullKey = normalized(path(section, key));
    const QString below = fullKey.isEmpty() ? QString() : fullKey + u'/';
    auto it = m_changes.lowerBound(below);
    while (it != m_changes.end() && it.key().startsWith(below))
        it = m_changes.erase(it);
    m_changes.insert(fullKey, std::nullopt);
    m_unsaved = true;
}

// QSettings' own form of a key (no doubled, leading or trailing slashes), so that a change it has
// not been given yet is found under the name it will give it.
QString SettingsStore::normalized(const QString& key) const
{
    m_settings->beginGroup(key);
    QString result = m_settings->group();
    m_settings->endGroup();
    return result;
}

// What the changes not yet given to QSettings say of a key: nothing, its text, or that it is gone.
std::optional<std::optional<QString>> SettingsStore::changeOf(const QString& key) const
{
    if (const auto it = m_changes.constFind(key); it != m_changes.cend())
        return *it;
    for (QStringView parent(key); !parent.isEmpty();) {
        const qsizetype slash = parent.lastIndexOf(u'/');
        parent = slash < 0 ? QStringView() : parent.left(slash);
        const auto it = m_changes.constFind(parent.toString());
        if (it != m_changes.cend() && !it->has_value())
            return std::optional<QString>();
    }
    return std::nullopt;
}

bool SettingsStore::sync()
{
    m_retry.stop();
    if (!m_unsaved)
        return true;
    // The file may have been replaced since it was read; QSettings reads it again as it saves.
    if (m_memoryOnly || !filesUsable())
        return false;
    if (keepDamagedFile() && roomToWrite() && writeFile()) {
        forgetDamage(m_filePath);
        m_damaged = false;
        if (m_failedAttempts > 0)
            qCInfo(lcSettings) << "the settings are saved to" << fileName() << "after"
                               << m_failedAttempts << "failed attempts";
        m_failedAttempts = 0;
        m_unsaved = false;
        return true;
    }
    if (m_failedAttempts++ == 0)
        qCWarning(lcSettings).nospace()
            << "could not write the settings to " << fileName() << " ("
            << qUtf8Printable(failureReason())
            << "); the file is left as it was, and the save is retried every "
            << m_retry.intervalAsDuration().count() / 1000.0 << " s";
    else
        qCDebug(lcSettings) << "attempt" << m_failedAttempts << "to write" << fileName()
                            << "failed:" << failureReason();
    if (QCoreApplication::instance())
        m_retry.start();
    return false;
}

bool SettingsStore::writeFile()
{
    // QSettings keeps the first error it met, so after one an attempt is judged on a new object.
    // Made while the old one lives, it shares the old one's unsaved changes (QSettings shares the
    // data of a file within a process), and writing them may already be part of making it.
    if (m_settings->status() != QSettings::NoError) {
        std::unique_ptr<QSettings> renewed = m_makeSettings();
        m_settings.swap(renewed);
    }
    // QSettings is given the changes only now that they are to be written: changes it holds are
    // written whenever it goes, checked or not.
    for (auto it = m_changes.cbegin(); it != m_changes.cend(); ++it) {
        if (it->has_value())
            m_settings->setValue(it.key(), **it);
        else
            m_settings->remove(it.key());
    }
    m_changes.clear();
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

// Qt 6.4's QSaveFile misses a write that fails when it flushes its last 16 KiB at commit, and
// renames the cut-short file over the old one; so a save needs room for the file written at worst
// (every character escaped) and the lock beside it, or it waits for the retry.
bool SettingsStore::roomToWrite() const
{
    const QStorageInfo storage(QFileInfo(fileName()).absolutePath());
    if (!storage.isValid())
        return true;
    qint64 bound = 2 * 4096;
    for (const QString& key : m_settings->allKeys()) {
        const QVariant value = m_settings->value(key);
        qint64 length = 0;
        switch (value.typeId()) {
        case QMetaType::QString:
            length = value.toString().size();
            break;
        case QMetaType::QStringList:
            length = value.toStringList().join(u", ").size();
            break;
        default:
            length = value.toByteArray().size() + 64;
            break;
        }
        bound += 16 + 6 * (key.size() + length);
    }
    for (auto it = m_changes.cbegin(); it != m_changes.cend(); ++it)
        bound += 16 + 6 * (it.key().size() + it->value_or(QString()).size());
    if (storage.bytesAvailable() >= bound)
        return true;
    qCDebug(lcSettings) << "not saving:" << storage.bytesAvailable() << "bytes free of the" << bound
                        << "a save may need";
    return false;
}

// QSettings rewrites the file from what it could parse, so whatever it could not is lost
// unless the original is kept. Until a copy exists, nothing is written over it.
bool SettingsStore::keepDamagedFile()
{
    if (!m_damaged || m_damageKept)
        return true;
    const QString source = fileName();
    if (const std::optional<DamagedFile> known = knownDamage(source);
        known && !known->keptAs.isEmpty()) {
        qCDebug(lcSettings) << source << "was kept as" << known->keptAs << "by an earlier store";
        m_damageKept = true;
        return true;
    }
    const QString stem = source + QStringLiteral(".damaged-")
        + m_clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int i = 2; QFileInfo::exists(target) && i <= 100; ++i)
        target = stem + u'-' + QString::number(i);
    m_damageKept = QFile::copy(source, target);
    if (m_damageKept)
        rememberDamage(source, target);
    if (m_damageKept)
        qCWarning(lcSettings) << source << "could not be read completely; kept as" << target;
    else if (m_failedAttempts == 0)
        qCWarning(lcSettings) << source << "could not be read completely, and copying it to"
                              << target << "failed; it is not written over until a copy is kept";
    return m_damageKept;
}

// QSettings would open a FIFO in the file's place, or in its lock's as it saves, and wait for a
// writer. Whatever is not a regular file (a link to one is) is moved aside; when that fails the
// store turns to memory only, for good.
bool SettingsStore::filesUsable()
{
    if (moveAsideIfNotAFile(m_filePath)
        && moveAsideIfNotAFile(m_filePath + QStringLiteral(".lock")))
        return true;
    m_memoryOnly = true;
    m_retry.stop();
    return false;
}

bool SettingsStore::moveAsideIfNotAFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return true;
    const QString kind = kindOf(path);
    const QString stem = path + QStringLiteral(".not-a-file-")
        + m_clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    const auto taken = [](const QString& name) {
        const QFileInfo entry(name);
        return entry.exists() || entry.isSymLink();
    };
    for (int i = 2; taken(target) && i <= 100; ++i)
        target = stem + u'-' + QString::number(i);
    QString reason;
    if (!taken(target) && renameEntry(path, target, &reason)) {
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

// A save killed between naming its new file and renaming it over the old one leaves it behind,
// with the stale lock QSettings held while it saved; a live lock means another clock is saving
// now. The clock never deletes what it may not have made: a leftover is moved into a folder of
// its own, and a file is taken for one only when its name is one Qt makes, it was written in
// the minute after the lock was taken, and it holds what the store writes.
void SettingsStore::moveInterruptedSave()
{
    const QString lockPath = fileName() + QStringLiteral(".lock");
    const QFileInfo lockInfo(lockPath);
    if (!lockInfo.exists())
        return;
    const QDateTime lockedSince = lockInfo.lastModified();
    QLockFile lock(lockPath);
    if (!lock.tryLock(0) && !(removeOwnerlessLock(lockPath) && lock.tryLock(0))) {
        qCDebug(lcSettings) << lockPath << "is held:" << lock.error();
        return;
    }
    const QFileInfo file(fileName());
    const QFileInfoList candidates = file.absoluteDir().entryInfoList(
        { file.fileName() + QStringLiteral(".??????") }, QDir::Files | QDir::Hidden);
    const QString folder = fileName() + QStringLiteral(".interrupted");
    for (const QFileInfo& candidate : candidates) {
        const QDateTime written = candidate.lastModified();
        if (!generatedName(candidate.fileName().sliced(file.fileName().size() + 1))
            || written < lockedSince || written > lockedSince.addSecs(60)
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

// A best guess for the log: QSettings tells only that it could not write.
QString SettingsStore::failureReason() const
{
    const QFileInfo file(fileName());
    const QFileInfo folder(file.absolutePath());
    const QStorageInfo storage(folder.absoluteFilePath());
    if (!folder.isDir())
        return QStringLiteral("its folder is missing");
    if (storage.isValid() && storage.isReadOnly())
        return QStringLiteral("the file system is read-only");
    if (!roomToWrite())
        return QStringLiteral("the disk is full");
    if (!folder.isWritable())
        return QStringLiteral("its folder is read-only");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is read-only");
    if (m_damaged && !m_damageKept)
        return QStringLiteral("a damaged file could not be copied aside");
    return QStringLiteral("the reason is unknown");
}
