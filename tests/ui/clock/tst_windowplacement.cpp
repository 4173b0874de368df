#include "ui/clock/WindowPlacement.h"

#include <QTest>

using namespace WindowPlacement;

// Where a window of the clock goes; the end-to-end tests drag both to a corner of one screen.
class TestWindowPlacement : public QObject {
    Q_OBJECT

private slots:
    void screens()
    {
        const QRect first(0, 0, 1024, 768);
        const QRect second(1024, 0, 800, 600);
        const QList<QRect> both { first, second };
        QCOMPARE(screenAt(QPoint(1500, 700), both), second); // below the second: the nearest
        // Wholly on the screens, even across both, a window stays; off them it comes back.
        QCOMPARE(bringOnScreen(QRect(980, 10, 100, 100), both), QPoint(980, 10));
        QCOMPARE(bringOnScreen(QRect(3000, 2000, 100, 100), both), QPoint(1724, 500));
        QCOMPARE(bringOnScreen(QRect(-500, 300, 100, 100), both), QPoint(0, 300));
        // A larger picture moves the window left or up only as far as needed.
        QCOMPARE(keepOnScreen(QRect(1000, 700, 200, 100), first), QPoint(824, 668));
        QCOMPARE(keepOnScreen(QRect(-20, -20, 200, 100), first), QPoint(-20, -20));
        // Wider than the screen, its left edge stays on it.
        QCOMPARE(clampInto(QRect(0, 0, 2000, 100), QPoint(-50, 10), first), QPoint(0, 10));
    }

    void drag()
    {
        const QRect screen(0, 0, 1024, 768);
        const QRect window(100, 100, 100, 100);
        WindowDrag drag;
        // Locked, Ctrl alone only (the end-to-end rows press nothing and Ctrl).
        drag.press(Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, {}, {}, true);
        QVERIFY(!drag.dragging());
        drag.press(Qt::RightButton, Qt::NoModifier, QPoint(150, 150), window.topLeft(), false);
        QVERIFY(!drag.dragging());
        drag.press(Qt::LeftButton, Qt::ControlModifier, QPoint(150, 150), window.topLeft(), true);
        QCOMPARE(drag.move(Qt::LeftButton, QPoint(190, 150), window, screen), QPoint(140, 100));
        // A move queued while the window already followed must not push it further.
        QCOMPARE(drag.move(Qt::LeftButton, QPoint(190, 150), window.translated(40, 0), screen),
            QPoint(140, 100));
        QVERIFY(!drag.move(Qt::LeftButton | Qt::RightButton, QPoint(190, 150), window, screen));
        drag.release();
        QVERIFY(!drag.move(Qt::LeftButton, QPoint(190, 150), window, screen));
        // Two screens: kept on the one under the pointer, past the edge they share.
        const QRect second(1024, 0, 800, 600);
        drag.press(Qt::LeftButton, Qt::NoModifier, QPoint(150, 150), window.topLeft(), false);
        const QPoint pointer(1500, 700);
        QCOMPARE(drag.move(Qt::LeftButton, pointer, window, screenAt(pointer, { screen, second })),
            QPoint(1450, 500));
    }
};

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
