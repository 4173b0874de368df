#include "ui/clock/WindowShape.h"

#include "core/base/Logging.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QVariant>
#include <QWidget>
#include <QWindow>

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

// Set on a window whose clicks pass through to what lies below.
const char* const passingInput = "horolanPassesInput";

// An empty input shape passes every click and scroll on; none at all (the default) makes the
// input shape the bounding one again, whatever size the window has since taken.
void setInputShape(QWidget* window, xcb_connection_t* connection)
{
    const auto id = xcb_window_t(window->internalWinId());
    if (window->property(passingInput).toBool())
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
            XCB_CLIP_ORDERING_UNSORTED, id, 0, 0, 0, nullptr);
    else
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_NONE);
    xcb_flush(connection);
}

class ShapeKeeper : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWidget*>(watched);
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (event->type() != QEvent::WinIdChange || !window || !window->internalWinId() || !x11)
            return false;
        if (window->property(deviceOutline).isValid())
            setShape(window, x11->connection());
        if (window->property(passingInput).isValid())
            setInputShape(window, x11->connection());
        return false;
    }
};

ShapeKeeper& keeper()
{
    static ShapeKeeper keeper;
    return keeper;
}

bool applyOnX11(QWidget* window, const QRegion& region)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    if (!window->mask().isEmpty())
        window->clearMask();
    window->setProperty(deviceOutline, region);
    window->installEventFilter(&keeper());
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

void passInput(QWidget* window, bool pass)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection()) {
        if (!pass && !window->property(passingInput).isValid())
            return; // never set: the default input shape
        window->setProperty(passingInput, pass);
        window->installEventFilter(&keeper());
        if (window->internalWinId())
            setInputShape(window, x11->connection());
        return;
    }
    // Elsewhere (Wayland: an empty input region) Qt's flag, changed on the native window in place.
    const Qt::WindowFlags flags
        = window->windowFlags().setFlag(Qt::WindowTransparentForInput, pass);
    if (flags == window->windowFlags())
        return;
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
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
