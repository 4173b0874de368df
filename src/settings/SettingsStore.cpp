#include "settings/SettingsStore.h"

#include "common/Clock.h"
#include "common/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QVariant>

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

} // namespace

SettingsStore::SettingsStore(const Clock& clock)
    : m_clock(clock)
    , m_settings(
          QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quarnet"), QString())
{
    // Only the user's own store counts, not a system-wide Quarnet.conf.
    m_settings.setFallbacksEnabled(false);
    qCDebug(lcSettings) << "settings store" << fileName() << m_settings.status();
}

// INI rather than native: on Windows a native path would name a registry key.
SettingsStore::SettingsStore(const QString& filePath, const Clock& clock)
    : m_clock(clock)
    , m_settings(filePath, QSettings::IniFormat)
{
    qCDebug(lcSettings) << "settings store" << fileName() << m_settings.status();
}

QString SettingsStore::fileName() const
{
    return m_settings.fileName();
}

std::optional<QString> SettingsStore::read(QStringView section, QStringView key) const
{
    const QString fullKey = path(section, key);
    if (!m_settings.contains(fullKey))
        return std::nullopt;
    return textOf(m_settings.value(fullKey), fullKey);
}

QString SettingsStore::read(QStringView section, QStringView key, const QString& fallback) const
{
    return read(section, key).value_or(fallback);
}

QStringList SettingsStore::keys(const QString& section)
{
    m_settings.beginGroup(section);
    const QStringList result = m_settings.childKeys();
    m_settings.endGroup();
    return result;
}

void SettingsStore::write(QStringView section, QStringView key, const QString& text)
{
    keepDamagedFile();
    m_settings.setValue(path(section, key), text);
}

void SettingsStore::remove(QStringView section, QStringView key)
{
    keepDamagedFile();
    m_settings.remove(path(section, key));
}

bool SettingsStore::sync()
{
    m_settings.sync();
    const QSettings::Status status = m_settings.status();
    // QSettings keeps the first error it met, so after a damaged read only the file tells.
    const bool failed = status == QSettings::AccessError
        || (status == QSettings::FormatError && !QFileInfo(fileName()).isWritable());
    if (failed)
        qCWarning(lcSettings) << "could not write the settings to" << fileName() << status;
    return !failed;
}

// QSettings rewrites the file from what it could parse, so whatever it could not is lost
// unless the original is kept.
void SettingsStore::keepDamagedFile()
{
    if (m_damageChecked)
        return;
    m_damageChecked = true;
    if (m_settings.status() != QSettings::FormatError)
        return;
    const QString source = fileName();
    const QString stem = source + QStringLiteral(".damaged-")
        + m_clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int i = 2; QFileInfo::exists(target) && i <= 100; ++i)
        target = stem + u'-' + QString::number(i);
    if (QFile::copy(source, target))
        qCWarning(lcSettings) << source << "could not be read completely; kept as" << target;
    else
        qCWarning(lcSettings) << source << "could not be read completely, and copying it to"
                              << target << "failed";
}
