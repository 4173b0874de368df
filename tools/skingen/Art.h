#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <functional>

// Small drawing helpers shared by the sample skins: noise, colour arithmetic, the cutting of an
// outline and the writing of Skin.ini files.
namespace Art {

// Smooth value noise in [0, 1], the same for the same arguments on every machine.
double noise(double x, double y, std::uint32_t seed);
// Several octaves of noise, in [0, 1].
double fbm(double x, double y, int octaves, std::uint32_t seed);
// A hash of a pixel, in [0, 1): for sparse flecks.
double grain(int x, int y, std::uint32_t seed);

double smoothstep(double edge0, double edge1, double x);
QColor mix(const QColor& a, const QColor& b, double t);
QColor scaled(const QColor& c, double factor);

// The key as the nine digits of a Skin.ini colour: three each for red, green and blue.
QString nineDigits(QRgb colour);
// A Tyme colour: six hexadecimal digits, blue, green, red.
QString tymeHex(QRgb colour);

// Sets every pixel whose centre lies outside the shape to the key, and moves any inside pixel
// that equals the key one step away from it, so the traced outline is exactly the shape. The
// shape is in the picture's logical pixels, scale pixels a side each.
void cutOutline(
    QImage& image, QRgb key, const std::function<bool(double x, double y)>& inside, int scale = 1);

// A Skin.ini as the clock's reader expects it: CR LF line ends, Windows-1252 text.
class IniText {
public:
    void comment(const QString& text);
    void section(const QString& name);
    void key(const QString& name, const QString& value);
    QByteArray bytes() const;

private:
    QStringList m_lines;
};

// The picture encoded as the file name's suffix says: ".png" or ".bmp" (24 bits a pixel).
QByteArray encode(const QImage& image, const QString& fileName);

} // namespace Art
