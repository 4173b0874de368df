#include "ui/clock/BusyDesktop.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/settings/Settings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>

namespace {

// Long enough for a slow bus, short enough that the answer describes the hour.
constexpr int askBeforeHourMs = 3000;
// A wall clock that jumps leaves a long wait wrong: never wait longer than this.
constexpr int longestWaitMs = 5 * 60 * 1000;

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 1, uint16_t(qstrlen(name)), name);
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

BusyDesktop::BusyDesktop(const Clock& clock, const Settings& settings, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_settings(settings)
{
    m_beforeHour.setSingleShot(true);
    connect(&m_beforeHour, &QTimer::timeout, this, [this] {
        if (m_clock.now().time().minute() == 59)
            refresh();
        scheduleNext();
    });
    scheduleNext();
}

void BusyDesktop::scheduleNext()
{
    const QTime now = m_clock.now().time();
    const int msIntoHour
        = now.isValid() ? (now.minute() * 60 + now.second()) * 1000 + now.msec() : 0;
    int wait = 3600 * 1000 - askBeforeHourMs - msIntoHour;
    if (wait <= 0)
        wait += 3600 * 1000;
    m_beforeHour.start(std::min(wait, longestWaitMs));
}

QString BusyDesktop::reason()
{
    if (m_settings.quietWhenLocked
        && (m_screenSaver.value_or(false) || m_lockedHint.value_or(false)))
        return QStringLiteral("the screen is locked");
    if (m_settings.quietWhenDoNotDisturb && m_inhibited.value_or(false))
        return QStringLiteral("do not disturb is on");
    if (m_settings.quietWhenFullScreen && fullScreenWindow())
        return QStringLiteral("a window is full screen");
    return {};
}

void BusyDesktop::refresh()
{
    if (m_settings.quietWhenLocked) {
        askScreenSaver();
        ask(QDBusConnection::systemBus(), QStringLiteral("org.freedesktop.login1"),
            QStringLiteral("/org/freedesktop/login1/session/auto"),
            QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("LockedHint"),
            m_lockedHint);
    }
    if (m_settings.quietWhenDoNotDisturb)
        ask(QDBusConnection::sessionBus(), QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Inhibited"),
            m_inhibited);
}

void BusyDesktop::missing(const QString& source, const QString& why)
{
    if (!m_missingLogged.contains(source)) {
        m_missingLogged.insert(source);
        qCDebug(lcSound).noquote() << source << "does not answer, skipped:" << why;
    }
}

void BusyDesktop::askScreenSaver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString source = QStringLiteral("the screen saver");
    if (!bus.isConnected())
        return missing(source, QStringLiteral("no session bus"));
    const QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetActive"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, askBeforeHourMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, source](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<bool> reply = *w;
            if (reply.isError()) {
                m_screenSaver.reset();
                missing(source, reply.error().message());
            } else {
                m_screenSaver = reply.value();
            }
            w->deleteLater();
        });
}

void BusyDesktop::ask(const QDBusConnection& bus, const QString& service, const QString& path,
    const QString& interface, const QString& property, std::optional<bool>& answer)
{
    const QString source = service + u' ' + property;
    if (!bus.isConnected())
        return missing(source, QStringLiteral("no bus"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << property;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, askBeforeHourMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, source, &answer](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<QDBusVariant> reply = *w;
            const QVariant value = reply.isError() ? QVariant() : reply.value().variant();
            if (value.typeId() == QMetaType::Bool) {
                answer = value.toBool();
            } else {
                answer.reset();
                missing(source,
                    reply.isError() ? reply.error().message() : QStringLiteral("not a boolean"));
            }
            w->deleteLater();
        });
}

bool BusyDesktop::fullScreenWindow()
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        missing(QStringLiteral("the full-screen window"), QStringLiteral("not on X11"));
        return false;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t active = atom(connection, "_NET_ACTIVE_WINDOW");
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t fullScreen = atom(connection, "_NET_WM_STATE_FULLSCREEN");
    if (!screen || active == XCB_ATOM_NONE || state == XCB_ATOM_NONE || fullScreen == XCB_ATOM_NONE)
        return false;
    const QList<quint32> window = windowProperty(connection, screen->root, active);
    if (window.isEmpty() || window.first() == XCB_NONE) {
        missing(QStringLiteral("the full-screen window"), QStringLiteral("no active window"));
        return false;
    }
    return windowProperty(connection, window.first(), state).contains(fullScreen);
}
