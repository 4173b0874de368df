#pragma once

#include "core/skin/SkinRecord.h"

#include <QImage>

// The skin that is always there: its values and its picture, drawn by our own code.
namespace BuiltInSkin {

// The built-in transparent colour: magenta.
inline constexpr QRgb transparentKey = 0xffff00ff;

// A 100 x 100 light circular dial; every pixel outside the circle is exactly magenta, so the
// traced window is round. Drawn once and shared (implicitly).
const QImage& picture();

// Resets the records to the built-in values. The info fields are set only when onlyValues is
// false; tymeskin, alignment, the fonts and AMPM are never touched.
void applyValues(SkinRecord& skin, WttSkinRecord& wtt, bool onlyValues);

} // namespace BuiltInSkin
