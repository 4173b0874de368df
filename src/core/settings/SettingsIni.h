#pragma once

#include <QMap>
#include <QString>

#include <optional>

// The settings file's text, in QSettings' INI format: QSettings reads and renders it, this owns
// the writing. Keys are "Section/Key", every value is text.
namespace SettingsIni {

using Texts = QMap<QString, QString>;
// What to change: the new text of a key, or nullopt to remove it and every key below it.
using Changes = QMap<QString, std::optional<QString>>;

struct Read {
    Texts texts;
    bool complete = true; // false: QSettings could not read all of it
};
// The file as QSettings reads it; no file reads as empty. Whatever QSettings made of a value (a
// list for an unquoted comma, a byte array, a variant) comes back as text. QSettings keeps what it
// read of a path for the whole process: a file is read once by its name.
Read read(const QString& path);

struct Written {
    bool ok = false;
    QString why; // what failed
    Texts texts; // what the file holds now
};
// The file as it is on disk now, with the changes made, as QSettings renders it: written beside
// it, read back under a name of its own and compared, synced, renamed over it, and its folder
// synced. Any failure (no space, a quota, an I/O error, a folder gone or read-only) leaves the file
// as it was and removes what was written beside it. A link is followed: its target is replaced.
Written write(const QString& path, const Changes& changes);

// The names of what a save makes beside the file, for the guard to clear after a kill.
QString scratchPrefix(const QString& path);

} // namespace SettingsIni
