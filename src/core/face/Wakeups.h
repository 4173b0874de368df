#pragma once

#include <QTime>

// When the clock next wakes, aimed anew after every wakeup from the wall clock read then: nothing
// counts ticks, so a clock that was set or slept is followed from its next aim on. A face that
// steps once a second wakes just after each second turns; a sweeping hand or an animation on a
// grid of Speed's interval laid from each second's start, so the second's turn is one of its
// frames; a hidden clock only for its tray tip (seconds 0, 20 and 40) and for the hour's approach.
namespace Wakeups {

struct Needs {
    bool shown = true;
    bool moving = false; // a sweeping hand or an animated background
    int motionMs = 1000; // Speed's interval for what moves, at least the screen's refresh period
    int approachSeconds = 0; // before each hour, a wakeup this many seconds ahead (0: none)
};

// Past the turn it is aimed at: a timer that fires a little early must not find the old second.
inline constexpr int lateMs = 2;

// Milliseconds from now to the next wakeup: never negative, never past the next second for a shown
// face, never past the next tray tip for a hidden one.
int msToNext(const QTime& now, const Needs& needs);

// Milliseconds from now to just after the next minute turns.
int msToNextMinute(const QTime& now);

} // namespace Wakeups
