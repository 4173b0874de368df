#include "core/skin/BuiltInSkin.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace BuiltInSkin {

namespace {

constexpr int side = 100;
constexpr double centre = side / 2.0;
constexpr double radius = side / 2.0;

// The outline test shared by drawing and cutting: a pixel belongs to the dial when its
// centre lies within the circle.
bool insideDial(double x, double y)
{
    const double dx = x - centre;
    const double dy = y - centre;
    return dx * dx + dy * dy <= radius * radius;
}

QPointF polar(double r, double minute)
{
    const double a = minute * std::numbers::pi / 30.0;
    return { centre + r * std::sin(a), centre - r * std::cos(a) };
}

QImage drawPicture(qreal ratio)
{
    const int pixels = int(std::lround(side * ratio));
    QImage image(pixels, pixels, QImage::Format_RGB32);
    // The bezel's dark tone under everything: antialiased edges blend into it, never into
    // the transparent key.
    const QColor bezelDark(0x3a, 0x3f, 0x47);
    image.fill(bezelDark);

    QPainter p(&image);
    if (ratio != 1)
        p.scale(ratio, ratio);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Bezel: a slim metal ring, lit from the top left.
    QLinearGradient bezel(QPointF(20, 5), QPointF(80, 95));
    bezel.setColorAt(0, QColor(0x8c, 0x94, 0x9f));
    bezel.setColorAt(0.45, QColor(0x4e, 0x55, 0x5f));
    bezel.setColorAt(1, QColor(0x26, 0x2a, 0x30));
    p.setBrush(bezel);
    p.drawEllipse(QPointF(centre, centre), radius + 1, radius + 1);

    // Face: off-white with a soft light towards the upper left and a gentle darkening at the rim.
    const double faceRadius = 46.6;
    QRadialGradient face(QPointF(centre, centre), faceRadius, QPointF(42, 38));
    face.setColorAt(0, QColor(0xff, 0xfe, 0xfb));
    face.setColorAt(0.6, QColor(0xf6, 0xf3, 0xec));
    face.setColorAt(0.9, QColor(0xe8, 0xe3, 0xd9));
    face.setColorAt(1, QColor(0xcf, 0xc9, 0xbd));
    p.setBrush(face);
    p.drawEllipse(QPointF(centre, centre), faceRadius, faceRadius);

    // Where face meets bezel: a thin dark line and a faint shadow falling from the top.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x1e, 0x22, 0x27, 190), 0.9));
    p.drawEllipse(QPointF(centre, centre), faceRadius, faceRadius);
    QLinearGradient shade(QPointF(0, centre - faceRadius), QPointF(0, centre));
    shade.setColorAt(0, QColor(0, 0, 0, 60));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(QPen(QBrush(shade), 1.6));
    p.drawEllipse(QPointF(centre, centre + 0.4), faceRadius - 1.3, faceRadius - 1.3);

    // Minute ticks on the outer track, hour ticks bolder and longer; the centre stays clean
    // for the hands.
    const QColor minuteInk(0x6e, 0x72, 0x78);
    const QColor hourInk(0x22, 0x25, 0x2a);
    for (int m = 0; m < 60; ++m) {
        if (m % 5 == 0)
            continue;
        p.setPen(QPen(minuteInk, 0.9, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(polar(41.8, m), polar(44.6, m));
    }
    for (int h = 0; h < 12; ++h) {
        const bool quarter = h % 3 == 0;
        p.setPen(QPen(hourInk, quarter ? 2.8 : 2.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(polar(quarter ? 36.5 : 38.5, h * 5), polar(44.6, h * 5));
    }
    p.end();

    // The outline is decided per pixel, so the traced window is exactly round.
    for (int y = 0; y < pixels; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels; ++x) {
            if (!insideDial((x + 0.5) / ratio, (y + 0.5) / ratio))
                row[x] = transparentKey;
            else if (row[x] == transparentKey)
                row[x] = qRgb(254, 0, 255);
        }
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

const QImage& picture()
{
    static const QImage image = drawPicture(1);
    return image;
}

QImage pictureAt(qreal ratio)
{
    // An animated skin without frames shows the built-in dial on every tick: drawn once a ratio.
    static QImage last;
    if (last.isNull() || last.devicePixelRatio() != ratio)
        last = drawPicture(ratio);
    return last;
}

void applyValues(Skin& skin, WorldTimeSkin& worldTime, bool withInfo)
{
    Skin defaults;
    defaults.info = withInfo ? SkinInfo { QStringLiteral("Ardel"), QStringLiteral("Normal"),
        QStringLiteral("14/8/1999"), QStringLiteral("horolan@example.org"), QString(),
        QStringLiteral("The original skin") }
                             : skin.info;
    defaults.tyme = skin.tyme;
    defaults.alignment = skin.alignment;
    defaults.hours.font = skin.hours.font;
    defaults.minutes.font = skin.minutes.font;
    defaults.seconds.font = skin.seconds.font;
    defaults.amPm.font = skin.amPm.font;
    skin = defaults;
    worldTime = WorldTimeSkin();
}

} // namespace BuiltInSkin
