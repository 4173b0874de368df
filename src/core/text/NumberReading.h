#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

// Number reading shared by the skin, sound pack and settings readers.
namespace NumberReading {

// The leading decimal number of a text: blanks skipped, an optional sign, digits with "." as the
// decimal point; reading stops at the first other character. A text that starts with no number
// gives 0. Never throws, never reads past the text.
double leadingNumber(QStringView text);

// True when the text starts (after blanks) with something leadingNumber() can read.
bool startsWithNumber(QStringView text);

// Rounded to the nearest integer, halves to the even neighbour.
double roundHalfEven(double value);

// Rounded half to even and checked against the field's range; nullopt when it does not fit.
std::optional<std::uint8_t> toByte(double value);
std::optional<std::int16_t> toInt16(double value);

} // namespace NumberReading
