#include "main/Form1.h"

#include "common/Clock.h"
#include "common/HorolanState.h"
#include "skins/BuiltInSkin.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

// The clock window on the offscreen platform: its picture, outline, size and ticking.
class tst_Form1 : public QObject {
    Q_OBJECT

private slots:
    void builtInSkinShapesTheWindow();
    void tickDrawsHandsIntoTheBuffer();
    void firstTickSetsTheInterval_data();
    void firstTickSetsTheInterval();
    void keptOnScreen_data();
    void keptOnScreen();
    void emptyOutlineShowsNothing();
};

void tst_Form1::builtInSkinShapesTheWindow()
{
    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 10, 30)));
    Form1 form(state, clock);
    form.ActivateDefSkin(false);

    QCOMPARE(state.CurrentSkin, builtInSkinName);
    QCOMPARE(state.skin.name, QStringLiteral("Normal"));
    QCOMPARE(form.size(), QSize(100, 100));
    QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    // Round: the centre and the middle of each edge are in, the corners are out.
    const QRegion& outline = form.outline();
    QVERIFY(outline.contains(QPoint(50, 50)));
    for (const QPoint p : { QPoint(50, 1), QPoint(1, 50), QPoint(98, 50), QPoint(50, 98) })
        QVERIFY2(outline.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint p :
        { QPoint(0, 0), QPoint(99, 0), QPoint(0, 99), QPoint(99, 99), QPoint(8, 8) })
        QVERIFY2(!outline.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    QCOMPARE(form.mask(), outline);
}

void tst_Form1::tickDrawsHandsIntoTheBuffer()
{
    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 10, 30)));
    Form1 form(state, clock);
    form.ActivateDefSkin(false);
    const QImage before = form.faceBuffer().copy();
    form.Timer1_Timer();
    const QImage& after = form.faceBuffer();

    // The red second hand points straight down at half past.
    const QColor tip = after.pixelColor(50, 85);
    QVERIFY2(tip.red() > 200 && tip.green() < 80 && tip.blue() < 80, qPrintable(tip.name()));
    QCOMPARE(before.pixelColor(50, 85), BuiltInSkin::picture().pixelColor(50, 85));

    // The next tick at another time wipes the old hands: the background is redrawn first.
    clock.set(QDateTime(QDate(2026, 12, 5), QTime(10, 10, 0)));
    form.Timer1_Timer();
    QCOMPARE(form.faceBuffer().pixelColor(50, 85), BuiltInSkin::picture().pixelColor(50, 85));
}

void tst_Form1::firstTickSetsTheInterval_data()
{
    QTest::addColumn<float>("speed");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("default") << 88.0f << 54;
    QTest::newRow("slowest") << 0.0f << 450;
    QTest::newRow("fastest") << 100.0f << 1;
}

void tst_Form1::firstTickSetsTheInterval()
{
    QFETCH(float, speed);
    QFETCH(int, intervalMs);
    HorolanState state;
    state.Speed = speed;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(9, 0, 5)));
    Form1 form(state, clock);
    QCOMPARE(form.Timer1.interval(), 100);
    form.ActivateDefSkin(false);
    form.Timer1.start();
    QTRY_COMPARE_WITH_TIMEOUT(form.Timer1.interval(), intervalMs, 2000);
}

void tst_Form1::keptOnScreen_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>(
        "expected"); // relative to the screen's bottom-right corner when negative

    QTest::newRow("inside stays") << QPoint(10, 20) << QPoint(10, 20);
    QTest::newRow("past the right edge") << QPoint(100000, 20) << QPoint(-1, 20);
    QTest::newRow("past the bottom edge") << QPoint(30, 100000) << QPoint(30, -1);
    QTest::newRow("negative is not raised") << QPoint(-40, -30) << QPoint(-40, -30);
}

void tst_Form1::keptOnScreen()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, expected);
    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(9, 0, 5)));
    Form1 form(state, clock);
    form.move(start);
    form.ActivateDefSkin(false);
    const QRect screen = form.screen()->geometry();
    if (expected.x() == -1)
        expected.setX(screen.right() + 1 - 100);
    if (expected.y() == -1)
        expected.setY(screen.bottom() + 1 - 100);
    QCOMPARE(form.pos(), expected);
}

void tst_Form1::emptyOutlineShowsNothing()
{
    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(9, 0, 5)));
    Form1 form(state, clock);
    QImage allKey(60, 40, QImage::Format_RGB32);
    allKey.fill(QColor(255, 0, 255));
    form.setPicture(allKey);
    form.traceOutline(BuiltInSkin::transparentKey);
    form.fitToPicture();
    QVERIFY(form.outline().isEmpty());
    QCOMPARE(form.size(), QSize(60, 40));
    // Qt takes an empty mask for "no mask"; the window must still show no pixel of its own.
    QVERIFY(!form.mask().isEmpty());
    QVERIFY(!form.mask().intersects(form.rect()));
}

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
