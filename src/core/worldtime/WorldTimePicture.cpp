// The world time window's built-in picture, drawn by our own code.
#include "core/worldtime/WorldTimeBoard.h"

#include <QPainter>
#include <QRadialGradient>

#include <array>
#include <cmath>

namespace {

constexpr int width = 100;
constexpr int height = 130;
constexpr QRgb magenta = qRgb(255, 0, 255);
constexpr QRgb white = qRgb(255, 255, 255);
constexpr int topRule = 14;
constexpr int bottomRule = 115;
// Pixels cut from each row of a corner, from the edge inwards: 17 a corner, 68 in all.
constexpr std::array<int, 6> cornerCut { 6, 4, 3, 2, 1, 1 };

// A hash of a pixel in [0, 1), the same on every machine.
double hash(int x, int y, unsigned seed)
{
    unsigned h = unsigned(x) * 374761393u + unsigned(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xffffff) / double(0x1000000);
}

// Smooth noise from hashed lattice points, for land and cloud.
double noise(double x, double y, unsigned seed)
{
    const int x0 = int(std::floor(x));
    const int y0 = int(std::floor(y));
    const double fx = x - x0;
    const double fy = y - y0;
    const auto s = [](double t) { return t * t * (3 - 2 * t); };
    const double a = hash(x0, y0, seed) + (hash(x0 + 1, y0, seed) - hash(x0, y0, seed)) * s(fx);
    const double b
        = hash(x0, y0 + 1, seed) + (hash(x0 + 1, y0 + 1, seed) - hash(x0, y0 + 1, seed)) * s(fx);
    return a + (b - a) * s(fy);
}

double fbm(double x, double y, unsigned seed)
{
    double sum = 0;
    double amplitude = 0.5;
    for (int octave = 0; octave < 4; ++octave) {
        sum += amplitude * noise(x, y, seed + unsigned(octave));
        x *= 2.03;
        y *= 2.03;
        amplitude /= 2;
    }
    return sum;
}

QRgb blend(QRgb a, QRgb b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    const auto c
        = [&](int (*part)(QRgb)) { return int(std::lround(part(a) + (part(b) - part(a)) * t)); };
    return qRgb(c(qRed), c(qGreen), c(qBlue));
}

// The Earth lit from the upper left: ocean, land, cloud, a dark side and a thin blue air.
QRgb earthAt(double x, double y)
{
    constexpr double cx = 50, cy = 66, r = 40;
    const double dx = (x - cx) / r;
    const double dy = (y - cy) / r;
    const double d2 = dx * dx + dy * dy;
    if (d2 > 1)
        return 0;
    const double dz = std::sqrt(1 - d2);
    // A sphere's surface, so continents bend towards the rim.
    const double u = std::atan2(dx, dz) * 1.6 + 0.7;
    const double v = std::asin(dy) * 1.6;
    const double land = fbm(u * 2.2, v * 2.2, 11);
    const double cloud = fbm(u * 4.5 + 9, v * 7, 29);
    QRgb surface = blend(qRgb(14, 46, 112), qRgb(28, 84, 160), dz);
    if (land > 0.53)
        surface = blend(qRgb(58, 96, 44), qRgb(150, 128, 84), (land - 0.53) * 4);
    if (std::abs(dy) > 0.86)
        surface = qRgb(222, 230, 238); // the poles' ice
    if (cloud > 0.56)
        surface = blend(surface, qRgb(236, 240, 246), (cloud - 0.56) * 5);
    const double light = std::clamp(-0.55 * dx - 0.45 * dy + 0.7 * dz, 0.0, 1.0);
    surface = blend(qRgb(2, 4, 12), surface, 0.12 + 0.88 * light);
    // The air glows at the rim.
    return blend(surface, qRgb(110, 170, 255), std::pow(1 - dz, 3) * 0.8);
}

// Drawn at scale 1 or 2 (twice the pixels, the same picture): stars, frame and rules keep their
// logical size, the Earth's edge, the title and the corners' curve are as fine as the pixels.
QImage drawPicture(int scale)
{
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // A starry sky; a few stars brighter than the rest.
            const double star = hash(x / scale, y / scale, 3);
            QRgb sky = qRgb(0, 0, 6);
            if (star > 0.985)
                sky = blend(qRgb(70, 70, 90), qRgb(255, 255, 240), (star - 0.985) / 0.015);
            // Four samples a pixel smooth the Earth's edge against the sky.
            int red = 0, green = 0, blue = 0;
            for (int s = 0; s < 4; ++s) {
                const double dx = s % 2 == 0 ? 0.25 : 0.75;
                const double dy = s < 2 ? 0.25 : 0.75;
                const QRgb e = earthAt((x + dx) / scale, (y + dy) / scale);
                const QRgb c = e ? e : sky;
                red += qRed(c), green += qGreen(c), blue += qBlue(c);
            }
            row[x] = qRgb(red / 4, green / 4, blue / 4);
        }
    }
    {
        QPainter p(&image);
        if (scale == 1) {
            p.setPen(QColor(white));
            for (const int y : { 0, topRule, bottomRule, height - 1 })
                p.drawLine(0, y, width - 1, y);
            p.drawLine(0, 0, 0, height - 1);
            p.drawLine(width - 1, 0, width - 1, height - 1);
        } else {
            for (const int y : { 0, topRule, bottomRule, height - 1 })
                p.fillRect(0, y * scale, image.width(), scale, QColor(white));
            for (const int x : { 0, width - 1 })
                p.fillRect(x * scale, 0, scale, image.height(), QColor(white));
        }
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(9 * scale);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(200, 214, 236));
        p.drawText(QRect(scale, scale, (width - 2) * scale, (topRule - 1) * scale), Qt::AlignCenter,
            QStringLiteral("WORLD TIME"));
    }
    if (scale == 1) {
        // The rounded corners: cut rows in magenta, the frame's white just inside the cut.
        for (std::size_t i = 0; i < cornerCut.size(); ++i) {
            const int cut = cornerCut[i];
            // The frame follows the curve: from the cut to where the row above was cut.
            const int frameEnd = i == 0 ? width : std::max(cut, cornerCut[i - 1] - 1);
            for (const int y : { int(i), height - 1 - int(i) }) {
                auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < width; ++x) {
                    const int fromEdge = std::min(x, width - 1 - x);
                    if (fromEdge < cut)
                        row[x] = magenta;
                    else if (fromEdge <= frameEnd)
                        row[x] = white;
                }
            }
        }
        return image;
    }
    // The same corners at twice the pixels: the cut of each pair of rows, and between them,
    // continues the curve; the frame is white within two pixels of the cut.
    std::array<int, 2 * cornerCut.size()> cut2 {};
    for (std::size_t i = 0; i < cornerCut.size(); ++i) {
        const int next = i + 1 < cornerCut.size() ? cornerCut[i + 1] : 0;
        cut2[2 * i] = 2 * cornerCut[i];
        cut2[2 * i + 1] = cornerCut[i] + next;
    }
    const auto cutAt
        = [&](int row) { return row >= 0 && row < int(cut2.size()) ? cut2[std::size_t(row)] : 0; };
    for (int j = 0; j < int(cut2.size()) + 2; ++j) {
        const int frameEnd = cutAt(std::max(j - 2, 0)) + 1;
        for (const int y : { j, image.height() - 1 - j }) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int fromEdge = std::min(x, image.width() - 1 - x);
                if (fromEdge < cutAt(j))
                    row[x] = magenta;
                else if (fromEdge <= frameEnd)
                    row[x] = white;
            }
        }
    }
    return image;
}

} // namespace

const QImage& WorldTimeBoard::builtInPicture()
{
    static const QImage picture = drawPicture(1);
    return picture;
}

const QImage& WorldTimeBoard::builtInPicture2x()
{
    static const QImage picture = drawPicture(2);
    return picture;
}
