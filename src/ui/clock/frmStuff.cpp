#include "ui/clock/frmStuff.h"

frmStuff::frmStuff(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmStuff"));
    setWindowTitle(QStringLiteral("The Options"));
    mnuMain.setObjectName(QStringLiteral("mnuMain"));
    mnuMain.setTitle(QStringLiteral("Main"));

    mnuUnlockPosition = mnuMain.addAction(QStringLiteral("un&Lock Position"));
    mnuUnlockPosition->setObjectName(QStringLiteral("mnuUnlockPosition"));
    mnuUnlockPosition->setVisible(false);
    connect(mnuUnlockPosition, &QAction::triggered, this, &frmStuff::unlockPositionChosen);

    mnuExit = mnuMain.addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &frmStuff::exitChosen);
}
