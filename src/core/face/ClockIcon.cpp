#include "core/face/ClockIcon.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor ink(40, 40, 48);
const QColor paper(250, 246, 232);

// The drawing on a square of `side` units, whatever the unit.
struct Design {
    double side;
    // The hour marks only where there is room for them.
    bool marks() const { return side >= 48; }
    double ring() const { return std::max(1.0, side / 16); }
    double radius() const { return side / 2 - ring() / 2 - 0.25; }
    // Four o'clock: a short broad hour hand and a long minute hand at twelve read as a clock
    // even at 16 pixels, where the symmetric ten-past-ten reads as a tick mark.
    struct Hand {
        double degrees, length, width;
    };
    Hand hour() const { return { 120, side / 2 * 0.5, std::max(1.5, side / 9) }; }
    Hand minute() const { return { 0, side / 2 * 0.78, std::max(1.0, side / 14) }; }
    QPointF at(double degreesFromTwelve, double distance) const
    {
        const double a = degreesFromTwelve * M_PI / 180;
        return QPointF(side / 2 + std::sin(a) * distance, side / 2 - std::cos(a) * distance);
    }
};

} // namespace

QImage ClockIcon::draw(int sizePx)
{
    const Design d { double(sizePx) };
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ink, d.ring()));
    painter.setBrush(paper);
    painter.drawEllipse(d.at(0, 0), d.radius(), d.radius());
    if (d.marks()) {
        painter.setPen(QPen(ink, d.side / 48, Qt::SolidLine, Qt::RoundCap));
        for (int h = 0; h < 12; ++h)
            painter.drawLine(d.at(h * 30, d.side * 0.36), d.at(h * 30, d.side * 0.41));
    }
    for (const Design::Hand& hand : { d.hour(), d.minute() }) {
        painter.setPen(QPen(ink, hand.width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(d.at(0, 0), d.at(hand.degrees, hand.length));
    }
    return image;
}

QByteArray ClockIcon::svg()
{
    const Design d { 256 };
    const auto n = [](double v) { return QByteArray::number(v, 'f', 2); };
    const auto line = [&](QPointF from, QPointF to, double width) {
        return "  <line x1=\"" + n(from.x()) + "\" y1=\"" + n(from.y()) + "\" x2=\"" + n(to.x())
            + "\" y2=\"" + n(to.y()) + "\" stroke-width=\"" + n(width) + "\"/>\n";
    };
    QByteArray text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                      "viewBox=\"0 0 256 256\">\n"
                      "  <circle cx=\"128\" cy=\"128\" r=\""
        + n(d.radius()) + "\" fill=\"" + paper.name().toLatin1() + "\" stroke=\""
        + ink.name().toLatin1() + "\" stroke-width=\"" + n(d.ring()) + "\"/>\n" + "  <g stroke=\""
        + ink.name().toLatin1() + "\" stroke-linecap=\"round\">\n";
    for (int h = 0; h < 12; ++h)
        text += line(d.at(h * 30, d.side * 0.36), d.at(h * 30, d.side * 0.41), d.side / 48);
    for (const Design::Hand& hand : { d.hour(), d.minute() })
        text += line(d.at(0, 0), d.at(hand.degrees, hand.length), hand.width);
    return text + "  </g>\n</svg>\n";
}
