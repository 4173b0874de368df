#include "support/TestSupport.h"
#include "ui/commands/HotKeys.h"

#include <QKeySequence>
#include <QTest>

class TestHotKeys : public QObject {
    Q_OBJECT

private slots:
    void table_data()
    {
        QTest::addColumn<QKeyCombination>("keys");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("onWorldTime");
        for (const QStringList& row : test::rows(QStringLiteral("rows/hotkeys.rows")))
            QTest::newRow(qPrintable(row[0]))
                << QKeySequence::fromString(row[0])[0] << row[1] << row[2];
    }
    void table()
    {
        QFETCH(QKeyCombination, keys);
        QFETCH(QString, command);
        QFETCH(QString, onWorldTime);
        static const QStringList names { "None", "ShowAbout", "Close", "StopChime", "ShowMenu",
            "ToggleVisible", "Chime", "ChangeBackground", "ShowOptions", "ToggleWorldTime",
            "ToggleScroll", "ToggleLock", "UnlockPosition", "ChangeTime" };
        QCOMPARE(names.value(int(HotKeys::command(keys.key(), keys.keyboardModifiers()))), command);
        QCOMPARE(names.value(int(HotKeys::command(
                     keys.key(), keys.keyboardModifiers(), HotKeys::Window::WorldTime))),
            onWorldTime);
        // Key codes of lower-case letters, as text gives them, count as the letters.
        if (keys.key() >= Qt::Key_A && keys.key() <= Qt::Key_Z)
            QCOMPARE(names.value(int(HotKeys::command(keys.key() + 32, keys.keyboardModifiers()))),
                command);
    }
};

QTEST_APPLESS_MAIN(TestHotKeys)
#include "tst_hotkeys.moc"
