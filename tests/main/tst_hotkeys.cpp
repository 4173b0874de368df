#include "ui/commands/HotKeys.h"

#include <QTest>

using HotKeys::Action;

class tst_HotKeys : public QObject {
    Q_OBJECT

private slots:
    void action_data();
    void action();
    void hour_data();
    void hour();
};

void tst_HotKeys::action_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Action>("expected");

    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    const Qt::KeyboardModifiers meta = Qt::MetaModifier;
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    const auto row = [](const char* name, int key, Qt::KeyboardModifiers mods, Action expected) {
        QTest::newRow(name) << key << mods << expected;
    };

    row("F1", Qt::Key_F1, none, Action::ShowAbout);
    row("Ctrl+Shift+F1", Qt::Key_F1, ctrl | shift, Action::ShowAbout);

    row("Alt+F4", Qt::Key_F4, alt, Action::Close);
    row("Alt+F4 on the keypad flag", Qt::Key_F4, alt | keypad, Action::Close);
    row("F4", Qt::Key_F4, none, Action::None);
    row("Ctrl+F4", Qt::Key_F4, ctrl, Action::None);
    row("Alt+Shift+F4", Qt::Key_F4, alt | shift, Action::None);
    row("Alt+Meta+F4", Qt::Key_F4, alt | meta, Action::None);

    row("Ctrl+Q", Qt::Key_Q, ctrl, Action::Close);
    row("Ctrl+q", 'q', ctrl, Action::Close);
    row("Q", Qt::Key_Q, none, Action::None);
    row("Shift+Q", Qt::Key_Q, shift, Action::None);
    row("Ctrl+Shift+Q", Qt::Key_Q, ctrl | shift, Action::None);
    row("Alt+Q", Qt::Key_Q, alt, Action::None);
    row("Ctrl+Meta+Q", Qt::Key_Q, ctrl | meta, Action::None);

    row("Ctrl+X", Qt::Key_X, ctrl, Action::Close);
    row("Ctrl+X keypad", Qt::Key_X, ctrl | keypad, Action::Close);
    row("X", Qt::Key_X, none, Action::StopChime);
    row("x", 'x', none, Action::StopChime);
    row("Ctrl+Shift+X", Qt::Key_X, ctrl | shift, Action::StopChime);
    row("Alt+X", Qt::Key_X, alt, Action::StopChime);
    row("Ctrl+Alt+X", Qt::Key_X, ctrl | alt, Action::StopChime);

    row("menu key", Qt::Key_Menu, none, Action::PopupMenu);
    row("Shift+menu key", Qt::Key_Menu, shift, Action::PopupMenu);

    row("M", Qt::Key_M, none, Action::ToggleVisible);
    row("m", 'm', none, Action::ToggleVisible);
    row("Ctrl+M", Qt::Key_M, ctrl, Action::ToggleVisible);
    row("C", Qt::Key_C, none, Action::Chime);
    row("Shift+C", Qt::Key_C, shift, Action::Chime);
    row("b", 'b', none, Action::ChangeBack);

    row("Ctrl+O", Qt::Key_O, ctrl, Action::ShowOptions);
    row("Ctrl+o", 'o', ctrl, Action::ShowOptions);
    row("O", Qt::Key_O, none, Action::None);
    row("Ctrl+Shift+O", Qt::Key_O, ctrl | shift, Action::None);
    row("Alt+O", Qt::Key_O, alt, Action::None);

    row("T", Qt::Key_T, none, Action::ToggleWorldTime);
    row("w", 'w', none, Action::ToggleWorldTime);
    row("Alt+W", Qt::Key_W, alt, Action::ToggleWorldTime);
    row("S", Qt::Key_S, none, Action::ToggleScroll);
    row("L", Qt::Key_L, none, Action::ToggleLock);
    row("Shift+l", 'l', shift, Action::ToggleLock);

    row("A", Qt::Key_A, none, Action::None);
    row("Escape", Qt::Key_Escape, none, Action::None);
    row("F2", Qt::Key_F2, none, Action::None);
    row("backquote", Qt::Key_QuoteLeft, none, Action::None);
    row("brace", Qt::Key_BraceLeft, none, Action::None);
}

void tst_HotKeys::action()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Action, expected);
    QCOMPARE(HotKeys::action(key, modifiers), expected);
}

void tst_HotKeys::hour_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("expected");
    QTest::newRow("00:15") << QTime(0, 15) << 12;
    QTest::newRow("01:00") << QTime(1, 0) << 1;
    QTest::newRow("11:59:59") << QTime(11, 59, 59) << 11;
    QTest::newRow("12:00") << QTime(12, 0) << 12;
    QTest::newRow("13:15") << QTime(13, 15) << 1;
    QTest::newRow("23:59") << QTime(23, 59) << 11;
    QTest::newRow("invalid") << QTime() << 12;
}

void tst_HotKeys::hour()
{
    QFETCH(QTime, time);
    QFETCH(int, expected);
    QCOMPARE(int(HotKeys::hour(time)), expected);
}

QTEST_APPLESS_MAIN(tst_HotKeys)
#include "tst_hotkeys.moc"
