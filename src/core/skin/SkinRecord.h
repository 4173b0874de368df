#pragma once

#include "core/base/Colors.h"

#include <QString>

#include <array>
#include <cstdint>

// A font object of a skin's text element. An empty face means the platform's default face; a
// size of 0 the platform's default size.
struct SkinFont {
    QString face;
    double size = 0; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const SkinFont&) const = default;
};

// One digital text of the face. Positions are twips. "hur" keeps fractions; the reader rounds the
// other three elements to 16-bit integers, as stored skins expect.
struct TextElement {
    float top = 0;
    float left = 0;
    SkinFont font;
    ColorRef color = 0;

    bool operator==(const TextElement&) const = default;
};

// A box in twips, in the order the records keep it.
struct TwipsBox {
    float top = 0;
    float left = 0;
    float width = 0;
    float height = 0;

    bool operator==(const TwipsBox&) const = default;
};

// All parameters of the active skin. Field names are the Skin.ini keys they come from.
// Fixed-width text fields keep their blank padding; compare them trimmed.
struct SkinRecord {
    QString madeby;
    QString name;
    QString date;
    QString email;
    QString homepage;
    QString comment;
    bool useanalog = true;
    ColorRef seccolor = rgbColor(255, 0, 0);
    ColorRef mincolor = 0;
    ColorRef hurcolor = 0;
    std::uint8_t secwidth = 1;
    std::uint8_t minwidth = 1;
    std::uint8_t hurwidth = 2;
    std::int16_t seclenght = 100;
    std::int16_t minlenght = 100;
    std::int16_t hurlenght = 80;
    std::int16_t secstart = 0;
    std::int16_t minstart = 0;
    std::int16_t hurstart = 0;
    TwipsBox analogpos;
    QString chimestype; // 6 characters
    QString backtype; // 6 characters
    bool smooth = false;
    bool tymeskin = false;
    QString alignment; // 6 characters
    QString transcolor; // 9 characters: red, green, blue as three digits each
    bool usedig = false;
    QString blinkdots; // 3 characters
    bool showdigsec = true;
    bool break_ = false; // the "break" key; the name is taken by the language
    bool AMPM = false;
    std::array<std::int16_t, 4> angle { 0, 0, 0, 0 }; // tenths of a degree: hur, min, sec, ampm
    TextElement hur;
    TextElement min;
    TextElement sec;
    TextElement ampm;

    bool operator==(const SkinRecord&) const = default;
};

// The skin's settings for the World Time window.
struct WttSkinRecord {
    TwipsBox boxpos;
    ColorRef areacolor = rgbColor(200, 200, 200);
    ColorRef timecolor = rgbColor(255, 255, 255);
    ColorRef timenightcolor = rgbColor(200, 200, 200);
};

// A text cut or padded with blanks to a fixed width.
inline QString fixedWidth(const QString& text, int width)
{
    return text.left(width).leftJustified(width, u' ');
}

// The name of the built-in skin, which has no folder.
inline const QString builtInSkinName = QStringLiteral("< none >");
