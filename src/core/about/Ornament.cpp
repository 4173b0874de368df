#include "core/about/Ornament.h"

#include "core/base/Random.h"

#include <QPointF>

#include <algorithm>
#include <cmath>

namespace {

// The toy clock has always turned its degrees with this value of pi.
constexpr double pi = 3.14159265358979;

QLineF hand(QSizeF face, double degrees, double percent)
{
    const QPointF centre(face.width() / 2, face.height() / 2);
    const double a = degrees * pi / 180;
    return { centre,
        centre
            + QPointF(centre.x() * percent / 100 * std::cos(a),
                centre.y() * percent / 100 * std::sin(a)) };
}

// The step in pixels, or none when the page is not to slide.
double slideStep(double pageHeight, float speed)
{
    if (!(speed > 0))
        return 0;
    return pageHeight / (std::min(double(speed), 100.0) * 22 / 100);
}

} // namespace

void OrnamentClock::set(int seconds, int minutes, int hours)
{
    const auto counter = [](int value) { return std::clamp(value, 0, 59); };
    m_seconds = counter(seconds);
    m_minutes = counter(minutes);
    m_hours = counter(hours);
    m_set = true;
}

void OrnamentClock::step(Random& random)
{
    if (!m_set) {
        const auto pick = [&random] { return int(std::floor(random.next() * 60)); };
        const int s = pick();
        const int m = pick();
        set(s, m, pick());
    }
    m_seconds += 4;
    if (m_seconds >= 60) {
        m_seconds = 0;
        m_minutes += 4;
        if (m_minutes >= 60) {
            m_minutes = 0;
            m_hours += 4;
            if (m_hours >= 60)
                m_hours = 0;
        }
    }
}

OrnamentClock::Hands OrnamentClock::hands(QSizeF face) const
{
    return { hand(face, 6.0 * m_hours + 24.0 * m_minutes / 60 - 90, 70),
        hand(face, 6.0 * m_minutes + 24.0 * m_seconds / 60 - 90, 100),
        hand(face, 6.0 * m_seconds - 90, 100) };
}

namespace PageSlide {

QList<double> out(double shownTop, double hiddenTop, double pageHeight, float speed)
{
    QList<double> tops;
    const double s = slideStep(pageHeight, speed);
    for (double top = shownTop; s > 0 && top <= hiddenTop; top += s)
        tops << top;
    return tops;
}

QList<double> in(double shownTop, double hiddenTop, double pageHeight, float speed)
{
    QList<double> tops;
    const double s = slideStep(pageHeight, speed);
    for (double top = hiddenTop; s > 0 && top >= shownTop; top -= s)
        tops << top;
    if (tops.isEmpty() || tops.last() != shownTop)
        tops << shownTop;
    return tops;
}

} // namespace PageSlide
