#pragma once

#include "core/worldtime/WorldTimeBoard.h"
#include "ui/clock/WindowPlacement.h"

#include <QTimer>
#include <QWidget>

class ClockCommands;
class Clock;
class QMenu;
class Random;
class Timepiece;
class UserSettings;

// "The World Time Table": a second borderless window cut to its skin's picture, with a dial and a
// name for every entry of the table, scrolling. It shares the clock's commands and menu, so its
// keys act as the clock's do; its own are T and W (close), S, L and the mouse's.
class WorldTimeWindow final : public QWidget {
    Q_OBJECT

public:
    WorldTimeWindow(UserSettings& settings, const Timepiece& timepiece, const Clock& clock,
        Random& random, ClockCommands& commands, QMenu& menu, QWidget* parent = nullptr);

    // Opens it where it was last, with the active skin; or closes it, keeping its place.
    void open();
    void closeWindow();
    // The active skin's picture, outline and box; called after every skin activation.
    void updateSkin();
    // Where it is now when shown, else where it was last: for saving.
    QPoint savedPosition();
    const WorldTimeBoard& board() const { return m_board; }
    // A setting (scrolling, the entries) or the wall clock changed: drawn anew, and it wakes
    // only as often as it now needs to.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void tick();
    // Scrolling: every 100 ms; standing still: when the next minute turns; hidden: never.
    void aim();

    UserSettings& m_settings;
    const Timepiece& m_timepiece;
    const Clock& m_clock;
    Random& m_random;
    ClockCommands& m_commands;
    QMenu& m_menu;
    WorldTimeBoard m_board;
    QTimer m_ticker;
    QTimer m_nextMinute;
    WindowDrag m_drag;
};
