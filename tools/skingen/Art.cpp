#include "Art.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

namespace Art {

namespace {

std::uint32_t hash(int x, int y, std::uint32_t seed)
{
    std::uint32_t h
        = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

double lattice(int x, int y, std::uint32_t seed)
{
    return hash(x, y, seed) / 4294967296.0;
}

int clampByte(double v)
{
    return std::clamp(int(std::lround(v)), 0, 255);
}

} // namespace

double noise(double x, double y, std::uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const double tx = smoothstep(0, 1, x - fx), ty = smoothstep(0, 1, y - fy);
    const double top = lattice(ix, iy, seed) * (1 - tx) + lattice(ix + 1, iy, seed) * tx;
    const double bottom = lattice(ix, iy + 1, seed) * (1 - tx) + lattice(ix + 1, iy + 1, seed) * tx;
    return top * (1 - ty) + bottom * ty;
}

double fbm(double x, double y, int octaves, std::uint32_t seed)
{
    double sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * noise(x, y, seed + std::uint32_t(i) * 7919u);
        total += amplitude;
        amplitude /= 2;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / total;
}

double grain(int x, int y, std::uint32_t seed)
{
    return lattice(x, y, seed ^ 0x9e3779b9u);
}

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor(clampByte(a.red() + (b.red() - a.red()) * t),
        clampByte(a.green() + (b.green() - a.green()) * t),
        clampByte(a.blue() + (b.blue() - a.blue()) * t),
        clampByte(a.alpha() + (b.alpha() - a.alpha()) * t));
}

QColor scaled(const QColor& c, double factor)
{
    return QColor(clampByte(c.red() * factor), clampByte(c.green() * factor),
        clampByte(c.blue() * factor), c.alpha());
}

QString nineDigits(QRgb colour)
{
    return QStringLiteral("%1%2%3")
        .arg(qRed(colour), 3, 10, QLatin1Char('0'))
        .arg(qGreen(colour), 3, 10, QLatin1Char('0'))
        .arg(qBlue(colour), 3, 10, QLatin1Char('0'));
}

QString tymeHex(QRgb colour)
{
    return QStringLiteral("%1%2%3")
        .arg(qBlue(colour), 2, 16, QLatin1Char('0'))
        .arg(qGreen(colour), 2, 16, QLatin1Char('0'))
        .arg(qRed(colour), 2, 16, QLatin1Char('0'))
        .toUpper();
}

void cutOutline(
    QImage& image, QRgb key, const std::function<bool(double x, double y)>& inside, int scale)
{
    Q_ASSERT(image.format() == QImage::Format_RGB32);
    const QRgb opaqueKey = key | 0xff000000u;
    // One step in blue (or back from 255) keeps the colour and leaves the key.
    const QRgb nudged = qRgb(qRed(key), qGreen(key), qBlue(key) == 255 ? 254 : qBlue(key) + 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!inside((x + 0.5) / scale, (y + 0.5) / scale))
                row[x] = opaqueKey;
            else if ((row[x] | 0xff000000u) == opaqueKey)
                row[x] = nudged;
        }
    }
}

void IniText::comment(const QString& text)
{
    m_lines << QStringLiteral("; ") + text;
}

void IniText::section(const QString& name)
{
    if (!m_lines.isEmpty())
        m_lines << QString();
    m_lines << QStringLiteral("[%1]").arg(name);
}

void IniText::key(const QString& name, const QString& value)
{
    Q_ASSERT(!value.contains(u';')); // the reader would cut the value there
    m_lines << name + u'=' + value;
}

QByteArray IniText::bytes() const
{
    // Latin-1 is Windows-1252 for every character these files use.
    QByteArray out;
    for (const QString& line : m_lines) {
        for (const QChar c : line)
            Q_ASSERT(c.unicode() < 0x80 || (c.unicode() >= 0xa0 && c.unicode() <= 0xff));
        out += line.toLatin1() + "\r\n";
    }
    return out;
}

QByteArray encode(const QImage& image, const QString& fileName)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool bmp = fileName.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive);
    QImageWriter writer(&buffer, bmp ? "bmp" : "png");
    if (!bmp)
        writer.setQuality(0); // PNG stays lossless: quality 0 asks for the strongest compression
    // Qt writes 24-bit BMP and RGB PNG for an opaque 32-bit picture.
    writer.write(image.convertToFormat(QImage::Format_RGB32));
    return bytes;
}

} // namespace Art
