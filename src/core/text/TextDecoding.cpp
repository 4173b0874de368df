#include "core/text/TextDecoding.h"

#include <array>

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned lowest = 0x80;
        unsigned highest = 0xbf;
        if (c >= 0xc2 && c <= 0xdf) {
            extra = 1;
        } else if (c >= 0xe0 && c <= 0xef) {
            extra = 2;
            if (c == 0xe0)
                lowest = 0xa0;
            if (c == 0xed)
                highest = 0x9f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            extra = 3;
            if (c == 0xf0)
                lowest = 0x90;
            if (c == 0xf4)
                highest = 0x8f;
        } else {
            return false;
        }
        if (n - i <= extra || p[i + 1] < lowest || p[i + 1] > highest)
            return false;
        for (int k = 2; k <= extra; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

// Windows-1252's 0x80 to 0x9F; its five unassigned bytes map to the C1 controls, as Windows does.
constexpr std::array<char16_t, 32> cp1252High { 0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026,
    0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018,
    0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d,
    0x017e, 0x0178 };

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out[i] = (c >= 0x80 && c <= 0x9f) ? QChar(cp1252High[c - 0x80]) : QChar(char16_t(c));
    }
    return text;
}

} // namespace

QString decodeText(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xef\xbb\xbf"))
        view = view.sliced(3);
    return isValidUtf8(bytes) ? QString::fromUtf8(view) : fromWindows1252(view);
}
