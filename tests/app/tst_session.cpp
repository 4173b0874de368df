#include "app/ClockSession.h"
#include "app/SingleInstance.h"
#include "core/base/Clock.h"
#include "core/face/Wakeups.h"
#include "core/settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/clock/DesktopIntegration.h"

#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

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
        DesktopIntegration::keepOnTop(&window, true);
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
        session.commands().run(Command::ToggleWorldTime);
        QVERIFY(!worldTime.isVisible());
        session.close();
        const QSettings saved(folders.path("Quarnet.conf"), QSettings::IniFormat);
        QCOMPARE(saved.value("Setting/ShowWTT").toString(), "False");
    }

    // The channel of one clock at a time carries file paths: its folder must be the user's
    // alone, or the clock runs without it.
    void privateFolder_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("problem"); // none: a second start hands its files over
        QTest::newRow("made by the clock") << ""
                                           << "";
        QTest::newRow("an earlier clock's, 755") << "755"
                                                 << "";
        QTest::newRow("open to others") << "777"
                                        << "is open to others (mode 0777)";
        QTest::newRow("a link") << "link"
                                << "is a link";
        QTest::newRow("a file") << "file"
                                << "is not a folder";
        QTest::newRow("another user's") << "other"
                                        << "belongs to user";
    }
    void privateFolder()
    {
        QFETCH(QString, made);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString folder = dir.filePath("run");
        const QByteArray path = QFile::encodeName(folder);
        if (made == "755" || made == "777" || made == "other")
            QVERIFY(::mkdir(path, 0700) == 0 && ::chmod(path, made.toUInt(nullptr, 8)) == 0);
        else if (made == "link")
            QVERIFY(::mkdir(path + "-real", 0700) == 0 && ::symlink(path + "-real", path) == 0);
        else if (made == "file")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        if (made == "other") {
            QVERIFY(SingleInstance::notPrivate(folder, geteuid() + 1).startsWith(problem));
            return;
        }
        test::LogCapture log;
        SingleInstance first(folder);
        QVERIFY(first.claim());
        if (!problem.isEmpty()) {
            QVERIFY(log.has("main", "warning", problem));
            QVERIFY(!QFileInfo::exists(folder + "/horolan.socket"));
            return;
        }
        QCOMPARE(QFileInfo(folder).permissions(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                | QFile::WriteUser | QFile::ExeUser);
        QSignalSpy asked(&first, &SingleInstance::installRequested);
        QSignalSpy options(&first, &SingleInstance::optionsRequested);
        SingleInstance second(folder);
        QVERIFY(!second.claim({ "/a b/Cool.zip", "/x\n%y.7z" }, Conflict::KeepBoth, true));
        QTRY_COMPARE(asked.size(), 2);
        QCOMPARE(options.size(), 1);
        QCOMPARE(asked[1][0].toStringList(), QStringList { "/x\n%y.7z" });
        QCOMPARE(asked[0][1].value<Conflict>(), Conflict::KeepBoth);
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
