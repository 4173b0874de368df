#include "ui/clock/Dragging.h"

#include <QTest>

class tst_Dragging : public QObject {
    Q_OBJECT

private slots:
    void startsDrag_data();
    void startsDrag();
    void dragTo_data();
    void dragTo();
    void lockedWindow();
    void onlyTheLeftButton();
    void screenAt_data();
    void screenAt();
    void bringOnScreen_data();
    void bringOnScreen();
};

void tst_Dragging::startsDrag_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("lockPos");
    QTest::addColumn<bool>("expected");
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    QTest::newRow("unlocked") << Qt::KeyboardModifiers() << false << true;
    QTest::newRow("unlocked Shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << true;
    QTest::newRow("locked") << Qt::KeyboardModifiers() << true << false;
    QTest::newRow("locked Ctrl") << ctrl << true << true;
    QTest::newRow("locked Ctrl keypad") << (ctrl | Qt::KeypadModifier) << true << true;
    QTest::newRow("locked Ctrl+Shift") << (ctrl | Qt::ShiftModifier) << true << false;
    QTest::newRow("locked Alt") << Qt::KeyboardModifiers(Qt::AltModifier) << true << false;
}

void tst_Dragging::startsDrag()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, lockPos);
    QFETCH(bool, expected);
    QCOMPARE(Dragging::startsDrag(modifiers, lockPos), expected);
}

void tst_Dragging::dragTo_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>(
        "pointer"); // relative to the window at (500, 300), grabbed at (50, 40)
    QTest::addColumn<QPoint>("expected");

    const QRect primary(0, 0, 1920, 1080); // window 200 x 100
    QTest::newRow("inside") << primary << QPoint(60, 45) << QPoint(510, 305);
    QTest::newRow("past left") << primary << QPoint(-600, 40) << QPoint(0, 300);
    QTest::newRow("exactly left 0") << primary << QPoint(-450, 40) << QPoint(0, 300);
    QTest::newRow("one past left") << primary << QPoint(-451, 40) << QPoint(0, 300);
    QTest::newRow("past right") << primary << QPoint(2000, 40) << QPoint(1720, 300);
    QTest::newRow("exactly right edge") << primary << QPoint(1270, 40) << QPoint(1720, 300);
    QTest::newRow("one past right") << primary << QPoint(1271, 40) << QPoint(1720, 300);
    QTest::newRow("past top") << primary << QPoint(50, -400) << QPoint(500, 0);
    QTest::newRow("past bottom") << primary << QPoint(50, 900) << QPoint(500, 980);
    QTest::newRow("exactly bottom edge") << primary << QPoint(50, 720) << QPoint(500, 980);
    QTest::newRow("past a corner") << primary << QPoint(-900, 5000) << QPoint(0, 980);

    const QRect right(1920, 0, 1280, 1024);
    QTest::newRow("second screen, left") << right << QPoint(60, 45) << QPoint(1920, 305);
    QTest::newRow("second screen, right") << right << QPoint(3000, 45) << QPoint(3000, 305);
    const QRect above(-1280, -1024, 1280, 1024);
    QTest::newRow("screen above left, bottom right")
        << above << QPoint(60, 45) << QPoint(-200, -100);
    QTest::newRow("screen above left, top left")
        << above << QPoint(-4000, -4000) << QPoint(-1280, -1024);
}

void tst_Dragging::dragTo()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, expected);
    const QRect window(500, 300, 200, 100);
    QCOMPARE(Dragging::dragTo(window, QPoint(50, 40), pointer, screen), expected);
}

void tst_Dragging::lockedWindow()
{
    const QRect window(100, 100, 200, 100);
    const QRect screen(0, 0, 1920, 1080);
    WindowDrag drag;
    drag.press(Qt::LeftButton, Qt::NoModifier, QPoint(10, 10), true);
    QVERIFY(!drag.move(Qt::LeftButton, QPoint(30, 10), window, screen));

    drag.press(Qt::LeftButton, Qt::ControlModifier, QPoint(10, 10), true);
    // Ctrl let go after the press: the drag goes on.
    QCOMPARE(drag.move(Qt::LeftButton, QPoint(30, 15), window, screen), QPoint(120, 105));
    drag.release();
    QVERIFY(!drag.move(Qt::LeftButton, QPoint(30, 15), window, screen));
}

void tst_Dragging::onlyTheLeftButton()
{
    const QRect window(100, 100, 200, 100);
    const QRect screen(0, 0, 1920, 1080);
    WindowDrag drag;
    drag.press(Qt::RightButton, Qt::NoModifier, QPoint(10, 10), false);
    QVERIFY(!drag.dragging());
    drag.press(Qt::LeftButton, Qt::NoModifier, QPoint(10, 10), false);
    QVERIFY(!drag.move(Qt::LeftButton | Qt::RightButton, QPoint(30, 10), window, screen));
    QCOMPARE(drag.move(Qt::LeftButton, QPoint(30, 10), window, screen), QPoint(120, 100));
}

void tst_Dragging::screenAt_data()
{
    QTest::addColumn<QPoint>("global");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("first") << QPoint(0, 0) << QRect(0, 0, 1920, 1080);
    QTest::newRow("second") << QPoint(1920, 500) << QRect(1920, 0, 1280, 1024);
    QTest::newRow("below the second") << QPoint(2500, 1050) << QRect(1920, 0, 1280, 1024);
    QTest::newRow("far left") << QPoint(-300, 200) << QRect(0, 0, 1920, 1080);
}

void tst_Dragging::screenAt()
{
    QFETCH(QPoint, global);
    QFETCH(QRect, expected);
    const QList<QRect> screens { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) };
    QCOMPARE(Dragging::screenAt(global, screens), expected);
}

void tst_Dragging::bringOnScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("on the first") << QRect(100, 100, 200, 100) << QPoint(100, 100);
    QTest::newRow("across both") << QRect(1850, 100, 200, 100) << QPoint(1850, 100);
    QTest::newRow("below the second, only partly covered")
        << QRect(2000, 950, 200, 100) << QPoint(2000, 924);
    QTest::newRow("removed monitor on the right")
        << QRect(3500, 300, 200, 100) << QPoint(3000, 300);
    QTest::newRow("removed monitor on the left") << QRect(-1500, 300, 200, 100) << QPoint(0, 300);
    QTest::newRow("far below") << QRect(500, 5000, 200, 100) << QPoint(500, 980);
    QTest::newRow("mostly on the second") << QRect(1900, -50, 200, 100) << QPoint(1920, 0);
    QTest::newRow("larger than any screen") << QRect(3300, 200, 1500, 1200) << QPoint(1920, 0);
}

void tst_Dragging::bringOnScreen()
{
    QFETCH(QRect, window);
    QFETCH(QPoint, expected);
    const QList<QRect> screens { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) };
    QCOMPARE(Dragging::bringOnScreen(window, screens), expected);
    QCOMPARE(Dragging::bringOnScreen(window, {}), window.topLeft());
}

QTEST_APPLESS_MAIN(tst_Dragging)
#include "tst_dragging.moc"
