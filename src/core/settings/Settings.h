#pragma once

#include "core/settings/QuietHours.h"

#include <QPoint>
#include <QString>
#include <QDebug>
#include <QList>

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

// The user's settings in memory: loaded once at start, saved soon after a change and at the end.
struct Settings {
    QPoint position; // [Setting] Left/Top: twips in the file, logical px here
    bool showWorldTime = false; // ShowWTT
    bool useChimes = true; // UseChimes
    bool lockPosition = false; // LockPos
    bool onTop = true; // ontop
    bool twelveHour = false; // AMPM
    bool countChimes = true; // UseChimesCount
    bool randomSkin = false; // RandomSkin: a skin at random each hour
    float speed = 88; // Speed, 0 to 100
    QString skin = QStringLiteral("< none >"); // Skin
    QString soundPack = QStringLiteral("< skin >"); // SoundPack
    QList<WorldTimeEntry> worldTimes; // [WTT] Count, Item1..ItemN, Zone1..ZoneN
    bool scroll = true; // [WTT] Scroll
    QPoint worldTimePosition; // [WTT] Left/Top: the world time window's, as position
    QuietHours quietHours; // QuietHours, QuietFrom, QuietTo
    // No hourly chime while the screen is locked, do-not-disturb is on, or a window is full screen.
    bool quietWhenLocked = true; // QuietWhenLocked
    bool quietWhenDoNotDisturb = true; // QuietWhenDoNotDisturb
    bool quietWhenFullScreen = true; // QuietWhenFullScreen
    int chimeVolume = 100; // ChimeVolume, 0 to 100 per cent
    bool operator==(const Settings&) const = default;
};
