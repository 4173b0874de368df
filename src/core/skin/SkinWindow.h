#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

// What skin activation and the backgrounds need of the main window. Form1 implements it; tests
// fake it. Positions and sizes are logical pixels.
class SkinWindow {
public:
    virtual ~SkinWindow() = default;

    // imgTempBack, and the window's own picture (what the tick draws over).
    virtual void setPicture(const QImage& picture) = 0;
    // The outline (in the picture's pixels) and the transparent colour it was cut by.
    virtual void setOutline(const QRegion& region, QRgb key) = 0;

    virtual QRect windowGeometry() const = 0;
    virtual void moveWindow(QPoint topLeft) = 0;
    virtual void resizeWindow(QSize size) = 0;
    // The screen the window is on.
    virtual QRect screenGeometry() const = 0;

    // Timer1's Tag and one run of the tick.
    virtual void setTimerTag(const QString& tag) = 0;
    virtual void runTick() = 0;

    // The busy pointer during an activation.
    virtual void setBusy(bool busy) { Q_UNUSED(busy); }
    // The World Time window takes up the new skin.
    virtual void updateWorldTimeSkin() { }
};
