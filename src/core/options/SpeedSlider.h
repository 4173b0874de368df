#pragma once

#include <QPointF>
#include <QRectF>
#include <Qt>

#include <optional>

// The speed slider's arithmetic: a knob that swings along a sine curve while it runs down its
// slot, Speed 100 at the top and 0 at the bottom. Places are logical pixels from the slot
// picture's top-left corner.
class SpeedSlider {
public:
    static constexpr QRectF slot { 0, 0, 31, 60 };
    static constexpr QRectF track { 11, 2, 9, 57 };
    static constexpr double knobSize = 8;
    static constexpr double travel = track.height() - knobSize;

    // The knob's top-left corner for a Speed from 0 to 100.
    static QPointF knobPlace(float speed);
    // The knob's left edge for its top: the swing of up to 10 px to either side.
    static double swing(double knobTop);
    // Speed as the value label shows it: rounded to a whole number (87.25 shows as 87).
    static int shown(float speed);
    // Speed one key press away: Up and Down by 1, Page Up and Down by 10 from the value shown,
    // Home the top (100) and End the bottom (0); nullopt for any other key.
    static std::optional<float> keyed(float speed, int key);

    // A press at y on the knob: a left press alone grabs it; anything else ends a drag.
    void press(bool onKnob, Qt::MouseButton button, Qt::MouseButtons buttons, double y);
    // A move to y while the buttons are held: the new Speed while dragging with the left button
    // alone, which keeps the grabbed point under the pointer; any other move ends the drag.
    std::optional<float> move(Qt::MouseButtons buttons, double y);
    void release() { m_dragging = false; }

    bool dragging() const { return m_dragging; }
    // Where the knob is: set for a value, or where a drag left it.
    QPointF knob() const { return m_knob; }
    void place(float speed) { m_knob = knobPlace(speed); }

private:
    QPointF m_knob = knobPlace(88);
    bool m_dragging = false;
    double m_grabY = 0; // inside the knob
};
