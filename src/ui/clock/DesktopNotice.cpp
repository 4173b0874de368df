#include "ui/clock/DesktopNotice.h"

#include "core/base/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QVariantMap>
#include <QWidget>

#include <algorithm>

namespace DesktopNotice {

namespace {

// Opened for the one question and closed with its answer: a clock has no other business on the
// session bus.
const QString busName = QStringLiteral("horolan-notice");
constexpr int shownMs = 10000;

// A tool tip's look in a window of its own: Qt's tool tip hides itself when the focus moves,
// as it does when the clock hides. The window it is over owns it.
void showTip(const QString& text, QWidget* over)
{
    auto* tip = new QLabel(text, over, Qt::ToolTip);
    tip->setAttribute(Qt::WA_DeleteOnClose);
    tip->setPalette(QToolTip::palette());
    tip->setForegroundRole(QPalette::ToolTipText);
    tip->setBackgroundRole(QPalette::ToolTipBase);
    tip->setAutoFillBackground(true);
    tip->setFrameStyle(QFrame::Box);
    tip->setMargin(6);
    tip->adjustSize();
    QRect place(QPoint(), tip->size());
    place.moveCenter(over ? over->geometry().center() : QPoint());
    if (const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen())
        place.moveTopLeft(QPoint(std::clamp(place.left(), screen->geometry().left(),
                                     std::max(screen->geometry().left(),
                                         screen->geometry().right() + 1 - place.width())),
            std::clamp(place.top(), screen->geometry().top(),
                std::max(
                    screen->geometry().top(), screen->geometry().bottom() + 1 - place.height()))));
    tip->move(place.topLeft());
    tip->show();
    QTimer::singleShot(shownMs, tip, &QWidget::close);
}

} // namespace

void show(const QString& text, QWidget* over)
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
    QPointer<QWidget> window(over);
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
