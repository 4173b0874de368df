#pragma once

#include "core/settings/Settings.h"
#include "ui/clock/ShapedWindow.h"
#include "ui/clock/WindowPlacement.h"
#include "ui/commands/HotKeys.h"

class ClockCommands;
class QMenu;
class UserSettings;

// A shaped window of the clock on the desktop, dragged about by its face: the clock and the world
// time window. The left button drags it (only with Ctrl alone while the position is locked), kept
// on the screen under the pointer, and the place is saved when the drag ends; the right button
// opens the clock's menu at the pointer, the middle one runs a command of the window's own; keys
// run the clock's commands as the key table has them for this window.
class DraggableWindow : public ShapedWindow {
    Q_OBJECT

public:
    // The menu centred under the window (the menu key).
    void popUpMenuBelow();
    // Corrects Qt's idea of where the shown window is to where the X server has it (a window
    // manager may have moved it without Qt knowing) and stores that place in the settings.
    // A hidden window's place was stored when it was last shown.
    void storePlace();

protected:
    // place: the setting that keeps where the window is; middleButton: the middle button's command.
    DraggableWindow(UserSettings& settings, ClockCommands& commands, QMenu& menu,
        QPoint Settings::*place, HotKeys::Window keys, Command middleButton,
        QWidget* parent = nullptr);
    // The window manager's close (Alt+F4 on most desktops) ends the clock like Ctrl+Q; the
    // closing sequence decides when the windows go.
    void closeEvent(QCloseEvent* event) override;
    // A hidden window is dragged no more.
    void hideEvent(QHideEvent* event) override;

    UserSettings& settings() { return m_settings; }
    ClockCommands& commands() { return m_commands; }
    QMenu& menu() { return m_menu; }
    bool dragging() const { return m_drag.dragging(); }
    // Moves the window of this size to a place, or onto the screens where the place is off them
    // (a monitor since removed, a smaller desktop).
    void placeOnScreen(QPoint wanted);
    // A new picture: the window takes its size and moves left or up only as far as needed to stay
    // on its screen.
    void resizeOnScreen(QSize size);

    // The key table's command for this window.
    void keyPressEvent(QKeyEvent* event) override;
    // Left: a drag begins; right: the menu at the pointer; middle: the window's own command.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A drag ends, and the place is stored.
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Called when a drag starts or ends: a window may rest while it moves.
    virtual void dragChanged() { }

private:
    UserSettings& m_settings;
    ClockCommands& m_commands;
    QMenu& m_menu;
    QPoint Settings::*m_place;
    HotKeys::Window m_keys;
    Command m_middleButton;
    WindowDrag m_drag;
};
