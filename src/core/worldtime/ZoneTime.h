#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// Zones as offsets from universal time ("GMT" to the user), in whole minutes, east positive.
namespace ZoneTime {

// The 30 offsets the zone selector offers, "-12:00" to "+12:00", ascending.
const QStringList& labels();

// 330 for "+05:30", -210 for "-03:30"; nothing for a text not of that form.
std::optional<int> labelMinutes(QStringView label);

// "+05:30" for 330, "-03:30" for -210, "+00:00" for 0.
QString offsetText(int offsetMinutes);

// The minute of the day (0 to 1439) at that instant in a zone so many minutes ahead of universal
// time. Counted from universal time, so the computer's own zone and its daylight saving time
// change nothing, and any offset or computer zone stays within the day.
int minuteOfDay(const QDateTime& now, int offsetMinutes);

} // namespace ZoneTime
