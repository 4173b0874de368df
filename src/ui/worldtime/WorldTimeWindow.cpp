#include "ui/worldtime/WorldTimeWindow.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/face/Timepiece.h"
#include "core/face/Wakeups.h"
#include "core/settings/UserSettings.h"
#include "core/shape/PictureScaling.h"
#include "ui/clock/ClockWindow.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/clock/WindowShape.h"
#include "ui/commands/ClockCommands.h"
#include "ui/commands/HotKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QWindow>

WorldTimeWindow::WorldTimeWindow(UserSettings& settings, const Timepiece& timepiece,
    const Clock& clock, Random& random, ClockCommands& commands, QMenu& menu, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_timepiece(timepiece)
    , m_clock(clock)
    , m_random(random)
    , m_commands(commands)
    , m_menu(menu)
{
    setObjectName(QStringLiteral("worldtime"));
    setWindowTitle(QStringLiteral("The World Time Table"));
    setWindowFlag(Qt::Tool, true);
    WindowShape::prepare(this);
    setFocusPolicy(Qt::StrongFocus);
    m_ticker.setInterval(100);
    connect(&m_ticker, &QTimer::timeout, this, &WorldTimeWindow::tick);
    m_nextMinute.setSingleShot(true);
    m_nextMinute.setTimerType(Qt::PreciseTimer);
    connect(&m_nextMinute, &QTimer::timeout, this, &WorldTimeWindow::refresh);
}

void WorldTimeWindow::open()
{
    if (isVisible())
        return;
    updateSkin();
    const QPoint stored = m_settings->worldTimePosition;
    move(WindowPlacement::bringOnScreen(QRect(stored, size()), DesktopIntegration::screenRects()));
    ClockWindow::keepOnTop(this, m_settings->onTop);
    if (!testAttribute(Qt::WA_WState_Created))
        DesktopIntegration::keepOffTaskbar(this);
    // The first frame already shows the dials.
    m_board.tick(m_settings->worldTimes, m_clock.now(), false);
    show();
    ClockWindow::keepOnTop(this, m_settings->onTop);
    aim();
    qCDebug(lcWorldTime) << "world time window opened at" << pos();
}

void WorldTimeWindow::closeWindow()
{
    if (!isVisible())
        return;
    m_settings.set(&Settings::worldTimePosition, savedPosition());
    m_ticker.stop();
    m_nextMinute.stop();
    m_drag.release();
    hide();
}

void WorldTimeWindow::updateSkin()
{
    m_random.seed(m_clock.secondsSinceMidnight());
    const QString folder
        = m_timepiece.skinName() == builtInSkinName ? QString() : m_timepiece.skinFolder();
    m_board.applySkin(
        folder, m_timepiece.worldTimeSkin(), m_timepiece.skin().transparent, m_random);
    m_board.setDevicePixelRatio(devicePixelRatioF());
    const Background& background = m_board.background();
    setFixedSize(background.picture.size());
    WindowShape::apply(this, m_board.screenOutline(), m_board.devicePixelRatio());
    // Kept on the screen at the right and bottom, as the clock is after a new picture.
    if (const QScreen* screen = this->screen()) {
        const QPoint kept = WindowPlacement::keepOnScreen(QRect(pos(), size()), screen->geometry());
        if (kept != pos())
            move(kept);
    }
    m_board.tick(m_settings->worldTimes, m_clock.now(), false);
    update();
}

QPoint WorldTimeWindow::savedPosition()
{
    if (!isVisible())
        return m_settings->worldTimePosition;
    if (const auto real = DesktopIntegration::windowPosition(this); real && *real != pos())
        move(*real);
    return pos();
}

void WorldTimeWindow::tick()
{
    if (m_board.setDevicePixelRatio(devicePixelRatioF()))
        WindowShape::apply(this, m_board.screenOutline(), m_board.devicePixelRatio());
    m_board.tick(m_settings->worldTimes, m_clock.now(), m_settings->scroll);
    update(m_board.box().toAlignedRect());
}

void WorldTimeWindow::refresh()
{
    if (!isVisible())
        return;
    m_board.setDevicePixelRatio(devicePixelRatioF());
    m_board.tick(m_settings->worldTimes, m_clock.now(), false);
    update(m_board.box().toAlignedRect());
    aim();
}

void WorldTimeWindow::aim()
{
    const bool scrolling = isVisible() && m_settings->scroll && !m_settings->worldTimes.isEmpty()
        && !m_drag.dragging();
    if (scrolling) {
        m_nextMinute.stop();
        if (!m_ticker.isActive())
            m_ticker.start();
        return;
    }
    m_ticker.stop();
    // The dials show minutes: one standing still is drawn again when the next one begins.
    if (isVisible() && !m_settings->worldTimes.isEmpty() && !m_drag.dragging())
        m_nextMinute.start(Wakeups::msToNextMinute(m_clock.now().time()));
    else
        m_nextMinute.stop();
}

void WorldTimeWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    WindowShape::clip(painter, event, m_board.screenOutline(), m_board.devicePixelRatio());
    PictureScaling::drawInBands(painter, QPointF(0, 0), m_board.buffer());
}

void WorldTimeWindow::keyPressEvent(QKeyEvent* event)
{
    const Command command = HotKeys::command(event->key(), event->modifiers());
    switch (command) {
    case Command::ShowMenu: {
        // Centred under this window.
        const QPoint below = mapToGlobal(QPoint(width() / 2, height()));
        m_menu.popup(below - QPoint(m_menu.sizeHint().width() / 2, 0));
        return;
    }
    case Command::ShowAbout:
    case Command::Close:
    case Command::ShowOptions:
    case Command::ToggleWorldTime:
    case Command::ToggleScroll:
    case Command::ToggleLock:
        m_commands.run(command);
        return;
    default:
        // The clock's other keys (M, C, B, X) are not this window's.
        return;
    }
}

void WorldTimeWindow::mousePressEvent(QMouseEvent* event)
{
    switch (event->button()) {
    case Qt::LeftButton:
        m_drag.press(event->button(), event->modifiers(), event->globalPosition().toPoint(),
            (event->globalPosition() - event->position()).toPoint(), m_settings->lockPosition);
        // The dials stand still while the window moves.
        if (m_drag.dragging()) {
            aim();
            if (!DesktopIntegration::clientPlacesWindows() && windowHandle()) {
                m_drag.release();
                windowHandle()->startSystemMove();
                aim();
            }
        }
        break;
    case Qt::RightButton:
        m_menu.popup(event->globalPosition().toPoint());
        break;
    case Qt::MiddleButton:
        m_commands.run(Command::ToggleScroll);
        break;
    default:
        break;
    }
}

void WorldTimeWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pointer = event->globalPosition().toPoint();
    const QRect screen = WindowPlacement::screenAt(pointer, DesktopIntegration::screenRects());
    if (const auto to = m_drag.move(event->buttons(), pointer, geometry(), screen))
        move(*to);
}

void WorldTimeWindow::mouseReleaseEvent(QMouseEvent*)
{
    if (m_drag.dragging()) {
        m_drag.release();
        m_settings.set(&Settings::worldTimePosition, pos());
    }
    if (isVisible())
        aim();
}

void WorldTimeWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) ends the clock, as on the clock itself.
    event->ignore();
    m_commands.run(Command::Close);
}
