#include "core/settings/QuietHours.h"

bool QuietHours::contains(QTime time) const
{
    if (!on || !time.isValid())
        return false;
    const int minute = time.hour() * 60 + time.minute();
    const int start = from.hour() * 60 + from.minute();
    const int end = to.hour() * 60 + to.minute();
    return start <= end ? start <= minute && minute < end : minute >= start || minute < end;
}

std::optional<QTime> QuietHours::readTime(const QString& text)
{
    // "HH:MM", 00:00 to 23:59; read by hand, as a regular expression would load its engine (half
    // a megabyte of the clock's memory) for this alone.
    const QString t = text.trimmed();
    const auto digit
        = [&](int i) { return t[i] >= u'0' && t[i] <= u'9' ? t[i].unicode() - u'0' : -1; };
    if (t.size() != 5 || t[2] != u':' || digit(0) < 0 || digit(1) < 0 || digit(3) < 0
        || digit(4) < 0)
        return std::nullopt;
    const int hour = digit(0) * 10 + digit(1), minute = digit(3) * 10 + digit(4);
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return QTime(hour, minute);
}
