#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringView>

#include <optional>

// The text files of skins and sound packs (Skin.ini, SP.ini): how they are read from disk, and the
// line rules both follow. Never QSettings: its INI format would turn "@Variant(...)" values into
// objects.
namespace IniText {

inline constexpr qint64 maxBytes = 1 << 20;

// The text without the blanks (spaces and tabs) at its ends.
QString trimBlanks(QStringView text);

struct File {
    QString text;
    bool truncated = false; // only the first maxBytes were read, the cut line dropped
};

// The decoded text of a regular file; nothing when it is missing, not a regular file (a FIFO could
// block) or unreadable, with a line in the category saying which.
std::optional<File> readFile(const QString& path, const QLoggingCategory& category);

// What a reading meets, line by line (numbers are 1-based).
class Visitor {
public:
    virtual ~Visitor() = default;
    // A section header: its name trimmed and lower-cased ("[ Setting ]" opens "setting").
    virtual void section(const QString& name, int line) = 0;
    // A key line as it stands in the file, before it is split; the last section named is current.
    virtual void keyLine(const QString& text, int line)
    {
        Q_UNUSED(text);
        Q_UNUSED(line);
    }
    // key: the text before the first "=", lower-cased and not trimmed, so "name =x" matches
    // nothing, as stored files expect; value: the text after it, trimmed. Returns why the reading
    // ends at this line, or an empty text to go on.
    virtual QString key(const QString& key, const QString& value, int line) = 0;
    // Any other line: blank, a comment, stray text.
    virtual void other(const QString& text, int line)
    {
        Q_UNUSED(text);
        Q_UNUSED(line);
    }
};

struct Reading {
    int lines = 0; // lines read
    int stopLine = 0; // the line that ended the reading; 0 when it reached the end
    QString stopReason;
};

// Only the first line is trimmed. A line holding "=" and not starting with ";" is a key line: cut
// at its first ";" and trimmed, and with no "=" left it ends the reading. Any other line starting
// with "[" is a header: one character dropped at each end of the trimmed line, so "[info] x" names
// no known section; a lone "[" ends the reading.
Reading read(const QString& text, Visitor& visitor);

} // namespace IniText
