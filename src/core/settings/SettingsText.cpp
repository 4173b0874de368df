#include "core/settings/SettingsText.h"

#include "core/text/NumberReading.h"

#include <algorithm>
#include <cmath>

namespace SettingsText {

QString fromBool(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool toBool(QStringView text)
{
    return text.compare(u"true", Qt::CaseInsensitive) == 0;
}

QString fromNumber(double value)
{
    const float single = static_cast<float>(value);
    if (!std::isfinite(single) || single == 0)
        return QStringLiteral("0"); // also turns -0 into 0
    // QString::number ignores the locale: a comma written here would lose the fraction.
    QString text = QString::number(static_cast<double>(single), 'g', 7);
    if (!text.contains(u'e'))
        return text;
    const double rounded = text.toDouble();
    const int exponent = static_cast<int>(std::floor(std::log10(std::abs(rounded))));
    text = QString::number(rounded, 'f', std::max(0, 6 - exponent));
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

double toNumber(QStringView text)
{
    return NumberReading::leadingNumber(text);
}

} // namespace SettingsText
