#pragma once

#include <QColor>
#include <QtGlobal>

// Colours of the records are red + 256 x green + 65536 x blue (0x00BBGGRR).
using ColorRef = quint32;

constexpr ColorRef rgbColor(int red, int green, int blue)
{
    return ColorRef(red & 0xff) | (ColorRef(green & 0xff) << 8) | (ColorRef(blue & 0xff) << 16);
}

inline QColor toQColor(ColorRef c)
{
    return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
}
