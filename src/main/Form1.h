#pragma once

#include "common/Clock.h"
#include "common/HorolanState.h"
#include "main/ClockWindow.h"
#include "main/Tick.h"

#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>

// The clock: a borderless window cut to the outline of its picture. It owns the back buffer
// that the tick draws into; painting only blits that buffer.
class Form1 final : public QWidget, public ClockWindow {
    Q_OBJECT

public:
    Form1(HorolanState& state, const Clock& clock, QWidget* parent = nullptr);

    // ClockWindow
    int timerInterval() const override { return Timer1.interval(); }
    void setTimerInterval(int ms) override { Timer1.setInterval(ms); }
    QString timerTag() const override { return m_timerTag; }
    QImage& faceBuffer() override;
    void faceDrawn() override { update(); }
    const QImage& tempBack() const override { return m_tempBackScaled; }
    void ChangeBack(std::uint8_t hur, bool anyWay) override;
    void PlayChime(std::uint8_t hur, bool playAnyWay) override;

    // The tick: draws the face on the current picture and raises the hour events.
    void Timer1_Timer() { m_tick.Timer1_Timer(); }

    // Applies the built-in skin completely: values, picture, outline, size, on screen.
    void ActivateDefSkin(bool onlyValues);

    // Makes the picture imgTempBack and the window's own picture (drawn into the buffer).
    void setPicture(const QImage& picture);

    // Cuts the window to the pixels of its picture that differ from the key colour: first the
    // one-pixel dot, then the traced outline.
    void traceOutline(QRgb key);

    // Sizes the window to its picture and keeps it on the screen (never raising a negative
    // left or top).
    void fitToPicture();

    const QRegion& outline() const { return m_outline; }
    QTimer Timer1;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyOutline(const QRegion& region);
    void remakeBuffer();

    HorolanState& m_state;
    Tick m_tick;
    QString m_timerTag;
    QImage imgTempBack; // the current background, at its own pixel size
    QImage m_tempBackScaled; // the same at the screen's device-pixel ratio
    QRgb m_key = 0xffff00ff; // the transparent colour of the outline
    QImage m_buffer;
    QRegion m_outline;
};
