#pragma once

#include "core/face/ClockWindow.h"
#include "core/face/Tick.h"
#include "core/skin/SkinEngine.h"
#include "core/skin/SkinWindow.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

class Clock;
class Random;
class Roots;
struct HorolanState;

// The clock window without a screen: the same picture, back buffer, outline, tick and skin
// engine as Form1, at a device-pixel ratio of 1, so the skin tool draws the face exactly as the
// clock does. Chimes are not played; the window never moves (it has no screen to keep on).
class OffscreenClock final : public ClockWindow, public SkinWindow {
public:
    OffscreenClock(HorolanState& state, const Clock& clock, const Roots& roots, Random& random);

    SkinEngine& skins() { return m_skins; }
    // One run of Timer1, as the clock's timer starts it (no tag).
    void Timer1_Timer() { m_tick.Timer1_Timer(); }

    // What the screen shows: the buffer inside the outline, fully transparent outside it.
    QImage shown() const;
    const QRegion& outline() const { return m_outline; }

    // ClockWindow
    int timerInterval() const override { return m_intervalMs; }
    void setTimerInterval(int ms) override { m_intervalMs = ms; }
    QString timerTag() const override { return m_timerTag; }
    QImage& faceBuffer() override { return m_buffer; }
    void faceDrawn() override { }
    const QImage& tempBack() const override { return imgTempBack; }
    void ChangeBack(std::uint8_t hur, bool anyWay) override { m_skins.ChangeBack(hur, anyWay); }
    void PlayChime(std::uint8_t hur, bool playAnyWay) override;

    // SkinWindow
    void setPicture(const QImage& picture) override;
    void setOutline(const QRegion& region, QRgb key) override;
    QRect windowGeometry() const override { return m_geometry; }
    void moveWindow(QPoint topLeft) override { m_geometry.moveTopLeft(topLeft); }
    void resizeWindow(QSize size) override { m_geometry.setSize(size); }
    QRect screenGeometry() const override { return QRect(); }
    void setTimerTag(const QString& tag) override { m_timerTag = tag; }
    void runTick() override { Timer1_Timer(); }

private:
    void remakeBuffer();

    int m_intervalMs = 100;
    QString m_timerTag;
    QRect m_geometry;
    QImage imgTempBack;
    QRgb m_key;
    QImage m_buffer;
    QRegion m_outline;
    Tick m_tick;
    SkinEngine m_skins;
};
