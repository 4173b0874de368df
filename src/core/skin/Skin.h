#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

// How a skin chooses its background pictures ("backtype", cut to six characters as stored skins
// expect, so "Animated" animates).
enum class BackgroundKind {
    Random, // one of back*.* at random: the default, and any word not listed here
    Order, // one of back<hour>.*
    Animated, // the Back*.BMP frames in turn, one a tick
    Tyme, // the first main*.*, as skins of the Tyme clock have it
};

// How the skin's own chimes are chosen ("chimestype", six characters): the same kinds as a sound
// pack's type letter.
enum class ChimeKind { Random, Count, Order, Index, Silent };

// The colons of the digital time ("blinkdots", three characters).
enum class ColonBlink {
    Blink, // "yes": shown on even seconds
    Hidden, // "off"
    Shown, // anything else
};

// Where a Tyme skin's time text goes ("alignment", six characters).
enum class TymeAlignment { Left, Center, Right, AsRead };

// A text's font before a skin file sets it: the platform's face at 9 points.
inline QFont defaultSkinFont()
{
    QFont font;
    font.setFamily(QString());
    font.setPointSizeF(9);
    return font;
}

// One digital text of the face. The position is in logical pixels. The hours text keeps
// fractions; the reader rounds the other three to whole twips, as stored skins expect.
struct TextElement {
    QPointF position;
    QFont font = defaultSkinFont(); // face (empty: the platform's), points, bold, italic, underline
    QColor color = Qt::black;
    int angleTenths = 0; // counter-clockwise, in tenths of a degree

    bool operator==(const TextElement&) const = default;
};

// A hand of the analog face: a line from start to length percent of the way from the centre of
// the face box to its edge.
struct Hand {
    QColor color;
    int width = 1; // pen width, pixels; 0 draws as 1
    int start = 0;
    int length = 100;

    bool operator==(const Hand&) const = default;
};

// What a skin says about itself.
struct SkinInfo {
    QString madeBy;
    QString name;
    QString date;
    QString email;
    QString homepage;
    QString comment;

    bool operator==(const SkinInfo&) const = default;
};

// Everything the active skin asks of the face. Positions and sizes are logical pixels.
struct Skin {
    SkinInfo info;
    bool analog = true;
    Hand hourHand { Qt::black, 2, 0, 80 };
    Hand minuteHand { Qt::black, 1, 0, 100 };
    Hand secondHand { Qt::red, 1, 0, 100 };
    QRectF analogBox { 5, 5, 90, 90 }; // the hands pivot on its centre; a Tyme skin keeps its text
                                       // offset in the left edge
    ChimeKind chimes = ChimeKind::Random;
    BackgroundKind background = BackgroundKind::Random;
    bool smooth = false; // minute and second hands sweep instead of stepping
    QColor transparent { 255, 0, 255 }; // pixels of this colour are cut out of the window
    bool digital = false;
    ColonBlink colons = ColonBlink::Blink;
    bool showSeconds = true;
    bool separateTexts = false; // hours, minutes and seconds at their own places ("break")
    TextElement hours { { 10, 10 } };
    TextElement minutes { { 40, 10 } };
    TextElement seconds { { 70, 10 } };
    TextElement amPm { { 100, 10 } };
    // Kept from skin to skin until a file changes them, as stored skins expect.
    bool tyme = false;
    TymeAlignment alignment = TymeAlignment::AsRead;

    bool operator==(const Skin&) const = default;
};

// The skin's look of the world time window.
struct WorldTimeSkin {
    QRectF box { 3, 17, 94, 96 };
    QColor area { 200, 200, 200 };
    QColor time { 255, 255, 255 };
    QColor nightTime { 200, 200, 200 };

    bool operator==(const WorldTimeSkin&) const = default;
};

// The name of the built-in skin, which has no folder.
inline const QString builtInSkinName = QStringLiteral("< none >");
