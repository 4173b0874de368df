#pragma once

#include "core/skin/SkinRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// What a reading of Skin.ini did, for the log and for the skin author's tool.
struct SkinIniReport {
    struct Line {
        int number = 0; // 1-based
        QString text;
        QString reason;
    };
    bool found = false; // the file existed and could be opened
    bool truncated = false; // only the first 1 MiB was read
    int stopLine = 0; // line whose error ended the reading; 0 when it reached the end
    QString stopReason;
    QList<Line> ignored; // lines the reader passed over, with why
};

namespace SkinIniReader {

inline constexpr qint64 maxBytes = 1 << 20;

// Fills the records from a Skin.ini file, stopping at its first error and keeping what was read.
// Does not reset the records first. Returns false when the file could not be read at all.
bool read(
    const QString& path, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report = nullptr);

// The same over bytes already in memory (the reader's core; tests and fuzzing use it directly).
void readData(
    const QByteArray& bytes, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report = nullptr);

// Bytes to text: valid UTF-8 reads as UTF-8, anything else as Windows-1252, the code page such
// skins were written in. A leading UTF-8 byte order mark is dropped in either case.
QString decodeSkinText(const QByteArray& bytes);

// The text without the blanks (spaces and tabs) at its ends: the trim of the skin files' rules.
QString trimBlanks(QStringView text);

} // namespace SkinIniReader
