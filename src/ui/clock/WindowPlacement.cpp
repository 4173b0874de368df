#include "ui/clock/WindowPlacement.h"

#include "core/base/Logging.h"
#include "ui/commands/HotKeys.h"

#include <QRegion>

#include <algorithm>
#include <limits>

namespace WindowPlacement {

// The start edge is checked first; a window larger than the screen cannot be kept whole.
static int clampAxis(int wanted, int size, int screenStart, int screenSize)
{
    if (wanted < screenStart)
        return screenStart;
    if (wanted + size > screenStart + screenSize)
        return screenStart + screenSize - size;
    return wanted;
}

QPoint clampInto(const QRect& window, QPoint wanted, const QRect& screen)
{
    return { clampAxis(wanted.x(), window.width(), screen.x(), screen.width()),
        clampAxis(wanted.y(), window.height(), screen.y(), screen.height()) };
}

// Squared gap between two rectangles; 0 when they touch or overlap.
static qint64 gap(const QRect& a, const QRect& b)
{
    const qint64 dx
        = std::max({ 0, a.left() - (b.x() + b.width()), b.left() - (a.x() + a.width()) });
    const qint64 dy
        = std::max({ 0, a.top() - (b.y() + b.height()), b.top() - (a.y() + a.height()) });
    return dx * dx + dy * dy;
}

static QRect nearest(const QRect& rect, const QList<QRect>& screens)
{
    QRect best;
    qint64 bestGap = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const qint64 g = gap(rect, screen);
        if (g < bestGap) {
            bestGap = g;
            best = screen;
        }
    }
    return best;
}

QRect screenAt(QPoint global, const QList<QRect>& screens)
{
    for (const QRect& screen : screens) {
        if (screen.contains(global))
            return screen;
    }
    return nearest(QRect(global, QSize(1, 1)), screens);
}

QPoint bringOnScreen(const QRect& window, const QList<QRect>& screens)
{
    QRegion desktop;
    for (const QRect& screen : screens)
        desktop += screen;
    if (screens.isEmpty() || QRegion(window).subtracted(desktop).isEmpty())
        return window.topLeft();

    QRect target;
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect overlap = screen.intersected(window);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (area > bestArea) {
            bestArea = area;
            target = screen;
        }
    }
    if (bestArea == 0)
        target = nearest(window, screens);
    // Unlike a drag, a restored window larger than its screen keeps its top-left corner visible.
    QPoint moved = clampInto(window, window.topLeft(), target);
    moved = { std::max(moved.x(), target.x()), std::max(moved.y(), target.y()) };
    qCDebug(lcMain) << "window at" << window << "is off the screens; moved to" << moved << "on"
                    << target;
    return moved;
}

QPoint keepOnScreen(const QRect& window, const QRect& screen)
{
    if (screen.isEmpty())
        return window.topLeft();
    return { std::min(window.x(), screen.x() + screen.width() - window.width()),
        std::min(window.y(), screen.y() + screen.height() - window.height()) };
}

} // namespace WindowPlacement

void WindowDrag::press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pointer,
    QPoint windowAt, bool locked)
{
    if (button != Qt::LeftButton || (locked && !HotKeys::only(modifiers, Qt::ControlModifier)))
        return;
    m_dragging = true;
    m_pointerAtPress = pointer;
    m_windowAtPress = windowAt;
}

std::optional<QPoint> WindowDrag::move(
    Qt::MouseButtons buttons, QPoint pointer, const QRect& window, const QRect& screen) const
{
    if (!m_dragging || buttons != Qt::LeftButton)
        return std::nullopt;
    return WindowPlacement::clampInto(window, m_windowAtPress + pointer - m_pointerAtPress, screen);
}
