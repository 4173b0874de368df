#pragma once

#include <QObject>
#include <QTime>

#include <cstdint>

// The main window's single-key commands, decided from the key and the modifiers held. Kept apart
// from the window so that every row of the table is tested without one.
namespace HotKeys {
Q_NAMESPACE

enum class Action {
    None,
    ShowAbout, // F1
    Close, // Alt+F4, Ctrl+Q, Ctrl+X: the closing sequence
    StopChime, // X without Ctrl alone
    PopupMenu, // the menu key: mnuMain centred under the window
    ToggleVisible, // M
    Chime, // C: PlayChime(hour, true)
    ChangeBack, // B: ChangeBack(hour, true)
    ShowOptions, // Ctrl+O
    ToggleWorldTime, // T or W
    ToggleScroll, // S
    ToggleLock, // L
};
Q_ENUM_NS(Action)

// True when exactly this one modifier is held. The keypad flag is not a key the user holds, so it
// is ignored; Meta and the group switch count as other modifiers.
bool only(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier modifier);

// The first row of the hot key table that matches decides. Letters match in either case.
Action action(int key, Qt::KeyboardModifiers modifiers);

// The hour that C and B hand on: the twelve-hour hour, 1 to 12 (12 just after midnight and noon).
std::uint8_t hour(QTime time);

} // namespace HotKeys
