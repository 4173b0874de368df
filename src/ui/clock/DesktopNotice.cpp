#include "ui/clock/DesktopNotice.h"

#include "core/base/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QToolTip>
#include <QVariantMap>
#include <QWidget>

namespace DesktopNotice {

namespace {

// Opened for the one question and closed with its answer: a clock has no other business on the
// session bus.
const QString busName = QStringLiteral("horolan-notice");
constexpr int shownMs = 10000;

void showTip(const QString& text, const QWidget* over)
{
    const QPoint at = over ? over->geometry().center() : QPoint();
    QToolTip::showText(at, text, nullptr, {}, shownMs);
}

} // namespace

void show(const QString& text, const QWidget* over)
{
    qCInfo(lcMain).noquote() << "notice:" << text;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, busName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(busName);
        showTip(text, over);
        return;
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Horolan") << 0U << QString() << QStringLiteral("Horolan") << text
         << QStringList() << QVariantMap() << shownMs;
    // Asked without waiting: a service started on demand may take a moment to answer.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QPointer<const QWidget> window(over);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
        [text, window](QDBusPendingCallWatcher* done) {
            if (done->isError()) {
                qCDebug(lcMain).noquote() << "no notification service:" << done->error().message();
                showTip(text, window);
            }
            done->deleteLater();
            QDBusConnection::disconnectFromBus(busName);
        });
}

} // namespace DesktopNotice
