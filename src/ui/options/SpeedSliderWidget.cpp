#include "ui/options/SpeedSliderWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

SpeedSliderWidget::SpeedSliderWidget(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(SpeedSlider::slot.size().toSize());
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Speed"));
    m_slider.place(m_speed);
}

void SpeedSliderWidget::setSpeed(float speed)
{
    m_speed = speed;
    m_slider.place(speed);
    update();
}

void SpeedSliderWidget::paintEvent(QPaintEvent*)
{
    // Drawn as paths at the screen's own resolution rather than as small pictures scaled up.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr double half = SpeedSlider::knobSize / 2;
    QPainterPath groove;
    for (double top = SpeedSlider::track.top();
         top <= SpeedSlider::track.top() + SpeedSlider::travel; top += 0.5) {
        const QPointF centre(SpeedSlider::swing(top) + half, top + half);
        if (groove.elementCount() == 0)
            groove.moveTo(centre);
        else
            groove.lineTo(centre);
    }
    const auto stroke = [&](const QColor& colour, double width, QPointF offset) {
        painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(groove.translated(offset));
    };
    // A sunken slot: lit below right, shaded above left, dark along its floor.
    stroke(QColor(255, 255, 255), 6, { 0.5, 0.5 });
    stroke(QColor(96, 96, 96), 6, { -0.5, -0.5 });
    stroke(QColor(150, 150, 150), 4.5, {});
    stroke(QColor(120, 120, 120), 1, {});

    const QRectF knob(m_slider.knob(), QSizeF(SpeedSlider::knobSize, SpeedSlider::knobSize));
    QRadialGradient shine(knob.topLeft() + QPointF(2.5, 2.5), SpeedSlider::knobSize);
    shine.setColorAt(0, QColor(255, 255, 255));
    shine.setColorAt(0.5, QColor(215, 215, 215));
    shine.setColorAt(1, QColor(140, 140, 140));
    painter.setBrush(shine);
    painter.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(40, 40, 40),
        hasFocus() ? 1.5 : 1));
    painter.drawEllipse(knob.adjusted(0.5, 0.5, -0.5, -0.5));
}

void SpeedSliderWidget::mousePressEvent(QMouseEvent* event)
{
    const QRectF knob(m_slider.knob(), QSizeF(SpeedSlider::knobSize, SpeedSlider::knobSize));
    m_slider.press(
        knob.contains(event->position()), event->button(), event->buttons(), event->position().y());
}

void SpeedSliderWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (const std::optional<float> speed = m_slider.move(event->buttons(), event->position().y())) {
        m_speed = *speed;
        update();
        emit speedChanged(*speed);
    }
}

void SpeedSliderWidget::mouseReleaseEvent(QMouseEvent*)
{
    m_slider.release();
}

void SpeedSliderWidget::keyPressEvent(QKeyEvent* event)
{
    const std::optional<float> speed = event->modifiers() & ~Qt::KeypadModifier
        ? std::nullopt
        : SpeedSlider::keyed(m_speed, event->key());
    if (!speed) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (*speed != m_speed) {
        setSpeed(*speed);
        emit speedChanged(*speed);
    }
}
