#include "ui/clock/TrayIcon.h"

#include "core/base/Logging.h"

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

QImage TrayIcon::drawClockIcon(int sizePx)
{
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal half = sizePx / 2.0;
    const QPointF centre(half, half);
    const QColor dark(40, 40, 48);
    painter.setPen(QPen(dark, std::max(1.0, sizePx / 16.0)));
    painter.setBrush(QColor(250, 246, 232));
    painter.drawEllipse(centre, half - 0.75, half - 0.75);

    // Four o'clock: a short broad hour hand and a long minute hand at twelve read as a clock even
    // at 16 pixels, where the symmetric ten-past-ten reads as a tick mark.
    const auto hand = [&](qreal degreesFromTwelve, qreal length, qreal width) {
        const qreal a = qDegreesToRadians(degreesFromTwelve);
        painter.setPen(QPen(dark, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre, centre + QPointF(std::sin(a), -std::cos(a)) * length);
    };
    hand(120, half * 0.5, std::max(1.5, sizePx / 9.0));
    hand(0, half * 0.78, std::max(1.0, sizePx / 14.0));
    return image;
}

QIcon TrayIcon::clockIcon()
{
    QIcon icon;
    for (const int size : { 16, 32 })
        icon.addPixmap(QPixmap::fromImage(drawClockIcon(size)));
    return icon;
}
