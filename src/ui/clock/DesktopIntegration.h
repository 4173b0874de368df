#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>

class QObject;
class QWidget;

// What a desktop clock asks of the window system beyond Qt's own flags. Platform code stays here.
namespace DesktopIntegration {

// Every screen's rectangle, in logical pixels.
QList<QRect> screenRects();

// How often the screen showing the window (the primary one for none) refreshes, in ms rounded up:
// a frame drawn sooner is never seen.
int refreshPeriodMs(const QWidget* window = nullptr);

// Keeps a top-level window off the task bar and the pager (X11's _NET_WM_STATE hints). Call it
// before the window is first shown; elsewhere it does nothing.
void keepOffTaskbar(QWidget* window);

// Puts a window of the clock above all others, or lets others cover it. Called again with the
// same wish it raises the window once more: another window set to stay on top may have covered it.
void keepOnTop(QWidget* window, bool onTop);

// Where the window really is on the screen, asked of the X server. Qt's own idea of it can stay
// behind after a window manager has reparented the window. Nothing where it cannot be asked.
std::optional<QPoint> windowPosition(QWidget* window);

// Wayland gives clients no say over their position: moves go through the compositor.
bool clientPlacesWindows();

// Whether a compositing manager blends windows with what lies behind them (on X11 one holds the
// _NET_WM_CM_S0 selection; Wayland always composites).
bool composited();

// Calls changed while context lives whenever a compositing manager comes or goes (on X11 the
// _NET_WM_CM_S0 selection changes owner); nothing is polled.
void watchCompositor(QObject* context, std::function<void()> changed);

// Whether the window the user works in fills the screen (a video, a presentation, a game):
// _NET_WM_STATE_FULLSCREEN of _NET_ACTIVE_WINDOW. Nothing where that cannot be asked.
std::optional<bool> activeWindowFullScreen();

} // namespace DesktopIntegration
