#pragma once

#include "main/FacePainter.h"

#include <QLocale>

class Clock;
class ClockWindow;
struct HorolanState;

// Timer1's tick: sets the timer's interval from Speed, redraws the face into the window's
// buffer and raises the hour events. It keeps no state from one tick to the next (beyond a
// scaled copy of the background).
class Tick {
public:
    Tick(HorolanState& state, const Clock& clock, ClockWindow& window, QLocale locale = QLocale());

    void Timer1_Timer();

    // Timer1's interval for a Speed: 450 ms at 0 down to 1 ms at 100, always within 1..450.
    static int intervalForSpeed(float speed);

private:
    HorolanState& m_state;
    const Clock& m_clock;
    ClockWindow& m_window;
    QLocale m_locale;
    ScaledBackground m_background;
};
