#pragma once

#include <QStringList>

class QAction;

// The desktop's own date and time settings, started by the menu's "&Change Time".
namespace DateTimeSettings {

// The command line of the first tool found on PATH, GNOME's, KDE's, XFCE's and MATE's, then
// Cinnamon's; empty when there is none.
QStringList find();

// Makes the action start the tool found; with none, the action stays disabled and one log line
// says why.
void connect(QAction* action);

} // namespace DateTimeSettings
