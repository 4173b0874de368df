#pragma once

#include "core/skin/SkinRecord.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QLineF>
#include <QLocale>
#include <QPointF>
#include <QRectF>

#include <QImage>

#include <optional>

class QPainter;

// The print model of the window's drawing surface. Positions are logical pixels.
struct PrintModel {
    double CurrentX = 0;
    double CurrentY = 0;
    QColor ForeColor = Qt::black;
    QFont font;
};

// The arithmetic of the face, kept apart from the pixels.
namespace FaceGeometry {

// Coordinates beyond this many logical pixels, or not finite, are not handed to QPainter.
inline constexpr double coordinateLimit = 100000;

bool isSaneCoordinate(double px);

// Degrees clockwise from twelve o'clock. The hour hand moves on with the minutes only; the
// minute and second hands with the seconds (and its fraction) only when smooth.
double hourDegrees(int hour, int minute);
double minuteDegrees(int minute, int second, bool smooth);
double secondDegrees(int second, double fraction, bool smooth);

// Radians from three o'clock, rounded to single precision as the hands have always been drawn.
float handAngle(double degrees);

// The point percent of the way from the centre of box (twips) to its edge along angle, in
// logical pixels. A box that is not square gives an elliptic path.
QPointF handPoint(const TwipsBox& box, double percent, float angle);

// The part of line inside rect; nullopt when none is, or when the line is not finite.
std::optional<QLineF> clipLine(const QLineF& line, const QRectF& rect);

// The colon rule of the digital time: "yes" hides colons on odd seconds, "off" always.
bool isColonHidden(int second, const QString& blinkdots);

// Pixel size of the font PrintRotated makes for a size in points: round(22 x size / 15), with
// the 16-bit arithmetic of the font description (nullopt where it overflows).
std::optional<int> rotatedPixelSize(int sizePoints);

// A skin font with the platform's defaults filled in: empty face -> default family, size 0 ->
// 9 points.
QString fontFamily(const SkinFont& font);
double fontPoints(const SkinFont& font);

// The window font for a skin font: pixel size round(points x 96 / 72), capped at a few
// thousand pixels.
QFont windowFont(const SkinFont& font);

} // namespace FaceGeometry

// Draws the face of one tick onto any painter: the background picture, the digital time and the
// hands. Positions of the records are twips; drawing is in logical pixels.
class FacePainter {
public:
    explicit FacePainter(QPainter& painter);

    PrintModel& printModel() { return m_print; }

    // The picture at (0, 0) in its own logical size: one logical pixel per picture pixel for a
    // picture of ratio 1, as loaded pictures are.
    void drawBackground(const QImage& picture);
    void drawDigitalTime(const SkinRecord& skin, const QDateTime& now, const QLocale& locale);
    void drawHands(const SkinRecord& skin, const QDateTime& now);

    // Prints at the current position in the current font and colour; CurrentX moves to its end.
    void Print(const QString& text);
    double TextWidth(const QString& text) const;

    // Prints with a font of size points, turned by angle degrees counter-clockwise around the
    // current position. Italic is used by its absolute value.
    void PrintRotated(
        const QString& text, const QString& fontName, int size, int angle, int italic);

private:
    void drawHand(
        const TwipsBox& box, double degrees, int start, int length, int width, ColorRef color);
    QRectF visibleRect() const;

    QPainter& m_painter;
    PrintModel m_print;
};

// The background scaled once to a surface's device-pixel ratio and kept while the picture stays
// the same, so a high-DPI tick blits it instead of scaling it again.
class ScaledBackground {
public:
    const QImage& forRatio(const QImage& picture, qreal dpr);

private:
    QImage m_scaled;
    qint64 m_sourceKey = 0;
};
