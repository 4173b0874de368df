#pragma once

#include <QObject>
#include <QSet>

#include <optional>

class Clock;
class QDBusConnection;
struct Settings;

// What the desktop says of its user that an hourly chime should not interrupt: a locked screen or
// a running screen saver, do-not-disturb, a window in full screen. The bus questions go out a few
// seconds before an hour that will chime, on connections of their own that close once the
// answers are in, and are answered asynchronously, so that the chime decides at once from the
// answers already in. A source the desktop does not offer counts as "not busy", with one debug
// line.
class BusyDesktop final : public QObject {
    Q_OBJECT

public:
    BusyDesktop(const Clock& clock, const Settings& settings, QObject* parent = nullptr);

    // Why the user is busy now, or empty.
    QString reason();
    // Asks the desktop's services again; their answers come later.
    void refresh();
    static constexpr int askTimeoutMs = 3000;

private:
    void ask(const QDBusConnection& bus, const QString& service, const QString& path,
        const QString& interface, const QString& property, std::optional<bool>& answer);
    void askScreenSaver();
    bool fullScreenWindow();
    void missing(const QString& source, const QString& why);
    // One question fewer to wait for; with none left the connections close.
    void answered();

    const Settings& m_settings;
    int m_waiting = 0;
    std::optional<bool> m_screenSaver; // org.freedesktop.ScreenSaver
    std::optional<bool> m_lockedHint; // logind's session
    std::optional<bool> m_inhibited; // the notification server's do-not-disturb
    QSet<QString> m_missingLogged;
};
