#pragma once

#include "core/worldtime/WorldTimeBoard.h"
#include "ui/clock/DraggableWindow.h"

#include <QTimer>

class Clock;
class Random;
class Timepiece;
class UserSettings;

// "The World Time Table": a second borderless window cut to its skin's picture, with a dial and a
// name for every entry of the table, scrolling. It shares the clock's commands and menu; the key
// table leaves the clock's own keys (M, C, B, X) out here, and the middle button scrolls.
class WorldTimeWindow final : public DraggableWindow {
    Q_OBJECT

public:
    WorldTimeWindow(UserSettings& settings, const Timepiece& timepiece, const Clock& clock,
        Random& random, ClockCommands& commands, QMenu& menu, QWidget* parent = nullptr);

    // Opens it where it was last, with the active skin; or closes it, keeping its place.
    void open();
    void closeWindow();
    // The active skin's picture, outline and box; called after every skin activation.
    void updateSkin();
    const WorldTimeBoard& board() const { return m_board; }
    // A setting (scrolling, the entries) or the wall clock changed: drawn anew, and it wakes
    // only as often as it now needs to.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    // The dials stand still while the window moves.
    void dragChanged() override { aim(); }

private:
    void tick();
    // The board's outline at its device-pixel ratio.
    void fitOutline();
    // Scrolling: every 100 ms; standing still: when the next minute turns; hidden: never.
    void aim();
    // The accessible description: each entry's name and time, set when the minute or the table
    // changes.
    void describe();

    const Timepiece& m_timepiece;
    const Clock& m_clock;
    Random& m_random;
    WorldTimeBoard m_board;
    QTimer m_ticker;
    QTimer m_nextMinute;
    qint64 m_describedMinute = -1;
    QList<WorldTimeEntry> m_describedEntries;
};
