#pragma once

#include "core/skin/Skin.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QLineF>
#include <QLocale>

#include <optional>

class QPainter;

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

// The point percent of the way from the centre of the box to its edge along angle. A box that is
// not square gives an elliptic path.
QPointF handPoint(const QRectF& box, double percent, float angle);

// The part of line inside rect; nothing when none is, or when the line is not finite.
std::optional<QLineF> clipLine(const QLineF& line, const QRectF& rect);

bool isColonHidden(int second, ColonBlink colons);

// Pixel size of a rotated text's font for a size in whole points: round(22 x size / 15), with
// the 16-bit arithmetic of the font description of old (nothing where it overflows).
std::optional<int> rotatedPixelSize(int sizePoints);

// The face of a skin font, the platform's when it names none.
QString fontFamily(const QFont& font);

// The font the one-line digital time is printed in: pixel size round(points x 96 / 72), capped
// at a few thousand pixels.
QFont windowFont(const QFont& skinFont);

} // namespace FaceGeometry

// Draws the face of one tick onto any painter: the background picture, the digital time and the
// hands, in logical pixels. Texts follow a print model: each print starts where the last ended.
class FacePainter {
public:
    explicit FacePainter(QPainter& painter);

    // The picture at (0, 0) in its own logical size.
    void drawBackground(const QImage& picture);
    void drawDigitalTime(
        const Skin& skin, bool twelveHour, const QDateTime& now, const QLocale& locale);
    void drawHands(const Skin& skin, const QDateTime& now);
    // Where the hands drawn so far may have touched a pixel, in logical pixels.
    const QRectF& handsArea() const { return m_handsArea; }

    // The print model: where the next text starts, and in which colour and font.
    struct Pen {
        QPointF at;
        QColor color = Qt::black;
        QFont font;
    };
    Pen& pen() { return m_pen; }

    // Prints at the pen in its font and colour; the pen moves on to the end of the text.
    void print(const QString& text);
    double textWidth(const QString& text) const;
    // Prints with a font of size points, turned by angle degrees counter-clockwise around the
    // pen. Italic counts by its absolute value.
    void printRotated(
        const QString& text, const QString& fontName, int size, int angle, int italic);

private:
    void drawHand(const QRectF& box, double degrees, const Hand& hand);
    QRectF visibleRect() const;

    QPainter& m_painter;
    Pen m_pen;
    QRectF m_handsArea;
};
