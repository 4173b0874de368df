#pragma once

#include <QRegion>
#include <QWidget>

class QImage;
class QPainter;

// A borderless top-level window cut to an outline: the clock, the world time window and the
// About window's oval. It keeps the outline it was given and paints only inside it.
class ShapedWindow : public QWidget {
    Q_OBJECT

public:
    // Every click and scroll passes through to what lies below; the window looks the same.
    void passClicks(bool pass);

protected:
    explicit ShapedWindow(QWidget* parent = nullptr);

    // The outline in device pixels at the device-pixel ratio. The X server hears it only when it
    // changed: the frames of an animation mostly share one.
    void setOutline(const QRegion& outline, qreal ratio);
    const QRegion& outline() const { return m_outline; }
    qreal outlineRatio() const { return m_ratio; }
    // Clips a painter on the window to what the event exposes of the outline.
    void clipToOutline(QPainter& painter, const QPaintEvent* event) const;
    // Paints a picture in device pixels at the outline's ratio, inside the outline, replacing
    // what was there (the background is translucent).
    void paintPicture(const QPaintEvent* event, const QImage& picture);

    bool event(QEvent* event) override;

private:
    QRegion m_outline;
    qreal m_ratio = 1;
    bool m_outlineSet = false;
    bool m_passing = false;
    bool m_mapped = false; // painted since last shown
};
