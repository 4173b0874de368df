#include "ui/commands/HotKeys.h"

#include "core/base/Logging.h"

namespace HotKeys {

bool only(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier modifier)
{
    return (modifiers & ~Qt::KeypadModifier) == modifier;
}

static Command decide(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrlOnly = only(modifiers, Qt::ControlModifier);
    switch (key) {
    case Qt::Key_F1:
        return Command::ShowAbout;
    case Qt::Key_F4:
        return only(modifiers, Qt::AltModifier) ? Command::Close : Command::None;
    case Qt::Key_Q:
        return ctrlOnly ? Command::Close : Command::None;
    case Qt::Key_X:
        return ctrlOnly ? Command::Close : Command::StopChime;
    case Qt::Key_Menu:
        return Command::ShowMenu;
    case Qt::Key_M:
        return Command::ToggleVisible;
    case Qt::Key_C:
        return Command::Chime;
    case Qt::Key_B:
        return Command::ChangeBackground;
    case Qt::Key_O:
        return ctrlOnly ? Command::ShowOptions : Command::None;
    case Qt::Key_T:
    case Qt::Key_W:
        return Command::ToggleWorldTime;
    case Qt::Key_S:
        return Command::ToggleScroll;
    case Qt::Key_L:
        return Command::ToggleLock;
    default:
        return Command::None;
    }
}

Command command(int key, Qt::KeyboardModifiers modifiers)
{
    // Qt reports letters in upper case; lower-case codes are folded for callers that pass text.
    if (key >= 'a' && key <= 'z')
        key -= 'a' - 'A';
    const Command decided = decide(key, modifiers);
    if (decided != Command::None)
        qCDebug(lcMain) << "hot key" << Qt::hex << key << modifiers << "-> command" << Qt::dec
                        << int(decided);
    return decided;
}

} // namespace HotKeys
