#pragma once

#include "core/skin/Background.h"
#include "core/skin/Skin.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QLocale>

#include <optional>

// The clock's face: the background picture, the back buffer the face is drawn into (at the
// screen's device-pixel ratio) and the outline, alike for the window and for horolan-skin.
// Drawing skips a face that would look as the one already drawn.
class ClockFace {
public:
    explicit ClockFace(const QLocale& locale = QLocale());

    // The picture shown from now on; the buffer starts as a copy of it.
    void setBackground(const Background& background);
    const Background& background() const { return m_background; }
    // High-DPI screens: the picture is scaled once (or its companion taken), the outline traced
    // and the hands and texts drawn at device pixels.
    void setDevicePixelRatio(qreal ratio);
    qreal devicePixelRatio() const { return m_ratio; }
    // A compositing desktop blends the picture's semi-transparent pixels with what lies behind
    // the window (the default). Without one the window system would show their premultiplied,
    // darkened colours: then they are drawn at full strength, inside the same hard outline.
    void setSoftEdges(bool soft);

    // Draws the face for now over the picture (an animated background is not repainted: its next
    // frame replaces the buffer). False when nothing it shows has changed: not drawn.
    bool draw(const Skin& skin, bool twelveHour, const QDateTime& now, bool animated);

    // The part of the face the last draw changed, in logical pixels: where the hands were and
    // are now; empty when it may be all of it (a new picture, texts, an animation).
    QRect changed() const { return m_changed; }

    // The logical size of the picture.
    QSize size() const { return m_background.picture.size(); }
    const QImage& buffer() const { return m_buffer; }
    // The window's outline at the device-pixel ratio, in device pixels.
    const QRegion& screenOutline() const { return m_outline; }
    // What the screen shows: the buffer inside the outline, fully transparent outside it.
    QImage shown() const;

private:
    // Everything a face is drawn from; times in whole seconds unless a hand sweeps.
    struct Drawn {
        qint64 time = 0;
        qint64 buffer = 0;
        bool twelveHour = false;
        Skin skin;

        bool operator==(const Drawn&) const = default;
    };
    void remakeBuffer();
    void forgetFrames();

    QLocale m_locale;
    Background m_background;
    qreal m_ratio = 1;
    bool m_softEdges = true;
    QImage m_scaled; // the picture at the device-pixel ratio
    QRegion m_outline; // and its outline
    // An animation's frames at the device-pixel ratio, each made once: the skin shows them again
    // and again. Frames past maxFrameBytes are made anew each time.
    static constexpr qsizetype maxFrameBytes = 64 << 20;
    QHash<qint64, PictureScaling::ScreenPicture> m_frames;
    qsizetype m_frameBytes = 0;
    QImage m_buffer;
    std::optional<Drawn> m_drawn;
    QRectF m_handsArea; // of the face drawn last
    QRect m_changed;
};
