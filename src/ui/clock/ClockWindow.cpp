#include "ui/clock/ClockWindow.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/chimes/Chimes.h"
#include "core/face/TimeText.h"
#include "core/face/Timepiece.h"
#include "core/settings/UserSettings.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/install/Installations.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>

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
    const Clock& clock, ClockCommands& commands, QMenu& menu, QWidget* parent)
    : DraggableWindow(settings, commands, menu, &Settings::position, HotKeys::Window::Clock,
        Command::ToggleWorldTime, parent)
    , m_timepiece(timepiece)
    , m_chimes(chimes)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("clock"));
    setWindowTitle(QStringLiteral("Horolan"));
    // A screen reader names the clock, and its description is the time (see apply()).
    setAccessibleName(QStringLiteral("Horolan"));
    setWindowIcon(TrayIcon::clockIcon());
    // A skin or sound pack dropped on the clock is installed.
    setAcceptDrops(true);

    connect(&m_tray, &TrayIcon::leftPressed, this, [this] {
        if (isVisible()) {
            raise();
            activateWindow();
        }
    });
    connect(&m_tray, &TrayIcon::doubleClicked, this, &ClockWindow::toggleVisible);
    connect(&m_tray, &TrayIcon::rightPressed, this, [this](QPoint at) { this->menu().popup(at); });

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
    apply(FaceUpdate { true, m_timepiece.face().background(), {}, {}, {} });
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
    commands().action(Command::UnlockPosition)->setVisible(settings()->lockPosition);
}

void ClockWindow::start()
{
    // A position saved on a screen that is gone comes back onto one.
    placeOnScreen(pos());
    DesktopIntegration::keepOnTop(this, settings()->onTop);
    showLock();
    m_tray.show(QString());
    m_composited = DesktopIntegration::composited();
    // Sized and cut before the window maps; running by then, so that showing it draws the
    // face and the first frame already has its hands (a hidden clock draws nothing).
    tick();
    m_running = true;
    showClock();
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

bool ClockWindow::event(QEvent* event)
{
    const bool handled = DraggableWindow::event(event);
    const QEvent::Type type = event->type();
    // Hidden, it drew nothing: the face is brought up to date before it is seen.
    if (m_running
        && (type == QEvent::Show || type == QEvent::Hide || type == QEvent::WindowStateChange))
        seen() ? wake() : aim();
    return handled;
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
    // A new picture or a screen of another device-pixel ratio changes the outline.
    setOutline(m_timepiece.face().screenOutline(), m_timepiece.face().devicePixelRatio());
    if (update.background)
        resizeOnScreen(update.background->picture.size());
    if (update.trayTip)
        m_tray.setTip(*update.trayTip);
    // Each change is also sent to the accessibility bridge: only a new text is set.
    if (update.spokenTime && *update.spokenTime != accessibleDescription())
        setAccessibleDescription(*update.spokenTime);
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

void ClockWindow::paintEvent(QPaintEvent* event)
{
    if (!m_firstFrameLogged) {
        m_firstFrameLogged = true;
        // Two files read only when the line is wanted.
        if (const std::optional<qint64> ms
            = lcMain().isDebugEnabled() ? msSinceProcessStart() : std::nullopt)
            qCDebug(lcMain).nospace() << "first frame " << *ms << " ms after start";
    }
    paintPicture(event, m_timepiece.face().buffer());
}

void ClockWindow::chimeNow()
{
    m_chimes.playChime(twelveHourNow(), HourEvent::Forced, m_timepiece.skinChimes());
}

void ClockWindow::changeBackground()
{
    apply(m_timepiece.changeBackground(twelveHourNow(), HourEvent::Forced));
}

int ClockWindow::twelveHourNow() const
{
    const QTime now = m_clock.now().time();
    return TimeText::twelveHour(now.isValid() ? now.hour() : 0);
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
    if (isVisible()) {
        storePlace();
        hide();
    } else
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
