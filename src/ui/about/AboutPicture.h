#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

#include <array>

// The About window's artwork and the places on it, in logical pixels: an oval night-blue plate
// in a brass rim, the name at the top, the tab strip under it and, where the pages slide in, a
// row of three small clock faces for the toy clock to run on.
namespace AboutPicture {

inline constexpr QSize size { 480, 520 };
inline constexpr double rimWidth = 9;
inline constexpr double pageTop = 2280 / 15.0;
inline constexpr double pageHeight = 3735 / 15.0;
inline constexpr QRectF tabStrip { 52, 128, 376, 22 };
// The toy clock runs on one of these, chosen at random when the window opens.
inline constexpr std::array<QRectF, 3> clockPlaces { QRectF(
                                                         2680 / 15.0, 4300 / 15.0, 22, 440 / 15.0),
    QRectF(3480 / 15.0, 288, 320 / 15.0, 30), QRectF(3970 / 15.0, 4300 / 15.0, 22, 440 / 15.0) };
inline constexpr QPointF versionAt { 4000 / 15.0, 320 };

// The plate inside the rim: pages are cut to it so the rim stays whole.
QRectF plate();
// Drawn at the device-pixel ratio, transparent outside the window's ellipse.
QImage draw(qreal dpr);

} // namespace AboutPicture
