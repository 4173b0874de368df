#include "core/face/ClockFace.h"

#include "core/face/FacePainter.h"
#include "core/shape/PictureScaling.h"

#include <QPainter>

#include <limits>

ClockFace::ClockFace(const QLocale& locale)
    : m_locale(locale)
{
    remakeBuffer();
}

void ClockFace::setBackground(const Background& background)
{
    if (background.frame == 0)
        forgetFrames();
    m_background = background;
    remakeBuffer();
}

void ClockFace::setDevicePixelRatio(qreal ratio)
{
    if (qFuzzyCompare(ratio, m_ratio) || ratio <= 0)
        return;
    m_ratio = ratio;
    forgetFrames();
    remakeBuffer();
}

void ClockFace::setSoftEdges(bool soft)
{
    if (soft == m_softEdges)
        return;
    m_softEdges = soft;
    remakeBuffer();
}

void ClockFace::forgetFrames()
{
    m_frames.clear();
    m_frameBytes = 0;
}

void ClockFace::remakeBuffer()
{
    const QImage& picture = m_background.picture;
    const bool frame = m_background.frame > 0 && m_ratio != 1;
    const auto made = frame ? m_frames.constFind(picture.cacheKey()) : m_frames.cend();
    if (made != m_frames.cend()) {
        m_scaled = made->picture;
        m_outline = made->outline;
    } else {
        const PictureScaling::ScreenPicture screen = m_background.forScreen(m_ratio);
        m_scaled = screen.picture;
        m_outline = screen.outline;
        if (frame && m_frameBytes + m_scaled.sizeInBytes() <= maxFrameBytes) {
            m_frames.insert(picture.cacheKey(), screen);
            m_frameBytes += m_scaled.sizeInBytes();
        }
    }
    if (!m_softEdges && m_scaled.hasAlphaChannel()) {
        // Pixels of alpha 0 stay outside the outline; every other one shows its own colour.
        m_scaled = m_scaled.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < m_scaled.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_scaled.scanLine(y));
            for (int x = 0; x < m_scaled.width(); ++x)
                line[x] = qAlpha(line[x]) ? line[x] | 0xff000000u : line[x];
        }
    }
    const QSize pixels
        = picture.isNull() ? QSize(1, 1) : (QSizeF(picture.size()) * m_ratio).toSize();
    m_buffer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_buffer.setDevicePixelRatio(m_ratio);
    m_buffer.fill(Qt::transparent);
    QPainter painter(&m_buffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    PictureScaling::drawInBands(painter, QPointF(0, 0), m_scaled);
}

bool ClockFace::draw(const Skin& skin, bool twelveHour, const QDateTime& now, bool animated)
{
    Drawn wanted { std::numeric_limits<qint64>::min(), m_buffer.cacheKey(), twelveHour, skin };
    if (now.isValid()) {
        // The local date and time are what the face shows, and cheap to read.
        const qint64 ms = now.date().toJulianDay() * 86400000 + now.time().msecsSinceStartOfDay();
        wanted.time = skin.smooth ? ms : ms / 1000;
    }
    // Most ticks fall within a second already drawn: they cost a comparison, not a frame.
    if (m_buffer.isNull() || wanted == m_drawn)
        return false;
    // Only the hands move on a face that shows no texts, drawn over the picture it was drawn on.
    const bool handsOnly = !animated && !skin.digital && m_drawn
        && m_drawn->buffer == m_buffer.cacheKey() && m_drawn->skin == skin
        && m_drawn->twelveHour == twelveHour;
    {
        QPainter painter(&m_buffer);
        FacePainter face(painter);
        if (!animated)
            face.drawBackground(m_scaled);
        if (now.isValid()) {
            face.drawDigitalTime(skin, twelveHour, now, m_locale);
            face.drawHands(skin, now);
        }
        m_changed = handsOnly ? (m_handsArea | face.handsArea()).toAlignedRect() : QRect();
        m_handsArea = face.handsArea();
    }
    wanted.buffer = m_buffer.cacheKey();
    m_drawn = std::move(wanted);
    return true;
}

QImage ClockFace::shown() const
{
    // Drawn pixel for pixel, so the outline cuts at device pixels.
    QImage shown(m_buffer.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    QPainter painter(&shown);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(m_outline);
    painter.drawImage(QRectF(QPointF(0, 0), m_buffer.size()), m_buffer);
    painter.end();
    shown.setDevicePixelRatio(m_ratio);
    return shown.convertToFormat(QImage::Format_ARGB32);
}
