#include "ui/about/AboutPicture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace AboutPicture {

namespace {

const QColor brassLight(0xf3, 0xd9, 0x8b);
const QColor brassDark(0x8a, 0x62, 0x20);

QRectF outline()
{
    // The window's ellipse: the box (2, 2)-(width - 3, height - 3).
    return QRectF(2, 2, size.width() - 5, size.height() - 5);
}

QPointF onEllipse(const QRectF& box, double degrees, double scale)
{
    const double a = degrees * std::numbers::pi / 180;
    return box.center()
        + QPointF(box.width() / 2 * scale * std::sin(a), -box.height() / 2 * scale * std::cos(a));
}

// A small clock: brass case, ivory dial with twelve marks, and no hands of its own.
void drawSmallClock(QPainter& p, const QRectF& face)
{
    p.setPen(Qt::NoPen);
    QLinearGradient brass(face.topLeft(), face.bottomRight());
    brass.setColorAt(0, brassLight);
    brass.setColorAt(1, brassDark);
    p.setBrush(brass);
    p.drawEllipse(face.adjusted(-3, -3, 3, 3));
    QRadialGradient dial(face.center() - QPointF(3, 4), face.height() * 0.7);
    dial.setColorAt(0, QColor(0xff, 0xfd, 0xf4));
    dial.setColorAt(1, QColor(0xe4, 0xda, 0xc0));
    p.setBrush(dial);
    p.drawEllipse(face);
    p.setBrush(QColor(0x3a, 0x2c, 0x1a));
    for (int h = 0; h < 12; ++h)
        p.drawEllipse(onEllipse(face, h * 30, 0.82), h % 3 ? 0.5 : 0.9, h % 3 ? 0.5 : 0.9);
}

} // namespace

QRectF plate()
{
    return outline().adjusted(rimWidth, rimWidth, -rimWidth, -rimWidth);
}

QImage draw(qreal dpr)
{
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // The rim, lit from the top left, then the plate.
    QLinearGradient rim(outline().topLeft(), outline().bottomRight());
    rim.setColorAt(0, brassLight);
    rim.setColorAt(0.5, QColor(0xc0, 0x93, 0x3c));
    rim.setColorAt(1, brassDark);
    p.setBrush(rim);
    p.drawEllipse(outline());
    QRadialGradient night(QPointF(240, 170), 330);
    night.setColorAt(0, QColor(0x2c, 0x3e, 0x6b));
    night.setColorAt(0.6, QColor(0x1a, 0x25, 0x45));
    night.setColorAt(1, QColor(0x0d, 0x13, 0x26));
    p.setBrush(night);
    p.drawEllipse(plate());
    p.setClipPath([] {
        QPainterPath path;
        path.addEllipse(plate());
        return path;
    }());

    // A large faint dial behind the small clocks, its hour marks in Roman style strokes.
    const QRectF dial(120, 190, 240, 240);
    p.setPen(QPen(QColor(232, 200, 114, 70), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(dial);
    p.drawEllipse(dial.adjusted(14, 14, -14, -14));
    for (int m = 0; m < 60; ++m) {
        p.setPen(QPen(QColor(232, 200, 114, m % 5 ? 50 : 110), m % 5 ? 1 : 2.4));
        p.drawLine(onEllipse(dial, m * 6, 0.9), onEllipse(dial, m * 6, m % 5 ? 0.95 : 0.99));
    }

    // The name, engraved: a dark shadow under a brass gradient.
    QFont title(QStringLiteral("serif"));
    title.setPixelSize(44);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(title);
    const QRectF titleBox(40, 38, 400, 56);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(titleBox.translated(1.5, 2), Qt::AlignCenter, QStringLiteral("Horolan"));
    QLinearGradient engraved(titleBox.topLeft(), titleBox.bottomLeft());
    engraved.setColorAt(0, brassLight);
    engraved.setColorAt(1, QColor(0xb8, 0x86, 0x2e));
    p.setPen(QPen(QBrush(engraved), 1));
    p.drawText(titleBox, Qt::AlignCenter, QStringLiteral("Horolan"));
    QFont motto;
    motto.setPixelSize(12);
    motto.setItalic(true);
    p.setFont(motto);
    p.setPen(QColor(232, 200, 114, 180));
    p.drawText(
        QRectF(40, 94, 400, 18), Qt::AlignCenter, QStringLiteral("a skinnable desktop clock"));

    // The tab strip: a darker band between two thin brass lines.
    const QRectF band(0, tabStrip.top() - 3, size.width(), tabStrip.height() + 6);
    p.fillRect(band, QColor(0, 0, 0, 70));
    p.setPen(QPen(QColor(232, 200, 114, 150), 1));
    p.drawLine(band.topLeft(), band.topRight());
    p.drawLine(band.bottomLeft(), band.bottomRight());

    for (const QRectF& place : clockPlaces)
        drawSmallClock(p, place);
    p.end();
    return image;
}

} // namespace AboutPicture
