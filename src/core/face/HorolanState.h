#pragma once

#include "core/skin/SkinRecord.h"

#include <QString>
#include <QStringList>

// The program's shared state: made once in main() and handed by reference to whatever needs it.
// Tests make their own.
struct HorolanState {
    SkinRecord skin;
    WttSkinRecord wttSkin;
    QString CurrentSkin; // empty until the first activation
    QString CurrentSP;

    bool UseChimes = true;
    bool UseChimesCount = true;
    bool LockPos = false;
    bool ontop = true;
    bool SysTrayIcon = true;
    bool Scroll = true;
    float Speed = 88;

    // The world time list: entries at 1..size()-1, slot 0 never holds one.
    QStringList WTT { QString() };
};
