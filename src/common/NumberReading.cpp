#include "common/NumberReading.h"

#include <cmath>

namespace NumberReading {

namespace {
    bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

    // Parses the number at the start of the text; returns the count of characters used (0: none).
    qsizetype scan(QStringView text, double* result)
    {
        qsizetype i = 0;
        const qsizetype n = text.size();
        while (i < n && isBlank(text[i]))
            ++i;
        bool negative = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            negative = text[i] == u'-';
            ++i;
        }
        double value = 0;
        bool anyDigit = false;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            value = value * 10 + (text[i].unicode() - u'0');
            anyDigit = true;
            ++i;
        }
        if (i < n && text[i] == u'.') {
            ++i;
            double scale = 0.1;
            while (i < n && text[i].unicode() >= u'0' && text[i].unicode() <= u'9') {
                value += (text[i].unicode() - u'0') * scale;
                scale /= 10;
                anyDigit = true;
                ++i;
            }
        }
        if (!anyDigit)
            return 0;
        if (result)
            *result = negative ? -value : value;
        return i;
    }
} // namespace

double leadingNumber(QStringView text)
{
    double value = 0;
    return scan(text, &value) > 0 ? value : 0.0;
}

bool startsWithNumber(QStringView text) { return scan(text, nullptr) > 0; }

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5)
        return floor + 1;
    if (diff < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::optional<std::uint8_t> toByte(double value)
{
    const double r = roundHalfEven(value);
    if (!(r >= 0 && r <= 255))
        return std::nullopt;
    return static_cast<std::uint8_t>(r);
}

std::optional<std::int16_t> toInt16(double value)
{
    const double r = roundHalfEven(value);
    if (!(r >= -32768 && r <= 32767))
        return std::nullopt;
    return static_cast<std::int16_t>(r);
}

} // namespace NumberReading
