#include "ui/commands/HotKeys.h"

#include "core/base/Logging.h"

#include <algorithm>

namespace HotKeys {

bool only(Qt::KeyboardModifiers modifiers, Qt::KeyboardModifier modifier)
{
    return (modifiers & ~Qt::KeypadModifier) == modifier;
}

Command command(int key, Qt::KeyboardModifiers modifiers, Window window)
{
    // Qt reports letters in upper case; lower-case codes are folded for callers that pass text.
    if (key >= 'a' && key <= 'z')
        key -= 'a' - 'A';
    const auto row = std::find_if(table.begin(), table.end(), [&](const Row& r) {
        return r.key == key && (r.held == Qt::NoModifier || only(modifiers, r.held));
    });
    if (row == table.end() || (window == Window::WorldTime && !row->onWorldTime))
        return Command::None;
    qCDebug(lcMain) << "hot key" << Qt::hex << key << modifiers << "-> command" << Qt::dec
                    << int(row->command);
    return row->command;
}

} // namespace HotKeys
