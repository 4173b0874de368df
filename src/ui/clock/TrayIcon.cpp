#include "ui/clock/TrayIcon.h"

#include "core/base/Logging.h"
#include "core/face/ClockIcon.h"

#include <QCursor>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {
const QString productName = QStringLiteral("Horolan");
constexpr qsizetype tipLength = 63; // 64 with the terminating NUL of the platform's field
} // namespace

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent)
    , m_tray(this)
{
    connect(&m_tray, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
}

QString TrayIcon::tipText(const QString& tip)
{
    return (productName + tip).left(tipLength);
}

bool TrayIcon::trayAvailable()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return true;
    if (!m_missingLogged) {
        m_missingLogged = true;
        qCInfo(lcMain) << "no system tray: the clock runs without its tray icon";
    }
    return false;
}

void TrayIcon::show(const QString& tip)
{
    trayAvailable();
    if (m_tray.icon().isNull())
        m_tray.setIcon(clockIcon());
    setTip(tip);
    // Shown even without a host: Qt adds the entry once a tray appears (a panel that starts after
    // the clock at login).
    m_tray.show();
    m_shown = true;
}

void TrayIcon::setTip(const QString& tip)
{
    if (tip == m_tip && !m_tray.toolTip().isEmpty())
        return;
    m_tip = tip;
    qCDebug(lcMain).noquote() << "tray tip:" << tipText(tip);
    m_tray.setToolTip(tipText(tip));
}

void TrayIcon::showMessage(const QString& text)
{
    if (m_shown && QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages())
        m_tray.showMessage(productName, text, clockIcon(), 10000);
    else
        qCInfo(lcMain).noquote() << "no tray to show:" << text;
}

void TrayIcon::remove()
{
    m_tray.hide();
    m_shown = false;
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        emit leftPressed();
        break;
    case QSystemTrayIcon::DoubleClick:
        emit doubleClicked();
        break;
    case QSystemTrayIcon::Context:
        emit rightPressed(QCursor::pos());
        break;
    default:
        qCDebug(lcMain) << "tray activation ignored:" << reason;
        break;
    }
}

QIcon TrayIcon::clockIcon()
{
    QIcon icon;
    for (const int size : { 16, 32 })
        icon.addPixmap(QPixmap::fromImage(ClockIcon::draw(size)));
    return icon;
}
