#pragma once

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>

// The clock's tray icon, with the product name in front of every tip. Without a tray host the
// clock runs on; this logs it once, and Qt adds the icon if a host appears later.
class TrayIcon final : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QObject* parent = nullptr);

    // Adds the icon to the tray.
    void show(const QString& tip);
    // Only a new text reaches the tray: the tick offers one on every tick of three seconds a
    // minute.
    void setTip(const QString& tip);
    const QString& tip() const { return m_tip; }
    // A short message from the tray (in the log too, where there is no tray).
    void showMessage(const QString& text);
    void remove();

    // "Horolan" followed directly by the tip, cut to the 63 characters a tip field holds.
    static QString tipText(const QString& tip);

    // A light round face with two dark hands, drawn here so nothing is shipped.
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
    QString m_tip;
    bool m_missingLogged = false;
};
