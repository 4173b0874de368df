#pragma once

#include "core/settings/Settings.h"
#include "core/settings/SettingsTable.h"

#include <QObject>

#include <utility>

// The user's settings while the clock runs, and the one way they change: a setter stores the
// value and, when it differs, says which setting changed. The clock's parts read the values and
// listen (wired once, in ClockSession); the saver listens too. Nothing writes the values behind
// its back.
class UserSettings final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const Settings& values() const { return m_values; }
    const Settings* operator->() const { return &m_values; }

    // As loaded at start: all at once, told to no one (the session applies what it loaded).
    void replace(const Settings& values) { m_values = values; }

    // m_settings.set(&Settings::useChimes, false)
    template <typename T, typename V> void set(T Settings::*member, V&& value)
    {
        if (m_values.*member == value)
            return;
        m_values.*member = std::forward<V>(value);
        emit changed(SettingsTable::settingOf(member));
    }

signals:
    void changed(Setting setting);

private:
    Settings m_values;
};
