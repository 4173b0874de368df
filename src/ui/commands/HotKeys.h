#pragma once

#include "ui/commands/ClockCommands.h"

#include <Qt>

// The clock's single-key commands, decided from the key and the modifiers held. The first row of
// the table that matches decides; letters match in either case; "Ctrl+Q" means Ctrl alone.
namespace HotKeys {

// True when exactly this one modifier is held. The keypad flag is not a key the user holds, so it
// is ignored; Meta and the group switch count as other modifiers.
bool only(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier modifier);

Command command(int key, Qt::KeyboardModifiers modifiers);

} // namespace HotKeys
