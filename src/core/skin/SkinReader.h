#pragma once

#include "core/skin/Skin.h"

#include <QList>
#include <QString>

// What a reading of Skin.ini did, for the log and for the skin author's tool.
struct SkinReport {
    struct Line {
        int number = 0; // 1-based
        QString text;
        QString reason;
    };
    bool found = false; // the file existed and could be opened
    bool truncated = false; // only the first MiB was read
    int stopLine = 0; // the line whose error ended the reading; 0 when it reached the end
    QString stopReason;
    QList<Line> ignored; // lines passed over, with why
    // Values taken in a way their author may not have meant: a backtype word the clock does not
    // know (the background is then chosen at random), a transcolor that is not nine digits.
    QList<Line> doubtful;
};

// Skin.ini into the typed records. The reading stops at the first error and keeps what was read
// before it; it does not reset the records first.
namespace SkinReader {

// False when the file could not be read at all.
bool readFile(
    const QString& path, Skin& skin, WorldTimeSkin& worldTime, SkinReport* report = nullptr);
// The same over text already decoded (tests and fuzzing).
void readText(
    const QString& text, Skin& skin, WorldTimeSkin& worldTime, SkinReport* report = nullptr);

// The transparent colour of a "transcolor" text: nine digits, three each for red, green and blue;
// a missing group is 0, a group above 255 is 255.
QColor nineDigitColor(const QString& text);

} // namespace SkinReader
