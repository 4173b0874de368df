#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class Clock;

// The per-user settings store: text values by section and key, kept by QSettings. A file that
// QSettings cannot parse is copied aside once, before it is first written over.
class SettingsStore {
public:
    // The user's store: native format, user scope, organisation "Quarnet" and no application
    // name, so on Linux $XDG_CONFIG_HOME/Quarnet.conf. The clock stamps a damaged file's copy.
    explicit SettingsStore(const Clock& clock);
    // A store in the given INI file (tests, tools).
    SettingsStore(const QString& filePath, const Clock& clock);

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString fileName() const;
    QSettings::Status status() const { return m_settings.status(); }

    // The stored text, or nullopt when the key is missing. Whatever QSettings made of the text
    // (a list for an unquoted comma, a byte array, a variant) comes back as text.
    std::optional<QString> read(QStringView section, QStringView key) const;
    QString read(QStringView section, QStringView key, const QString& fallback) const;

    // The keys of a section.
    QStringList keys(const QString& section);

    void write(QStringView section, QStringView key, const QString& text);
    void remove(QStringView section, QStringView key);

    // Writes pending changes to the file; false, and logged, when it could not be written.
    bool sync();

private:
    void keepDamagedFile();

    const Clock& m_clock;
    QSettings m_settings;
    bool m_damageChecked = false;
};
