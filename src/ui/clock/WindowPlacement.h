#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

#include <optional>

// Where the clock's window goes, in logical pixels: dragged with the pointer, kept whole on one
// screen, fitted to a new picture. Kept apart from the window so that it is tested without one.
namespace WindowPlacement {

// Each axis clamped so the window lies whole on the screen, the left and top edges first (a
// window larger than the screen keeps its left or top edge on it).
QPoint clampInto(const QRect& window, QPoint wanted, const QRect& screen);

// The screen holding the point, else the nearest one; an empty rectangle when there is none.
QRect screenAt(QPoint global, const QList<QRect>& screens);

// A window not wholly on the screens (a saved position from a monitor since removed, or a smaller
// desktop) is moved onto the screen it overlaps most, else the nearest one. A window wholly on
// the screens, even across two of them, stays where it is.
QPoint bringOnScreen(const QRect& window, const QList<QRect>& screens);

// After the picture, and so the window, changed size: moved left or up only as far as its right
// and bottom edges need to be on the screen.
QPoint keepOnScreen(const QRect& window, const QRect& screen);

} // namespace WindowPlacement

// Moving the window with the left button. A press starts a drag unless the position is locked,
// when only Ctrl alone held at the press starts one. The window follows the pointer's global
// position from where both were at the press, so motion events that queue up never make it run
// ahead of the pointer.
class WindowDrag {
public:
    void press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pointer,
        QPoint windowAt, bool locked);
    // Where the window goes for the pointer at a global position with exactly the left button
    // held; nothing otherwise. Modifiers no longer matter once the drag has started.
    std::optional<QPoint> move(
        Qt::MouseButtons buttons, QPoint pointer, const QRect& window, const QRect& screen) const;
    // Any button release ends the drag.
    void release() { m_dragging = false; }
    bool dragging() const { return m_dragging; }

private:
    bool m_dragging = false;
    QPoint m_pointerAtPress;
    QPoint m_windowAtPress;
};
