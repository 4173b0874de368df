#include "core/worldtime/WorldTimeBoard.h"

#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/base/Twips.h"
#include "core/face/TimeText.h"
#include "core/files/Companion.h"
#include "core/files/FileList.h"
#include "core/files/PictureLoader.h"
#include "core/shape/PictureScaling.h"
#include "core/shape/TraceShape.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

constexpr QRgb magenta = qRgb(255, 0, 255);

// The lines shown when the table is empty, as the options window's editor is reached.
const char* const emptyLines[]
    = { "To add items", "  go to 'The", "    Options'", "     (Ctrl O)" };

QFont nameFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    return font;
}

Background builtInWorldTime(const QString& reason)
{
    const QImage& picture = WorldTimeBoard::builtInPicture();
    return { picture, TraceShape(picture, magenta), magenta, QString(), 0, reason,
        WorldTimeBoard::builtInPicture2x() };
}

} // namespace

void WorldTimeBoard::applySkin(
    const QString& folder, const WorldTimeSkin& look, QColor transparent, Random& random)
{
    m_look = look;
    std::optional<Background> chosen;
    if (folder.isEmpty()) {
        chosen = builtInWorldTime(QStringLiteral("the built-in skin"));
    } else {
        FileList files;
        files.set(folder, QStringLiteral("WTT*.*"));
        files.dropCompanions();
        if (files.count() == 0) {
            chosen = builtInWorldTime(QStringLiteral("no WTT*.* in the skin"));
        } else {
            const int index = std::min(int(random.next() * files.count()), files.count() - 1);
            const QString path = files.path(index);
            const QImage picture = PictureLoader::load(path, folder);
            if (picture.isNull()) {
                qCWarning(lcWorldTime) << "world time picture" << path
                                       << "cannot be loaded; the built-in picture is shown";
                chosen = builtInWorldTime(QStringLiteral("WTT picture unreadable"));
            } else {
                const QRgb key = transparent.rgb();
                chosen = Background { picture, TraceShape(picture, key), key, path, 0,
                    QStringLiteral("one of %1 WTT pictures").arg(files.count()),
                    Companion::load(path, picture.size(), folder) };
            }
        }
    }
    m_background = *chosen;
    qCDebug(lcWorldTime) << "world time picture:" << m_background.path << m_background.reason
                         << "box" << look.box;
    remakeBuffer();
}

QRectF WorldTimeBoard::box() const
{
    return m_look.box;
}

bool WorldTimeBoard::setDevicePixelRatio(qreal ratio)
{
    if (ratio <= 0 || qFuzzyCompare(ratio, m_ratio))
        return false;
    m_ratio = ratio;
    remakeBuffer();
    return true;
}

void WorldTimeBoard::remakeBuffer()
{
    m_strip = QImage();
    const QImage& picture = m_background.picture;
    PictureScaling::ScreenPicture screen = m_background.forScreen(m_ratio);
    m_scaled = std::move(screen.picture);
    m_outline = std::move(screen.outline);
    m_buffer
        = QImage((QSizeF(picture.size()) * m_ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    m_buffer.setDevicePixelRatio(m_ratio);
    QPainter painter(&m_buffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), m_scaled);
}

void WorldTimeBoard::tick(const QList<WorldTimeEntry>& entries, const QDateTime& now, bool scroll)
{
    // A column's length is the entries' spacing times their number, so its copies join evenly.
    const double total = entryTwips * double(entries.size());
    if (scroll)
        m_scrollTwips -= scrollStepTwips;
    // Brought back within one column, also when the table has just shrunk under it.
    m_scrollTwips = total > 0 ? std::fmod(m_scrollTwips, total) : 0;
    // A column that stands still is drawn as it always was; one that scrolls, from its strip.
    if (!scroll || entries.isEmpty() || !drawFromStrip(entries, now)) {
        m_strip = QImage();
        draw(entries, now);
    }
}

void WorldTimeBoard::clearColumn(QPainter& painter) const
{
    painter.setClipRect(
        m_look.box.intersected(QRectF(QPointF(0, 0), QSizeF(m_background.picture.size()))));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    PictureScaling::drawInBands(painter, QPointF(0, 0), m_scaled);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void WorldTimeBoard::draw(const QList<WorldTimeEntry>& entries, const QDateTime& now)
{
    if (m_buffer.isNull())
        return;
    const QRectF box = m_look.box;
    QPainter painter(&m_buffer);
    clearColumn(painter);
    painter.translate(box.topLeft());
    drawColumn(painter, entries, now, m_scrollTwips, Twips::fromPixels(box.height()));
}

bool WorldTimeBoard::drawFromStrip(const QList<WorldTimeEntry>& entries, const QDateTime& now)
{
    const QRectF box = m_look.box;
    const auto whole = [this](double px) {
        const double device = px * m_ratio;
        return std::abs(device - std::round(device)) < 1e-9;
    };
    if (m_buffer.isNull() || !whole(Twips::toPixels(scrollStepTwips)) || !whole(box.left())
        || !whole(box.top()) || box.isEmpty())
        return false;
    // How far the column has moved since the strip was drawn; a wrap moves it back.
    const double moved = m_stripTwips - m_scrollTwips;
    const qint64 minute = now.toSecsSinceEpoch() / 60;
    if (m_strip.isNull() || moved < 0 || moved > m_stripSpanTwips || minute != m_stripMinute
        || entries != m_stripEntries) {
        const double total = entryTwips * double(entries.size());
        // Down to the column's wrap, within a few screens.
        m_stripSpanTwips = std::min(m_scrollTwips + total, Twips::fromPixels(2048));
        m_stripTwips = m_scrollTwips;
        m_stripMinute = minute;
        m_stripEntries = entries;
        const QSizeF size(box.width(), box.height() + Twips::toPixels(m_stripSpanTwips));
        m_strip = QImage((size * m_ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        m_strip.setDevicePixelRatio(m_ratio);
        m_strip.fill(Qt::transparent);
        QPainter painter(&m_strip);
        drawColumn(painter, entries, now, m_scrollTwips, Twips::fromPixels(size.height()));
        qCDebug(lcWorldTime) << "world time column drawn into a strip of" << m_strip.size();
    }
    const double shiftDevice = std::round(Twips::toPixels(m_stripTwips - m_scrollTwips) * m_ratio);
    QPainter painter(&m_buffer);
    clearColumn(painter);
    // A band at a time, as drawInBands does.
    const int rows = int(std::lround(box.height() * m_ratio));
    for (int y = 0; y < rows; y += 32)
        painter.drawImage(box.topLeft() + QPointF(0, y / m_ratio), m_strip,
            QRectF(0, shiftDevice + y, box.width() * m_ratio, std::min(32, rows - y)));
    return true;
}

QString WorldTimeBoard::spokenTimes(
    const QList<WorldTimeEntry>& entries, const QDateTime& now, const QLocale& locale)
{
    QStringList spoken;
    for (const WorldTimeEntry& entry : entries) {
        const int minute = m_zoneClock.minuteOfDay(entry, now);
        spoken << WorldTimeTable::name(entry.text) + u' '
                + TimeText::spoken(QTime(minute / 60, minute % 60), locale);
    }
    if (entries.isEmpty()) {
        for (const char* line : emptyLines)
            spoken << QString::fromLatin1(line).simplified();
        return spoken.join(u' ');
    }
    return spoken.join(QStringLiteral(", "));
}

void WorldTimeBoard::drawColumn(QPainter& painter, const QList<WorldTimeEntry>& entries,
    const QDateTime& now, double scrollTwips, double heightTwips)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(nameFont());
    const QFontMetricsF metrics(painter.font());
    const auto px = [](double twips) { return Twips::toPixels(twips); };

    if (entries.isEmpty()) {
        painter.setPen(m_look.area);
        double top = 0;
        for (const char* line : emptyLines) {
            painter.drawText(QPointF(0, top + metrics.ascent()), QString::fromLatin1(line));
            top += metrics.height();
        }
        return;
    }

    const double total = entryTwips * double(entries.size());
    const int copies = int(std::round(heightTwips) / total) + 2;
    for (int k = 0; k < copies; ++k) {
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const double y = radiusTwips + entryTwips * double(i) + scrollTwips + total * k;
            if (y <= -radiusTwips || y >= heightTwips + radiusTwips)
                continue;
            const WorldTimeEntry& entry = entries.at(i);
            const int minute = m_zoneClock.minuteOfDay(entry, now);
            // The morning's dials in the skin's time colour, the afternoon's in its night colour.
            const QColor ink = minute < 12 * 60 ? m_look.time : m_look.nightTime;
            painter.setPen(QPen(ink, 1));
            painter.setBrush(Qt::NoBrush);
            const QPointF centre(px(radiusTwips), px(y));
            painter.drawEllipse(centre, px(radiusTwips), px(radiusTwips));
            const double hourAngle = std::fmod(minute / 60.0, 12.0) / 12 * 2 * std::numbers::pi;
            const double minuteAngle = (minute % 60) / 60.0 * 2 * std::numbers::pi;
            painter.drawLine(
                centre, centre + QPointF(std::sin(hourAngle), -std::cos(hourAngle)) * px(88));
            painter.drawLine(
                centre, centre + QPointF(std::sin(minuteAngle), -std::cos(minuteAngle)) * px(110));
            painter.setPen(m_look.area);
            const double top = px(y) - metrics.height() / 2;
            painter.drawText(
                QPointF(px(280), top + metrics.ascent()), WorldTimeTable::name(entry.text));
        }
    }
}
