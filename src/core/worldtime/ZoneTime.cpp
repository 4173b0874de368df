#include "core/worldtime/ZoneTime.h"

namespace ZoneTime {

const QStringList& labels()
{
    static const QStringList offered = [] {
        QStringList list;
        for (const int minutes :
            { -720, -660, -600, -540, -480, -420, -360, -300, -240, -210, -180, -120, -60, 0, 60,
                120, 180, 210, 240, 270, 300, 330, 360, 420, 480, 540, 570, 600, 660, 720 })
            list << offsetText(minutes);
        return list;
    }();
    return offered;
}

std::optional<int> labelMinutes(QStringView label)
{
    if (label.size() != 6 || (label[0] != u'+' && label[0] != u'-') || label[3] != u':')
        return std::nullopt;
    bool hoursOk = false;
    bool minutesOk = false;
    const int hours = label.sliced(1, 2).toInt(&hoursOk);
    const int minutes = label.sliced(4, 2).toInt(&minutesOk);
    if (!hoursOk || !minutesOk || !label[1].isDigit() || !label[4].isDigit())
        return std::nullopt;
    const int total = hours * 60 + minutes;
    return label[0] == u'-' ? -total : total;
}

QString offsetText(int offsetMinutes)
{
    const int m = std::abs(offsetMinutes);
    return QStringLiteral("%1%2:%3")
        .arg(QChar(offsetMinutes < 0 ? u'-' : u'+'))
        .arg(m / 60, 2, 10, QLatin1Char('0'))
        .arg(m % 60, 2, 10, QLatin1Char('0'));
}

int minuteOfDay(const QDateTime& now, int offsetMinutes)
{
    const QTime utc = now.toUTC().time();
    const int t = (utc.hour() * 60 + utc.minute() + offsetMinutes) % 1440;
    return t < 0 ? t + 1440 : t;
}

} // namespace ZoneTime
