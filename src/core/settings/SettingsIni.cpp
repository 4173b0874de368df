#include "core/settings/SettingsIni.h"

#include "core/base/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QSettings>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsIni {

namespace {

QString textOf(const QVariant& value, QStringView key, bool quiet)
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
    if (!quiet)
        qCWarning(lcSettings) << key << "holds a value with no text form"
                              << (value.isValid() ? value.typeName() : "(invalid)")
                              << "and reads as empty text";
    return {};
}

// Quiet: what a save reads back was told of when the file was read.
Texts textsOf(const QSettings& ini, bool quiet)
{
    Texts texts;
    for (const QString& key : ini.allKeys())
        texts.insert(key, textOf(ini.value(key), key, quiet));
    return texts;
}

// QSettings drops U+FEFF where a value starts, follows a quote or an escape: such a value cannot
// read back as it was written, and must not fail every save.
bool sameAsWritten(const Texts& written, const Texts& readBack)
{
    if (written.size() != readBack.size())
        return false;
    for (auto a = written.cbegin(), b = readBack.cbegin(); a != written.cend(); ++a, ++b) {
        if (a.key() != b.key()
            || (*a != *b && QString(*a).remove(QChar(0xfeff)) != QString(*b).remove(QChar(0xfeff))))
            return false;
    }
    return true;
}

QString errorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// Every write checked: a short one is retried, a failed one ends the copy.
bool copyFile(const QString& from, const QString& to, QString* why)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read it: ") + source.errorString();
        return false;
    }
    const QByteArray bytes = source.readAll();
    struct stat info { };
    const mode_t mode = ::fstat(source.handle(), &info) == 0 ? info.st_mode & 07777 : 0644;
    const int fd = ::open(native(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        *why = QStringLiteral("cannot make a file beside it: ") + errorText();
        return false;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *why = QStringLiteral("cannot copy it: ") + errorText();
            ::close(fd);
            return false;
        }
        done += wrote;
    }
    if (::close(fd) != 0) {
        *why = QStringLiteral("cannot copy it: ") + errorText();
        return false;
    }
    return true;
}

bool syncPath(const QString& path, int flags, QString* why, const char* what)
{
    const int fd = ::open(native(path).constData(), flags | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (!ok)
        *why = QStringLiteral("cannot sync %1: ").arg(QLatin1String(what)) + errorText();
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        *why = QStringLiteral("cannot sync %1: ").arg(QLatin1String(what)) + errorText();
        return false;
    }
    return ok;
}

bool renamePath(const QString& from, const QString& to, QString* why)
{
    if (::rename(native(from).constData(), native(to).constData()) == 0)
        return true;
    *why = QStringLiteral("cannot rename %1: ").arg(QFileInfo(from).fileName()) + errorText();
    return false;
}

// Where a link leads, so that a settings file kept elsewhere stays a link.
QString finalPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

} // namespace

QString scratchPrefix(const QString& path)
{
    return path + QStringLiteral(".saving-");
}

Read read(const QString& path)
{
    const QSettings ini(path, QSettings::IniFormat);
    Texts texts = textsOf(ini, false);
    return { std::move(texts), ini.status() != QSettings::FormatError };
}

Written write(const QString& path, const Changes& changes)
{
    static std::atomic<int> attempts { 0 };
    const QString target = finalPath(path);
    const QString stem = scratchPrefix(target)
        + QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(++attempts);
    const QString scratch = stem + QStringLiteral(".new"), check = stem + QStringLiteral(".check");
    Written result;
    // What is left of a failed attempt goes: the new file, the one read back, and what QSettings
    // made for its own write (its lock, a named temporary file).
    const auto clear = qScopeGuard([&] {
        if (result.ok)
            return;
        const QFileInfo at(stem);
        // By prefix, not by a name filter: those are regular expressions, an engine the clock
        // would load for this alone.
        for (const QString& name : at.dir().entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (name.startsWith(at.fileName() + u'.'))
                QFile::remove(at.dir().filePath(name));
    });
    // A configuration folder set but not there yet is made, as QSettings does.
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        result.why = QStringLiteral("its folder cannot be made");
        return result;
    }
    // Another process saving the same file (an older clock) waits for it.
    QLockFile lock(target + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) {
        result.why = QStringLiteral("its lock %1 cannot be taken (error %2)")
                         .arg(lock.fileName())
                         .arg(int(lock.error()));
        return result;
    }
    if (QFileInfo::exists(target) && !copyFile(target, scratch, &result.why))
        return result;
    Texts expected, readBack;
    {
        QSettings ini(scratch, QSettings::IniFormat);
        // A damaged file's status stays: the read back judges what is written over it. QSettings
        // parses a section when it is first touched.
        ini.allKeys();
        const QSettings::Status parsed = ini.status();
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (it->has_value())
                ini.setValue(it.key(), **it);
            else
                ini.remove(it.key());
        }
        ini.sync();
        if (ini.status() != QSettings::NoError && ini.status() != parsed) {
            result.why = QStringLiteral("QSettings could not write %1").arg(scratch);
            return result;
        }
        expected = textsOf(ini, true);
    }
    // Read back under a name QSettings has not seen, so that it reads the disk, not its memory.
    if (!renamePath(scratch, check, &result.why))
        return result;
    {
        const QSettings back(check, QSettings::IniFormat);
        readBack = textsOf(back, true);
        if (back.status() != QSettings::NoError || !sameAsWritten(expected, readBack)) {
            result.why = QStringLiteral("what was written reads back otherwise");
            return result;
        }
    }
    if (!syncPath(check, O_RDONLY, &result.why, "the new file")
        || !renamePath(check, target, &result.why)
        || !syncPath(
            QFileInfo(target).absolutePath(), O_RDONLY | O_DIRECTORY, &result.why, "its folder"))
        return result;
    result.ok = true;
    result.texts = std::move(readBack);
    return result;
}

} // namespace SettingsIni
