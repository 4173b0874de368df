#include "core/settings/QuietHours.h"

#include <QRegularExpression>

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
    static const QRegularExpression form(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return QTime(match.captured(1).toInt(), match.captured(2).toInt());
}
