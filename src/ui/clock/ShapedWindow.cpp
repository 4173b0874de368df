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
