#include "core/face/Tick.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Logging.h"
#include "core/face/ClockWindow.h"
#include "core/face/FacePainter.h"
#include "core/face/TimeText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr int minIntervalMs = 1;
constexpr int maxIntervalMs = 450;
constexpr float defaultSpeed = 88;

bool isAnimated(const SkinRecord& skin)
{
    return skin.backtype.trimmed().toLower() == u"animat";
}

} // namespace

Tick::Tick(HorolanState& state, const Clock& clock, ClockWindow& window, QLocale locale)
    : m_state(state)
    , m_clock(clock)
    , m_window(window)
    , m_locale(std::move(locale))
{ }

int Tick::intervalForSpeed(float speed)
{
    if (std::isnan(speed))
        speed = defaultSpeed;
    const double wanted = std::trunc((100 - double(speed)) * 449 / 100) + 1;
    return int(std::clamp(wanted, double(minIntervalMs), double(maxIntervalMs)));
}

Tick::Drawn Tick::drawnFrom(const QDateTime& now, const QImage& buffer, bool animated) const
{
    Drawn drawn;
    if (now.isValid()) {
        // The local date and time are what the face shows, and cheap to read (no zone arithmetic).
        const qint64 ms = now.date().toJulianDay() * 86400000 + now.time().msecsSinceStartOfDay();
        drawn.timeKey = m_state.skin.smooth ? ms : ms / 1000;
    } else {
        drawn.timeKey = std::numeric_limits<qint64>::min();
    }
    drawn.backKey = animated ? 0 : m_window.tempBack().cacheKey();
    drawn.bufferKey = buffer.cacheKey();
    drawn.animated = animated;
    drawn.skin = m_state.skin;
    return drawn;
}

void Tick::Timer1_Timer()
{
    const int intervalMs = intervalForSpeed(m_state.Speed);
    if (m_window.timerInterval() != intervalMs)
        m_window.setTimerInterval(intervalMs);

    // One reading of the clock serves every part of the tick.
    const QDateTime now = m_clock.now();
    const SkinRecord& skin = m_state.skin;
    const bool animated = isAnimated(skin);

    if (now.isValid() && now.time().second() % 20 == 0) {
        const QString pattern = skin.AMPM ? QStringLiteral("DD/MM/YYYY, HH:NN AMPM")
                                          : QStringLiteral("DD/MM/YYYY, HH:NN");
        m_window.SetTrayTip(QStringLiteral(" - ") + TimeText::format(pattern, now, m_locale));
    }

    QImage& buffer = m_window.faceBuffer();
    const Drawn wanted = drawnFrom(now, buffer, animated);
    // Most ticks fall within a second already drawn: they cost a comparison, not a frame.
    if (!buffer.isNull() && wanted != m_drawn) {
        {
            // Ended before the hour events: they run ticks of their own on the same buffer.
            QPainter painter(&buffer);
            FacePainter face(painter);
            if (!animated)
                face.drawBackground(
                    m_background.forRatio(m_window.tempBack(), buffer.devicePixelRatio()));
            if (now.isValid()) {
                face.drawDigitalTime(skin, now, m_locale);
                face.drawHands(skin, now);
            }
        }
        m_drawn = drawnFrom(now, buffer, animated);
        m_window.faceDrawn();
    }

    if (!now.isValid()) {
        qCDebug(lcMain) << "tick: the clock gave no valid time";
        return;
    }
    const int hour = now.time().hour();
    const auto hur = std::uint8_t(hour > 12 ? hour - 12 : hour);
    if (animated) {
        if (m_window.timerTag() != u"bgcall")
            m_window.ChangeBack(hur, true);
    } else if (now.time().second() < 2 && now.time().minute() == 0) {
        m_window.PlayChime(hur, false);
        m_window.ChangeBack(hur, false);
    }
}
