#include "ui/commands/ClockCommands.h"

#include <QAction>

ClockCommands::ClockCommands(QObject* parent)
    : QObject(parent)
{
    for (std::size_t i = 1; i < m_actions.size(); ++i) {
        const auto command = Command(i);
        m_actions[i] = new QAction(this);
        connect(
            m_actions[i], &QAction::triggered, this, [this, command] { emit triggered(command); });
    }
    action(Command::UnlockPosition)->setText(QStringLiteral("un&Lock Position"));
    action(Command::UnlockPosition)->setVisible(false);
    action(Command::ChangeTime)->setText(QStringLiteral("&Change Time"));
    action(Command::ToggleWorldTime)->setText(QStringLiteral("&World Time"));
    action(Command::ShowOptions)->setText(QStringLiteral("&Options"));
    action(Command::Close)->setText(QStringLiteral("E&xit"));
    action(Command::ShowAbout)->setText(QStringLiteral("&About"));
    for (const Command windowed :
        { Command::ChangeTime, Command::ToggleWorldTime, Command::ShowOptions, Command::ShowAbout })
        action(windowed)->setEnabled(false);
}

void ClockCommands::run(Command command) const
{
    if (command != Command::None)
        action(command)->trigger();
}
