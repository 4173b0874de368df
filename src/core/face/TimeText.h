#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

// The clock's time patterns ("HH:NN", "HH:NN AMPM", "SS", "h", "DD/MM/YYYY, HH:NN", ...) applied
// to one reading of the clock.
namespace TimeText {

// Letters are matched without regard to case. "HH", "NN", "SS", "DD", "MM" are two-digit hour,
// minute, second, day and month; "h", "n", "s" the same without a leading zero; "YYYY" the year.
// "AMPM" is the locale's designator, and its presence anywhere makes the hours twelve-hour
// (12 after midnight and noon). "/" is the locale's date separator; anything else stands as it is.
QString format(QStringView pattern, const QDateTime& time, const QLocale& locale = QLocale());

// The separator of the locale's short numeric date, "/" when it has none (the C locale).
QString dateSeparator(const QLocale& locale);

// The time as the locale writes a short one ("18:07", "6:07 PM"), to the minute: it is what a
// screen reader is given once a minute.
QString spoken(QTime time, const QLocale& locale = QLocale());

// The hour shown in twelve-hour form: 12, 1 to 11.
int twelveHour(int hour);

} // namespace TimeText
