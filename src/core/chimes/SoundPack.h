#pragma once

#include "core/skin/Skin.h"

#include <QString>

// A sound pack's description, from its SP.ini. No window shows the text fields yet.
struct SoundPackInfo {
    QString copyright = QStringLiteral("unavailable");
    QString collector = QStringLiteral("unavailable");
    QString email = QStringLiteral("unavailable");
    QString homepage = QStringLiteral("unavailable");
    QString comment = QStringLiteral("unavailable");
    // The type letter, as read: "r" random, "c" count, "o" order, "i" index; any other makes the
    // pack silent.
    QString type = QStringLiteral("r");

    ChimeKind kind() const;
};

// What a reading of SP.ini did.
struct SoundPackReport {
    bool found = false; // the file existed and could be opened
    bool truncated = false; // only the first MiB was read
    int stopLine = 0; // the line that ended the reading (its reason is logged); 0 at the end
};

namespace SoundPack {

// Applies the lines of an SP.ini file to info, stopping at the first line that cannot be applied
// and keeping what was read. Does not reset info first. False when the file could not be read.
bool readFile(const QString& path, SoundPackInfo& info, SoundPackReport* report = nullptr);
// The same over text already decoded (tests and fuzzing).
void readText(const QString& text, SoundPackInfo& info, SoundPackReport* report = nullptr);

} // namespace SoundPack
