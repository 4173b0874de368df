#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

#include <optional>

// Moving the clock with the left mouse button, in logical pixels. The window follows the pointer
// and stays whole on one screen; a locked window moves only when Ctrl alone was held at the press.
namespace Dragging {

// A left press starts a drag when Ctrl alone is held or the position is not locked.
bool startsDrag(Qt::KeyboardModifiers modifiers, bool lockPos);

// The window's new top-left: the grabbed point (grab, relative to the window) goes under the
// pointer (relative to the window's current top-left), then each axis is clamped to the screen,
// the left and top edges first.
QPoint dragTo(const QRect& window, QPoint grab, QPoint pointer, const QRect& screen);

// The screen holding the point, else the nearest one; an empty rectangle when there is none.
QRect screenAt(QPoint global, const QList<QRect>& screens);

// A window not wholly on the screens (a saved position from a monitor since removed, or a smaller
// desktop) is moved onto the screen it overlaps most, else the nearest one. A window wholly on
// the screens, even across two of them, stays where it is.
QPoint bringOnScreen(const QRect& window, const QList<QRect>& screens);

} // namespace Dragging

// The drag state of one window: Dragging, DragX and DragY.
class WindowDrag {
public:
    // Any button press arrives here; only the left one may start a drag.
    void press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos, bool lockPos);

    // Where the window goes when the pointer moves to pos with exactly the left button held;
    // nothing otherwise. Modifiers no longer matter once the drag has started.
    std::optional<QPoint> move(
        Qt::MouseButtons buttons, QPoint pos, const QRect& window, const QRect& screen) const;

    // Any button release ends the drag.
    void release() { m_dragging = false; }

    bool dragging() const { return m_dragging; }
    QPoint grab() const { return m_grab; }

private:
    bool m_dragging = false;
    QPoint m_grab;
};
