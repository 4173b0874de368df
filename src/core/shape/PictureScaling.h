#pragma once

#include <QImage>
#include <QRegion>

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

} // namespace PictureScaling
