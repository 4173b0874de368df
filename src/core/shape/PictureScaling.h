#pragma once

#include <QImage>

class QPainter;

// Scales a skin picture for a high-DPI screen without letting its transparent colour bleed into
// the outline: smooth scaling would blend the key colour (magenta, say) into the edge pixels and
// leave a coloured fringe inside the window's shape.
namespace PictureScaling {

// The picture at dpr times its size, with that device-pixel ratio set. At a ratio of 1 it is the
// picture itself.
QImage scaledForScreen(const QImage& picture, qreal dpr, QRgb key);

// Draws the picture with its top left at `at`, in its own size, as drawImage does, but a few rows
// at a time where nothing scales it: Qt's raster engine hands a blit of 96 rows or more to its
// thread pool, and a clock that wakes one thread for its frame would wake three.
void drawInBands(QPainter& painter, const QPointF& at, const QImage& picture);

} // namespace PictureScaling
