#include "ui/clock/DraggableWindow.h"

#include "core/base/Logging.h"
#include "core/settings/UserSettings.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/commands/ClockCommands.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

DraggableWindow::DraggableWindow(UserSettings& settings, ClockCommands& commands, QMenu& menu,
    QPoint Settings::*place, HotKeys::Window keys, Command middleButton, QWidget* parent)
    : ShapedWindow(parent)
    , m_settings(settings)
    , m_commands(commands)
    , m_menu(menu)
    , m_place(place)
    , m_keys(keys)
    , m_middleButton(middleButton)
{
    // A desktop clock is a utility: no frame, no task bar entry.
    setWindowFlag(Qt::Tool, true);
    setFocusPolicy(Qt::StrongFocus);
}

void DraggableWindow::popUpMenuBelow()
{
    const QPoint below = mapToGlobal(QPoint(width() / 2, height()));
    m_menu.popup(below - QPoint(m_menu.sizeHint().width() / 2, 0));
}

void DraggableWindow::storePlace()
{
    if (!isVisible())
        return;
    // After a window manager has reparented the window, Qt may still think it is where it was
    // first mapped; the place stored must be the real one.
    if (const auto real = DesktopIntegration::windowPosition(this); real && *real != pos()) {
        qCDebug(lcMain) << objectName() << "is at" << *real << "not" << pos();
        move(*real);
    }
    m_settings.set(m_place, pos());
}

void DraggableWindow::placeOnScreen(QPoint wanted)
{
    const QPoint onScreen
        = WindowPlacement::bringOnScreen(QRect(wanted, size()), DesktopIntegration::screenRects());
    if (onScreen != pos())
        move(onScreen);
}

void DraggableWindow::resizeOnScreen(QSize size)
{
    if (this->size() != size)
        setFixedSize(size);
    const QScreen* screen = this->screen();
    const QPoint kept
        = WindowPlacement::keepOnScreen(QRect(pos(), size), screen ? screen->geometry() : QRect());
    if (kept != pos()) {
        qCDebug(lcMain) << objectName() << "moved onto the screen:" << pos() << "->" << kept;
        move(kept);
    }
}

void DraggableWindow::keyPressEvent(QKeyEvent* event)
{
    m_commands.run(HotKeys::command(event->key(), event->modifiers(), m_keys));
}

void DraggableWindow::mousePressEvent(QMouseEvent* event)
{
    switch (event->button()) {
    case Qt::LeftButton: {
        // The pointer tells where the window really is; Qt's idea of it can be stale.
        const QPoint real = (event->globalPosition() - event->position()).toPoint();
        if (real != pos())
            move(real);
        m_drag.press(event->button(), event->modifiers(), event->globalPosition().toPoint(), pos(),
            m_settings->lockPosition);
        if (!m_drag.dragging())
            break;
        // Where clients cannot place their windows, the compositor moves it (unclamped).
        if (!DesktopIntegration::clientPlacesWindows() && windowHandle()) {
            m_drag.release();
            windowHandle()->startSystemMove();
        }
        dragChanged();
        break;
    }
    case Qt::RightButton:
        m_menu.popup(event->globalPosition().toPoint());
        break;
    case Qt::MiddleButton:
        m_commands.run(m_middleButton);
        break;
    default:
        break;
    }
}

void DraggableWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pointer = event->globalPosition().toPoint();
    const QRect screen = WindowPlacement::screenAt(pointer, DesktopIntegration::screenRects());
    if (const auto to = m_drag.move(event->buttons(), pointer, geometry(), screen))
        move(*to);
}

void DraggableWindow::mouseReleaseEvent(QMouseEvent*)
{
    if (!m_drag.dragging())
        return;
    m_drag.release();
    m_settings.set(m_place, pos());
    dragChanged();
}

void DraggableWindow::hideEvent(QHideEvent* event)
{
    ShapedWindow::hideEvent(event);
    m_drag.release();
}

void DraggableWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    m_commands.run(Command::Close);
}
