#pragma once

#include <QImage>
#include <QRegion>

class QPainter;

// Skin pictures for a high-DPI screen, at the screen's own pixels. The transparent colour must
// not bleed into the outline: smooth scaling would blend the key colour (magenta, say) into the
// edge pixels and leave a coloured fringe inside the window's shape.
namespace PictureScaling {

struct ScreenPicture {
    QImage picture; // its device-pixel ratio set
    QRegion outline; // in device pixels
};

// What a screen of device-pixel ratio dpr shows of a picture and its outline: above 1 drawn from
// the companion (twice the picture's size) where there is one, else from the picture, smoothly
// scaled where the sizes differ; the outline traced at the screen's pixels, each taking the key
// from its nearest source pixel, so its steps are one device pixel and no blend of the key is
// inside. At a ratio of 1, the picture and its outline as they are.
ScreenPicture forScreen(
    const QImage& picture, const QRegion& outline, const QImage& companion, QRgb key, qreal dpr);

// Draws the picture with its top left at `at`, in its own size, as drawImage does, but a few rows
// at a time where nothing scales it: Qt's raster engine hands a blit of 96 rows or more to its
// thread pool, and a clock that wakes one thread for its frame would wake three.
void drawInBands(QPainter& painter, const QPointF& at, const QImage& picture);

} // namespace PictureScaling
