#pragma once

#include "core/skin/Background.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

// Draws a skin folder's face as the clock shows it at one moment, without a screen.
namespace SkinRenderer {

struct Request {
    QString folder; // any skin folder, under the roots or not
    QDateTime time; // local time the clock reads
    bool twelveHour = false; // the twelve-hour display setting
    // Every reseeding of the random numbers uses this seed; without one they are seeded from the
    // time of day as the clock seeds them (the same choice as a clock whose time stands still).
    std::optional<std::uint32_t> seed = 0;
    qreal scale = 1; // the screen's device-pixel ratio
};

struct Result {
    QImage image; // Format_ARGB32, the picture's size times the scale; alpha 0 outside the outline
    Background background; // the background shown last
    QString error; // set when nothing could be drawn
};

// Activates the folder at that time, then runs the tick once as the clock's timer would (its hour
// events included), and takes what the window shows.
Result render(const Request& request);

} // namespace SkinRenderer
