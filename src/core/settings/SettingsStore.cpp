#include "core/settings/SettingsStore.h"

#include "core/base/Logging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString path(QStringView section, QStringView key)
{
    return section.toString() + u'/' + key.toString();
}

} // namespace

SettingsStore::SettingsStore(const Clock& clock)
    : SettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/Quarnet.conf"),
        clock)
{ }

SettingsStore::SettingsStore(const QString& filePath, const Clock& clock)
    : m_filePath(QFileInfo(filePath).absoluteFilePath())
    , m_guard(m_filePath, clock)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(defaultRetryDelay);
    QObject::connect(&m_retry, &QTimer::timeout, &m_retry, [this] { sync(); });
    // A file that cannot be used reads as empty, and never gets the changes.
    m_memoryOnly = !m_guard.filesUsable();
    if (m_memoryOnly)
        return;
    m_guard.clearInterruptedSaves();
    SettingsIni::Read file = SettingsIni::read(m_filePath);
    m_texts = std::move(file.texts);
    m_damaged = !file.complete;
    qCDebug(lcSettings) << "settings store" << m_filePath << m_texts.size() << "keys"
                        << (m_damaged ? "(damaged)" : "");
}

SettingsStore::~SettingsStore()
{
    // Memory only: the loss was told when the store was made.
    if (!hasUnsavedChanges() || m_memoryOnly)
        return;
    if (!sync())
        qCWarning(lcSettings) << "the settings changed since the last save are lost:" << fileName()
                              << "could not be written";
    m_retry.stop();
}

std::optional<QString> SettingsStore::read(QStringView section, QStringView key) const
{
    const auto it = m_texts.constFind(path(section, key));
    return it == m_texts.cend() ? std::nullopt : std::optional<QString>(*it);
}

QString SettingsStore::read(QStringView section, QStringView key, const QString& fallback) const
{
    return read(section, key).value_or(fallback);
}

QStringList SettingsStore::keys(QStringView section) const
{
    const QString prefix = section.toString() + u'/';
    QStringList names;
    for (auto it = m_texts.lowerBound(prefix); it != m_texts.cend() && it.key().startsWith(prefix);
         ++it) {
        if (!QStringView(it.key()).sliced(prefix.size()).contains(u'/'))
            names << it.key().sliced(prefix.size());
    }
    return names;
}

void SettingsStore::write(QStringView section, QStringView key, const QString& text)
{
    const QString fullKey = path(section, key);
    m_texts.insert(fullKey, text);
    m_changes.insert(fullKey, text);
}

// As QSettings removes: the key and every key below it.
void SettingsStore::remove(QStringView section, QStringView key)
{
    const QString fullKey = path(section, key);
    const QString below = fullKey + u'/';
    for (SettingsIni::Texts::iterator it = m_texts.lowerBound(below);
         it != m_texts.end() && it.key().startsWith(below);)
        it = m_texts.erase(it);
    for (SettingsIni::Changes::iterator it = m_changes.lowerBound(below);
         it != m_changes.end() && it.key().startsWith(below);)
        it = m_changes.erase(it);
    m_texts.remove(fullKey);
    m_changes.insert(fullKey, std::nullopt);
}

bool SettingsStore::sync()
{
    m_retry.stop();
    if (!hasUnsavedChanges())
        return true;
    // The file may have been replaced since it was read (by a FIFO, say): checked again.
    if (m_memoryOnly || !m_guard.filesUsable()) {
        m_memoryOnly = true;
        return false;
    }
    QString why = QStringLiteral("a damaged file could not be copied aside");
    if (!m_damaged || m_guard.keepDamagedCopy()) {
        SettingsIni::Written written = SettingsIni::write(m_filePath, m_changes);
        if (written.ok) {
            m_texts = std::move(written.texts);
            m_changes.clear();
            m_damaged = false;
            if (m_failedAttempts > 0)
                qCInfo(lcSettings) << "the settings are saved to" << fileName() << "after"
                                   << m_failedAttempts << "failed attempts";
            m_failedAttempts = 0;
            return true;
        }
        why = written.why;
    }
    if (m_failedAttempts++ == 0)
        qCWarning(lcSettings).nospace()
            << "could not write the settings to " << fileName() << " (" << qUtf8Printable(why)
            << "); the file is left as it was, and the save is retried every "
            << m_retry.intervalAsDuration().count() / 1000.0 << " s";
    else
        qCDebug(lcSettings) << "attempt" << m_failedAttempts << "to write" << fileName()
                            << "failed:" << why;
    if (QCoreApplication::instance())
        m_retry.start();
    return false;
}
