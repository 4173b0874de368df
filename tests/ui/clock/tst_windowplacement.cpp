#include "ui/clock/WindowPlacement.h"

#include <QTest>

using namespace WindowPlacement;

namespace {
const QRect screen(0, 0, 1024, 768);
const QRect second(1024, 0, 800, 600);
} // namespace

class TestWindowPlacement : public QObject {
    Q_OBJECT

private slots:
    void clamp_data()
    {
        QTest::addColumn<QPoint>("wanted");
        QTest::addColumn<QPoint>("placed"); // of a 100 x 100 window
        QTest::newRow("inside") << QPoint(300, 200) << QPoint(300, 200);
        QTest::newRow("past the left") << QPoint(-5, 10) << QPoint(0, 10);
        QTest::newRow("past the right") << QPoint(1000, 10) << QPoint(924, 10);
        QTest::newRow("past the top") << QPoint(10, -1) << QPoint(10, 0);
        QTest::newRow("past the bottom") << QPoint(10, 700) << QPoint(10, 668);
        QTest::newRow("flush with the right stays") << QPoint(924, 668) << QPoint(924, 668);
        QTest::newRow("past two edges") << QPoint(2000, -50) << QPoint(924, 0);
    }
    void clamp()
    {
        QFETCH(QPoint, wanted);
        QFETCH(QPoint, placed);
        QCOMPARE(clampInto(QRect(0, 0, 100, 100), wanted, screen), placed);
    }

    void screens()
    {
        const QList<QRect> both { screen, second };
        QCOMPARE(screenAt(QPoint(1500, 10), both), second);
        QCOMPARE(screenAt(QPoint(1500, 700), both), second); // below the second: the nearest
        // Wholly on the screens, even across both, a window stays; off them it comes back.
        QCOMPARE(bringOnScreen(QRect(980, 10, 100, 100), both), QPoint(980, 10));
        QCOMPARE(bringOnScreen(QRect(3000, 2000, 100, 100), both), QPoint(1724, 500));
        QCOMPARE(bringOnScreen(QRect(-500, 300, 100, 100), both), QPoint(0, 300));
        // A new, larger picture moves the window left or up only as far as needed.
        QCOMPARE(keepOnScreen(QRect(1000, 700, 200, 100), screen), QPoint(824, 668));
        QCOMPARE(keepOnScreen(QRect(-20, -20, 200, 100), screen), QPoint(-20, -20));
    }

    void drag()
    {
        WindowDrag drag;
        const QRect window(100, 100, 100, 100);
        drag.press(Qt::LeftButton, Qt::NoModifier, QPoint(150, 150), window.topLeft(), true);
        QVERIFY(!drag.dragging()); // locked
        drag.press(Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, QPoint(150, 150),
            window.topLeft(), true);
        QVERIFY(!drag.dragging()); // Ctrl alone only
        drag.press(Qt::RightButton, Qt::NoModifier, QPoint(150, 150), window.topLeft(), false);
        QVERIFY(!drag.dragging());
        drag.press(Qt::LeftButton, Qt::ControlModifier, QPoint(150, 150), window.topLeft(), true);
        QVERIFY(drag.dragging());
        QCOMPARE(drag.move(Qt::LeftButton, QPoint(190, 150), window, screen), QPoint(140, 100));
        // A move queued while the window already followed must not push it further.
        QCOMPARE(drag.move(Qt::LeftButton, QPoint(190, 150), window.translated(40, 0), screen),
            QPoint(140, 100));
        QCOMPARE(drag.move(Qt::LeftButton, QPoint(-500, 150), window, screen), QPoint(0, 100));
        QVERIFY(!drag.move(Qt::LeftButton | Qt::RightButton, QPoint(190, 150), window, screen));
        drag.release();
        QVERIFY(!drag.move(Qt::LeftButton, QPoint(190, 150), window, screen));
    }
};

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
