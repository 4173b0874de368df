#pragma once

#include "core/settings/Settings.h"

#include <QStringView>

#include <optional>
#include <span>
#include <variant>

class SettingsStore;

// Every setting once: its section and key in Quarnet.conf, the form of its value, its default and
// limits, and the member of Settings it fills. Loading, saving and the defaults of a new Settings
// all run over these rows; a new setting is a new row (and a member).
//
// The forms keep what files written by earlier versions and by hand hold. A value that breaks its
// form's rule reads as the rule says, with a line in horolan.settings; nothing fails.
namespace SettingsTable {

// "True" in any letter case is true; anything else false, with a warning unless it is "False".
struct Flag {
    bool Settings::*member;
    bool fallback;
};

// A number kept to single precision; its leading number is read ("87,5" is 87, "1e3" is 1, text
// is 0, with a warning), then clamped to its limits (with a warning).
struct Fraction {
    float Settings::*member;
    float fallback;
    double low, high;
};

// A whole per cent: its leading number, rounded and clamped to low..100 (with a warning); text
// reads as the default, with a warning: a damaged volume must not silence the chimes, nor a
// damaged opacity hide the clock.
struct Percent {
    int Settings::*member;
    int fallback;
    int low = 0;
};

// One coordinate of a window's place: twips in the file (15 to a logical pixel), rounded to
// pixels; text is 0 (with a warning), below 0 is 0, past 32767 px is 32767 px (with a warning).
struct Twips {
    QPoint Settings::*member;
    Qt::Orientation axis;
};

// A folder name as stored, U+FEFF dropped: QSettings drops it where a value starts, so a name
// holding one would change on every save. Empty reads as the default where emptyIsDefault.
struct Name {
    QString Settings::*member;
    QStringView fallback;
    bool emptyIsDefault;
};

// Quiet hours in three keys: the row's key on or off, then from and to as "HH:MM". A time that
// does not read turns quiet hours off, with both times at their defaults: a damaged one never
// silences the clock.
struct QuietSpan {
    QuietHours Settings::*member;
    QStringView fromKey, toKey;
};

// The world time list: the row's key holds the count, rounded half to even ("2.5" is 2), below 0
// none, above 32767 that many; then Item<n> (missing ones "+000Now") and, for a named zone,
// Zone<n>. A save removes the items past the new end and the zone keys of entries without one.
struct WorldTimeList {
    QList<WorldTimeEntry> Settings::*member;
    QStringView itemKey, zoneKey;
};

// Written as it is on every save, never read ("SysTrayIcon": the tray icon is always shown).
struct Constant {
    QStringView text;
};

using Form = std::variant<Flag, Fraction, Percent, Twips, Name, QuietSpan, WorldTimeList, Constant>;

struct Row {
    std::optional<Setting> setting; // none for a constant
    QStringView section;
    QStringView key;
    Form form;
};

std::span<const Row> rows();

// The defaults into every member.
void reset(Settings& settings);
// Each row read from the store: a missing key leaves its member as it is.
void load(const SettingsStore& store, Settings& settings);
// Each row written to the store.
void save(SettingsStore& store, const Settings& settings);

// A member is found by its address in this one Settings, whatever its form.
const Settings& probe();
Setting settingAt(const void* memberOfProbe);

// The setting whose row fills this member; every member has one.
template <typename T> Setting settingOf(T Settings::*member)
{
    return settingAt(&(probe().*member));
}

} // namespace SettingsTable
