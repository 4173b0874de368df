#pragma once

#include "core/settings/QuietHours.h"

#include <QDebug>
#include <QList>
#include <QPoint>
#include <QString>

// One world time: the stored text, sign, three digits of minutes and the name ("+330Delhi"), and
// for a named zone its id ("Europe/London"), whose offset then wins; without one it is fixed.
struct WorldTimeEntry {
    QString text; // [WTT] Item<n>
    QString zone; // [WTT] Zone<n>
    bool operator==(const WorldTimeEntry&) const = default;
};

inline QDebug operator<<(QDebug debug, const WorldTimeEntry& entry)
{
    return debug << entry.text << entry.zone;
}

// A setting as the clock's parts hear of its change; some are kept in more than one key.
enum class Setting {
    Position,
    ShowWorldTime,
    UseChimes,
    LockPosition,
    OnTop,
    TwelveHour,
    CountChimes,
    RandomSkin,
    Speed,
    Skin,
    SoundPack,
    WorldTimes,
    Scroll,
    WorldTimePosition,
    QuietHours,
    QuietWhenLocked,
    QuietWhenDoNotDisturb,
    QuietWhenFullScreen,
    ChimeVolume,
    ClickThrough,
    Opacity,
};

// The user's settings as values. Their keys in the file, their defaults and limits are rows of
// SettingsTable; a new Settings holds the defaults.
struct Settings {
    Settings();

    QPoint position; // logical px; the file keeps twips
    bool showWorldTime {};
    bool useChimes {};
    bool lockPosition {};
    bool onTop {};
    bool twelveHour {};
    bool countChimes {};
    bool randomSkin {}; // a skin at random each hour
    float speed {}; // 0 to 100
    QString skin;
    QString soundPack;
    QList<WorldTimeEntry> worldTimes;
    bool scroll {}; // the world time window's list scrolls
    QPoint worldTimePosition;
    QuietHours quietHours;
    // No hourly chime while the screen is locked, do-not-disturb is on, or a window is full screen.
    bool quietWhenLocked {};
    bool quietWhenDoNotDisturb {};
    bool quietWhenFullScreen {};
    int chimeVolume {}; // per cent
    bool clickThrough {}; // clicks reach the windows below the clock
    int opacity {}; // per cent, 20 to 100, under a compositor

    bool operator==(const Settings&) const = default;
};
