#pragma once

#include "core/settings/Settings.h"
#include "core/skin/Background.h"
#include "core/skin/Skin.h"
#include "core/worldtime/WorldTimeTable.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>

class Random;

// The world time window's look, apart from the window: its picture and outline from the skin, and
// a column of small dials, one with its name for every entry, drawn into the skin's box and
// scrolling up without end. Positions within the box are kept in twips, as skins lay it out.
class WorldTimeBoard {
public:
    static constexpr double scrollStepTwips = 30; // a tick's scroll
    static constexpr double entryTwips = 250; // from one dial to the next
    static constexpr double radiusTwips = 110;

    // 100 x 130: the Earth from space in a white frame with rounded corners, magenta outside them.
    static const QImage& builtInPicture();
    // The same drawn at twice the size, for high-DPI screens.
    static const QImage& builtInPicture2x();

    // The skin's WTT*.* picture, one at random, cut by the skin's transparent colour; the built-in
    // picture (cut by its own magenta) for the built-in skin, a folder without one, or one that
    // cannot be loaded.
    void applySkin(
        const QString& folder, const WorldTimeSkin& look, QColor transparent, Random& random);
    const Background& background() const { return m_background; }
    // The box in the window, logical pixels.
    QRectF box() const;

    // True when the ratio changed, and so the outline.
    bool setDevicePixelRatio(qreal ratio);
    qreal devicePixelRatio() const { return m_ratio; }
    // The window's outline at the device-pixel ratio, in device pixels.
    const QRegion& screenOutline() const { return m_outline; }
    // One tick: the column moves up a step while scrolling, and the box is drawn anew. While it
    // scrolls the column is drawn once into a strip (again when a minute turns, an entry or the
    // skin changes, or it has scrolled through) and a tick only moves the strip.
    void tick(const QList<WorldTimeEntry>& entries, const QDateTime& now, bool scroll);
    // The whole window: the picture with the box drawn on it.
    const QImage& buffer() const { return m_buffer; }
    double scrollTwips() const { return m_scrollTwips; }
    // What the column says, for a screen reader: "Delhi 15:50, London 10:20", each time as the
    // locale writes a short one; with no entries, the lines shown instead.
    QString spokenTimes(const QList<WorldTimeEntry>& entries, const QDateTime& now,
        const QLocale& locale = QLocale());

private:
    void remakeBuffer();
    // Draws the column as it stands at scrollTwips into painter, from the box's top left, for a
    // box heightTwips high.
    void drawColumn(QPainter& painter, const QList<WorldTimeEntry>& entries, const QDateTime& now,
        double scrollTwips, double heightTwips);
    // The column's box back to the background, clipped to it for what follows.
    void clearColumn(QPainter& painter) const;
    void draw(const QList<WorldTimeEntry>& entries, const QDateTime& now);
    // False where a step is no whole number of the buffer's pixels: then each tick draws.
    bool drawFromStrip(const QList<WorldTimeEntry>& entries, const QDateTime& now);

    Background m_background;
    WorldTimeSkin m_look;
    qreal m_ratio = 1;
    QImage m_scaled;
    QRegion m_outline;
    QImage m_buffer;
    double m_scrollTwips = 0; // how far the column has moved up: 0 or below
    // The column drawn once for scrolling: from where the column stood (m_stripTwips) down to
    // where the strip has scrolled through.
    QImage m_strip;
    double m_stripTwips = 0;
    double m_stripSpanTwips = 0;
    QList<WorldTimeEntry> m_stripEntries;
    qint64 m_stripMinute = -1;
    WorldTimeTable::ZoneClock m_zoneClock;
};
