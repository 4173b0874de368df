#pragma once

#include "core/settings/QuietHours.h"

#include <QPoint>
#include <QString>
#include <QStringList>

// The user's settings in memory: loaded once at start, saved soon after a change and at the end.
struct Settings {
    QPoint position; // [Setting] Left/Top: twips in the file, logical px here
    bool showWorldTime = false; // ShowWTT
    bool useChimes = true; // UseChimes
    bool lockPosition = false; // LockPos
    bool onTop = true; // ontop
    bool twelveHour = false; // AMPM
    bool countChimes = true; // UseChimesCount
    float speed = 88; // Speed, 0 to 100
    QString skin = QStringLiteral("< none >"); // Skin
    QString soundPack = QStringLiteral("< skin >"); // SoundPack
    QStringList worldTimes; // [WTT] Count, Item1..ItemN
    bool scroll = true; // [WTT] Scroll
    QuietHours quietHours; // QuietHours, QuietFrom, QuietTo
    // No hourly chime while the screen is locked, do-not-disturb is on, or a window is full screen.
    bool quietWhenLocked = true; // QuietWhenLocked
    bool quietWhenDoNotDisturb = true; // QuietWhenDoNotDisturb
    bool quietWhenFullScreen = true; // QuietWhenFullScreen
    int chimeVolume = 100; // ChimeVolume, 0 to 100 per cent
    bool operator==(const Settings&) const = default;
};
