#pragma once

#include "core/worldtime/WorldTimeTable.h"
#include "ui/options/OptionsPage.h"

class Clock;
class QComboBox;
class QLineEdit;
class QListWidget;
class UserSettings;

// The options window's "WTT" page: a zone chooser, a name field and the world time table. It owns
// its keys: Enter in the chooser or the field adds an entry, Del in the list removes the selected
// one, and the table changes through the settings.
class WorldTimePage final : public OptionsPage {
    Q_OBJECT

public:
    WorldTimePage(UserSettings& settings, const Clock& clock, QWidget* parent = nullptr);

    // The table as it is, no zone chosen, no name, no row selected.
    void fill() override;

signals:
    // Enter with no zone chosen: the clock's own short ding says nothing was added.
    void dingRequested();

protected:
    bool pageKey(QObject* watched, const QKeyEvent* key) override;

private:
    bool add();
    bool removeSelected();
    void showEntries();

    UserSettings& m_settings;
    const Clock& m_clock;
    WorldTimeEditor m_editor;
    QComboBox* m_zones = nullptr;
    QLineEdit* m_name = nullptr;
    QListWidget* m_entries = nullptr;
};
