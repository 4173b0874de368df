#pragma once

#include "core/base/Colors.h"

#include <QString>

#include <cstdint>

// Colours of skins made for the Tyme clock: six hexadecimal digits in the order blue, green, red.

// Trims s and pads it with leading "0"s to six characters (s keeps that text), then reads it as
// blue, green, red pairs: "0000FF" is pure red, "FF0000" pure blue.
ColorRef TymeColor(QString& s);

// One or two hexadecimal digits, case-insensitive; s is lower-cased in place. A non-hex digit
// counts as 0, a first digit that is not hex is dropped, and any other length reads only the
// last character: "ff" 255, "g5" 5, "123" 3, "" 0.
std::uint8_t HexByte(QString& s);
