#pragma once

#include "core/base/WallClockWatch.h"
#include "ui/clock/DraggableWindow.h"
#include "ui/clock/TrayIcon.h"

#include <QTimer>

class Chimes;
class Clock;
class Timepiece;
struct FaceUpdate;
class UserSettings;

// The clock on the desktop: a borderless window cut to the outline of its picture, showing the
// timepiece's face. It ticks the timepiece and applies what each operation changed; its keys, the
// menu and the tray run the clock's commands.
class ClockWindow final : public DraggableWindow {
    Q_OBJECT

public:
    ClockWindow(Timepiece& timepiece, Chimes& chimes, UserSettings& settings, const Clock& clock,
        ClockCommands& commands, QMenu& menu, QWidget* parent = nullptr);

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
    // M: hidden, or shown again.
    void toggleVisible();
    // C: the chime of the hour now.
    void chimeNow();
    // B: another background of the skin.
    void changeBackground();

signals:
    // A skin was activated, chosen or at random on the hour: the clock's other windows take it
    // too.
    void skinActivated();
    // The wall clock was set, the computer woke or the zone changed: times shown are read anew.
    void wallClockChanged();
    // Files or folders were dropped on the clock, to install.
    void filesDropped(const QStringList& paths);

protected:
    // Shown, hidden, minimised or restored: it wakes, or aims its next tick anew.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
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
    void showClock();
    int twelveHourNow() const;

    Timepiece& m_timepiece;
    Chimes& m_chimes;
    const Clock& m_clock;
    TrayIcon m_tray;
    QTimer m_ticker; // one shot, aimed anew after every tick
    int m_aimedMs = 0;
    bool m_running = false;
    WallClockWatch m_wallClock;
    bool m_composited = false;
    bool m_firstFrameLogged = false;
};
