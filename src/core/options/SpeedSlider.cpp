#include "core/options/SpeedSlider.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace {

// One radian of swing per 76 twips of travel, 15 twips to the pixel.
constexpr double radiansPerPixel = 15.0 / 76.0;
constexpr double swingPx = 10;

} // namespace

double SpeedSlider::swing(double knobTop)
{
    return track.left() + swingPx * std::sin((knobTop - track.top()) * radiansPerPixel);
}

QPointF SpeedSlider::knobPlace(float speed)
{
    const double top = track.top() + travel * (100 - double(std::clamp(speed, 0.f, 100.f))) / 100;
    return { swing(top), top };
}

int SpeedSlider::shown(float speed)
{
    return int(std::lround(double(speed)));
}

std::optional<float> SpeedSlider::keyed(float speed, int key)
{
    const int now = shown(speed);
    int wanted = now;
    switch (key) {
    case Qt::Key_Up:
        wanted = now + 1;
        break;
    case Qt::Key_Down:
        wanted = now - 1;
        break;
    case Qt::Key_PageUp:
        wanted = now + 10;
        break;
    case Qt::Key_PageDown:
        wanted = now - 10;
        break;
    case Qt::Key_Home:
        wanted = 100;
        break;
    case Qt::Key_End:
        wanted = 0;
        break;
    default:
        return std::nullopt;
    }
    return float(std::clamp(wanted, 0, 100));
}

void SpeedSlider::press(bool onKnob, Qt::MouseButton button, Qt::MouseButtons buttons, double y)
{
    m_dragging = onKnob && button == Qt::LeftButton && buttons == Qt::LeftButton;
    m_grabY = y - m_knob.y();
}

std::optional<float> SpeedSlider::move(Qt::MouseButtons buttons, double y)
{
    if (!m_dragging || buttons != Qt::LeftButton) {
        m_dragging = false;
        return std::nullopt;
    }
    const double top = std::clamp(y - m_grabY, track.top(), track.top() + travel);
    m_knob = { swing(top), top };
    // The ratio in single precision kept to three decimals, as the stored Speed has it.
    const float ratio = float((top - track.top()) / travel * 100);
    const float kept = QString::number(ratio, 'f', 3).toFloat();
    return 100 - kept;
}
