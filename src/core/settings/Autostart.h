#pragma once

#include <QString>

// Starting the clock at login: an XDG autostart entry in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart). Whether it is on is read from the entry itself, so an entry removed or
// switched off by the desktop's own settings shows as off.
namespace Autostart {

QString entryPath();
bool isOn();
// Writes the entry starting `program`, or removes it. False, with a log line, when the file
// could not be written or removed.
bool set(bool on, const QString& program);
// This program, as the entry should start it: by name when it is the one on PATH.
QString thisProgram();
// A program path as a desktop entry's Exec wants it: quoted where it holds blanks or quotes.
QString execText(const QString& program);

} // namespace Autostart
