#include "core/skin/TymeColor.h"

#include "core/text/IniText.h"

#include <algorithm>

namespace {

// The value of a hexadecimal digit, or -1.
int hexDigit(QChar c)
{
    const char16_t u = c.toLower().unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

int hexByte(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const int low = std::max(hexDigit(text.back()), 0);
    if (text.size() == 2) {
        if (const int high = hexDigit(text.front()); high >= 0)
            return high * 16 + low;
    }
    return low;
}

QColor tymeColor(QStringView text)
{
    QString digits = IniText::trimBlanks(text);
    if (digits.size() < 6)
        digits.prepend(QString(6 - digits.size(), u'0'));
    const QStringView s(digits);
    return QColor(hexByte(s.right(2)), hexByte(s.mid(2, 2)), hexByte(s.left(2)));
}
