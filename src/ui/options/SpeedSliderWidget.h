#pragma once

#include "core/options/SpeedSlider.h"

#include <QWidget>

// The curved speed slider: a slot with a knob that swings along a sine curve while it is
// dragged down, both drawn here so that they are sharp at any device-pixel ratio. Up, Down,
// Page Up, Page Down, Home and End move it too.
class SpeedSliderWidget final : public QWidget {
    Q_OBJECT

public:
    explicit SpeedSliderWidget(QWidget* parent = nullptr);

    // Places the knob for a Speed; says nothing.
    void setSpeed(float speed);

signals:
    // The user moved the knob.
    void speedChanged(float speed);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SpeedSlider m_slider;
    float m_speed = 88;
};
