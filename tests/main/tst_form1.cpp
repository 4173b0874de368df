#include "ui/clock/Form1.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/settings/SettingsStore.h"
#include "core/skin/BuiltInSkin.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A clock with its own settings file, as the program makes it at start.
struct Rig {
    explicit Rig(const QString& settingsText = QString())
    {
        path = dir.filePath(QStringLiteral("Quarnet.conf"));
        if (!settingsText.isNull()) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(settingsText.toUtf8());
        }
        store = std::make_unique<SettingsStore>(path, clock);
        form = std::make_unique<Form1>(state, clock, store.get());
        form->Form_Load();
    }
    QString saved(const QString& key) const
    {
        return QSettings(path, QSettings::IniFormat).value(key).toString();
    }

    QTemporaryDir dir;
    QString path;
    HorolanState state;
    FixedClock clock { QDateTime(QDate(2026, 12, 5), QTime(15, 20, 5)) };
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Form1> form;
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button,
    Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(
        type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons, modifiers);
    QApplication::sendEvent(w, &event);
}

} // namespace

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
    void startUpLoadsSettings();
    void savedPositionOffEveryScreenComesBack();
    void lockKeyTwice();
    void toggleKeys();
    void closeKeys_data();
    void closeKeys();
    void drag_data();
    void drag();
    void menuItems();
    void changesAreSavedSoonAfter();
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
    form.setOutline(QRegion(), BuiltInSkin::transparentKey);
    form.resizeWindow(allKey.size());
    QVERIFY(form.outline().isEmpty());
    QCOMPARE(form.size(), QSize(60, 40));
    // Qt takes an empty mask for "no mask"; the window must still show no pixel of its own.
    QVERIFY(!form.mask().isEmpty());
    QVERIFY(!form.mask().intersects(form.rect()));
}

void tst_Form1::startUpLoadsSettings()
{
    Rig rig(QStringLiteral(
        "[Setting]\nLeft=1500\nTop=3000\nontop=False\nLockPos=True\nSoundPack=Bells\n"
        "Skin=Somewhere\n"));
    QCOMPARE(rig.form->pos(), QPoint(100, 200));
    QVERIFY(!rig.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(rig.form->stuff().mnuUnlockPosition->isVisible());
    // Names of skins and packs that cannot be shown yet are kept, and saved back unchanged.
    QCOMPARE(rig.state.CurrentSkin, QStringLiteral("Somewhere"));
    QCOMPARE(rig.state.CurrentSP, QStringLiteral("Bells"));
    QCOMPARE(rig.form->size(), QSize(100, 100));

    Rig onTop;
    QVERIFY(onTop.form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!onTop.form->stuff().mnuUnlockPosition->isVisible());
}

void tst_Form1::savedPositionOffEveryScreenComesBack()
{
    Rig rig(QStringLiteral("[Setting]\nLeft=999999\nTop=999999\n"));
    const QRect screen = rig.form->screen()->geometry();
    QVERIFY2(screen.contains(rig.form->geometry()),
        qPrintable(QStringLiteral("%1,%2").arg(rig.form->x()).arg(rig.form->y())));
}

void tst_Form1::lockKeyTwice()
{
    Rig rig;
    QTest::keyClick(rig.form.get(), Qt::Key_L);
    QVERIFY(rig.state.LockPos);
    QVERIFY(rig.form->stuff().mnuUnlockPosition->isVisible());
    QTest::keyClick(rig.form.get(), Qt::Key_L, Qt::ShiftModifier);
    QVERIFY(!rig.state.LockPos);
    QVERIFY(!rig.form->stuff().mnuUnlockPosition->isVisible());
}

void tst_Form1::toggleKeys()
{
    Rig rig;
    rig.form->showClock();
    QTest::keyClick(rig.form.get(), Qt::Key_S);
    QVERIFY(!rig.state.Scroll);
    QTest::keyClick(rig.form.get(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(rig.form->chimes().StopChime());
    QVERIFY(!rig.form->isClosing());
    QTest::keyClick(rig.form.get(), Qt::Key_Q);
    QTest::keyClick(rig.form.get(), Qt::Key_F4);
    QVERIFY(!rig.form->isClosing());
    QTest::keyClick(rig.form.get(), Qt::Key_M);
    QVERIFY(!rig.form->isVisible());
}

void tst_Form1::closeKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
    QTest::newRow("Alt+F4") << int(Qt::Key_F4) << Qt::KeyboardModifiers(Qt::AltModifier) << true;
    QTest::newRow("Shift+Q") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
    QTest::newRow("Ctrl+Shift+X") << int(Qt::Key_X) << (Qt::ControlModifier | Qt::ShiftModifier)
                                  << false;
}

void tst_Form1::closeKeys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, closes);
    Rig rig;
    rig.form->move(40, 60);
    rig.state.Speed = 87.5f;
    QTest::keyClick(rig.form.get(), Qt::Key(key), modifiers);
    QCOMPARE(rig.form->isClosing(), closes);
    QCOMPARE(QFile::exists(rig.path), closes);
    if (closes) {
        QCOMPARE(rig.saved(QStringLiteral("Setting/Left")), QStringLiteral("600"));
        QCOMPARE(rig.saved(QStringLiteral("Setting/Top")), QStringLiteral("900"));
        QCOMPARE(rig.saved(QStringLiteral("Setting/Speed")), QStringLiteral("87.5"));
    }
}

void tst_Form1::drag_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QPoint>("expected"); // -1: flush with the right or bottom edge
    const auto none = Qt::KeyboardModifiers();
    QTest::newRow("plain") << QPoint(100, 100) << QPoint(30, -20) << false << none
                           << QPoint(130, 80);
    QTest::newRow("past the left")
        << QPoint(100, 100) << QPoint(-500, 0) << false << none << QPoint(0, 100);
    QTest::newRow("past the top") << QPoint(100, 100) << QPoint(0, -500) << false << none
                                  << QPoint(100, 0);
    QTest::newRow("past the right")
        << QPoint(100, 100) << QPoint(100000, 0) << false << none << QPoint(-1, 100);
    QTest::newRow("past the bottom")
        << QPoint(100, 100) << QPoint(0, 100000) << false << none << QPoint(100, -1);
    QTest::newRow("locked") << QPoint(100, 100) << QPoint(30, 30) << true << none
                            << QPoint(100, 100);
    QTest::newRow("locked with Ctrl")
        << QPoint(100, 100) << QPoint(30, 30) << true << Qt::KeyboardModifiers(Qt::ControlModifier)
        << QPoint(130, 130);
    QTest::newRow("locked with Ctrl+Shift")
        << QPoint(100, 100) << QPoint(30, 30) << true << (Qt::ControlModifier | Qt::ShiftModifier)
        << QPoint(100, 100);
}

void tst_Form1::drag()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, by);
    QFETCH(bool, locked);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QPoint, expected);
    Rig rig;
    rig.state.LockPos = locked;
    rig.form->move(start);
    Form1* form = rig.form.get();
    const QRect screen = form->screen()->geometry();
    if (expected.x() == -1)
        expected.setX(screen.right() + 1 - form->width());
    if (expected.y() == -1)
        expected.setY(screen.bottom() + 1 - form->height());

    const QPoint grab(50, 50);
    sendMouse(form, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton, modifiers);
    // Ctrl let go during the drag does not stop it.
    sendMouse(form, QEvent::MouseMove, grab + by, Qt::NoButton, Qt::LeftButton);
    sendMouse(form, QEvent::MouseButtonRelease, grab + by, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(form->pos(), expected);
    // Released: a move without a press moves nothing.
    sendMouse(form, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(form->pos(), expected);
}

void tst_Form1::menuItems()
{
    Rig rig;
    QTest::keyClick(rig.form.get(), Qt::Key_L);
    rig.form->stuff().mnuUnlockPosition->trigger();
    QVERIFY(!rig.state.LockPos);
    QVERIFY(!rig.form->stuff().mnuUnlockPosition->isVisible());
    QVERIFY(!rig.form->isClosing());
    rig.form->stuff().mnuExit->trigger();
    QVERIFY(rig.form->isClosing());
    QCOMPARE(rig.saved(QStringLiteral("Setting/LockPos")), QStringLiteral("False"));
}

void tst_Form1::changesAreSavedSoonAfter()
{
    Rig rig;
    QTest::keyClick(rig.form.get(), Qt::Key_L);
    QVERIFY(!QFile::exists(rig.path));
    QTRY_COMPARE_WITH_TIMEOUT(
        rig.saved(QStringLiteral("Setting/LockPos")), QStringLiteral("True"), 6000);
}

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
