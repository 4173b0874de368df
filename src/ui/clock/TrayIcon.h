#pragma once

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>

// The clock's tray icon (mdlSysTrayIcon): added, changed and removed through SetTrayIcon, with
// the product name in front of every tip. Without a tray host the clock runs on; this logs it
// once, and Qt adds the icon if a host appears later.
class TrayIcon final : public QObject {
    Q_OBJECT

public:
    enum class Action { Add = 0, Modify = 1, Delete = 2 };

    explicit TrayIcon(QObject* parent = nullptr);

    // A null icon keeps the current picture. Modify changes a hidden icon without showing it.
    void SetTrayIcon(Action action, const QIcon& icon, const QString& tip);

    // "Horolan" followed directly by the tip, cut to the 63 characters a tip field holds.
    static QString tipText(const QString& tip);

    // imgIcon: a light round face with two dark hands, drawn here so nothing is shipped.
    static QImage drawClockIcon(int sizePx);
    static QIcon clockIcon();

    bool isShown() const { return m_shown; }
    QString toolTip() const { return m_tray.toolTip(); }

signals:
    void leftPressed();
    void doubleClicked();
    void rightPressed(QPoint globalPos);

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    bool trayAvailable();

    QSystemTrayIcon m_tray;
    bool m_shown = false;
    bool m_missingLogged = false;
};
