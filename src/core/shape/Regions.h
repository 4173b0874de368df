#pragma once

#include <QRegion>
#include <QSize>

// Region builders for the windows that are not cut by TraceShape. Boxes follow the platform's
// rule: the right and bottom edges lie outside the shape.

// The About window's ellipse, inscribed in the box (2, 2)-(pw - 3, ph - 3) of its picture.
// A box with no area gives an empty region. At a device-pixel ratio above 1 the box is scaled by
// it and the ellipse is in device pixels.
QRegion aboutEllipseRegion(QSize pictureSizePx, qreal ratio = 1);
