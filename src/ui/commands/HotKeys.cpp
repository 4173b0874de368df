#include "ui/commands/HotKeys.h"

#include "core/base/Logging.h"
#include "core/face/TimeText.h"

namespace HotKeys {

bool only(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier modifier)
{
    return (modifiers & ~Qt::KeypadModifier) == modifier;
}

static Action decide(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrlOnly = only(modifiers, Qt::ControlModifier);
    switch (key) {
    case Qt::Key_F1:
        return Action::ShowAbout;
    case Qt::Key_F4:
        return only(modifiers, Qt::AltModifier) ? Action::Close : Action::None;
    case Qt::Key_Q:
        return ctrlOnly ? Action::Close : Action::None;
    case Qt::Key_X:
        return ctrlOnly ? Action::Close : Action::StopChime;
    case Qt::Key_Menu:
        return Action::PopupMenu;
    case Qt::Key_M:
        return Action::ToggleVisible;
    case Qt::Key_C:
        return Action::Chime;
    case Qt::Key_B:
        return Action::ChangeBack;
    case Qt::Key_O:
        return ctrlOnly ? Action::ShowOptions : Action::None;
    case Qt::Key_T:
    case Qt::Key_W:
        return Action::ToggleWorldTime;
    case Qt::Key_S:
        return Action::ToggleScroll;
    case Qt::Key_L:
        return Action::ToggleLock;
    default:
        return Action::None;
    }
}

Action action(int key, Qt::KeyboardModifiers modifiers)
{
    // Qt reports letters in upper case; lower-case codes are folded for callers that pass text.
    if (key >= 'a' && key <= 'z')
        key -= 'a' - 'A';
    const Action decided = decide(key, modifiers);
    if (decided != Action::None)
        qCDebug(lcMain) << "hot key" << Qt::hex << key << modifiers << "->" << decided;
    return decided;
}

std::uint8_t hour(QTime time)
{
    return static_cast<std::uint8_t>(TimeText::twelveHour(time.isValid() ? time.hour() : 0));
}

} // namespace HotKeys
