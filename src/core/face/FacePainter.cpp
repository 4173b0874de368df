#include "core/face/FacePainter.h"

#include "core/base/Logging.h"
#include "core/text/NumberReading.h"
#include "core/base/Twips.h"
#include "core/face/TimeText.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace FaceGeometry {

namespace {
constexpr double pi = 3.14159265358979;
constexpr double defaultPoints = 9;
// Twice what the largest rotated font can reach; a skin asking for more gets this.
constexpr int maxWindowFontPixels = 4400;

bool fitsInt16(long long v)
{
    return v >= -32768 && v <= 32767;
}
} // namespace

bool isSaneCoordinate(double px)
{
    return std::isfinite(px) && std::abs(px) <= coordinateLimit;
}

double hourDegrees(int hour, int minute)
{
    const int h = hour > 12 ? hour - 12 : hour;
    return h / 12.0 * 360 + minute / 60.0 * 30;
}

double minuteDegrees(int minute, int second, bool smooth)
{
    return (minute + (smooth ? 1 : 0) * second / 60.0) * 6;
}

double secondDegrees(int second, double fraction, bool smooth)
{
    return (second + (smooth ? 1 : 0) * fraction) * 6;
}

float handAngle(double degrees)
{
    return float((degrees - 90) * pi / 180);
}

QPointF handPoint(const TwipsBox& box, double percent, float angle)
{
    const double rx = double(box.width) / 2;
    const double ry = double(box.height) / 2;
    const double cx = double(box.left) + rx;
    const double cy = double(box.top) + ry;
    const double a = angle;
    return { Twips::toPixels(cx + rx * percent / 100 * std::cos(a)),
        Twips::toPixels(cy + ry * percent / 100 * std::sin(a)) };
}

std::optional<QLineF> clipLine(const QLineF& line, const QRectF& rect)
{
    const double x0 = line.x1(), y0 = line.y1();
    const double dx = line.x2() - x0, dy = line.y2() - y0;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(dx) || !std::isfinite(dy))
        return std::nullopt;
    // Liang-Barsky: the parameter range of the line that lies inside each of the four edges.
    const double p[4] = { -dx, dx, -dy, dy };
    const double q[4]
        = { x0 - rect.left(), rect.right() - x0, y0 - rect.top(), rect.bottom() - y0 };
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return std::nullopt;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1)
            return std::nullopt;
    }
    return QLineF(x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy);
}

bool isColonHidden(int second, const QString& blinkdots)
{
    const QString dots = blinkdots.trimmed();
    const bool odd = second % 2 != 0;
    return (odd && dots.compare(u"yes", Qt::CaseInsensitive) == 0)
        || dots.compare(u"off", Qt::CaseInsensitive) == 0;
}

std::optional<int> rotatedPixelSize(int sizePoints)
{
    const long long product = 22LL * sizePoints;
    if (!fitsInt16(product))
        return std::nullopt;
    return int(NumberReading::roundHalfEven(std::abs(product) / Twips::perPixel));
}

QString fontFamily(const SkinFont& font)
{
    return font.face.trimmed().isEmpty() ? QGuiApplication::font().family() : font.face;
}

double fontPoints(const SkinFont& font)
{
    return std::isfinite(font.size) && font.size > 0 ? font.size : defaultPoints;
}

QFont windowFont(const SkinFont& skinFont)
{
    const double px = NumberReading::roundHalfEven(fontPoints(skinFont) * 96 / 72);
    QFont font(fontFamily(skinFont));
    font.setPixelSize(int(std::clamp(px, 1.0, double(maxWindowFontPixels))));
    font.setBold(skinFont.bold);
    font.setItalic(skinFont.italic);
    font.setUnderline(skinFont.underline);
    return font;
}

} // namespace FaceGeometry

using namespace FaceGeometry;

namespace {

// A font size or an angle handed on as a 16-bit whole number; nullopt where it does not fit.
std::optional<int> roundedInt16(double value)
{
    const double r = NumberReading::roundHalfEven(value);
    if (!std::isfinite(r) || r < -32768 || r > 32767)
        return std::nullopt;
    return int(r);
}

} // namespace

FacePainter::FacePainter(QPainter& painter)
    : m_painter(painter)
{
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_print.font = QGuiApplication::font();
}

void FacePainter::drawBackground(const QImage& picture)
{
    if (picture.isNull())
        return;
    m_painter.save();
    // Source replaces what the last tick drew, even under translucent pixels of the picture.
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    const bool scaled = m_painter.deviceTransform().type() > QTransform::TxTranslate;
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, scaled);
    m_painter.drawImage(QRectF(QPointF(0, 0), picture.deviceIndependentSize()), picture);
    m_painter.restore();
}

void FacePainter::drawDigitalTime(
    const SkinRecord& skin, const QDateTime& now, const QLocale& locale)
{
    if (!skin.usedig)
        return;
    const auto text = [&](QStringView pattern) { return TimeText::format(pattern, now, locale); };
    const auto place = [this](const TextElement& element) {
        m_print.CurrentX = Twips::toPixels(element.left);
        m_print.CurrentY = Twips::toPixels(element.top);
        m_print.ForeColor = toQColor(element.color);
    };
    const auto printElement
        = [this](const QString& s, const TextElement& element, std::int16_t angleTenths) {
              const auto size = roundedInt16(fontPoints(element.font));
              const auto angle = roundedInt16(angleTenths / 10.0);
              if (!size || !angle) {
                  qCDebug(lcMain) << "text" << s
                                  << "not printed: its font size or angle does not fit 16 bits";
                  return;
              }
              PrintRotated(s, fontFamily(element.font), *size, *angle, 0);
          };

    if (skin.AMPM) {
        place(skin.ampm);
        printElement(text(u"AMPM"), skin.ampm, skin.angle[3]);
    }

    const bool hidden = isColonHidden(now.time().second(), skin.blinkdots);
    if (skin.break_) {
        QString hours = skin.AMPM ? text(u"HH: AMPM").left(3) : text(u"HH:");
        if (hidden)
            hours.truncate(2);
        place(skin.hur);
        printElement(hours, skin.hur, skin.angle[0]);

        QString minutes = text(u"NN:");
        if (hidden || !skin.showdigsec)
            minutes.truncate(2);
        place(skin.min);
        printElement(minutes, skin.min, skin.angle[1]);

        if (skin.showdigsec) {
            place(skin.sec);
            printElement(text(u"SS"), skin.sec, skin.angle[2]);
        }
        return;
    }

    QString s = skin.AMPM ? text(u"HH:NN AMPM").left(5) : text(u"HH:NN");
    m_print.font = windowFont(skin.hur.font);
    if (skin.showdigsec)
        s += text(u":SS");
    place(skin.hur);
    const QString colon = QStringLiteral(":");
    if (hidden) {
        // The colons leave gaps of their own width, so the digits keep their places.
        Print(s.mid(0, 2));
        m_print.CurrentX += TextWidth(colon);
        m_print.CurrentY = Twips::toPixels(skin.hur.top);
        Print(s.mid(3, 2));
        if (skin.showdigsec) {
            m_print.CurrentX += TextWidth(colon);
            Print(s.right(2));
        }
    } else {
        Print(s.mid(0, 2));
        Print(colon);
        Print(s.mid(3, 2));
        if (skin.showdigsec) {
            Print(colon);
            Print(s.right(2));
        }
    }
}

void FacePainter::drawHands(const SkinRecord& skin, const QDateTime& now)
{
    if (!skin.useanalog)
        return;
    const QTime t = now.time();
    const double fraction = t.msec() / 1000.0;
    const TwipsBox& box = skin.analogpos;
    drawHand(box, hourDegrees(t.hour(), t.minute()), skin.hurstart, skin.hurlenght, skin.hurwidth,
        skin.hurcolor);
    drawHand(box, minuteDegrees(t.minute(), t.second(), skin.smooth), skin.minstart, skin.minlenght,
        skin.minwidth, skin.mincolor);
    drawHand(box, secondDegrees(t.second(), fraction, skin.smooth), skin.secstart, skin.seclenght,
        skin.secwidth, skin.seccolor);
}

void FacePainter::drawHand(
    const TwipsBox& box, double degrees, int start, int length, int width, ColorRef color)
{
    const float angle = handAngle(degrees);
    const double penWidth = std::max(width, 1);
    // Clipped a little outside the surface so the round caps that do show stay whole.
    const double margin = penWidth + 2;
    const auto line = clipLine(QLineF(handPoint(box, start, angle), handPoint(box, length, angle)),
        visibleRect().adjusted(-margin, -margin, margin, margin));
    if (!line)
        return;
    QPen pen(toQColor(color));
    pen.setWidthF(penWidth);
    pen.setCapStyle(Qt::RoundCap);
    m_painter.setPen(pen);
    // A hand pivots on the centre of its pixel, as the old pixel-grid drawing did: a thin upright
    // hand then covers one column in full instead of two columns at half strength.
    m_painter.drawLine(line->translated(0.5, 0.5));
}

QRectF FacePainter::visibleRect() const
{
    const QPaintDevice* device = m_painter.device();
    const double limit = coordinateLimit;
    if (!device)
        return QRectF(-limit, -limit, 2 * limit, 2 * limit);
    const double dpr = device->devicePixelRatioF();
    const QRectF logical(0, 0, device->width() / dpr, device->height() / dpr);
    bool invertible = false;
    const QTransform inverse = m_painter.worldTransform().inverted(&invertible);
    return invertible ? inverse.mapRect(logical) : logical;
}

void FacePainter::Print(const QString& text)
{
    const QFontMetricsF metrics(m_print.font, m_painter.device());
    if (isSaneCoordinate(m_print.CurrentX) && isSaneCoordinate(m_print.CurrentY)) {
        m_painter.setFont(m_print.font);
        m_painter.setPen(m_print.ForeColor);
        m_painter.drawText(QPointF(m_print.CurrentX, m_print.CurrentY + metrics.ascent()), text);
    }
    m_print.CurrentX += metrics.horizontalAdvance(text);
}

double FacePainter::TextWidth(const QString& text) const
{
    return QFontMetricsF(m_print.font, m_painter.device()).horizontalAdvance(text);
}

void FacePainter::PrintRotated(
    const QString& text, const QString& fontName, int size, int angle, int italic)
{
    const auto pixels = rotatedPixelSize(size);
    const long long escapement = 10LL * angle;
    if (!pixels || escapement < -32768 || escapement > 32767) {
        qCDebug(lcMain) << "PrintRotated: size" << size << "or angle" << angle << "overflows";
        return;
    }
    if (!isSaneCoordinate(m_print.CurrentX) || !isSaneCoordinate(m_print.CurrentY)) {
        qCDebug(lcMain) << "text" << text << "not printed: position" << m_print.CurrentX
                        << m_print.CurrentY << "is far outside the window";
        return;
    }

    QFont font(fontName.trimmed().isEmpty() ? QGuiApplication::font().family() : fontName);
    // A height of 0 asks the platform for its default size.
    font.setPixelSize(*pixels > 0 ? *pixels : int(std::lround(fontPoints({}) * 96 / 72)));
    font.setItalic(italic != 0);

    m_painter.save();
    m_painter.translate(m_print.CurrentX, m_print.CurrentY);
    m_painter.rotate(-angle);
    m_painter.setFont(font);
    m_painter.setPen(m_print.ForeColor);
    m_painter.drawText(QPointF(0, QFontMetricsF(font, m_painter.device()).ascent()), text);
    m_painter.restore();
}

const QImage& ScaledBackground::forRatio(const QImage& picture, qreal dpr)
{
    if (picture.isNull() || dpr == picture.devicePixelRatio())
        return picture;
    const QSize size = (picture.deviceIndependentSize() * dpr).toSize();
    if (m_sourceKey != picture.cacheKey() || m_scaled.size() != size) {
        m_scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(dpr);
        m_sourceKey = picture.cacheKey();
    }
    return m_scaled;
}
