#pragma once

#include <QColor>
#include <QStringView>

// Colours of skins made for the Tyme clock: six hexadecimal digits in the order blue, green, red.
// The text is trimmed and led by "0"s to six characters: "FF" is pure red, "FF0000" pure blue.
QColor tymeColor(QStringView text);

// One or two hexadecimal digits, either case. A non-hex digit counts as 0, a first digit that is
// not hex is dropped, and any other length reads only the last character: "ff" 255, "g5" 5,
// "123" 3, "" 0.
int hexByte(QStringView text);
