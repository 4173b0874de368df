#pragma once

#include "ui/clock/TrayIcon.h"
#include "ui/clock/WindowPlacement.h"
#include "core/base/WallClockWatch.h"
#include "ui/commands/ClockCommands.h"

#include <QMenu>
#include <QRegion>
#include <QTimer>
#include <QWidget>

class Chimes;
class Clock;
class Timepiece;
struct FaceUpdate;
class UserSettings;

// The clock on the desktop: a borderless window cut to the outline of its picture, showing the
// timepiece's face. It ticks the timepiece, applies what each operation changed, runs the
// commands of its keys, menu and tray (a setting they change goes through the settings), and is
// dragged about by its face.
class ClockWindow final : public QWidget {
    Q_OBJECT

public:
    ClockWindow(Timepiece& timepiece, Chimes& chimes, UserSettings& settings, const Clock& clock,
        QWidget* parent = nullptr);

    ClockCommands& commands() { return m_commands; }
    QMenu& menu() { return m_menu; }
    TrayIcon& tray() { return m_tray; }

    // The skin the user chose; the window takes its picture, outline and size.
    void activateSkin(const QString& name);
    // Twelve-hour display was switched: shown at once (a Tyme skin's time moves to make room).
    void showTwelveHour();
    // The position was locked or unlocked: the menu offers to unlock a locked one.
    void showLock();
    // Shows the clock on the screen it was saved on (or the nearest), above others as set, with
    // its tray icon, and starts ticking.
    void start();
    // Stops ticking and chiming and removes the tray icon: the clock is closing.
    void shutDown();
    // One tick of the timepiece.
    void tick();
    // How long the last aim of the next tick waited, in ms.
    int aimedMs() const { return m_aimedMs; }
    // Shown if hidden, raised and given the focus: the user started the clock once more.
    void bringForward();
    // Where the window really is, for saving: a window manager may have moved it without Qt
    // knowing.
    QPoint savedPosition();

    // Puts a window of the clock above all others, or lets others cover it. Called again with
    // the same wish it raises the window once more: another window set to stay on top may have
    // covered it.
    static void keepOnTop(QWidget* window, bool onTop);

signals:
    // The user asked to close the clock.
    void closeRequested();
    // A skin was activated, chosen or at random on the hour: the clock's other windows take it
    // too.
    void skinActivated();
    // The wall clock was set, the computer woke or the zone changed: times shown are read anew.
    void wallClockChanged();
    // Files or folders were dropped on the clock, to install.
    void filesDropped(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void apply(const FaceUpdate& update);
    // Ticks, then aims the next tick from the wall clock read anew.
    void wake();
    void aim();
    void compositorChanged();
    // Shown and not minimised: its face is seen.
    bool seen() const { return isVisible() && !isMinimized(); }
    void run(Command command);
    void toggleVisible();
    void showClock();
    int twelveHourNow() const;

    Timepiece& m_timepiece;
    Chimes& m_chimes;
    UserSettings& m_settings;
    const Clock& m_clock;
    ClockCommands m_commands;
    QMenu m_menu;
    TrayIcon m_tray;
    QTimer m_ticker; // one shot, aimed anew after every tick
    int m_aimedMs = 0;
    bool m_running = false;
    WallClockWatch m_wallClock;
    bool m_composited = false;
    WindowDrag m_drag;
    QRegion m_outline;
    bool m_outlineApplied = false;
    bool m_firstFrameLogged = false;
};
