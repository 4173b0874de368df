#include "core/worldtime/WorldTimeTable.h"

#include "core/base/Logging.h"
#include "core/text/NumberReading.h"
#include "core/worldtime/ZoneTime.h"

#include <algorithm>
#include <cmath>

namespace WorldTimeTable {

namespace {

QTimeZone zoneOf(const QString& id)
{
    return id.isEmpty() ? QTimeZone() : QTimeZone(id.toUtf8());
}

// The system's zones in the "Region/City" form users know; links kept for old names ("US/...",
// "Etc/GMT+5" with its reversed sign) are left out.
bool isCityZone(const QByteArray& id)
{
    static const QByteArrayList regions { "Africa/", "America/", "Antarctica/", "Arctic/", "Asia/",
        "Atlantic/", "Australia/", "Europe/", "Indian/", "Pacific/" };
    return std::any_of(regions.begin(), regions.end(),
        [&](const QByteArray& region) { return id.startsWith(region); });
}

} // namespace

int fixedOffset(const QString& text)
{
    const double value = NumberReading::leadingNumber(QStringView(text).left(4));
    return int(std::clamp(value, -999.0, 999.0));
}

QString name(const QString& text)
{
    return text.mid(4);
}

int offsetNow(const WorldTimeEntry& entry, const QDateTime& now)
{
    const QTimeZone zone = zoneOf(entry.zone);
    return zone.isValid() ? zone.offsetFromUtc(now) / 60 : fixedOffset(entry.text);
}

QString listText(const WorldTimeEntry& entry, const QDateTime& now)
{
    return ZoneTime::offsetText(offsetNow(entry, now)) + u' ' + name(entry.text);
}

QList<ZoneChoice> zoneChoices(const QDateTime& now)
{
    QList<ZoneChoice> choices;
    for (const QString& label : ZoneTime::labels())
        choices.append({ label, ZoneTime::labelMinutes(label).value_or(0), QString() });
    QByteArrayList ids = QTimeZone::availableTimeZoneIds();
    std::sort(ids.begin(), ids.end());
    for (const QByteArray& id : ids) {
        if (!isCityZone(id))
            continue;
        const QTimeZone zone(id);
        if (zone.isValid())
            choices.append({ QString::fromUtf8(id), zone.standardTimeOffset(now) / 60,
                QString::fromUtf8(id) });
    }
    qCDebug(lcWorldTime) << choices.size() << "zones offered";
    return choices;
}

WorldTimeEntry makeEntry(const ZoneChoice& choice, const QString& name, const QDateTime& now)
{
    QString shown = name.trimmed();
    if (shown.isEmpty()) {
        shown = choice.zone.isEmpty() ? QStringLiteral("GMT") + choice.label
                                      : choice.zone.section(u'/', -1).replace(u'_', u' ');
    }
    int minutes = choice.offsetMinutes;
    if (const QTimeZone zone = zoneOf(choice.zone); zone.isValid())
        minutes = zone.standardTimeOffset(now) / 60;
    // Three digits hold every zone of the world (at most 14 hours, 840 minutes).
    minutes = std::clamp(minutes, -999, 999);
    const QString text = QStringLiteral("%1%2%3")
                             .arg(QChar(minutes < 0 ? u'-' : u'+'))
                             .arg(std::abs(minutes), 3, 10, QLatin1Char('0'))
                             .arg(shown);
    return { text, choice.zone };
}

int ZoneClock::minuteOfDay(const WorldTimeEntry& entry, const QDateTime& now)
{
    if (entry.zone.isEmpty())
        return ZoneTime::minuteOfDay(now, fixedOffset(entry.text));
    auto found = m_zones.find(entry.zone);
    if (found == m_zones.end())
        found = m_zones.insert(entry.zone, zoneOf(entry.zone));
    const int offset = found->isValid() ? found->offsetFromUtc(now) / 60 : fixedOffset(entry.text);
    return ZoneTime::minuteOfDay(now, offset);
}

} // namespace WorldTimeTable

WorldTimeEditor::WorldTimeEditor(const QDateTime& now)
    : m_choices(WorldTimeTable::zoneChoices(now))
{ }

QStringList WorldTimeEditor::choiceLabels() const
{
    QStringList labels;
    for (const ZoneChoice& choice : m_choices)
        labels << choice.label;
    return labels;
}

QStringList WorldTimeEditor::listTexts(const QList<WorldTimeEntry>& table, const QDateTime& now)
{
    QStringList texts;
    for (const WorldTimeEntry& entry : table)
        texts << WorldTimeTable::listText(entry, now);
    return texts;
}

bool WorldTimeEditor::add(
    QList<WorldTimeEntry>& table, int choice, const QString& name, const QDateTime& now) const
{
    if (choice < 0 || choice >= m_choices.size())
        return false;
    table.append(WorldTimeTable::makeEntry(m_choices.at(choice), name, now));
    qCDebug(lcWorldTime) << "entry added:" << table.back().text << table.back().zone;
    return true;
}

bool WorldTimeEditor::remove(QList<WorldTimeEntry>& table, int row)
{
    if (row < 0 || row >= table.size())
        return false;
    table.removeAt(row);
    return true;
}
