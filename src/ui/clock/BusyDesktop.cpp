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

// Long enough for a slow bus, short enough that the answer describes the hour.
constexpr int askBeforeHourMs = 3000;
// A wall clock that jumps leaves a long wait wrong: never wait longer than this.
constexpr int longestWaitMs = 5 * 60 * 1000;

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
    const std::optional<bool> fullScreen = DesktopIntegration::activeWindowFullScreen();
    if (!fullScreen)
        missing(QStringLiteral("the full-screen window"),
            QStringLiteral("not on X11, or no active window"));
    return fullScreen.value_or(false);
}
