#pragma once

#include <QRegion>

class QWidget;

// Giving a window its outline. The mask (the X11 shape extension) cuts input and drawing; the
// window also paints only inside the region over a translucent background, so compositors and
// Wayland, which may ignore the mask for drawing, show the same outline.
namespace WindowShape {

// Makes a top-level widget borderless with a translucent background. Call before it is shown.
void prepare(QWidget* window);

// Applies the region to the window, which keeps it until the next one. An empty region leaves
// no visible or clickable pixel (Qt would take an empty mask as "no mask at all").
void apply(QWidget* window, const QRegion& region);

} // namespace WindowShape
