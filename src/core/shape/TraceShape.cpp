#include "core/shape/TraceShape.h"

#include "core/base/Logging.h"

#include <QRect>

#include <algorithm>
#include <bit>
#include <climits>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define HOROLAN_TRACE_SSE2 1
#endif

namespace {

constexpr quint32 rgbBits = 0x00ffffffu;
constexpr quint32 alphaBits = 0xff000000u;

// Inside: RGB differs from the key and, where the format has alpha, alpha is not 0.
// RGB32 promises an alpha of 0xff, but stray bytes there must not cut pixels.
template <bool HasAlpha> inline bool isInside(quint32 pixel, quint32 key)
{
    const bool colourDiffers = ((pixel ^ key) & rgbBits) != 0;
    if constexpr (HasAlpha)
        return colourDiffers && (pixel & alphaBits) != 0;
    else
        return colourDiffers;
}

// Bit i set when pixel i of the count (at most 16) is inside.
template <bool HasAlpha> inline quint32 insideBits(const quint32* pixels, int count, quint32 key)
{
    quint32 bits = 0;
    for (int i = 0; i < count; ++i)
        bits |= quint32(isInside<HasAlpha>(pixels[i], key)) << i;
    return bits;
}

#ifdef HOROLAN_TRACE_SSE2
template <bool HasAlpha> inline quint32 insideBits16(const quint32* pixels, __m128i key)
{
    const __m128i rgb = _mm_set1_epi32(int(rgbBits));
    const __m128i zero = _mm_setzero_si128();
    quint32 outside = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4 * i));
        __m128i out = _mm_cmpeq_epi32(_mm_and_si128(_mm_xor_si128(v, key), rgb), zero);
        if constexpr (HasAlpha)
            out = _mm_or_si128(out, _mm_cmpeq_epi32(_mm_andnot_si128(rgb, v), zero));
        outside |= quint32(_mm_movemask_ps(_mm_castsi128_ps(out))) << (4 * i);
    }
    return ~outside & 0xffffu;
}
#endif

// The x of every edge of the row's inside runs: starts and ends alternate, ends exclusive.
// Sixteen pixels are tested at once and a block without an edge costs one comparison, so long
// runs and fine speckle are both fast.
template <bool HasAlpha>
void rowEdges(const quint32* pixels, int width, quint32 key, std::vector<int>& edges)
{
    quint32 inside = 0; // whether the pixel before the block was inside
    int x = 0;
    const auto addEdges = [&](quint32 bits, int count) {
        quint32 changes = (bits ^ ((bits << 1) | inside)) & ((1u << count) - 1);
        while (changes != 0) {
            edges.push_back(x + std::countr_zero(changes));
            changes &= changes - 1;
        }
        inside = (bits >> (count - 1)) & 1u;
    };
#ifdef HOROLAN_TRACE_SSE2
    const __m128i keyVector = _mm_set1_epi32(int(key));
    for (; x + 16 <= width; x += 16) {
        const quint32 bits = insideBits16<HasAlpha>(pixels + x, keyVector);
        if (bits != (inside ? 0xffffu : 0u))
            addEdges(bits, 16);
    }
#endif
    for (; x < width; x += 16) {
        const int count = std::min(16, width - x);
        addEdges(insideBits<HasAlpha>(pixels + x, count, key), count);
    }
    if (inside)
        edges.push_back(width);
}

// Buffers kept between traces: an animated background is traced on every tick, and fresh
// megabytes each time cost more in page faults than the scan itself.
struct Scratch {
    std::vector<QRect> rects;
    std::vector<int> band;
    std::vector<int> row;
    // Beyond this many rectangles (16 MiB) the buffer is handed back after the trace.
    static constexpr size_t keptRects = 1u << 20;
};

// QRegion::setRects wants y-x banded rectangles: sorted by top then left, one height per band,
// no two touching side by side; and to compare equal with Qt's own regions, no two touching
// bands with the same spans. Runs come out sorted and apart, and identical neighbouring rows
// are merged, so the rectangles are that way.
template <bool HasAlpha> void collectBands(const QImage& image, quint32 key, Scratch& scratch)
{
    std::vector<QRect>& rects = scratch.rects;
    std::vector<int>& band = scratch.band;
    std::vector<int>& row = scratch.row;
    rects.clear();
    band.clear();
    int bandTop = 0;
    const auto flush = [&](int bandEnd) {
        for (size_t i = 0; i < band.size(); i += 2)
            rects.emplace_back(band[i], bandTop, band[i + 1] - band[i], bandEnd - bandTop);
    };
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        row.clear();
        rowEdges<HasAlpha>(
            reinterpret_cast<const quint32*>(image.constScanLine(y)), image.width(), key, row);
        if (std::equal(row.begin(), row.end(), band.begin(), band.end()))
            continue;
        flush(y);
        band.swap(row);
        bandTop = y;
    }
    flush(height);
}

} // namespace

QRegion TraceShape(const QImage& picture, QRgb key)
{
    if (picture.isNull()) {
        qCWarning(lcShape) << "trace: null picture, empty outline";
        return {};
    }
    const quint32 keyRgb = key & rgbBits;

    // Both 32-bit layouts are read in place; every other format is converted once. Premultiplied
    // pixels must be unpremultiplied before their colour can be compared.
    QImage converted;
    const QImage* image = &picture;
    const QImage::Format format = picture.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32) {
        converted = picture.convertToFormat(
            picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (converted.isNull()) {
            qCWarning(lcShape) << "trace: cannot convert picture of format" << format
                               << ", empty outline";
            return {};
        }
        image = &converted;
    }

    thread_local Scratch scratch;
    if (image->format() == QImage::Format_ARGB32)
        collectBands<true>(*image, keyRgb, scratch);
    else
        collectBands<false>(*image, keyRgb, scratch);

    QRegion region;
    const size_t count = scratch.rects.size();
    if (count <= size_t(INT_MAX)) {
        region.setRects(scratch.rects.data(), int(count));
    } else {
        qCWarning(lcShape) << "trace: outline of" << picture.size() << "too complex, empty outline";
    }
    if (scratch.rects.capacity() > Scratch::keptRects)
        scratch.rects = {};
    qCDebug(lcShape).nospace().noquote()
        << "trace: picture " << picture.width() << "x" << picture.height() << " key #"
        << QString::number(keyRgb, 16).rightJustified(6, u'0') << ", " << count << " rectangles";
    return region;
}
