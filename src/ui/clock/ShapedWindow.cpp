#include "ui/clock/ShapedWindow.h"

#include "core/shape/PictureScaling.h"
#include "ui/clock/WindowShape.h"

#include <QPaintEvent>
#include <QPainter>

ShapedWindow::ShapedWindow(QWidget* parent)
    : QWidget(parent)
{
    WindowShape::prepare(this);
}

void ShapedWindow::setOutline(const QRegion& outline, qreal ratio)
{
    if (m_outlineSet && outline == m_outline && ratio == m_ratio)
        return;
    m_outline = outline;
    m_ratio = ratio;
    m_outlineSet = true;
    WindowShape::apply(this, m_outline, m_ratio);
}

void ShapedWindow::passClicks(bool pass)
{
    m_passing = pass;
    WindowShape::passInput(this, pass);
}

bool ShapedWindow::event(QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        m_mapped = false;
    } else if (event->type() == QEvent::Paint && !m_mapped) {
        m_mapped = true;
        // A window manager that frames the window copies its input shape when told it changed,
        // not when it takes the window on (openbox): told again once the window is up.
        if (m_passing)
            WindowShape::passInput(this, true);
    }
    return QWidget::event(event);
}

void ShapedWindow::clipToOutline(QPainter& painter, const QPaintEvent* event) const
{
    WindowShape::clip(painter, event, m_outline, m_ratio);
}

void ShapedWindow::paintPicture(const QPaintEvent* event, const QImage& picture)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    clipToOutline(painter, event);
    PictureScaling::drawInBands(painter, QPointF(0, 0), picture);
}
