#pragma once

#include <QRegion>

class QPaintEvent;
class QPainter;
class QWidget;

// Giving a window its outline. The mask (the X11 shape extension) cuts input and drawing; the
// window also paints only inside the region over a translucent background, so compositors and
// Wayland, which may ignore the mask for drawing, show the same outline.
namespace WindowShape {

// Makes a top-level widget borderless with a translucent background. Call before it is shown.
void prepare(QWidget* window);

// Applies the region, in device pixels at the device-pixel ratio, to the window, which keeps it
// until the next one. An empty region leaves no visible or clickable pixel (Qt would take an
// empty mask as "no mask at all"). On X11 a high-DPI outline goes to the X server as it is, so
// its steps stay one device pixel (Qt would scale a mask in logical pixels), also onto a native
// window Qt makes later.
void apply(QWidget* window, const QRegion& region, qreal ratio = 1);

// Lets every click and scroll on the window through to what lies below it (an empty input shape;
// the window looks the same), or takes them again. Kept on a native window Qt makes later.
void passInput(QWidget* window, bool pass);

// Clips a painter on the window to what the event exposes of an outline in device pixels at the
// device-pixel ratio; the painter's transformation is left as it was.
void clip(QPainter& painter, const QPaintEvent* event, const QRegion& outline, qreal ratio);

} // namespace WindowShape
