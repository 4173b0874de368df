#pragma once

#include "core/skin/Skin.h"

#include <functional>

// The width of a text in the font the one-line digital time is printed in, logical pixels.
using TextWidth = std::function<double(const QFont& skinFont, const QString& text)>;
double digitalTextWidth(const QFont& skinFont, const QString& text);

// A skin made for the Tyme clock shows one digital time text: it goes at the offset from the left
// edge, in the middle or at the offset from the right edge of a window widthPx wide, as its
// alignment says, the am/pm text behind it; hands off, colons always shown, seconds on.
void layOutTyme(Skin& skin, double widthPx, bool twelveHour, const TextWidth& textWidth);
// Places the time text and the am/pm text behind it again, as after twelve-hour display changed.
void placeTymeTime(Skin& skin, double widthPx, bool twelveHour, const TextWidth& textWidth);
