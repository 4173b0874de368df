#include "ui/clock/WindowShape.h"

#include "core/base/Logging.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QVariant>
#include <QWidget>

#include <cmath>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace WindowShape {

namespace {

// Each rectangle grown outwards to whole pixels at the ratio.
QRegion scaled(const QRegion& region, qreal ratio)
{
    QRegion result;
    for (const QRect& r : region) {
        const int left = int(std::floor(r.left() * ratio));
        const int top = int(std::floor(r.top() * ratio));
        result += QRect(left, top, int(std::ceil((r.right() + 1) * ratio)) - left,
            int(std::ceil((r.bottom() + 1) * ratio)) - top);
    }
    return result;
}

// The outline in device pixels a window keeps on X11, set again whenever Qt makes its native
// window anew (it does so between the first outline and the first show).
const char* const deviceOutline = "horolanDeviceOutline";

void setShape(QWidget* window, xcb_connection_t* connection)
{
    const QRegion region = window->property(deviceOutline).value<QRegion>();
    std::vector<xcb_rectangle_t> rectangles;
    for (const QRect& r : region)
        rectangles.push_back(
            { qint16(r.x()), qint16(r.y()), quint16(r.width()), quint16(r.height()) });
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
        XCB_CLIP_ORDERING_UNSORTED, xcb_window_t(window->internalWinId()), 0, 0,
        quint32(rectangles.size()), rectangles.data());
    xcb_flush(connection);
}

class ShapeKeeper : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWidget*>(watched);
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (event->type() == QEvent::WinIdChange && window && window->internalWinId() && x11
            && window->property(deviceOutline).isValid())
            setShape(window, x11->connection());
        return false;
    }
};

bool applyOnX11(QWidget* window, const QRegion& region)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    static ShapeKeeper keeper;
    if (!window->mask().isEmpty())
        window->clearMask();
    window->setProperty(deviceOutline, region);
    window->installEventFilter(&keeper);
    if (window->internalWinId())
        setShape(window, x11->connection());
    return true;
}

} // namespace

void prepare(QWidget* window)
{
    window->setWindowFlag(Qt::FramelessWindowHint, true);
    window->setAttribute(Qt::WA_TranslucentBackground, true);
    window->setAttribute(Qt::WA_NoSystemBackground, true);
}

void apply(QWidget* window, const QRegion& region, qreal ratio)
{
    // A one-pixel mask outside the window: nothing of it is shown or takes the mouse.
    const QRegion nothing(-2, -2, 1, 1);
    if (region.isEmpty())
        qCDebug(lcShape) << "empty outline: window" << window->objectName()
                         << "has no visible pixel";
    else
        qCDebug(lcShape) << "outline of" << window->objectName() << region.boundingRect()
                         << region.rectCount() << "rectangles at a device-pixel ratio of" << ratio;
    if (ratio == 1) {
        window->setProperty(deviceOutline, QVariant());
        window->setMask(region.isEmpty() ? nothing : region);
        return;
    }
    if (applyOnX11(window, region.isEmpty() ? nothing : region))
        return;
    // Elsewhere Qt takes logical pixels: the outline's steps are as large as a logical pixel.
    const QRegion logical = scaled(region, 1 / ratio);
    window->setMask(logical.isEmpty() ? nothing : logical);
}

void clip(QPainter& painter, const QPaintEvent* event, const QRegion& outline, qreal ratio)
{
    if (ratio == 1) {
        painter.setClipRegion(outline.intersected(event->region()));
        return;
    }
    // Set with the painter's scaling undone, the clip falls on device pixels and stays there.
    const QTransform kept = painter.worldTransform();
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter.setClipRegion(outline.intersected(scaled(event->region(), ratio)));
    painter.setWorldTransform(kept);
}

} // namespace WindowShape
