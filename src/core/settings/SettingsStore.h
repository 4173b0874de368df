#pragma once

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class Clock;

// The per-user settings store: text values by section and key, kept by QSettings. The file is
// only ever replaced whole (written beside it, then renamed over it), and only by sync(). A file
// that QSettings cannot parse is copied aside before it is first written over. A failed sync
// keeps the changes and is retried from the event loop every 30 s until one succeeds. What a
// save killed half-way left beside the file is moved into the folder "<file>.interrupted" when
// the store is made; the store deletes no file of the user's. Something other than a regular
// file in the file's place or its lock's (a FIFO would block the clock) is never opened: it is
// moved aside, or else the store keeps its changes in memory only.
class SettingsStore {
public:
    // The user's store: native format, user scope, organisation "Quarnet" and no application
    // name, so on Linux $XDG_CONFIG_HOME/Quarnet.conf. The clock stamps the names of the copies
    // and of what is moved aside.
    explicit SettingsStore(const Clock& clock);
    // A store in the given INI file (tests, tools).
    SettingsStore(const QString& filePath, const Clock& clock);
    // Makes a last attempt to save changes that are not in the file yet.
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString fileName() const { return m_filePath; }
    // FormatError: the file could not be read completely, by this store or an earlier one.
    QSettings::Status status() const
    {
        return m_damaged ? QSettings::FormatError : m_settings->status();
    }
    // Nothing is read from or written to the file: it is not a regular file and stays in place.
    bool memoryOnly() const { return m_memoryOnly; }

    // The stored text, or nullopt when the key is missing. Whatever QSettings made of the text
    // (a list for an unquoted comma, a byte array, a variant) comes back as text.
    std::optional<QString> read(QStringView section, QStringView key) const;
    QString read(QStringView section, QStringView key, const QString& fallback) const;

    // The keys of a section.
    QStringList keys(const QString& section);

    // Changes reach the file only at the next sync().
    void write(QStringView section, QStringView key, const QString& text);
    void remove(QStringView section, QStringView key);

    // Writes the changes to the file: all of them or, when it fails, none (the file stays as it
    // was). False on failure: the first failure of a run of them is logged as a warning, and the
    // changes stay pending for the retry, the next sync or the destructor.
    bool sync();

    bool hasUnsavedChanges() const { return m_unsaved; }
    // Failed attempts since the last successful sync.
    int failedAttempts() const { return m_failedAttempts; }
    bool retryPending() const { return m_retry.isActive(); }
    int retryRemainingMs() const { return m_retry.remainingTime(); }
    void setRetryDelay(std::chrono::milliseconds delay) { m_retry.setInterval(delay); }

    static constexpr std::chrono::seconds defaultRetryDelay { 30 };

private:
    SettingsStore(const QString& filePath, std::function<std::unique_ptr<QSettings>()> makeSettings,
        const Clock& clock);

    bool filesUsable();
    bool moveAsideIfNotAFile(const QString& path);
    bool keepDamagedFile();
    bool writeFile();
    bool roomToWrite() const;
    QString normalized(const QString& key) const;
    std::optional<std::optional<QString>> changeOf(const QString& key) const;
    void moveInterruptedSave();
    QString failureReason() const;

    const Clock& m_clock;
    QString m_filePath;
    std::function<std::unique_ptr<QSettings>()> m_makeSettings;
    std::unique_ptr<QSettings> m_settings;
    // Changes not given to QSettings yet, by QSettings' form of the key: the text, or nullopt for
    // a removal.
    QMap<QString, std::optional<QString>> m_changes;
    QTimer m_retry;
    bool m_unsaved = false; // changes not known to be in the file
    bool m_memoryOnly = false;
    bool m_damaged = false; // what QSettings read of the file is not all of it
    bool m_damageKept = false;
    int m_failedAttempts = 0;
};
