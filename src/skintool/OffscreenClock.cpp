#include "skintool/OffscreenClock.h"

#include "core/base/Logging.h"
#include "core/skin/BuiltInSkin.h"

#include <QPainter>

OffscreenClock::OffscreenClock(
    HorolanState& state, const Clock& clock, const Roots& roots, Random& random)
    : m_geometry(QPoint(0, 0), BuiltInSkin::picture().size())
    , m_key(BuiltInSkin::transparentKey)
    , m_tick(state, clock, *this)
    , m_skins(state, clock, roots, random, *this)
{
    setPicture(BuiltInSkin::picture());
}

void OffscreenClock::PlayChime(std::uint8_t hur, bool playAnyWay)
{
    qCDebug(lcMain) << "PlayChime" << hur << playAnyWay << "(not played when rendering)";
}

void OffscreenClock::setPicture(const QImage& picture)
{
    imgTempBack = picture;
    remakeBuffer();
}

void OffscreenClock::setOutline(const QRegion& region, QRgb key)
{
    m_outline = region;
    if (key != m_key) {
        m_key = key;
        remakeBuffer();
    }
}

// As the clock window at a ratio of 1: the picture copied in, the key colour included.
void OffscreenClock::remakeBuffer()
{
    m_buffer = QImage(imgTempBack.isNull() ? QSize(1, 1) : imgTempBack.size(),
        QImage::Format_ARGB32_Premultiplied);
    m_buffer.fill(Qt::transparent);
    QPainter painter(&m_buffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), imgTempBack);
}

QImage OffscreenClock::shown() const
{
    QImage shown(m_buffer.size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    QPainter painter(&shown);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(m_outline);
    painter.drawImage(QPointF(0, 0), m_buffer);
    painter.end();
    return shown.convertToFormat(QImage::Format_ARGB32);
}
