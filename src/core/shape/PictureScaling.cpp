#include "core/shape/PictureScaling.h"

#include "core/shape/TraceShape.h"

#include <QPainter>

#include <algorithm>
#include <array>

namespace PictureScaling {

namespace {
bool isKey(QRgb pixel, QRgb key)
{
    return ((pixel ^ key) & 0xffffff) == 0 || qAlpha(pixel) == 0;
}

// Gives every key pixel next to a visible one the mean colour of its visible neighbours, so
// a filter reaching one pixel across the edge finds only the picture's own colours there.
QImage bleedEdges(const QImage& picture, QRgb key)
{
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage result = source;
    const int w = source.width();
    const int h = source.height();
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (!isKey(row[x], key))
                continue;
            std::array<int, 3> sum { 0, 0, 0 };
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                if (y + dy < 0 || y + dy >= h)
                    continue;
                const auto* near = reinterpret_cast<const QRgb*>(source.constScanLine(y + dy));
                for (int dx = -1; dx <= 1; ++dx) {
                    if (x + dx < 0 || x + dx >= w || isKey(near[x + dx], key))
                        continue;
                    sum[0] += qRed(near[x + dx]);
                    sum[1] += qGreen(near[x + dx]);
                    sum[2] += qBlue(near[x + dx]);
                    ++count;
                }
            }
            if (count > 0)
                out[x] = qRgb(sum[0] / count, sum[1] / count, sum[2] / count);
        }
    }
    return result;
}

// Each pixel of the result takes the source pixel under its centre.
QImage nearest(const QImage& source, QSize size)
{
    const QImage from = source.convertToFormat(
        source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QImage result(size, from.format());
    const double fx = double(from.width()) / size.width();
    const double fy = double(from.height()) / size.height();
    for (int y = 0; y < size.height(); ++y) {
        const int sy = std::min(int((y + 0.5) * fy), from.height() - 1);
        const auto* row = reinterpret_cast<const QRgb*>(from.constScanLine(sy));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            out[x] = row[std::min(int((x + 0.5) * fx), from.width() - 1)];
    }
    return result;
}
} // namespace

ScreenPicture forScreen(
    const QImage& picture, const QRegion& outline, const QImage& companion, QRgb key, qreal dpr)
{
    if (picture.isNull() || dpr <= 0 || qFuzzyCompare(dpr, 1.0))
        return { picture, outline };
    const QImage& source = dpr > 1 && !companion.isNull() ? companion : picture;
    const QSize size = (QSizeF(picture.size()) * dpr).toSize();
    ScreenPicture shown;
    if (source.size() == size) {
        shown = { source, TraceShape(source, key) };
    } else {
        shown.picture
            = bleedEdges(source, key).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        shown.outline = TraceShape(nearest(source, size), key);
    }
    shown.picture.setDevicePixelRatio(dpr);
    return shown;
}

} // namespace PictureScaling

void PictureScaling::drawInBands(QPainter& painter, const QPointF& at, const QImage& picture)
{
    constexpr int bandRows = 32;
    if (painter.deviceTransform().type() > QTransform::TxTranslate
        || !qFuzzyCompare(picture.devicePixelRatio(), 1.0)) {
        painter.drawImage(at, picture);
        return;
    }
    for (int y = 0; y < picture.height(); y += bandRows)
        painter.drawImage(at + QPointF(0, y), picture,
            QRect(0, y, picture.width(), std::min(bandRows, picture.height() - y)));
}
