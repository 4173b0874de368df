#pragma once

// Records keep positions and sizes in twips; drawing converts at a fixed 15 twips per logical
// pixel (96 dots per inch). High-DPI screens are handled by Qt's device-pixel ratio instead.
namespace Twips {
inline constexpr double perPixel = 15.0;

constexpr double fromPixels(double px)
{
    return px * perPixel;
}
constexpr double toPixels(double twips)
{
    return twips / perPixel;
}
} // namespace Twips
