#include "ui/clock/Form1.h"

#include "core/base/Logging.h"
#include "core/base/Twips.h"
#include "ui/clock/DesktopIntegration.h"
#include "core/settings/SettingsStore.h"
#include "core/shape/PictureScaling.h"
#include "ui/clock/WindowShape.h"
#include "core/skin/BuiltInSkin.h"
#include "ui/audio/QtSoundOutput.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <ctime>
#include <optional>

#include <unistd.h>

namespace {

// Milliseconds since this process started (Linux: its start time in /proc, in clock ticks since
// boot), for the start-up figure in the log.
std::optional<qint64> msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces and parentheses: the fields are counted after its end.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int startTimeField = 22 - 3;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    timespec boot {};
    if (fields.size() <= startTimeField || ticksPerSecond <= 0
        || clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return std::nullopt;
    bool ok = false;
    const qint64 startTicks = fields[startTimeField].toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const qint64 nowMs = qint64(boot.tv_sec) * 1000 + boot.tv_nsec / 1000000;
    return nowMs - startTicks * 1000 / ticksPerSecond;
}

} // namespace

Form1::Form1(
    HorolanState& state, const Clock& clock, SettingsStore* store, Roots roots, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_clock(clock)
    , m_store(store)
    , m_roots(std::move(roots))
    , m_tick(state, clock, *this)
    , m_skins(state, clock, m_roots, m_random, *this)
    , m_chimes(
          state, clock, m_roots, m_random,
          [this]() -> SoundOutput& {
              // Made at the first chime: a ticking clock does not pay for the audio stack.
              if (!m_sound)
                  m_sound = std::make_unique<QtSoundOutput>();
              return *m_sound;
          },
          *this)
    , imgIcon(TrayIcon::clockIcon())
    , m_saver([this] { saveInfo(); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Horolan"));
    setWindowIcon(imgIcon);
    // A desktop clock is a utility: no frame, no task bar entry.
    setWindowFlag(Qt::Tool, true);
    WindowShape::prepare(this);
    setFocusPolicy(Qt::StrongFocus);

    // The tick starts at 100 ms; its first run sets the interval from Speed.
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    connect(&m_stuff, &frmStuff::unlockPositionChosen, this, [this] { setLockPos(false); });
    connect(&m_stuff, &frmStuff::exitChosen, this, &Form1::closeClock);
    connect(&m_tray, &TrayIcon::leftPressed, this, [this] {
        if (isVisible()) {
            raise();
            activateWindow();
        }
    });
    connect(&m_tray, &TrayIcon::doubleClicked, this, &Form1::toggleVisible);
    connect(&m_tray, &TrayIcon::rightPressed, this, &Form1::popupMenu);

    setPicture(BuiltInSkin::picture());
}

Form1::~Form1() = default;

void Form1::Form_Load()
{
    setPicture(BuiltInSkin::picture());
    if (m_store)
        Settings::LoadInfo(*m_store, m_state, *this);
    else
        ActivateSkin(builtInSkinName);
    // A position saved on a screen that is gone comes back onto one.
    const QPoint onScreen = Dragging::bringOnScreen(geometry(), screenRects());
    if (onScreen != pos())
        move(onScreen);
    AlwaysOnTop(this, m_state.ontop);
    m_stuff.mnuUnlockPosition->setVisible(m_state.LockPos);
    m_tray.SetTrayIcon(TrayIcon::Action::Add, imgIcon, QStringLiteral("Starting"));
    m_tray.SetTrayIcon(TrayIcon::Action::Modify, imgIcon, QString());
}

void Form1::closeClock()
{
    if (m_closing)
        return;
    m_closing = true;
    qCInfo(lcMain) << "closing";
    Timer1.stop();
    // A counting chime sees closing() and ends before its next stroke; cut the one playing now.
    m_chimes.stopChime();
    if (m_store) {
        // A save still waiting for its delay is this one.
        if (m_saver.isPending())
            m_saver.flush();
        else
            saveInfo();
    }
    m_tray.SetTrayIcon(TrayIcon::Action::Delete, QIcon(), QString());
    QCoreApplication::exit(0);
}

void Form1::showClock()
{
    if (!testAttribute(Qt::WA_WState_Created) || !isVisible())
        DesktopIntegration::keepOffTaskbar(this);
    show();
}

QImage& Form1::faceBuffer()
{
    // The screen (and so the device-pixel ratio) may have changed since the last tick.
    if (!qFuzzyCompare(m_buffer.devicePixelRatio(), devicePixelRatioF()))
        remakeBuffer();
    return m_buffer;
}

void Form1::SetTrayTip(const QString& tip)
{
    // The tick asks on every run of three whole seconds a minute: pass on only a new text.
    if (tip == m_lastTip)
        return;
    m_lastTip = tip;
    qCDebug(lcMain).noquote() << "tray tip:" << TrayIcon::tipText(tip);
    m_tray.SetTrayIcon(TrayIcon::Action::Modify, QIcon(), tip);
}

void Form1::ChangeBack(std::uint8_t hur, bool anyWay)
{
    m_skins.ChangeBack(hur, anyWay);
}

void Form1::PlayChime(std::uint8_t hur, bool playAnyWay)
{
    m_chimes.PlayChime(hur, playAnyWay);
}

void Form1::processEvents()
{
    QCoreApplication::processEvents();
}

double Form1::topTwips() const
{
    return Twips::fromPixels(y());
}

double Form1::leftTwips() const
{
    return Twips::fromPixels(x());
}

void Form1::setTopTwips(double twips)
{
    move(x(), int(std::lround(Twips::toPixels(twips))));
}

void Form1::setLeftTwips(double twips)
{
    move(int(std::lround(Twips::toPixels(twips))), y());
}

void Form1::showWorldTime()
{
    qCDebug(lcMain) << "the world time window is not there yet";
}

void Form1::ActivateSkin(const QString& name)
{
    m_skins.ActivateSkin(name);
}

void Form1::ActivateSP(const QString& name)
{
    m_chimes.ActivateSP(name);
}

void Form1::AlwaysOnTop(QWidget* frmForm, bool fOnTop)
{
    if (frmForm->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == fOnTop)
        return;
    const Qt::WindowFlags flags = frmForm->windowFlags().setFlag(Qt::WindowStaysOnTopHint, fOnTop);
    if (QWindow* window = frmForm->windowHandle()) {
        // Changed on the native window in place: QWidget::setWindowFlags would hide the window
        // and forget where it was.
        frmForm->overrideWindowFlags(flags);
        window->setFlags(flags);
    } else {
        frmForm->setWindowFlags(flags);
    }
}

void Form1::setPicture(const QImage& picture)
{
    imgTempBack = picture;
    remakeBuffer();
}

void Form1::setOutline(const QRegion& region, QRgb key)
{
    // Frames of an animation mostly share one outline: the X server need not hear it again.
    if (region != m_outline || !m_outlineApplied) {
        m_outline = region;
        WindowShape::apply(this, region);
        m_outlineApplied = true;
    }
    if (key != m_key) {
        m_key = key;
        remakeBuffer();
    }
    update();
}

QRect Form1::screenGeometry() const
{
    const QScreen* screen = this->screen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

void Form1::setBusy(bool busy)
{
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void Form1::paintEvent(QPaintEvent* event)
{
    if (!m_firstFrameLogged) {
        m_firstFrameLogged = true;
        if (const std::optional<qint64> ms = msSinceProcessStart())
            qCDebug(lcMain).nospace() << "first frame " << *ms << " ms after start";
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(m_outline.intersected(event->region()));
    painter.drawImage(QPointF(0, 0), m_buffer);
}

void Form1::keyPressEvent(QKeyEvent* event)
{
    const HotKeys::Action action = HotKeys::action(event->key(), event->modifiers());
    qCDebug(lcMain) << "key" << event->key() << event->modifiers() << "->" << action;
    runHotKey(action);
}

void Form1::runHotKey(HotKeys::Action action)
{
    using A = HotKeys::Action;
    switch (action) {
    case A::None:
        return;
    case A::Close:
        closeClock();
        return;
    case A::StopChime:
        m_chimes.stopChime();
        return;
    case A::PopupMenu: {
        // Centred under the window.
        const QPoint below = mapToGlobal(QPoint(width() / 2, height()));
        popupMenu(below - QPoint(m_stuff.mnuMain.sizeHint().width() / 2, 0));
        return;
    }
    case A::ToggleVisible:
        toggleVisible();
        return;
    case A::Chime:
        PlayChime(HotKeys::hour(m_clock.now().time()), true);
        return;
    case A::ChangeBack:
        ChangeBack(HotKeys::hour(m_clock.now().time()), true);
        return;
    case A::ToggleScroll:
        m_state.Scroll = !m_state.Scroll;
        requestSave();
        return;
    case A::ToggleLock:
        setLockPos(!m_state.LockPos);
        return;
    case A::ShowAbout:
    case A::ShowOptions:
    case A::ToggleWorldTime:
        qCDebug(lcMain) << action << "arrives with its window";
        return;
    }
}

void Form1::mousePressEvent(QMouseEvent* event)
{
    switch (event->button()) {
    case Qt::LeftButton: {
        // The pointer tells where the window really is; Qt's idea of it can be stale.
        const QPoint real = (event->globalPosition() - event->position()).toPoint();
        if (real != pos())
            move(real);
        m_drag.press(
            event->button(), event->modifiers(), event->position().toPoint(), m_state.LockPos);
        // Where clients cannot place their windows, the compositor moves it (unclamped).
        if (m_drag.dragging() && !DesktopIntegration::clientPlacesWindows() && windowHandle()) {
            m_drag.release();
            windowHandle()->startSystemMove();
        }
        break;
    }
    case Qt::RightButton:
        popupMenu(event->globalPosition().toPoint());
        break;
    case Qt::MiddleButton:
        runHotKey(HotKeys::Action::ToggleWorldTime);
        break;
    default:
        break;
    }
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    const QRect screen = Dragging::screenAt(event->globalPosition().toPoint(), screenRects());
    if (const auto to
        = m_drag.move(event->buttons(), event->position().toPoint(), geometry(), screen))
        move(*to);
}

void Form1::mouseReleaseEvent(QMouseEvent*)
{
    if (m_drag.dragging())
        requestSave();
    m_drag.release();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4 on most desktops) ends the clock like Ctrl+Q.
    event->accept();
    closeClock();
}

void Form1::setLockPos(bool locked)
{
    m_state.LockPos = locked;
    m_stuff.mnuUnlockPosition->setVisible(locked);
    requestSave();
}

void Form1::toggleVisible()
{
    if (isVisible())
        hide();
    else
        showClock();
}

void Form1::popupMenu(QPoint globalPos)
{
    m_stuff.mnuMain.popup(globalPos);
}

void Form1::saveInfo()
{
    if (!m_store)
        return;
    syncPosition();
    Settings::SaveInfo(*m_store, m_state, *this);
}

void Form1::syncPosition()
{
    // After a window manager has reparented the window, Qt may still think it is where it was
    // first mapped; the saved place must be the real one.
    if (!isVisible())
        return;
    const auto real = DesktopIntegration::windowPosition(this);
    if (real && *real != pos()) {
        qCDebug(lcMain) << "window is at" << *real << "not" << pos();
        move(*real);
    }
}

void Form1::requestSave()
{
    if (m_store && !m_closing)
        m_saver.requestSave();
}

void Form1::remakeBuffer()
{
    // The buffer has the screen's resolution, so hands and texts are drawn at device pixels; the
    // picture is scaled once here, and each tick only copies it.
    const qreal dpr = devicePixelRatioF();
    m_tempBackScaled = PictureScaling::scaledForScreen(imgTempBack, dpr, m_key);
    const QSize pixels
        = imgTempBack.isNull() ? QSize(1, 1) : (QSizeF(imgTempBack.size()) * dpr).toSize();
    m_buffer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_buffer.setDevicePixelRatio(dpr);
    m_buffer.fill(Qt::transparent);
    QPainter painter(&m_buffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), m_tempBackScaled);
}

QList<QRect> Form1::screenRects() const
{
    QList<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens())
        rects << screen->geometry();
    return rects;
}
