#include "core/face/Wakeups.h"

#include <algorithm>

namespace Wakeups {

int msToNext(const QTime& now, const Needs& needs)
{
    // A clock that gives no time is asked again in a second.
    if (!now.isValid())
        return 1000;
    const int msInSecond = now.msec();
    if (needs.shown) {
        const int step = needs.moving ? std::clamp(needs.motionMs, 1, 1000) : 1000;
        // The next point of the grid laid from this second's start, or the next second's start.
        const int next = std::min((msInSecond / step + 1) * step, 1000);
        return next - msInSecond + (next == 1000 ? lateMs : 0);
    }
    const int secondOfHour = now.minute() * 60 + now.second();
    int wanted = (now.second() / 20 + 1) * 20 - now.second(); // seconds to the next tray tip
    if (needs.approachSeconds > 0) {
        const int toApproach = 3600 - needs.approachSeconds - secondOfHour;
        if (toApproach > 0)
            wanted = std::min(wanted, toApproach);
    }
    return wanted * 1000 - msInSecond + lateMs;
}

int msToNextMinute(const QTime& now)
{
    if (!now.isValid())
        return 60000;
    return 60000 - (now.second() * 1000 + now.msec()) + lateMs;
}

} // namespace Wakeups
