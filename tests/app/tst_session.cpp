#include "app/ClockSession.h"
#include "core/base/Clock.h"
#include "core/face/Wakeups.h"
#include "core/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QScreen>
#include <QSettings>
#include <QTest>

// A run of the clock on a real settings file: what the session does that the end-to-end tests
// cannot see (they prove the place, size, stacking, skin and lock applied at start).
class TestSession : public QObject {
    Q_OBJECT

private slots:
    void startAndClose()
    {
        test::Folders folders;
        folders.write("Quarnet.conf", "[Setting]\nSpeed=100\n");
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30)));
        SettingsStore store(folders.path("Quarnet.conf"), clock);
        ClockSession session(clock, &store, folders.roots());
        session.start();
        ClockWindow& window = session.window();
        // Asked again, it raises the window once more: another window may have covered it.
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        ClockWindow::keepOnTop(&window, true);
        // Speed 100, but a face that steps: drawn once a second, just after it turns.
        QCOMPARE(window.aimedMs(), 1000 + Wakeups::lateMs);

        QTest::keyClick(&window, Qt::Key_S);
        session.close();
        const QSettings saved(folders.path("Quarnet.conf"), QSettings::IniFormat);
        QCOMPARE(saved.value("WTT/Scroll").toString(), "False");
        QVERIFY(!window.tray().isShown());
    }

    void worldTimeFollowsSkin()
    {
        // A skin with a WTT picture cut by its green corners; a skin change re-shapes the open
        // window, and what is shown at the end is saved as shown.
        test::Folders folders;
        folders.write("Skins/Green/Skin.ini", "[setting]\ntranscolor=000255000\n");
        folders.picture("Skins/Green/WTT1.png", QSize(80, 60), Qt::darkBlue, Qt::green);
        folders.write("Quarnet.conf", "[Setting]\nShowWTT=True\nSkin=Green\n");
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30)));
        SettingsStore store(folders.path("Quarnet.conf"), clock);
        ClockSession session(clock, &store, folders.roots());
        session.start();
        WorldTimeWindow& worldTime = session.worldTime();
        QVERIFY(worldTime.isVisible());
        QCOMPARE(worldTime.size(), QSize(80, 60));
        QVERIFY(!worldTime.mask().contains(QPoint(0, 0)) && worldTime.mask().contains({ 40, 30 }));
        session.window().activateSkin(QStringLiteral("< none >"));
        QCOMPARE(worldTime.size(), QSize(100, 130));
        QVERIFY(!worldTime.mask().contains(QPoint(0, 0)) && worldTime.mask().contains({ 6, 0 }));
        session.window().commands().run(Command::ToggleWorldTime);
        QVERIFY(!worldTime.isVisible());
        session.close();
        const QSettings saved(folders.path("Quarnet.conf"), QSettings::IniFormat);
        QCOMPARE(saved.value("Setting/ShowWTT").toString(), "False");
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
