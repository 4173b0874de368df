#include "core/skin/TymeColor.h"

#include "core/skin/SkinIniReader.h"

#include <algorithm>

namespace {

// The value of a hexadecimal digit, or -1.
int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

std::uint8_t HexByte(QString& s)
{
    s = s.toLower();
    if (s.isEmpty())
        return 0;
    const int low = std::max(hexDigit(s.back()), 0);
    if (s.size() == 2) {
        const int high = hexDigit(s.front());
        if (high >= 0)
            return std::uint8_t(high * 16 + low);
    }
    return std::uint8_t(low);
}

ColorRef TymeColor(QString& s)
{
    s = SkinIniReader::trimBlanks(s);
    if (s.size() < 6)
        s = QString(6 - s.size(), u'0') + s;
    // HexByte lower-cases its argument; these are copies, so s keeps its case.
    QString red = s.right(2);
    QString green = s.mid(2, 2);
    QString blue = s.left(2);
    return rgbColor(HexByte(red), HexByte(green), HexByte(blue));
}
