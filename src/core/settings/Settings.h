#pragma once

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
    bool randomSkin = false; // RandomSkin: a skin at random each hour
    float speed = 88; // Speed, 0 to 100
    QString skin = QStringLiteral("< none >"); // Skin
    QString soundPack = QStringLiteral("< skin >"); // SoundPack
    QStringList worldTimes; // [WTT] Count, Item1..ItemN
    bool scroll = true; // [WTT] Scroll
    bool operator==(const Settings&) const = default;
};
