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
        for (const QStringList& row : test::rows(QStringLiteral("rows/hotkeys.rows")))
            QTest::newRow(qPrintable(row[0])) << QKeySequence::fromString(row[0])[0] << row[1];
    }
    void table()
    {
        QFETCH(QKeyCombination, keys);
        QFETCH(QString, command);
        static const QStringList names { "None", "ShowAbout", "Close", "StopChime", "ShowMenu",
            "ToggleVisible", "Chime", "ChangeBackground", "ShowOptions", "ToggleWorldTime",
            "ToggleScroll", "ToggleLock", "UnlockPosition", "ChangeTime" };
        QCOMPARE(names.value(int(HotKeys::command(keys.key(), keys.keyboardModifiers()))), command);
        // Key codes of lower-case letters, as text gives them, count as the letters.
        if (keys.key() >= Qt::Key_A && keys.key() <= Qt::Key_Z)
            QCOMPARE(names.value(int(HotKeys::command(keys.key() + 32, keys.keyboardModifiers()))),
                command);
    }
};

QTEST_APPLESS_MAIN(TestHotKeys)
#include "tst_hotkeys.moc"
