#include "core/base/Clock.h"

double Clock::secondsSinceMidnight() const
{
    return now().time().msecsSinceStartOfDay() / 1000.0;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}
