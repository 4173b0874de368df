#pragma once

#include "core/settings/Settings.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimeZone>

// A zone the selector offers: one of the 30 fixed offsets, or a named zone of the system.
struct ZoneChoice {
    QString label; // "+05:30", or "Europe/London"
    int offsetMinutes = 0; // fixed: the offset; named: the standard offset when listed
    QString zone; // the named zone's id; empty for a fixed offset
};

// The world time table: entries read by position, as stored entries have them.
namespace WorldTimeTable {

// The numeric value of characters 1 to 4: 330 for "+330Delhi", -210 for "-210Newfoundland".
int fixedOffset(const QString& text);
// Characters 5 to the end.
QString name(const QString& text);

// The offset in force at that instant: a named zone's own (with its summer time), else fixed.
int offsetNow(const WorldTimeEntry& entry, const QDateTime& now);
// The editor's row: the offset in force now and the name, "+05:30 Delhi".
QString listText(const WorldTimeEntry& entry, const QDateTime& now);

// The 30 fixed offsets, then the system's named zones ("Region/City") in name order.
QList<ZoneChoice> zoneChoices(const QDateTime& now);

// The entry for a choice and a name (trimmed; when empty the label after "GMT" for a fixed
// offset, the city for a named zone). A named zone keeps its standard offset in the text, so that
// a reader without zones still shows its time for half the year.
WorldTimeEntry makeEntry(const ZoneChoice& choice, const QString& name, const QDateTime& now);

// Minutes of the day in each entry's zone, with the named zones looked up once.
class ZoneClock {
public:
    int minuteOfDay(const WorldTimeEntry& entry, const QDateTime& now);

private:
    QHash<QString, QTimeZone> m_zones;
};

} // namespace WorldTimeTable

// The logic behind the editor page of the world time table: what its selector and list show, and
// what Enter and Del do. The page only moves texts and keys between its controls and this.
class WorldTimeEditor {
public:
    explicit WorldTimeEditor(const QDateTime& now);

    const QList<ZoneChoice>& choices() const { return m_choices; }
    QStringList choiceLabels() const;
    static QStringList listTexts(const QList<WorldTimeEntry>& table, const QDateTime& now);
    // Enter: appends the entry for choice (an index of choices()) and name. False with no valid
    // choice (-1): the page beeps and the name stays.
    bool add(
        QList<WorldTimeEntry>& table, int choice, const QString& name, const QDateTime& now) const;
    // Del on a list row: false when no entry is at that row.
    static bool remove(QList<WorldTimeEntry>& table, int row);

private:
    QList<ZoneChoice> m_choices;
};
