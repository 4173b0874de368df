#pragma once

#include "core/face/FacePainter.h"

#include <QLocale>

#include <optional>

class Clock;
class ClockWindow;
struct HorolanState;

// Timer1's tick: sets the timer's interval from Speed, redraws the face into the window's
// buffer and raises the hour events. Between ticks it keeps only a scaled copy of the background
// and what it last drew, so a tick that would draw the same face again draws nothing.
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
    // Everything the face is drawn from. Times are whole seconds unless a hand moves smoothly.
    struct Drawn {
        qint64 timeKey = 0;
        qint64 backKey = 0;
        qint64 bufferKey = 0;
        bool animated = false;
        SkinRecord skin;

        bool operator==(const Drawn&) const = default;
    };
    Drawn drawnFrom(const QDateTime& now, const QImage& buffer, bool animated) const;

    ScaledBackground m_background;
    std::optional<Drawn> m_drawn;
};
