#include "core/shape/Regions.h"

#include "core/base/Logging.h"

#include <QRect>

#include <cmath>
#include <vector>

namespace {

// Window coordinates are 16-bit on X11; the squared sizes below also stay inside 64 bits.
constexpr int maxEllipseSidePx = 32767;

qint64 isqrt(qint64 n)
{
    auto root = qint64(std::sqrt(double(n)));
    while (root > 0 && root * root > n)
        --root;
    while ((root + 1) * (root + 1) <= n)
        ++root;
    return root;
}

} // namespace

QRegion aboutEllipseRegion(QSize pictureSizePx, qreal ratio)
{
    if (!(ratio > 0 && ratio <= 16))
        return {};
    const int left = int(std::lround(2 * ratio));
    const int top = left;
    const qint64 w = std::llround((double(pictureSizePx.width()) - 3) * ratio) - left;
    const qint64 h = std::llround((double(pictureSizePx.height()) - 3) * ratio) - top;
    if (w <= 0 || h <= 0 || w > maxEllipseSidePx || h > maxEllipseSidePx) {
        qCDebug(lcShape) << "about ellipse: picture" << pictureSizePx << "gives no ellipse";
        return {};
    }
    const int right = left + int(w);
    const int bottom = top + int(h);

    // A pixel is inside when its centre is: with X = 2 * (x + 0.5 - cx) and Y likewise,
    // (X / w)^2 + (Y / h)^2 <= 1, kept in integers so both halves mirror exactly.
    // X has the parity of w + 1 for every pixel.
    const qint64 whSquared = w * w * h * h;
    std::vector<QRect> bands;
    for (int y = top; y < bottom; ++y) {
        const qint64 bigY = 2 * qint64(y) + 1 - (top + bottom);
        const qint64 rest = whSquared - bigY * bigY * w * w;
        if (rest < 0)
            continue;
        qint64 bigXMax = isqrt(rest / (h * h));
        if ((bigXMax - (w + 1)) % 2 != 0)
            --bigXMax;
        if (bigXMax < 0)
            continue;
        const int x0 = int((left + right - 1 - bigXMax) / 2);
        const int x1 = int((left + right - 1 + bigXMax) / 2);
        if (!bands.empty() && bands.back().bottom() == y - 1 && bands.back().left() == x0
            && bands.back().right() == x1) {
            bands.back().setBottom(y);
        } else {
            bands.emplace_back(QPoint(x0, y), QPoint(x1, y));
        }
    }

    // One span per row of a convex shape: the bands are y-x banded as they come.
    QRegion region;
    region.setRects(bands.data(), int(bands.size()));
    qCDebug(lcShape) << "about ellipse in" << QRect(left, top, int(w), int(h)) << "from"
                     << bands.size() << "bands";
    return region;
}
