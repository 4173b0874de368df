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

// CP437's 0x80 to 0xFF: accented letters, then box drawing, then Greek and mathematics.
constexpr std::array<char16_t, 128> cp437High { 0x00c7, 0x00fc, 0x00e9, 0x00e2, 0x00e4, 0x00e0,
    0x00e5, 0x00e7, 0x00ea, 0x00eb, 0x00e8, 0x00ef, 0x00ee, 0x00ec, 0x00c4, 0x00c5, 0x00c9, 0x00e6,
    0x00c6, 0x00f4, 0x00f6, 0x00f2, 0x00fb, 0x00f9, 0x00ff, 0x00d6, 0x00dc, 0x00a2, 0x00a3, 0x00a5,
    0x20a7, 0x0192, 0x00e1, 0x00ed, 0x00f3, 0x00fa, 0x00f1, 0x00d1, 0x00aa, 0x00ba, 0x00bf, 0x2310,
    0x00ac, 0x00bd, 0x00bc, 0x00a1, 0x00ab, 0x00bb, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561,
    0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255d, 0x255c, 0x255b, 0x2510, 0x2514, 0x2534,
    0x252c, 0x251c, 0x2500, 0x253c, 0x255e, 0x255f, 0x255a, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256c, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256b, 0x256a, 0x2518,
    0x250c, 0x2588, 0x2584, 0x258c, 0x2590, 0x2580, 0x03b1, 0x00df, 0x0393, 0x03c0, 0x03a3, 0x03c3,
    0x00b5, 0x03c4, 0x03a6, 0x0398, 0x03a9, 0x03b4, 0x221e, 0x03c6, 0x03b5, 0x2229, 0x2261, 0x00b1,
    0x2265, 0x2264, 0x2320, 0x2321, 0x00f7, 0x2248, 0x00b0, 0x2219, 0x00b7, 0x221a, 0x207f, 0x00b2,
    0x25a0, 0x00a0 };

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    // Letters of each code page among the high bytes: CP437's accented letters and its sharp s,
    // Windows-1252's accented letters from 0xC0 (but the multiplication and division signs).
    int cp437 = 0;
    int cp1252 = 0;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        cp437 += (c >= 0x80 && c <= 0xa5) || c == 0xe1;
        cp1252 += c >= 0xc0 && c != 0xd7 && c != 0xf7;
    }
    if (cp1252 > cp437)
        return fromWindows1252(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out[i] = c >= 0x80 ? QChar(cp437High[c - 0x80]) : QChar(char16_t(c));
    }
    return text;
}

QString decodeText(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xef\xbb\xbf"))
        view = view.sliced(3);
    return isValidUtf8(bytes) ? QString::fromUtf8(view) : fromWindows1252(view);
}
