#pragma once

#include <QObject>

#include <array>

class QAction;

// What the user can tell the clock, from a hot key, the popup menu or the tray.
enum class Command {
    None,
    ShowAbout, // F1
    Close, // Alt+F4, Ctrl+Q, Ctrl+X, "Exit": the closing sequence
    StopChime, // X without Ctrl alone
    ShowMenu, // the menu key: the menu centred under the window the key was pressed in
    ToggleVisible, // M
    Chime, // C: the chime of the hour now
    ChangeBackground, // B
    ShowOptions, // Ctrl+O
    ToggleWorldTime, // T or W
    ToggleScroll, // S
    ToggleLock, // L
    UnlockPosition, // the menu's item, shown while the position is locked
    ChangeTime, // the menu's item: the desktop's own date and time settings
    ToggleClickThrough, // the menu's checked item: clicks pass through the clock's windows
};

// The clock's commands, one QAction each, shared by the hot keys of both windows, the popup menu
// and the tray. Each action is connected to its one handler where the objects it needs meet
// (ClockSession).
class ClockCommands : public QObject {
    Q_OBJECT

public:
    explicit ClockCommands(QObject* parent = nullptr);

    QAction* action(Command command) const { return m_actions[std::size_t(command)]; }
    // Triggers the command's action; nothing for Command::None.
    void run(Command command) const;

private:
    std::array<QAction*, std::size_t(Command::ToggleClickThrough) + 1> m_actions {};
};
