#pragma once

#include <QByteArray>
#include <QString>

// The description of a sound pack, from its SP.ini. No window shows the text fields.
struct SoundPackInfo {
    QString copyright = QStringLiteral("unavailable");
    QString collector = QStringLiteral("unavailable");
    QString email = QStringLiteral("unavailable");
    QString homepage = QStringLiteral("unavailable");
    QString comment = QStringLiteral("unavailable");
    // One letter: "r" random, "c" count, "o" order, "i" index; any other makes the pack silent.
    QString type = QStringLiteral("r");
};

// What a reading of SP.ini did, for the log and for tests.
struct SoundPackReport {
    bool found = false; // the file existed and could be opened
    bool truncated = false; // only the first 1 MiB was read
    int stopLine = 0; // the line that ended the reading; 0 when it reached the end
    QString stopReason;
};

namespace SoundPack {

inline constexpr qint64 maxBytes = 1 << 20;

// Applies the lines of an SP.ini file to info, stopping at the first line that cannot be applied
// and keeping what was read. Does not reset info first. False when the file could not be read.
bool read(const QString& path, SoundPackInfo& info, SoundPackReport* report = nullptr);

// The same over bytes already in memory: UTF-8 when valid, else Windows-1252.
void readData(const QByteArray& bytes, SoundPackInfo& info, SoundPackReport* report = nullptr);

} // namespace SoundPack
