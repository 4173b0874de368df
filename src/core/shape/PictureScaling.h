#pragma once

#include <QImage>

// Scales a skin picture for a high-DPI screen without letting its transparent colour bleed into
// the outline: smooth scaling would blend the key colour (magenta, say) into the edge pixels and
// leave a coloured fringe inside the window's shape.
namespace PictureScaling {

// The picture at dpr times its size, with that device-pixel ratio set. At a ratio of 1 it is the
// picture itself.
QImage scaledForScreen(const QImage& picture, qreal dpr, QRgb key);

} // namespace PictureScaling
