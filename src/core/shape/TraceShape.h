#pragma once

#include <QImage>
#include <QRegion>
#include <QRgb>

// The outline of a picture: the pixels whose red, green and blue differ from the key colour,
// less the pixels the picture itself leaves fully transparent (alpha 0). The key's alpha is
// ignored. Any QImage format is accepted; a null picture gives an empty region.
// Several times faster than createMaskFromColor + QBitmap + QRegion(QBitmap), with the same result.
QRegion TraceShape(const QImage& picture, QRgb key);
