#include "core/text/NumberReading.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <limits>

namespace NumberReading {

namespace {
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Parses the number at the start of the text; returns the count of characters used (0: none).
// The digits found are converted with from_chars, which rounds correctly and ignores the locale.
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
    const qsizetype start = i;
    bool anyDigit = false;
    while (i < n && isDigit(text[i])) {
        anyDigit = true;
        ++i;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit)
        return 0;
    if (result) {
        const QByteArray digits = text.sliced(start, i - start).toLatin1();
        double value = 0;
        const auto [end, error] = std::from_chars(digits.constData(),
            digits.constData() + digits.size(), value, std::chars_format::fixed);
        Q_UNUSED(end);
        if (error == std::errc::result_out_of_range) {
            // Too large, or too small to be told from 0.
            const qsizetype point = digits.indexOf('.');
            const QByteArray whole = point < 0 ? digits : digits.left(point);
            value
                = whole.count('0') == whole.size() ? 0.0 : std::numeric_limits<double>::infinity();
        }
        *result = negative ? -value : value;
    }
    return i;
}
} // namespace

double leadingNumber(QStringView text)
{
    double value = 0;
    return scan(text, &value) > 0 ? value : 0.0;
}

bool startsWithNumber(QStringView text)
{
    return scan(text, nullptr) > 0;
}

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
