#pragma once

#include <QImage>
#include <QString>

#include <cstdint>

// What the tick needs of the main window. Form1 implements it; tests fake it.
class ClockWindow {
public:
    virtual ~ClockWindow() = default;

    virtual int timerInterval() const = 0; // Timer1's interval, ms
    virtual void setTimerInterval(int ms) = 0;
    virtual QString timerTag() const = 0; // Timer1's Tag: "bgcall" while ChangeBack runs its tick

    // The window's back buffer, the size of its picture (device pixels, with the screen's
    // device-pixel ratio set). The tick draws into it, then calls faceDrawn().
    virtual QImage& faceBuffer() = 0;
    virtual void faceDrawn() = 0;

    // imgTempBack: the current background picture, drawn at (0, 0) scaled to logical size.
    virtual const QImage& tempBack() const = 0;

    // The tray icon's tip (after the product name); the tick refreshes it every 20 seconds.
    virtual void SetTrayTip(const QString& tip) { Q_UNUSED(tip); }

    // The hour events. Hur is 0 to 12.
    virtual void ChangeBack(std::uint8_t hur, bool anyWay) = 0;
    virtual void PlayChime(std::uint8_t hur, bool playAnyWay) = 0;
};
