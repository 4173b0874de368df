#pragma once

#include "core/skin/Skin.h"

#include <QImage>

// The skin that is always there: its values and its picture, drawn by our own code.
namespace BuiltInSkin {

// The built-in transparent colour: magenta.
inline constexpr QRgb transparentKey = 0xffff00ff;

// A 100 x 100 light circular dial; every pixel outside the circle is exactly magenta, so the
// traced window is round. Drawn once and shared (implicitly).
const QImage& picture();
// The same dial drawn at a device-pixel ratio, that ratio set: sharp on a high-DPI screen.
QImage pictureAt(qreal ratio);

// Resets the records to the built-in values: the skin's own description only withInfo, and never
// the fonts, the Tyme flag or the alignment, which stored skins expect to carry over.
void applyValues(Skin& skin, WorldTimeSkin& worldTime, bool withInfo);

} // namespace BuiltInSkin
