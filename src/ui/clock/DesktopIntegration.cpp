#include "ui/clock/DesktopIntegration.h"

#include "core/base/Logging.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <cstring>
#include <xcb/xcb.h>

namespace DesktopIntegration {

QList<QRect> screenRects()
{
    QList<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens())
        rects << screen->geometry();
    return rects;
}

int refreshPeriodMs(const QWidget* window)
{
    const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    const double hz = screen ? screen->refreshRate() : 0;
    return hz >= 1 ? int(std::ceil(1000 / hz)) : 16;
}

void keepOnTop(QWidget* window, bool onTop)
{
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        const Qt::WindowFlags flags
            = window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
        if (QWindow* handle = window->windowHandle()) {
            // Changed on the native window in place: QWidget::setWindowFlags would hide the
            // window and forget where it was.
            window->overrideWindowFlags(flags);
            handle->setFlags(flags);
        } else {
            window->setWindowFlags(flags);
        }
    }
    if (onTop && window->isVisible())
        window->raise();
}

namespace {
xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}
// The first 32-bit values of a window's property.
QList<quint32> windowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name)
{
    QList<quint32> values;
    const auto cookie = xcb_get_property(connection, 0, window, name, XCB_ATOM_ANY, 0, 32);
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        if (reply->format == 32) {
            const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply));
            values = QList<quint32>(data, data + xcb_get_property_value_length(reply) / 4);
        }
        free(reply);
    }
    return values;
}
} // namespace

void keepOffTaskbar(QWidget* window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    // Set on the unmapped window, where Qt keeps the states it does not manage when it maps it.
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t netWmState = atom(connection, "_NET_WM_STATE");
    QList<xcb_atom_t> states;
    const auto cookie = xcb_get_property(connection, 0, id, netWmState, XCB_ATOM_ATOM, 0, 64);
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
        for (int i = 0; i < count; ++i)
            states << atoms[i];
        free(reply);
    }
    for (const char* name : { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER" }) {
        const xcb_atom_t wanted = atom(connection, name);
        if (wanted != XCB_ATOM_NONE && !states.contains(wanted))
            states << wanted;
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netWmState, XCB_ATOM_ATOM, 32,
        uint32_t(states.size()), states.constData());
    xcb_flush(connection);
    qCDebug(lcMain) << "kept off the task bar and pager:" << window->objectName();
}

std::optional<QPoint> windowPosition(QWidget* window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || !window->testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return std::nullopt;
    const auto cookie
        = xcb_translate_coordinates(connection, xcb_window_t(window->winId()), screen->root, 0, 0);
    xcb_translate_coordinates_reply_t* reply
        = xcb_translate_coordinates_reply(connection, cookie, nullptr);
    if (!reply)
        return std::nullopt;
    const QPoint physical(reply->dst_x, reply->dst_y);
    free(reply);
    // Device pixels to Qt's logical ones.
    const qreal dpr = window->devicePixelRatioF();
    return dpr > 0 ? QPoint(qRound(physical.x() / dpr), qRound(physical.y() / dpr)) : physical;
}

bool clientPlacesWindows()
{
    return QGuiApplication::platformName() != QLatin1String("wayland");
}

bool composited()
{
    if (!clientPlacesWindows())
        return true;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t selection = atom(connection, "_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    free(reply);
    return owned;
}

namespace {
// Qt's own connection already asks XFixes to report who owns the compositor's selection; its
// events pass through here.
class CompositorFilter final : public QAbstractNativeEventFilter {
public:
    CompositorFilter(
        QObject* context, std::function<void()> changed, uint8_t firstEvent, xcb_atom_t selection)
        : m_context(context)
        , m_changed(std::move(changed))
        , m_firstEvent(firstEvent)
        , m_selection(selection)
    { }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t" || !m_context)
            return false;
        // XFixes' SelectionNotify: its first event; the selection's atom after the window and
        // the owner.
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != m_firstEvent)
            return false;
        quint32 selection = 0;
        std::memcpy(&selection, reinterpret_cast<const char*>(event) + 12, sizeof selection);
        if (selection == m_selection)
            m_changed();
        return false;
    }

private:
    QPointer<QObject> m_context;
    std::function<void()> m_changed;
    uint8_t m_firstEvent;
    xcb_atom_t m_selection;
};
} // namespace

void watchCompositor(QObject* context, std::function<void()> changed)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const char name[] = "XFIXES";
    xcb_query_extension_reply_t* xfixes = xcb_query_extension_reply(
        connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr);
    const xcb_atom_t selection = atom(connection, "_NET_WM_CM_S0");
    if (!xfixes || !xfixes->present || selection == XCB_ATOM_NONE) {
        qCDebug(lcMain) << "a compositing manager that comes later is not seen (no XFixes)";
        free(xfixes);
        return;
    }
    auto* filter
        = new CompositorFilter(context, std::move(changed), xfixes->first_event, selection);
    free(xfixes);
    QCoreApplication::instance()->installNativeEventFilter(filter);
    QObject::connect(context, &QObject::destroyed, [filter] {
        QCoreApplication::instance()->removeNativeEventFilter(filter);
        delete filter;
    });
}

std::optional<bool> activeWindowFullScreen()
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t active = atom(connection, "_NET_ACTIVE_WINDOW");
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t fullScreen = atom(connection, "_NET_WM_STATE_FULLSCREEN");
    if (!screen || active == XCB_ATOM_NONE || state == XCB_ATOM_NONE || fullScreen == XCB_ATOM_NONE)
        return std::nullopt;
    const QList<quint32> window = windowProperty(connection, screen->root, active);
    if (window.isEmpty() || window.first() == XCB_NONE)
        return std::nullopt;
    return windowProperty(connection, window.first(), state).contains(fullScreen);
}

} // namespace DesktopIntegration
