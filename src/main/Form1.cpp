#include "main/Form1.h"

#include "common/Logging.h"
#include "shape/PictureScaling.h"
#include "shape/Regions.h"
#include "shape/TraceShape.h"
#include "shape/WindowShape.h"
#include "skins/BuiltInSkin.h"

#include <QPainter>
#include <QPaintEvent>
#include <QScreen>

Form1::Form1(HorolanState& state, const Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_tick(state, clock, *this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Horolan"));
    WindowShape::prepare(this);

    // The tick starts at 100 ms; its first run sets the interval from Speed.
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    setPicture(BuiltInSkin::picture());
}

QImage& Form1::faceBuffer()
{
    // The screen (and so the device-pixel ratio) may have changed since the last tick.
    if (!qFuzzyCompare(m_buffer.devicePixelRatio(), devicePixelRatioF()))
        remakeBuffer();
    return m_buffer;
}

void Form1::ChangeBack(std::uint8_t hur, bool anyWay)
{
    qCDebug(lcMain) << "ChangeBack" << hur << anyWay << "(backgrounds come with skin activation)";
}

void Form1::PlayChime(std::uint8_t hur, bool playAnyWay)
{
    qCDebug(lcMain) << "PlayChime" << hur << playAnyWay << "(chimes come with sound packs)";
}

void Form1::ActivateDefSkin(bool onlyValues)
{
    if (!onlyValues)
        m_state.CurrentSkin = builtInSkinName;
    setPicture(BuiltInSkin::picture());
    BuiltInSkin::applyValues(m_state.skin, m_state.wttSkin, onlyValues);
    if (onlyValues)
        return;
    traceOutline(BuiltInSkin::transparentKey);
    fitToPicture();
}

void Form1::setPicture(const QImage& picture)
{
    imgTempBack = picture;
    remakeBuffer();
}

void Form1::traceOutline(QRgb key)
{
    applyOutline(MakeDotRegion());
    applyOutline(TraceShape(imgTempBack, key));
    if (key != m_key) {
        m_key = key;
        remakeBuffer();
    }
}

void Form1::fitToPicture()
{
    const QSize size = imgTempBack.size();
    if (this->size() != size)
        setFixedSize(size);
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->geometry();
    QPoint pos = this->pos();
    if (pos.x() > available.right() + 1 - size.width())
        pos.setX(available.right() + 1 - size.width());
    if (pos.y() > available.bottom() + 1 - size.height())
        pos.setY(available.bottom() + 1 - size.height());
    if (pos != this->pos())
        move(pos);
}

void Form1::applyOutline(const QRegion& region)
{
    m_outline = region;
    WindowShape::apply(this, region);
    update();
}

void Form1::remakeBuffer()
{
    // The buffer has the screen's resolution, so hands and texts are drawn at device pixels; the
    // picture is scaled once here, and each tick only copies it.
    const qreal dpr = devicePixelRatioF();
    m_tempBackScaled = PictureScaling::scaledForScreen(imgTempBack, dpr, m_key);
    const QSize pixels
        = imgTempBack.isNull() ? QSize(1, 1) : (QSizeF(imgTempBack.size()) * dpr).toSize();
    m_buffer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_buffer.setDevicePixelRatio(dpr);
    m_buffer.fill(Qt::transparent);
    QPainter painter(&m_buffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), m_tempBackScaled);
}

void Form1::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(m_outline.intersected(event->region()));
    painter.drawImage(QPointF(0, 0), m_buffer);
}
