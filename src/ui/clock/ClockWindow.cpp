#include "ui/clock/ClockWindow.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/chimes/Chimes.h"
#include "core/face/TimeText.h"
#include "core/face/Timepiece.h"
#include "core/settings/UserSettings.h"
#include "core/shape/PictureScaling.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/clock/WindowShape.h"
#include "ui/commands/HotKeys.h"
#include "ui/install/Installations.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <optional>

#include <unistd.h>

namespace {

// Milliseconds since this process started, from the kernel's own counts (/proc), so that a faked
// or moved wall clock cannot skew the start-up figure in the log.
std::optional<qint64> msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces and parentheses: the fields are counted after its end.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int startTimeField = 22 - 3;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    bool startOk = false;
    bool upOk = false;
    const qint64 startTicks
        = fields.size() > startTimeField ? fields[startTimeField].toLongLong(&startOk) : 0;
    const double upSeconds = uptime.readAll().split(' ').value(0).toDouble(&upOk);
    if (!startOk || !upOk || ticksPerSecond <= 0)
        return std::nullopt;
    return qint64(std::llround(upSeconds * 1000)) - startTicks * 1000 / ticksPerSecond;
}

} // namespace

ClockWindow::ClockWindow(Timepiece& timepiece, Chimes& chimes, UserSettings& settings,
    const Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_timepiece(timepiece)
    , m_chimes(chimes)
    , m_settings(settings)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("clock"));
    setWindowTitle(QStringLiteral("Horolan"));
    setWindowIcon(TrayIcon::clockIcon());
    // A desktop clock is a utility: no frame, no task bar entry.
    setWindowFlag(Qt::Tool, true);
    WindowShape::prepare(this);
    setFocusPolicy(Qt::StrongFocus);
    // A skin or sound pack dropped on the clock is installed.
    setAcceptDrops(true);

    for (const Command item : { Command::UnlockPosition, Command::ChangeTime,
             Command::ToggleWorldTime, Command::ShowOptions, Command::Close })
        m_menu.addAction(m_commands.action(item));
    m_menu.addSeparator();
    m_menu.addAction(m_commands.action(Command::ShowAbout));
    connect(&m_commands, &ClockCommands::triggered, this, &ClockWindow::run);

    connect(&m_tray, &TrayIcon::leftPressed, this, [this] {
        if (isVisible()) {
            raise();
            activateWindow();
        }
    });
    connect(&m_tray, &TrayIcon::doubleClicked, this, &ClockWindow::toggleVisible);
    connect(&m_tray, &TrayIcon::rightPressed, this, [this](QPoint at) { m_menu.popup(at); });

    m_ticker.setSingleShot(true);
    m_ticker.setTimerType(Qt::PreciseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &ClockWindow::wake);
    connect(&m_wallClock, &WallClockWatch::changed, this, [this] {
        if (m_running)
            wake();
        emit wallClockChanged();
    });
    // The face moves on between the strokes of a counting chime.
    connect(&m_chimes, &Chimes::strokeEnded, this, &ClockWindow::tick);
    apply(FaceUpdate { true, m_timepiece.face().background(), {}, {} });
}

void ClockWindow::activateSkin(const QString& name)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    apply(m_timepiece.activateSkin(name));
    QGuiApplication::restoreOverrideCursor();
}

void ClockWindow::showTwelveHour()
{
    apply(m_timepiece.placeTymeTime());
    tick();
}

void ClockWindow::showLock()
{
    m_commands.action(Command::UnlockPosition)->setVisible(m_settings->lockPosition);
}

void ClockWindow::start()
{
    // A position saved on a screen that is gone comes back onto one.
    const QPoint onScreen
        = WindowPlacement::bringOnScreen(geometry(), DesktopIntegration::screenRects());
    if (onScreen != pos())
        move(onScreen);
    keepOnTop(this, m_settings->onTop);
    showLock();
    m_tray.show(QString());
    m_composited = DesktopIntegration::composited();
    // The face is drawn before the window maps, so its first frame already shows the time.
    tick();
    showClock();
    m_running = true;
    DesktopIntegration::watchCompositor(this, [this] { compositorChanged(); });
    aim();
}

void ClockWindow::shutDown()
{
    m_running = false;
    m_ticker.stop();
    m_chimes.stop();
    m_tray.remove();
}

void ClockWindow::tick()
{
    // The screen, and so the device-pixel ratio, may have changed since the last tick.
    m_timepiece.face().setDevicePixelRatio(devicePixelRatioF());
    m_timepiece.face().setSoftEdges(m_composited);
    apply(m_timepiece.tick(seen()));
    m_chimes.approachHour();
}

void ClockWindow::wake()
{
    tick();
    aim();
}

void ClockWindow::aim()
{
    if (!m_running)
        return;
    m_aimedMs = m_timepiece.msToNextTick(seen(), DesktopIntegration::refreshPeriodMs());
    m_ticker.start(m_aimedMs);
}

void ClockWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Hidden, it drew nothing: the face is brought up to date before it is seen.
    if (m_running)
        wake();
}

void ClockWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    aim();
}

void ClockWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_running)
        return;
    if (seen())
        wake();
    else
        aim();
}

void ClockWindow::compositorChanged()
{
    if (const bool now = DesktopIntegration::composited(); now != m_composited) {
        qCDebug(lcMain) << (now ? "a compositing manager came" : "the compositing manager went");
        m_composited = now;
        tick();
    }
}

void ClockWindow::apply(const FaceUpdate& update)
{
    // Frames of an animation mostly share one outline: the X server need not hear it again. A
    // new picture or a screen of another device-pixel ratio changes it.
    const ClockFace& face = m_timepiece.face();
    if (face.screenOutline() != m_outline || !m_outlineApplied) {
        m_outline = face.screenOutline();
        WindowShape::apply(this, m_outline, face.devicePixelRatio());
        m_outlineApplied = true;
    }
    if (update.background) {
        const QSize size = update.background->picture.size();
        if (this->size() != size)
            setFixedSize(size);
        const QScreen* screen = this->screen();
        const QPoint kept = WindowPlacement::keepOnScreen(
            QRect(pos(), size), screen ? screen->geometry() : QRect());
        if (kept != pos()) {
            qCDebug(lcMain) << "window moved onto the screen:" << pos() << "->" << kept;
            move(kept);
        }
    }
    if (update.trayTip)
        m_tray.setTip(*update.trayTip);
    if (update.background)
        this->update();
    else if (update.redrawn)
        // Only where the hands were and are: the X server is sent that much of the face. Painted
        // at once, as a posted request would wake the clock a second time for each frame.
        m_timepiece.face().changed().isEmpty() ? this->repaint()
                                               : this->repaint(m_timepiece.face().changed());
    if (update.chimeHour)
        m_chimes.playChime(*update.chimeHour, HourEvent::OnTheHour, m_timepiece.skinChimes());
    if (update.skinChanged)
        emit skinActivated();
}

void ClockWindow::keepOnTop(QWidget* window, bool onTop)
{
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        const Qt::WindowFlags flags
            = window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
        if (QWindow* handle = window->windowHandle()) {
            // Changed on the native window in place: QWidget::setWindowFlags would hide the
            // window and forget where it was.
            window->overrideWindowFlags(flags);
            handle->setFlags(flags);
        } else {
            window->setWindowFlags(flags);
        }
    }
    if (onTop && window->isVisible())
        window->raise();
}

QPoint ClockWindow::savedPosition()
{
    // After a window manager has reparented the window, Qt may still think it is where it was
    // first mapped; the saved place must be the real one.
    if (isVisible()) {
        if (const auto real = DesktopIntegration::windowPosition(this); real && *real != pos()) {
            qCDebug(lcMain) << "window is at" << *real << "not" << pos();
            move(*real);
        }
    }
    return pos();
}

void ClockWindow::paintEvent(QPaintEvent* event)
{
    if (!m_firstFrameLogged) {
        m_firstFrameLogged = true;
        // Two files read only when the line is wanted.
        if (const std::optional<qint64> ms
            = lcMain().isDebugEnabled() ? msSinceProcessStart() : std::nullopt)
            qCDebug(lcMain).nospace() << "first frame " << *ms << " ms after start";
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    WindowShape::clip(painter, event, m_outline, m_timepiece.face().devicePixelRatio());
    PictureScaling::drawInBands(painter, QPointF(0, 0), m_timepiece.face().buffer());
}

void ClockWindow::keyPressEvent(QKeyEvent* event)
{
    m_commands.run(HotKeys::command(event->key(), event->modifiers()));
}

void ClockWindow::run(Command command)
{
    switch (command) {
    case Command::None:
        return;
    case Command::Close:
        emit closeRequested();
        return;
    case Command::StopChime:
        m_chimes.stop();
        return;
    case Command::ShowMenu: {
        // Centred under the window.
        const QPoint below = mapToGlobal(QPoint(width() / 2, height()));
        m_menu.popup(below - QPoint(m_menu.sizeHint().width() / 2, 0));
        return;
    }
    case Command::ToggleVisible:
        toggleVisible();
        return;
    case Command::Chime:
        m_chimes.playChime(twelveHourNow(), HourEvent::Forced, m_timepiece.skinChimes());
        return;
    case Command::ChangeBackground:
        apply(m_timepiece.changeBackground(twelveHourNow(), HourEvent::Forced));
        return;
    case Command::ToggleScroll:
        m_settings.set(&Settings::scroll, !m_settings->scroll);
        return;
    case Command::ToggleLock:
        m_settings.set(&Settings::lockPosition, !m_settings->lockPosition);
        return;
    case Command::UnlockPosition:
        m_settings.set(&Settings::lockPosition, false);
        return;
    case Command::ShowAbout:
    case Command::ShowOptions:
    case Command::ToggleWorldTime:
    case Command::ChangeTime:
        // Their windows' owners act on these.
        return;
    }
}

int ClockWindow::twelveHourNow() const
{
    const QTime now = m_clock.now().time();
    return TimeText::twelveHour(now.isValid() ? now.hour() : 0);
}

void ClockWindow::mousePressEvent(QMouseEvent* event)
{
    switch (event->button()) {
    case Qt::LeftButton: {
        // The pointer tells where the window really is; Qt's idea of it can be stale.
        const QPoint real = (event->globalPosition() - event->position()).toPoint();
        if (real != pos())
            move(real);
        m_drag.press(event->button(), event->modifiers(), event->globalPosition().toPoint(), pos(),
            m_settings->lockPosition);
        // Where clients cannot place their windows, the compositor moves it (unclamped).
        if (m_drag.dragging() && !DesktopIntegration::clientPlacesWindows() && windowHandle()) {
            m_drag.release();
            windowHandle()->startSystemMove();
        }
        break;
    }
    case Qt::RightButton:
        m_menu.popup(event->globalPosition().toPoint());
        break;
    case Qt::MiddleButton:
        m_commands.run(Command::ToggleWorldTime);
        break;
    default:
        break;
    }
}

void ClockWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pointer = event->globalPosition().toPoint();
    const QRect screen = WindowPlacement::screenAt(pointer, DesktopIntegration::screenRects());
    if (const auto to = m_drag.move(event->buttons(), pointer, geometry(), screen))
        move(*to);
}

void ClockWindow::mouseReleaseEvent(QMouseEvent*)
{
    if (m_drag.dragging())
        m_settings.set(&Settings::position, pos());
    m_drag.release();
}

void ClockWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4 on most desktops) ends the clock like Ctrl+Q; the
    // closing sequence decides when the window goes.
    event->ignore();
    emit closeRequested();
}

void ClockWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!Installations::droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ClockWindow::dropEvent(QDropEvent* event)
{
    const QStringList files = Installations::droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    emit filesDropped(files);
}

void ClockWindow::toggleVisible()
{
    if (isVisible())
        hide();
    else
        showClock();
}

void ClockWindow::bringForward()
{
    if (!isVisible())
        showClock();
    raise();
    activateWindow();
}

void ClockWindow::showClock()
{
    if (!testAttribute(Qt::WA_WState_Created) || !isVisible())
        DesktopIntegration::keepOffTaskbar(this);
    show();
}
