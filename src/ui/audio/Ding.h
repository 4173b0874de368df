#pragma once

#include "ui/audio/SoundDecoder.h"

// The clock's own beep: a short ding, heard where the X bell is not.
namespace Ding {

constexpr int durationMs = 200;

// A decaying 1 kHz tone, mono at 44.1 kHz, as a decoded sound ready to be converted.
DecodedSound tone();

} // namespace Ding
