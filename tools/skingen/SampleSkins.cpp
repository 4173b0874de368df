#include "SampleSkins.h"

#include "Art.h"
#include "core/face/FacePainter.h"

#include <QConicalGradient>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace {

using Art::mix;
using Art::nineDigits;
using Art::scaled;
using Art::smoothstep;

constexpr double pi = std::numbers::pi;
constexpr QRgb magenta = qRgb(255, 0, 255);
const QString dejaVuSans = QStringLiteral("DejaVu Sans");

void writeInfo(Art::IniText& ini, const QString& name, const QString& comment)
{
    ini.section(QStringLiteral("info"));
    ini.key(QStringLiteral("name"), name);
    ini.key(QStringLiteral("madeby"), QStringLiteral("Horolan"));
    ini.key(QStringLiteral("date"), QStringLiteral("6/12/2026"));
    ini.key(QStringLiteral("email"), QStringLiteral("horolan@example.org"));
    ini.key(QStringLiteral("comment"), comment);
}

struct Hand {
    QRgb colour;
    int width;
    int length;
    int start;
};

void writeHands(Art::IniText& ini, const Hand& hour, const Hand& minute, const Hand& second)
{
    const auto hand = [&ini](const QString& prefix, const Hand& h) {
        ini.key(prefix + QStringLiteral("color"), nineDigits(h.colour));
        ini.key(prefix + QStringLiteral("width"), QString::number(h.width));
        ini.key(prefix + QStringLiteral("lenght"), QString::number(h.length));
        ini.key(prefix + QStringLiteral("start"), QString::number(h.start));
    };
    hand(QStringLiteral("hur"), hour);
    hand(QStringLiteral("min"), minute);
    hand(QStringLiteral("sec"), second);
}

// A picture of width x height logical pixels, scale device pixels a side each.
QImage canvas(int width, int height, const QColor& base, int scale = 1)
{
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.fill(base);
    return image;
}

// The painter draws in logical pixels on a picture of any scale.
void scaleTo(QPainter& p, int scale)
{
    if (scale != 1)
        p.scale(scale, scale);
}

SkinFile picture(const QString& name, const QImage& image)
{
    return { name, Art::encode(image, name) };
}

// A picture and its companion for high-DPI screens, drawn anew at twice the size (back1.png and
// back1@2x.png).
QList<SkinFile> pictures(const QString& name, const std::function<QImage(int scale)>& draw)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return { picture(name, draw(1)),
        picture(name.left(dot) + QStringLiteral("@2x") + name.mid(dot), draw(2)) };
}

SkinFile skinIni(const Art::IniText& ini)
{
    return { QStringLiteral("Skin.ini"), ini.bytes() };
}

// A world time panel: a rounded plate with a rim and a title strip; the box for the dials lies
// below the strip. Cut by the skin's key outside the rounded corners.
constexpr int panelWidth = 110, panelHeight = 150;
const QRect panelBox(8, 24, 94, 116);

QImage worldTimePanel(
    const QColor& top, const QColor& bottom, const QColor& rim, QRgb key, int scale)
{
    QImage image = canvas(panelWidth, panelHeight, bottom, scale);
    const QRectF plate(0.5, 0.5, panelWidth - 1, panelHeight - 1);
    constexpr double radius = 12;
    {
        QPainter p(&image);
        scaleTo(p, scale);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, 0, panelHeight);
        fill.setColorAt(0, top);
        fill.setColorAt(1, bottom);
        p.setBrush(fill);
        p.setPen(QPen(rim, 2));
        p.drawRoundedRect(plate.adjusted(1, 1, -1, -1), radius, radius);
        p.setPen(QPen(rim, 1));
        p.drawLine(QPointF(6, 19.5), QPointF(panelWidth - 6, 19.5));
        QFont font(dejaVuSans);
        font.setPixelSize(9);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 4, panelWidth, 14), Qt::AlignCenter, QStringLiteral("WORLD TIME"));
    }
    Art::cutOutline(
        image, key,
        [&](double x, double y) {
            const double cx = std::clamp(x, radius, panelWidth - radius);
            const double cy = std::clamp(y, radius, panelHeight - radius);
            return std::hypot(x - cx, y - cy) <= radius;
        },
        scale);
    return image;
}

void writeWorldTime(Art::IniText& ini, QRgb area, QRgb day, QRgb night)
{
    ini.section(QStringLiteral("wtt"));
    ini.key(QStringLiteral("boxpos"),
        QStringLiteral("%1,%2,%3,%4")
            .arg(panelBox.x())
            .arg(panelBox.y())
            .arg(panelBox.width())
            .arg(panelBox.height()));
    ini.key(QStringLiteral("areacolor"), nineDigits(area));
    ini.key(QStringLiteral("timecolor"), nineDigits(day));
    ini.key(QStringLiteral("timenightcolor"), nineDigits(night));
}

QPointF polar(QPointF centre, double radius, double degreesFromTwelve)
{
    const double a = degreesFromTwelve * pi / 180;
    return centre + QPointF(radius * std::sin(a), -radius * std::cos(a));
}

void checkFont(const QFont& font)
{
    if (QFontInfo(font).family() != font.family())
        qWarning(
            "skingen: font \"%s\" is missing; the pictures will differ from the committed ones",
            qPrintable(font.family()));
}

// ---- Pebbles: polished stones, one picked at random each hour ----------------------------------

namespace pebbles {

constexpr int width = 150, height = 140;
constexpr double cx = 75, cy = 70, ax = 73, ay = 68, power = 2.5, domeHeight = 34;

double shapeValue(double x, double y)
{
    return std::pow(std::abs(x - cx) / ax, power) + std::pow(std::abs(y - cy) / ay, power);
}

bool inside(double x, double y)
{
    return shapeValue(x, y) <= 1;
}

double dome(double x, double y)
{
    const double s = shapeValue(x, y);
    return s >= 1 ? 0 : domeHeight * std::sqrt(1 - s);
}

QColor slate(double x, double y)
{
    const double f = Art::fbm(x / 24, y / 24, 4, 11);
    const double strata = 0.5 + 0.5 * std::sin((x * 0.35 + y * 0.94) / 4.2 + 4 * f);
    const QColor c = mix(QColor(56, 68, 82), QColor(96, 110, 126), 0.3 * strata + 0.55 * f);
    return scaled(c, 1 + 0.07 * (Art::grain(int(x), int(y), 12) - 0.5));
}

QColor jade(double x, double y)
{
    const double f = Art::fbm(x / 28, y / 28, 5, 21);
    QColor c = mix(QColor(28, 88, 68), QColor(110, 170, 134), 0.8 * smoothstep(0.36, 0.74, f));
    const double inclusion = Art::fbm(x / 7, y / 7, 2, 22);
    c = mix(c, QColor(16, 56, 44), 0.55 * smoothstep(0.74, 0.88, inclusion));
    return scaled(c, 1 + 0.04 * (Art::grain(int(x), int(y), 23) - 0.5));
}

QColor jasper(double x, double y)
{
    const double f = Art::fbm(x / 26, y / 26, 5, 31);
    QColor c = mix(QColor(132, 48, 36), QColor(178, 90, 56), f);
    const double vein = std::pow(1 - std::abs(std::sin((x * 0.62 - y * 0.48) / 7 + 6 * f)), 10);
    c = mix(c, QColor(72, 24, 20), 0.7 * vein);
    return scaled(c, 1 + 0.06 * (Art::grain(int(x), int(y), 32) - 0.5));
}

QColor lapis(double x, double y)
{
    const double f = Art::fbm(x / 20, y / 20, 5, 41);
    QColor c = mix(QColor(22, 38, 108), QColor(50, 80, 168), smoothstep(0.3, 0.8, f));
    const double calcite = Art::fbm(x / 11 + 3, y / 11, 3, 42);
    c = mix(c, QColor(150, 160, 186), 0.5 * smoothstep(0.7, 0.84, calcite));
    if (Art::grain(int(x), int(y), 43) > 0.992)
        c = mix(c, QColor(218, 180, 96), 0.85); // pyrite flecks
    return c;
}

QImage stone(QColor (*material)(double, double), int scale)
{
    QImage image = canvas(width, height, QColor(40, 40, 44), scale);
    // Light from the upper left onto a low dome: lit slope, soft highlight, dark rim.
    const double lx = -0.45, ly = -0.6, lz = 0.66;
    const double hx = lx, hy = ly, hz = lz + 1;
    const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double px = (x + 0.5) / scale, py = (y + 0.5) / scale;
            if (!inside(px, py))
                continue;
            const double dx = dome(px + 0.5, py) - dome(px - 0.5, py);
            const double dy = dome(px, py + 0.5) - dome(px, py - 0.5);
            const double nl = std::sqrt(dx * dx + dy * dy + 1);
            const double nx = -dx / nl, ny = -dy / nl, nz = 1 / nl;
            const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
            const double gloss = std::pow(std::max(0.0, (nx * hx + ny * hy + nz * hz) / hl), 24);
            const QColor base = scaled(material(px, py), 0.42 + 0.72 * diffuse);
            row[x] = mix(base, QColor(255, 250, 240), 0.45 * gloss).rgb();
        }
    }

    // Inlaid hour dots, the quarters larger, each with a faint shadow below.
    QPainter p(&image);
    scaleTo(p, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF centre(cx, cy);
    for (int h = 0; h < 12; ++h) {
        const double r = h % 3 == 0 ? 3.1 : 1.9;
        const QPointF at = polar(centre, 57, h * 30);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawEllipse(at + QPointF(0.5, 0.8), r, r);
        p.setBrush(QColor(246, 240, 226, 215));
        p.drawEllipse(at, r, r);
    }
    p.end();
    Art::cutOutline(image, magenta, inside, scale);
    return image;
}

SampleSkin make()
{
    Art::IniText ini;
    ini.comment(QStringLiteral("Pebbles: a sample skin of Horolan, drawn by horolan-skingen"));
    writeInfo(ini, QStringLiteral("Pebbles"),
        QStringLiteral("Four polished stones, slate, jade, jasper and lapis, one picked at random "
                       "each hour. Smooth as a Caf\u00e9 table."));
    ini.section(QStringLiteral("setting"));
    ini.key(QStringLiteral("useanalog"), QStringLiteral("yes"));
    ini.key(QStringLiteral("usedig"), QStringLiteral("no"));
    ini.key(QStringLiteral("backtype"), QStringLiteral("random"));
    ini.key(QStringLiteral("transcolor"), nineDigits(magenta));
    ini.key(QStringLiteral("analogpos"), QStringLiteral("15,10,120,120"));
    const QRgb ivory = qRgb(246, 240, 226);
    writeHands(
        ini, { ivory, 5, 52, -10 }, { ivory, 3, 80, -10 }, { qRgb(242, 186, 66), 1, 88, -20 });
    ini.key(QStringLiteral("smooth"), QStringLiteral("yes"));
    writeWorldTime(ini, ivory, ivory, qRgb(242, 186, 66));

    SampleSkin skin { QStringLiteral("Pebbles"), { skinIni(ini) } };
    skin.files << pictures(QStringLiteral("WTT1.png"), [](int scale) {
        return worldTimePanel(
            QColor(70, 76, 84), QColor(34, 37, 42), QColor(150, 156, 164), magenta, scale);
    });
    int n = 0;
    for (QColor (*material)(double, double) : { slate, jade, jasper, lapis })
        skin.files << pictures(QStringLiteral("back%1.png").arg(++n),
            [material](int scale) { return stone(material, scale); });
    return skin;
}

} // namespace pebbles

// ---- Hours: a sky dial whose colours follow the hour -------------------------------------------

namespace hours {

constexpr int side = 160;
constexpr double centre = 80, outerRadius = 79.6, skyRadius = 72.5;
constexpr QRgb green = qRgb(0, 255, 0);

bool inside(double x, double y)
{
    return std::hypot(x - centre, y - centre) <= outerRadius;
}

struct Sky {
    QColor top;
    QColor horizon;
};

// Night at 0 and a bright noon at 12; 1 to 11 serve morning and afternoon alike, so they stay
// day skies that warm towards the horizon in the early hours.
Sky skyAt(int hour)
{
    struct Key {
        int hour;
        QColor top, horizon;
    };
    static const Key keys[] = {
        { 0, QColor(6, 10, 30), QColor(28, 38, 86) },
        { 1, QColor(50, 76, 136), QColor(214, 168, 164) },
        { 3, QColor(44, 88, 156), QColor(236, 182, 150) },
        { 5, QColor(44, 102, 176), QColor(206, 200, 194) },
        { 8, QColor(36, 110, 194), QColor(158, 202, 236) },
        { 11, QColor(30, 112, 204), QColor(140, 204, 244) },
        { 12, QColor(20, 108, 214), QColor(126, 200, 250) },
    };
    for (std::size_t i = 1; i < std::size(keys); ++i) {
        if (hour <= keys[i].hour) {
            const Key& a = keys[i - 1];
            const Key& b = keys[i];
            const double t = double(hour - a.hour) / (b.hour - a.hour);
            return { mix(a.top, b.top, t), mix(a.horizon, b.horizon, t) };
        }
    }
    return { keys[0].top, keys[0].horizon };
}

QPainterPath hill(double base, double a1, double f1, double p1, double a2, double f2, double p2)
{
    QPainterPath path(QPointF(0, side));
    for (int x = 0; x <= side; x += 2)
        path.lineTo(x, base + a1 * std::sin(x * f1 + p1) + a2 * std::sin(x * f2 + p2));
    path.lineTo(side, side);
    path.closeSubpath();
    return path;
}

QImage dial(int hour, int scale)
{
    const QPointF c(centre, centre);
    QImage image = canvas(side, side, QColor(22, 28, 44), scale);
    QPainter p(&image);
    scaleTo(p, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Bezel: a dark steel ring lit from the upper left.
    QLinearGradient bezel(QPointF(30, 10), QPointF(130, 150));
    bezel.setColorAt(0, QColor(104, 116, 140));
    bezel.setColorAt(0.5, QColor(48, 58, 80));
    bezel.setColorAt(1, QColor(18, 22, 36));
    p.setBrush(bezel);
    p.drawEllipse(c, 81, 81);

    QPainterPath skyDisc;
    skyDisc.addEllipse(c, skyRadius, skyRadius);
    p.setClipPath(skyDisc);

    const Sky sky = skyAt(hour);
    QLinearGradient air(QPointF(0, centre - skyRadius), QPointF(0, 126));
    air.setColorAt(0, sky.top);
    air.setColorAt(0.55, mix(sky.top, sky.horizon, 0.35));
    air.setColorAt(1, sky.horizon);
    p.fillRect(QRect(0, 0, side, side), air);

    if (hour == 0) {
        // Stars, then a crescent moon with a faint halo.
        for (int i = 0; i < 46; ++i) {
            const double x = 12 + 136 * Art::grain(i, 1, 51);
            const double y = 14 + 100 * Art::grain(i, 2, 51);
            const double r = 0.45 + 0.7 * Art::grain(i, 3, 51);
            p.setBrush(QColor(255, 250, 230, 110 + int(140 * Art::grain(i, 4, 51))));
            p.drawEllipse(QPointF(x, y), r, r);
        }
        const QPointF moon(110, 46);
        QRadialGradient halo(moon, 26);
        halo.setColorAt(0, QColor(230, 230, 255, 60));
        halo.setColorAt(1, QColor(230, 230, 255, 0));
        p.setBrush(halo);
        p.drawEllipse(moon, 26, 26);
        QPainterPath disc, bite;
        disc.addEllipse(moon, 10, 10);
        bite.addEllipse(moon + QPointF(5, -4), 9, 9);
        p.setBrush(QColor(242, 236, 208));
        p.drawPath(disc.subtracted(bite));
    } else {
        // The sun climbs from the left horizon at 1 to high above the pivot at 12.
        const double theta = (165 - (hour - 1) * 75.0 / 11) * pi / 180;
        const QPointF sun(centre + 50 * std::cos(theta), centre - 50 * std::sin(theta));
        const QColor sunColour
            = mix(QColor(255, 196, 122), QColor(255, 246, 214), (hour - 1) / 11.0);
        QRadialGradient glow(sun, 36);
        glow.setColorAt(0, QColor(sunColour.red(), sunColour.green(), sunColour.blue(), 170));
        glow.setColorAt(0.35, QColor(sunColour.red(), sunColour.green(), sunColour.blue(), 60));
        glow.setColorAt(1, QColor(sunColour.red(), sunColour.green(), sunColour.blue(), 0));
        p.setBrush(glow);
        p.drawEllipse(sun, 36, 36);
        p.setBrush(sunColour);
        p.drawEllipse(sun, 7, 7);
    }

    // Two ranges of hills, the far one paler.
    const QColor dusk = hour == 0 ? QColor(8, 10, 22) : QColor(22, 30, 52);
    p.setBrush(mix(mix(sky.top, sky.horizon, 0.55), dusk, 0.45));
    p.drawPath(hill(113, 5, 0.045, 1.3, 3, 0.11, 0.4));
    p.setBrush(mix(sky.top, dusk, 0.72));
    p.drawPath(hill(124, 6, 0.05, 4.0, 2.5, 0.13, 2.2));

    // The hour itself, faint on the near hills.
    QFont font(dejaVuSans);
    font.setPixelSize(17);
    font.setBold(true);
    checkFont(font);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 105));
    p.drawText(QRectF(0, 124, side, 20), Qt::AlignCenter, QString::number(hour));

    // Inner shadow of the bezel on the sky.
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 110), 1.6));
    p.drawEllipse(c, skyRadius - 0.6, skyRadius - 0.6);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawEllipse(c, skyRadius + 1, skyRadius + 1);

    // Minute dots and hour ticks.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 120));
    for (int m = 0; m < 60; ++m) {
        if (m % 5 != 0)
            p.drawEllipse(polar(c, 68.6, m * 6), 0.65, 0.65);
    }
    for (int h = 0; h < 12; ++h) {
        const bool quarter = h % 3 == 0;
        p.setPen(QPen(QColor(255, 255, 255, 215), quarter ? 2.6 : 1.8, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(polar(c, quarter ? 61 : 63.5, h * 30), polar(c, 70.5, h * 30));
    }
    p.end();
    Art::cutOutline(image, green, inside, scale);
    return image;
}

SampleSkin make()
{
    Art::IniText ini;
    ini.comment(QStringLiteral("Hours: a sample skin of Horolan, drawn by horolan-skingen"));
    writeInfo(ini, QStringLiteral("Hours"),
        QStringLiteral("A sky dial that follows the day: night at midnight, early light, and a "
                       "bright sky at noon. One picture for each hour."));
    ini.section(QStringLiteral("setting"));
    ini.key(QStringLiteral("useanalog"), QStringLiteral("yes"));
    ini.key(QStringLiteral("backtype"), QStringLiteral("order"));
    ini.key(QStringLiteral("transcolor"), nineDigits(green));
    ini.key(QStringLiteral("analogpos"), QStringLiteral("20,20,120,120"));
    const QRgb white = qRgb(250, 248, 240);
    writeHands(
        ini, { white, 4, 52, -10 }, { white, 3, 80, -10 }, { qRgb(255, 138, 56), 1, 90, -18 });
    ini.key(QStringLiteral("smooth"), QStringLiteral("yes"));
    writeWorldTime(ini, white, qRgb(255, 214, 120), qRgb(150, 190, 255));

    SampleSkin skin { QStringLiteral("Hours"), { skinIni(ini) } };
    // Two panels, one chosen at random each time the skin is applied: dusk and night.
    skin.files << pictures(QStringLiteral("WTTdusk.png"), [](int scale) {
        return worldTimePanel(
            QColor(70, 92, 150), QColor(196, 120, 84), QColor(250, 236, 210), green, scale);
    });
    skin.files << pictures(QStringLiteral("WTTnight.png"), [](int scale) {
        return worldTimePanel(
            QColor(8, 14, 40), QColor(26, 40, 86), QColor(200, 210, 240), green, scale);
    });
    for (int hour = 0; hour <= 12; ++hour)
        skin.files << pictures(QStringLiteral("back%1.png").arg(hour),
            [hour](int scale) { return dial(hour, scale); });
    return skin;
}

} // namespace hours

// ---- Spinner: a brass gear turning around a still enamel dial ----------------------------------

namespace spinner {

constexpr int side = 180, frames = 10, teeth = 12;
constexpr double centre = 90, rootRadius = 76, tipRadius = 88.6, dialRadius = 57;
// One tooth's pitch over the ten frames, so the loop has no seam.
constexpr double stepDegrees = 360.0 / teeth / frames;

double profile(double angleDegrees, double turnDegrees)
{
    const double pitch = 360.0 / teeth;
    double t = std::fmod(angleDegrees - turnDegrees, pitch) / pitch;
    if (t < 0)
        t += 1;
    const double d = std::abs(t - 0.5) * 2; // 0 at a tooth's middle, 1 in the gap
    return rootRadius + (tipRadius - rootRadius) * (1 - smoothstep(0.34, 0.64, d));
}

double angleOf(double x, double y)
{
    return std::atan2(x - centre, -(y - centre)) * 180 / pi; // clockwise from twelve
}

QImage frame(int index, int scale)
{
    const double turn = index * stepDegrees;
    const QPointF c(centre, centre);
    QImage image = canvas(side, side, QColor(104, 76, 32), scale);
    QPainter p(&image);
    scaleTo(p, scale);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath gear;
    for (int i = 0; i <= 1440; ++i) {
        const double a = i * 0.25;
        const QPointF pt = polar(c, profile(a, turn), a);
        i == 0 ? gear.moveTo(pt) : gear.lineTo(pt);
    }
    gear.closeSubpath();
    // Brushed brass: the sheen stays with the light while the gear turns.
    QConicalGradient brass(c, 35);
    const QColor light(236, 204, 126), dark(150, 110, 46);
    for (int i = 0; i <= 8; ++i)
        brass.setColorAt(i / 8.0, i % 2 == 0 ? light : dark);
    p.setBrush(brass);
    p.setPen(QPen(QColor(96, 66, 24), 1.4));
    p.drawPath(gear);

    // A raised rim inside the teeth, then the groove round the dial.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 236, 176, 120), 1.2));
    p.drawEllipse(c, 73, 73);
    p.setPen(QPen(QColor(90, 60, 20, 150), 1.2));
    p.drawEllipse(c, 71.6, 71.6);

    // Rivets between the teeth turn with the gear.
    p.setPen(Qt::NoPen);
    for (int j = 0; j < teeth; ++j) {
        const QPointF at = polar(c, 66, turn + (j + 0.5) * 360.0 / teeth);
        QRadialGradient rivet(at - QPointF(0.8, 0.8), 3);
        rivet.setColorAt(0, QColor(255, 240, 190));
        rivet.setColorAt(1, QColor(120, 84, 30));
        p.setBrush(rivet);
        p.drawEllipse(at, 2.4, 2.4);
    }

    p.setBrush(QColor(70, 48, 18));
    p.drawEllipse(c, dialRadius + 3, dialRadius + 3);
    QRadialGradient enamel(c - QPointF(14, 16), dialRadius * 1.4);
    enamel.setColorAt(0, QColor(252, 247, 234));
    enamel.setColorAt(0.7, QColor(240, 230, 206));
    enamel.setColorAt(1, QColor(214, 200, 168));
    p.setBrush(enamel);
    p.drawEllipse(c, dialRadius, dialRadius);

    for (int m = 0; m < 60; ++m) {
        const bool hour = m % 5 == 0;
        p.setPen(QPen(QColor(52, 44, 36), hour ? 2.2 : 0.8, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(polar(c, hour ? 46 : 51, m * 6), polar(c, 54.5, m * 6));
    }
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(13);
    checkFont(font);
    p.setFont(font);
    p.setPen(QColor(52, 44, 36));
    for (int h : { 12, 3, 6, 9 }) {
        const QPointF at = polar(c, 36, h * 30);
        p.drawText(
            QRectF(at - QPointF(12, 9), QSizeF(24, 18)), Qt::AlignCenter, QString::number(h));
    }
    p.end();
    Art::cutOutline(
        image, magenta,
        [turn](double x, double y) {
            return std::hypot(x - centre, y - centre) <= profile(angleOf(x, y), turn);
        },
        scale);
    return image;
}

SampleSkin make()
{
    Art::IniText ini;
    ini.comment(QStringLiteral("Spinner: a sample skin of Horolan, drawn by horolan-skingen"));
    writeInfo(ini, QStringLiteral("Spinner"),
        QStringLiteral("A brass gear that keeps turning round a still enamel dial. "
                       "Ten frames, played at the clock's speed."));
    ini.section(QStringLiteral("setting"));
    ini.key(QStringLiteral("useanalog"), QStringLiteral("yes"));
    ini.key(QStringLiteral("backtype"), QStringLiteral("animated"));
    ini.key(QStringLiteral("transcolor"), nineDigits(magenta));
    ini.key(QStringLiteral("analogpos"), QStringLiteral("30,30,120,120"));
    const QRgb ink = qRgb(34, 38, 52);
    writeHands(ini, { ink, 5, 52, -12 }, { ink, 3, 84, -12 }, { qRgb(178, 36, 30), 1, 90, -22 });
    ini.key(QStringLiteral("smooth"), QStringLiteral("no"));

    SampleSkin skin { QStringLiteral("Spinner"), { skinIni(ini) } };
    for (int i = 0; i < frames; ++i)
        skin.files << pictures(QStringLiteral("Back%1.BMP").arg(i + 1, 2, 10, QLatin1Char('0')),
            [i](int scale) { return frame(i, scale); });
    return skin;
}

} // namespace spinner

// ---- Digits: a tilted display panel with the time in three rotated texts -----------------------

namespace digits {

constexpr int width = 270, height = 118;
constexpr double cx = 135, cy = 59, tiltDegrees = 7;
constexpr double halfLength = 128, halfHeight = 42, radius = 20, bezel = 9;

// Panel coordinates (u along the panel, v across, downward) to picture pixels.
QPointF toPicture(double u, double v)
{
    const double a = tiltDegrees * pi / 180;
    return { cx + u * std::cos(a) + v * std::sin(a), cy - u * std::sin(a) + v * std::cos(a) };
}

double roundedBoxDistance(double u, double v, double hu, double hv, double r)
{
    const double qx = std::abs(u) - hu + r, qy = std::abs(v) - hv + r;
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

bool inside(double x, double y)
{
    const double a = tiltDegrees * pi / 180;
    const double dx = x - cx, dy = y - cy;
    const double u = dx * std::cos(a) - dy * std::sin(a);
    const double v = dx * std::sin(a) + dy * std::cos(a);
    return roundedBoxDistance(u, v, halfLength, halfHeight, radius) <= 0;
}

struct Text {
    QString section;
    bool colon; // ends with a blinking colon
    int sizePoints;
    QPoint at; // top-left of the text, pixels
};

QFont rotatedFont(int sizePoints)
{
    QFont font(dejaVuSans);
    font.setPixelSize(*FaceGeometry::rotatedPixelSize(sizePoints));
    return font;
}

// Hours and minutes large, seconds small on the same baseline, am/pm above the seconds; the row
// centred on the screen and the large digits centred across it.
QList<Text> layout()
{
    const QFont big = rotatedFont(28), small = rotatedFont(16), tiny = rotatedFont(9);
    const QFontMetricsF mb(big), ms(small), mt(tiny);
    const QRectF eight = mb.tightBoundingRect(QStringLiteral("8"));
    const double gap = 5;
    const double row = 2 * mb.horizontalAdvance(QStringLiteral("88:")) + gap
        + ms.horizontalAdvance(QStringLiteral("88"));
    const double u0 = -row / 2;
    const double vBig = -(mb.ascent() + eight.top() + eight.height() / 2);
    const double baseline = vBig + mb.ascent();
    const double uSec = u0 + 2 * mb.horizontalAdvance(QStringLiteral("88:")) + gap;
    const double digitTop = vBig + mb.ascent() + eight.top();
    const double vAmpm
        = digitTop - (mt.ascent() + mt.tightBoundingRect(QStringLiteral("PM")).top());
    const auto at = [](double u, double v) { return toPicture(u, v).toPoint(); };
    return {
        { QStringLiteral("hur"), true, 28, at(u0, vBig) },
        { QStringLiteral("min"), true, 28,
            at(u0 + mb.horizontalAdvance(QStringLiteral("88:")), vBig) },
        { QStringLiteral("sec"), false, 16, at(uSec, baseline - ms.ascent()) },
        { QStringLiteral("ampm"), false, 9, at(uSec + 1, vAmpm) },
    };
}

const QColor lit(150, 236, 255);

QImage plate(const QList<Text>& texts, int scale)
{
    QImage image = canvas(width, height, QColor(34, 36, 42), scale);
    QPainter p(&image);
    scaleTo(p, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(cx, cy);
    p.rotate(-tiltDegrees);

    // Graphite frame, lit along its upper edge.
    const QRectF outer(-halfLength - 1, -halfHeight - 1, 2 * halfLength + 2, 2 * halfHeight + 2);
    QLinearGradient frame(QPointF(0, -halfHeight), QPointF(0, halfHeight));
    frame.setColorAt(0, QColor(96, 102, 112));
    frame.setColorAt(0.12, QColor(66, 70, 78));
    frame.setColorAt(1, QColor(26, 28, 32));
    p.setPen(Qt::NoPen);
    p.setBrush(frame);
    p.drawRoundedRect(outer, radius + 1, radius + 1);

    // The screen, sunk into the frame, with a faint reflection across it.
    const QRectF screen(-halfLength + bezel, -halfHeight + bezel, 2 * (halfLength - bezel),
        2 * (halfHeight - bezel));
    p.setPen(QPen(QColor(130, 136, 146), 1));
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(14, 30, 40));
    glass.setColorAt(1, QColor(6, 14, 20));
    p.setBrush(glass);
    p.drawRoundedRect(screen.translated(0, 0.6), radius - bezel, radius - bezel);
    p.setPen(QPen(QColor(0, 0, 0, 170), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(screen, radius - bezel, radius - bezel);
    QLinearGradient sheen(QPointF(-60, -40), QPointF(40, 40));
    sheen.setColorAt(0, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.45, QColor(255, 255, 255, 16));
    sheen.setColorAt(0.55, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawRoundedRect(
        screen.adjusted(1.5, 1.5, -1.5, -1.5), radius - bezel - 1, radius - bezel - 1);
    p.resetTransform();
    scaleTo(p, scale);

    // Unlit colons, where the clock's blinking ones stand, so the dark beat still shows them.
    p.setPen(mix(QColor(10, 22, 30), lit, 0.16));
    for (const Text& t : texts) {
        if (!t.colon)
            continue;
        const QFont font = rotatedFont(t.sizePoints);
        const QFontMetricsF m(font);
        p.save();
        p.translate(t.at);
        p.rotate(-tiltDegrees);
        p.setFont(font);
        p.drawText(
            QPointF(m.horizontalAdvance(QStringLiteral("88")), m.ascent()), QStringLiteral(":"));
        p.restore();
    }
    p.end();
    Art::cutOutline(image, magenta, inside, scale);
    return image;
}

SampleSkin make()
{
    checkFont(rotatedFont(28));
    const QList<Text> texts = layout();
    Art::IniText ini;
    ini.comment(QStringLiteral("Digits: a sample skin of Horolan, drawn by horolan-skingen"));
    writeInfo(ini, QStringLiteral("Digits"),
        QStringLiteral("A tilted display panel: hours, minutes and seconds each on their own, "
                       "the colons blinking."));
    ini.section(QStringLiteral("setting"));
    ini.key(QStringLiteral("useanalog"), QStringLiteral("no"));
    ini.key(QStringLiteral("usedig"), QStringLiteral("yes"));
    ini.key(QStringLiteral("break"), QStringLiteral("yes"));
    ini.key(QStringLiteral("blinkdots"), QStringLiteral("yes"));
    ini.key(QStringLiteral("showdigsec"), QStringLiteral("yes"));
    ini.key(QStringLiteral("backtype"), QStringLiteral("random"));
    ini.key(QStringLiteral("transcolor"), nineDigits(magenta));
    for (const Text& t : texts) {
        ini.section(t.section);
        ini.key(QStringLiteral("xy"), QStringLiteral("%1,%2").arg(t.at.x()).arg(t.at.y()));
        ini.key(QStringLiteral("font"), dejaVuSans);
        // Rotated texts are printed at normal weight, and the layout is measured so.
        ini.key(QStringLiteral("fontbold"), QStringLiteral("no"));
        ini.key(QStringLiteral("fontsize"), QString::number(t.sizePoints));
        ini.key(QStringLiteral("color"), nineDigits(lit.rgb()));
        ini.key(QStringLiteral("angle"), QString::number(tiltDegrees));
    }
    return { QStringLiteral("Digits"),
        QList<SkinFile> { skinIni(ini) } + pictures(QStringLiteral("back1.png"), [&](int scale) {
            return plate(texts, scale);
        }) };
}

} // namespace digits

// ---- Tyme Slate: a slim slate bar in the Tyme format -------------------------------------------

namespace slate {

constexpr int width = 210, height = 42;
constexpr double radius = 20.9, cy = 21;

bool inside(double x, double y)
{
    const double nearest = std::clamp(x, radius + 0.1, width - radius - 0.1);
    return std::hypot(x - nearest, y - cy) <= radius;
}

constexpr int sizePoints = 17;
const QColor ink(240, 232, 214);

// The Tyme "topoffset" that centres the digits on the bar, as the clock prints them.
int topOffset()
{
    QFont font(dejaVuSans);
    font.setPixelSize(int(std::lround(sizePoints * 96.0 / 72)));
    font.setBold(true);
    checkFont(font);
    const QFontMetricsF m(font);
    const QRectF eight = m.tightBoundingRect(QStringLiteral("8"));
    return int(std::lround(cy - (m.ascent() + eight.top() + eight.height() / 2)));
}

QImage bar(int scale)
{
    QImage image = canvas(width, height, QColor(38, 44, 52), scale);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double px = (x + 0.5) / scale, py = (y + 0.5) / scale;
            const double f = Art::fbm(px / 30, py / 12, 4, 61);
            const double strata = 0.5 + 0.5 * std::sin(py / 3.1 + px * 0.02 + 5 * f);
            QColor c = mix(QColor(50, 58, 70), QColor(78, 88, 102), 0.35 * strata + 0.45 * f);
            c = scaled(c, 1 + 0.06 * (Art::grain(x / scale, y / scale, 62) - 0.5));
            row[x] = c.rgb();
        }
    }
    QPainter p(&image);
    scaleTo(p, scale);
    p.setRenderHint(QPainter::Antialiasing);
    // Bevel: light along the top, shade along the bottom, a fine edge all round.
    QLinearGradient bevel(QPointF(0, 0), QPointF(0, height));
    bevel.setColorAt(0, QColor(255, 255, 255, 70));
    bevel.setColorAt(0.45, QColor(255, 255, 255, 0));
    bevel.setColorAt(0.6, QColor(0, 0, 0, 0));
    bevel.setColorAt(1, QColor(0, 0, 0, 110));
    p.setPen(QPen(QBrush(bevel), 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1.6, 1.6, width - 3.2, height - 3.2), radius - 1.6, radius - 1.6);
    p.setPen(QPen(QColor(16, 20, 26), 1.2));
    p.drawRoundedRect(QRectF(0.3, 0.3, width - 0.6, height - 0.6), radius, radius);
    // A stud at each end.
    p.setPen(Qt::NoPen);
    for (double x : { 12.5, width - 12.5 }) {
        QRadialGradient stud(QPointF(x - 1, cy - 1), 4);
        stud.setColorAt(0, QColor(210, 214, 220));
        stud.setColorAt(1, QColor(70, 76, 86));
        p.setBrush(stud);
        p.drawEllipse(QPointF(x, cy), 3, 3);
    }
    p.end();
    Art::cutOutline(image, magenta, inside, scale);
    return image;
}

SampleSkin make()
{
    Art::IniText ini;
    ini.comment(QStringLiteral("Tyme Slate: a sample skin in the Tyme format, drawn by "
                               "horolan-skingen"));
    writeInfo(ini, QStringLiteral("Tyme Slate"),
        QStringLiteral("A slim slate bar with the time in the middle, made the Tyme way."));
    ini.section(QStringLiteral("font"));
    ini.key(QStringLiteral("fontcolor"), Art::tymeHex(ink.rgb()));
    ini.key(QStringLiteral("alignment"), QStringLiteral("center"));
    ini.key(QStringLiteral("offset"), QStringLiteral("10"));
    ini.key(QStringLiteral("topoffset"), QString::number(topOffset()));
    ini.key(QStringLiteral("font"), dejaVuSans);
    ini.key(QStringLiteral("fontsize"), QString::number(sizePoints));
    ini.key(QStringLiteral("bold"), QStringLiteral("true"));
    ini.section(QStringLiteral("skin"));
    ini.key(QStringLiteral("transcolor"), nineDigits(magenta));
    return { QStringLiteral("Tyme Slate"),
        QList<SkinFile> { skinIni(ini) } + pictures(QStringLiteral("main.bmp"), bar) };
}

} // namespace slate

} // namespace

namespace SampleSkins {

QList<SampleSkin> all()
{
    return { pebbles::make(), hours::make(), spinner::make(), digits::make(), slate::make() };
}

} // namespace SampleSkins
