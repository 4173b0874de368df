#include "ui/commands/ClockCommands.h"

#include <QAction>

ClockCommands::ClockCommands(QObject* parent)
    : QObject(parent)
{
    for (std::size_t i = 1; i < m_actions.size(); ++i)
        m_actions[i] = new QAction(this);
    action(Command::UnlockPosition)->setText(QStringLiteral("un&Lock Position"));
    action(Command::UnlockPosition)->setVisible(false);
    action(Command::ChangeTime)->setText(QStringLiteral("&Change Time"));
    action(Command::ToggleWorldTime)->setText(QStringLiteral("&World Time"));
    action(Command::ToggleClickThrough)->setText(QStringLiteral("Click &Through"));
    action(Command::ToggleClickThrough)->setCheckable(true);
    action(Command::ShowOptions)->setText(QStringLiteral("&Options"));
    action(Command::Close)->setText(QStringLiteral("E&xit"));
    action(Command::ShowAbout)->setText(QStringLiteral("&About"));
}

void ClockCommands::run(Command command) const
{
    if (command != Command::None)
        action(command)->trigger();
}
