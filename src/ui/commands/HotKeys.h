#pragma once

#include "ui/commands/ClockCommands.h"

#include <Qt>

#include <array>

// The clock's single-key commands: a table from a key and the modifiers held to a command. The
// first row whose key and modifiers match decides; letters match in either case.
namespace HotKeys {

// The window a key was pressed in. The world time window leaves the clock's own keys (M, C, B,
// X) to the clock.
enum class Window { Clock, WorldTime };

struct Row {
    int key;
    // The one modifier that must be held alone ("Ctrl+Q" is Ctrl alone); Qt::NoModifier: any.
    Qt::KeyboardModifier held;
    Command command;
    bool onWorldTime;
};

inline constexpr std::array table {
    Row { Qt::Key_F1, Qt::NoModifier, Command::ShowAbout, true },
    Row { Qt::Key_F4, Qt::AltModifier, Command::Close, true },
    Row { Qt::Key_Q, Qt::ControlModifier, Command::Close, true },
    Row { Qt::Key_X, Qt::ControlModifier, Command::Close, true },
    Row { Qt::Key_X, Qt::NoModifier, Command::StopChime, false },
    Row { Qt::Key_Menu, Qt::NoModifier, Command::ShowMenu, true },
    Row { Qt::Key_M, Qt::NoModifier, Command::ToggleVisible, false },
    Row { Qt::Key_C, Qt::NoModifier, Command::Chime, false },
    Row { Qt::Key_B, Qt::NoModifier, Command::ChangeBackground, false },
    Row { Qt::Key_O, Qt::ControlModifier, Command::ShowOptions, true },
    Row { Qt::Key_T, Qt::NoModifier, Command::ToggleWorldTime, true },
    Row { Qt::Key_W, Qt::NoModifier, Command::ToggleWorldTime, true },
    Row { Qt::Key_S, Qt::NoModifier, Command::ToggleScroll, true },
    Row { Qt::Key_L, Qt::NoModifier, Command::ToggleLock, true },
};

// True when exactly this one modifier is held. The keypad flag is not a key the user holds, so it
// is ignored; Meta and the group switch count as other modifiers.
bool only(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier modifier);

// The command of the first matching row; Command::None where no row matches or the row's
// command is not the window's.
Command command(int key, Qt::KeyboardModifiers modifiers, Window window = Window::Clock);

} // namespace HotKeys
