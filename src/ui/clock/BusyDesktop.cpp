#include "ui/clock/BusyDesktop.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/settings/Settings.h"
#include "ui/clock/DesktopIntegration.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <algorithm>

namespace {
const QString sessionName = QStringLiteral("horolan-busy-session");
const QString systemName = QStringLiteral("horolan-busy-system");
} // namespace

BusyDesktop::BusyDesktop(const Clock&, const Settings& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{ }

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
    if (m_waiting > 0)
        return; // the last questions are still out
    if (m_settings.quietWhenLocked) {
        askScreenSaver();
        ask(QDBusConnection::connectToBus(QDBusConnection::SystemBus, systemName),
            QStringLiteral("org.freedesktop.login1"),
            QStringLiteral("/org/freedesktop/login1/session/auto"),
            QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("LockedHint"),
            m_lockedHint);
    }
    if (m_settings.quietWhenDoNotDisturb)
        ask(QDBusConnection::connectToBus(QDBusConnection::SessionBus, sessionName),
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Inhibited"),
            m_inhibited);
    if (m_waiting == 0)
        answered();
}

void BusyDesktop::answered()
{
    if (m_waiting > 0 && --m_waiting > 0)
        return;
    // Nothing is asked of the buses until the next hour: their connections go.
    QDBusConnection::disconnectFromBus(sessionName);
    QDBusConnection::disconnectFromBus(systemName);
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
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, sessionName);
    const QString source = QStringLiteral("the screen saver");
    if (!bus.isConnected())
        return missing(source, QStringLiteral("no session bus"));
    const QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetActive"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, askTimeoutMs), this);
    ++m_waiting;
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
            answered();
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
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, askTimeoutMs), this);
    ++m_waiting;
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
            answered();
        });
}

bool BusyDesktop::fullScreenWindow()
{
    const std::optional<bool> fullScreen = DesktopIntegration::activeWindowFullScreen();
    if (!fullScreen)
        missing(QStringLiteral("the full-screen window"),
            QStringLiteral("not on X11, or no active window"));
    return fullScreen.value_or(false);
}
