#include "core/face/TimeText.h"

namespace TimeText {

namespace {

bool startsWithAmPm(QStringView text)
{
    return text.startsWith(u"ampm", Qt::CaseInsensitive);
}

QString number(int value, qsizetype digits)
{
    return QString::number(value).rightJustified(digits, u'0');
}

} // namespace

QString spoken(QTime time, const QLocale& locale)
{
    // The C locale's short form holds the seconds, which would stand still for a minute: each
    // run of s that ends a word goes, with the separator before it. (A plain scan: a regular
    // expression here would load its engine into a clock that needs it nowhere else.)
    QString format = locale.timeFormat(QLocale::ShortFormat);
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u's' || (i > 0 && format[i - 1] == u's'))
            continue;
        qsizetype end = i;
        while (end < format.size() && format[end] == u's')
            ++end;
        if (end < format.size() && (format[end].isLetterOrNumber() || format[end] == u'_'))
            continue;
        const qsizetype from
            = i > 0 && (format[i - 1] == u':' || format[i - 1] == u'.') ? i - 1 : i;
        format.remove(from, end - from);
        i = from - 1;
    }
    return locale.toString(time, format);
}

int twelveHour(int hour)
{
    const int h = hour % 12;
    return h == 0 ? 12 : h;
}

QString dateSeparator(const QLocale& locale)
{
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    for (const QChar c : shortFormat) {
        if (c.isPunct() && c != u'\'')
            return QString(c);
    }
    return QStringLiteral("/");
}

QString format(QStringView pattern, const QDateTime& time, const QLocale& locale)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    const bool twelve = pattern.contains(u"ampm", Qt::CaseInsensitive);

    QString out;
    out.reserve(pattern.size() + 8);
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QStringView rest = pattern.mid(i);
        if (startsWithAmPm(rest)) {
            out += clock.hour() < 12 ? locale.amText() : locale.pmText();
            i += 4;
            continue;
        }
        const QChar c = pattern[i];
        if (c == u'/') {
            out += dateSeparator(locale);
            ++i;
            continue;
        }
        const char16_t letter = c.toLower().unicode();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == c.toLower())
            ++run;
        switch (letter) {
        case u'h':
            out += number(twelve ? twelveHour(clock.hour()) : clock.hour(), run);
            break;
        case u'n':
            out += number(clock.minute(), run);
            break;
        case u's':
            out += number(clock.second(), run);
            break;
        case u'd':
            out += number(date.day(), run);
            break;
        case u'm':
            out += number(date.month(), run);
            break;
        case u'y':
            out += run <= 2 ? number(date.year() % 100, run) : number(date.year(), run);
            break;
        default:
            out += rest.first(run);
            break;
        }
        i += run;
    }
    return out;
}

} // namespace TimeText
