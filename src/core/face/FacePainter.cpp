#include "core/face/FacePainter.h"

#include "core/base/Logging.h"
#include "core/base/Twips.h"
#include "core/face/TimeText.h"
#include "core/shape/PictureScaling.h"
#include "core/text/NumberReading.h"

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

QPointF handPoint(const QRectF& box, double percent, float angle)
{
    const double rx = box.width() / 2;
    const double ry = box.height() / 2;
    const double a = angle;
    return { box.left() + rx + rx * percent / 100 * std::cos(a),
        box.top() + ry + ry * percent / 100 * std::sin(a) };
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

bool isColonHidden(int second, ColonBlink colons)
{
    return (second % 2 != 0 && colons == ColonBlink::Blink) || colons == ColonBlink::Hidden;
}

std::optional<int> rotatedPixelSize(int sizePoints)
{
    const long long product = 22LL * sizePoints;
    if (!fitsInt16(product))
        return std::nullopt;
    return int(NumberReading::roundHalfEven(std::abs(product) / Twips::perPixel));
}

QString fontFamily(const QFont& font)
{
    return font.family().trimmed().isEmpty() ? QGuiApplication::font().family() : font.family();
}

QFont windowFont(const QFont& skinFont)
{
    const double px = NumberReading::roundHalfEven(skinFont.pointSizeF() * 96 / 72);
    QFont font(fontFamily(skinFont));
    font.setPixelSize(int(std::clamp(px, 1.0, double(maxWindowFontPixels))));
    font.setBold(skinFont.bold());
    font.setItalic(skinFont.italic());
    font.setUnderline(skinFont.underline());
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
    m_pen.font = QGuiApplication::font();
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
    PictureScaling::drawInBands(m_painter, QPointF(0, 0), picture);
    m_painter.restore();
}

void FacePainter::drawDigitalTime(
    const Skin& skin, bool twelveHour, const QDateTime& now, const QLocale& locale)
{
    if (!skin.digital)
        return;
    const auto text = [&](QStringView pattern) { return TimeText::format(pattern, now, locale); };
    const auto place = [this](const TextElement& element) {
        m_pen.at = element.position;
        m_pen.color = element.color;
    };
    // Each separate text is printed turned, in its element's face and whole points, never bold.
    const auto printTurned = [this](const QString& s, const TextElement& element) {
        const auto size = roundedInt16(element.font.pointSizeF());
        const auto angle = roundedInt16(element.angleTenths / 10.0);
        if (!size || !angle) {
            qCDebug(lcMain) << "text" << s << "not printed: its size or angle does not fit 16 bits";
            return;
        }
        printRotated(s, fontFamily(element.font), *size, *angle, 0);
    };

    if (twelveHour) {
        place(skin.amPm);
        printTurned(text(u"AMPM"), skin.amPm);
    }

    const bool hidden = isColonHidden(now.time().second(), skin.colons);
    if (skin.separateTexts) {
        QString hours = twelveHour ? text(u"HH: AMPM").left(3) : text(u"HH:");
        if (hidden)
            hours.truncate(2);
        place(skin.hours);
        printTurned(hours, skin.hours);

        QString minutes = text(u"NN:");
        if (hidden || !skin.showSeconds)
            minutes.truncate(2);
        place(skin.minutes);
        printTurned(minutes, skin.minutes);

        if (skin.showSeconds) {
            place(skin.seconds);
            printTurned(text(u"SS"), skin.seconds);
        }
        return;
    }

    QString s = twelveHour ? text(u"HH:NN AMPM").left(5) : text(u"HH:NN");
    m_pen.font = windowFont(skin.hours.font);
    if (skin.showSeconds)
        s += text(u":SS");
    place(skin.hours);
    const QString colon = QStringLiteral(":");
    // Hidden colons leave gaps of their own width, so the digits keep their places.
    const auto separator = [&] {
        if (hidden)
            m_pen.at.rx() += textWidth(colon);
        else
            print(colon);
    };
    print(s.mid(0, 2));
    separator();
    print(s.mid(3, 2));
    if (skin.showSeconds) {
        separator();
        print(s.right(2));
    }
}

void FacePainter::drawHands(const Skin& skin, const QDateTime& now)
{
    if (!skin.analog)
        return;
    const QTime t = now.time();
    const QRectF& box = skin.analogBox;
    drawHand(box, hourDegrees(t.hour(), t.minute()), skin.hourHand);
    drawHand(box, minuteDegrees(t.minute(), t.second(), skin.smooth), skin.minuteHand);
    drawHand(box, secondDegrees(t.second(), t.msec() / 1000.0, skin.smooth), skin.secondHand);
}

void FacePainter::drawHand(const QRectF& box, double degrees, const Hand& hand)
{
    const float angle = handAngle(degrees);
    const double penWidth = std::max(hand.width, 1);
    // Clipped a little outside the surface so the round caps that do show stay whole.
    const double margin = penWidth + 2;
    const auto line
        = clipLine(QLineF(handPoint(box, hand.start, angle), handPoint(box, hand.length, angle)),
            visibleRect().adjusted(-margin, -margin, margin, margin));
    if (!line)
        return;
    QPen pen(hand.color);
    pen.setWidthF(penWidth);
    pen.setCapStyle(Qt::RoundCap);
    m_painter.setPen(pen);
    // A hand pivots on the centre of its pixel, as the old pixel-grid drawing did: a thin upright
    // hand then covers one column in full instead of two columns at half strength.
    m_painter.drawLine(line->translated(0.5, 0.5));
    // The round caps and the antialiased edge reach past the line by half the pen and a pixel.
    const double reach = penWidth / 2 + 2;
    m_handsArea |= QRectF(line->p1(), line->p2())
                       .normalized()
                       .translated(0.5, 0.5)
                       .adjusted(-reach, -reach, reach, reach);
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

void FacePainter::print(const QString& text)
{
    const QFontMetricsF metrics(m_pen.font, m_painter.device());
    if (isSaneCoordinate(m_pen.at.x()) && isSaneCoordinate(m_pen.at.y())) {
        m_painter.setFont(m_pen.font);
        m_painter.setPen(m_pen.color);
        m_painter.drawText(QPointF(m_pen.at.x(), m_pen.at.y() + metrics.ascent()), text);
    }
    m_pen.at.rx() += metrics.horizontalAdvance(text);
}

double FacePainter::textWidth(const QString& text) const
{
    return QFontMetricsF(m_pen.font, m_painter.device()).horizontalAdvance(text);
}

void FacePainter::printRotated(
    const QString& text, const QString& fontName, int size, int angle, int italic)
{
    const auto pixels = rotatedPixelSize(size);
    const long long escapement = 10LL * angle;
    if (!pixels || escapement < -32768 || escapement > 32767) {
        qCDebug(lcMain) << "rotated text: size" << size << "or angle" << angle << "overflows";
        return;
    }
    if (!isSaneCoordinate(m_pen.at.x()) || !isSaneCoordinate(m_pen.at.y())) {
        qCDebug(lcMain) << "text" << text << "not printed: position" << m_pen.at
                        << "is far outside the window";
        return;
    }

    QFont font(fontName.trimmed().isEmpty() ? QGuiApplication::font().family() : fontName);
    // A height of 0 asks the platform for its default size.
    font.setPixelSize(
        *pixels > 0 ? *pixels : int(std::lround(defaultSkinFont().pointSizeF() * 96 / 72)));
    font.setItalic(italic != 0);

    m_painter.save();
    m_painter.translate(m_pen.at);
    m_painter.rotate(-angle);
    m_painter.setFont(font);
    m_painter.setPen(m_pen.color);
    m_painter.drawText(QPointF(0, QFontMetricsF(font, m_painter.device()).ascent()), text);
    m_painter.restore();
}
