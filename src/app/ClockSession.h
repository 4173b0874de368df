#pragma once

#include "core/base/Random.h"
#include "core/chimes/Chimes.h"
#include "core/face/Timepiece.h"
#include "core/files/Roots.h"
#include "core/settings/SaveCoalescer.h"
#include "core/settings/UserSettings.h"
#include "ui/clock/BusyDesktop.h"
#include "ui/clock/ClockWindow.h"
#include "ui/commands/ClockCommands.h"
#include "ui/install/Installations.h"
#include "ui/options/OptionsWindow.h"
#include "ui/worldtime/WorldTimeWindow.h"

#include <QMenu>
#include <QObject>

#include <functional>
#include <memory>

class AboutWindow;
class Clock;
class SettingsStore;
class SoundOutput;

// One run of the clock: loads the settings and applies them (place, skin, sound pack), shows the
// clock, and is where a change of a setting or a command reaches the clock's parts: each is
// applied where the objects it needs meet; settings are saved a moment later, and once more when
// the clock closes, however it is closed.
class ClockSession final : public QObject {
    Q_OBJECT

public:
    // Without a store nothing is loaded or saved. Without makeOutput chimes play through Qt
    // Multimedia, loaded at the first chime.
    ClockSession(const Clock& clock, SettingsStore* store, Roots roots,
        std::function<SoundOutput&()> makeOutput = {});
    ~ClockSession() override;

    void start();
    // Installs skins and sound packs from archives or folders; the first of each kind it brings
    // becomes the active one.
    void install(const QStringList& paths, Conflict policy);
    // The closing sequence: ticking and chiming stop, the settings are saved, the tray icon goes,
    // then closed() ends the program. Runs once.
    void close();
    // A second start: the clock comes forward and takes clicks again.
    void bringForward();
    void showOptions();

    UserSettings& settings() { return m_settings; }
    Timepiece& timepiece() { return m_timepiece; }
    Chimes& chimes() { return m_chimes; }
    ClockCommands& commands() { return m_commands; }
    ClockWindow& window() { return m_window; }
    WorldTimeWindow& worldTime() { return m_worldTime; }

signals:
    void closed();

private:
    // Each command's action to its handler, and the menu.
    void connectCommands();
    void showAbout();
    void apply(Setting setting);
    void activateInstalled(const InstallReport& report);
    void keepWindowsOnTop();
    // Click-through and opacity onto both windows, and the menu's item.
    void stayOutOfTheWay();
    // With no tray, turning click-through on from the menu is explained first; false: not now.
    bool askClickThrough();
    // With no tray, once a run each (hidden, clicks passing): how the clock comes back.
    void explainWayBack(bool& explained, const QString& text);
    void save();

    const Clock& m_clock;
    SettingsStore* m_store;
    Roots m_roots;
    Random m_random;
    UserSettings m_settings;
    std::unique_ptr<SoundOutput> m_sound;
    std::function<SoundOutput&()> m_output; // the one output, made when first asked for
    Timepiece m_timepiece;
    Chimes m_chimes;
    BusyDesktop m_busy;
    ClockCommands m_commands;
    QMenu m_menu; // of both windows and the tray
    ClockWindow m_window;
    WorldTimeWindow m_worldTime;
    SaveCoalescer m_saver;
    Installations m_installs;
    std::unique_ptr<AboutWindow> m_about; // made when first opened
    bool m_closing = false;
    bool m_saving = false;
    bool m_hiddenExplained = false;
    bool m_clickThroughExplained = false;
    std::unique_ptr<OptionsWindow> m_options; // made when first opened
};
