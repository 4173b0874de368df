#pragma once

#include "core/settings/SettingsGuard.h"
#include "core/settings/SettingsIni.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTimer>

#include <chrono>
#include <optional>

class Clock;

// The per-user settings store: text values by section and key, read from the file once and
// written back whole or not at all (SettingsIni), only by sync(). A failed sync keeps the changes
// and is retried from the event loop every 30 s until one succeeds. The guard looks after what
// stands around the file; a file it cannot use (a FIFO that cannot be moved aside) leaves the
// store in memory only.
class SettingsStore {
public:
    // The user's store: $XDG_CONFIG_HOME/Quarnet.conf.
    explicit SettingsStore(const Clock& clock);
    // A store in the given file (tests, tools).
    SettingsStore(const QString& filePath, const Clock& clock);
    // Makes a last attempt to save changes that are not in the file yet.
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString fileName() const { return m_filePath; }
    // The file could not be read completely: it is copied aside before it is written over.
    bool damaged() const { return m_damaged; }
    // Nothing is read from or written to the file: it is not a regular file and stays in place.
    bool memoryOnly() const { return m_memoryOnly; }

    // The stored text, or nullopt when the key is missing.
    std::optional<QString> read(QStringView section, QStringView key) const;
    QString read(QStringView section, QStringView key, const QString& fallback) const;
    // The keys of a section.
    QStringList keys(QStringView section) const;

    // Changes reach the file only at the next sync().
    void write(QStringView section, QStringView key, const QString& text);
    void remove(QStringView section, QStringView key);

    // Writes the changes to the file: all of them or, when it fails, none (the file stays as it
    // was). False on failure: the first failure of a run of them is logged as a warning, and the
    // changes stay pending for the retry, the next sync or the destructor.
    bool sync();

    bool hasUnsavedChanges() const { return !m_changes.isEmpty(); }
    // Failed attempts since the last successful sync.
    int failedAttempts() const { return m_failedAttempts; }
    bool retryPending() const { return m_retry.isActive(); }
    int retryRemainingMs() const { return m_retry.remainingTime(); }
    void setRetryDelay(std::chrono::milliseconds delay) { m_retry.setInterval(delay); }

    static constexpr std::chrono::seconds defaultRetryDelay { 30 };

private:
    QString m_filePath;
    SettingsGuard m_guard;
    SettingsIni::Texts m_texts; // the file's, with the changes made
    SettingsIni::Changes m_changes; // not in the file yet
    QTimer m_retry;
    bool m_memoryOnly = false;
    bool m_damaged = false;
    int m_failedAttempts = 0;
};
