#pragma once

#include <QMenu>
#include <QWidget>

// The options window. Today it holds the clock's popup menu `mnuMain`; its pages come later.
class frmStuff final : public QWidget {
    Q_OBJECT

public:
    explicit frmStuff(QWidget* parent = nullptr);

    QMenu mnuMain;
    QAction* mnuUnlockPosition = nullptr;
    QAction* mnuExit = nullptr;

signals:
    void unlockPositionChosen();
    void exitChosen();
};
