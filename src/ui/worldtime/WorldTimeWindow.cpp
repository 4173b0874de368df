#include "ui/worldtime/WorldTimeWindow.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/face/Timepiece.h"
#include "core/face/Wakeups.h"
#include "core/settings/UserSettings.h"
#include "ui/clock/DesktopIntegration.h"

WorldTimeWindow::WorldTimeWindow(UserSettings& settings, const Timepiece& timepiece,
    const Clock& clock, Random& random, ClockCommands& commands, QMenu& menu, QWidget* parent)
    : DraggableWindow(settings, commands, menu, &Settings::worldTimePosition,
        HotKeys::Window::WorldTime, Command::ToggleScroll, parent)
    , m_timepiece(timepiece)
    , m_clock(clock)
    , m_random(random)
{
    setObjectName(QStringLiteral("worldtime"));
    setWindowTitle(QStringLiteral("The World Time Table"));
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
    placeOnScreen(settings()->worldTimePosition);
    DesktopIntegration::keepOnTop(this, settings()->onTop);
    if (!testAttribute(Qt::WA_WState_Created))
        DesktopIntegration::keepOffTaskbar(this);
    // The first frame already shows the dials.
    m_board.tick(settings()->worldTimes, m_clock.now(), false);
    describe();
    show();
    DesktopIntegration::keepOnTop(this, settings()->onTop);
    aim();
    qCDebug(lcWorldTime) << "world time window opened at" << pos();
}

void WorldTimeWindow::closeWindow()
{
    if (!isVisible())
        return;
    storePlace();
    m_ticker.stop();
    m_nextMinute.stop();
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
    resizeOnScreen(m_board.background().picture.size());
    fitOutline();
    m_board.tick(settings()->worldTimes, m_clock.now(), false);
    update();
}

void WorldTimeWindow::fitOutline()
{
    setOutline(m_board.screenOutline(), m_board.devicePixelRatio());
}

void WorldTimeWindow::tick()
{
    if (m_board.setDevicePixelRatio(devicePixelRatioF()))
        fitOutline();
    m_board.tick(settings()->worldTimes, m_clock.now(), settings()->scroll);
    update(m_board.box().toAlignedRect());
    describe();
}

void WorldTimeWindow::refresh()
{
    if (!isVisible())
        return;
    if (m_board.setDevicePixelRatio(devicePixelRatioF()))
        fitOutline();
    m_board.tick(settings()->worldTimes, m_clock.now(), false);
    update(m_board.box().toAlignedRect());
    describe();
    aim();
}

void WorldTimeWindow::describe()
{
    const QDateTime now = m_clock.now();
    const qint64 minute = now.toSecsSinceEpoch() / 60;
    if (minute == m_describedMinute && settings()->worldTimes == m_describedEntries)
        return;
    m_describedMinute = minute;
    m_describedEntries = settings()->worldTimes;
    // Each change is also sent to the accessibility bridge: only a new text is set.
    const QString spoken = m_board.spokenTimes(m_describedEntries, now);
    if (spoken != accessibleDescription())
        setAccessibleDescription(spoken);
}

void WorldTimeWindow::aim()
{
    const bool scrolling
        = isVisible() && settings()->scroll && !settings()->worldTimes.isEmpty() && !dragging();
    if (scrolling) {
        m_nextMinute.stop();
        if (!m_ticker.isActive())
            m_ticker.start();
        return;
    }
    m_ticker.stop();
    // The dials show minutes: one standing still is drawn again when the next one begins.
    if (isVisible() && !settings()->worldTimes.isEmpty() && !dragging())
        m_nextMinute.start(Wakeups::msToNextMinute(m_clock.now().time()));
    else
        m_nextMinute.stop();
}

void WorldTimeWindow::paintEvent(QPaintEvent* event)
{
    paintPicture(event, m_board.buffer());
}
