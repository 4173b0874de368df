#include "app/ClockSession.h"
#include "app/SignalWatcher.h"
#include "core/base/Clock.h"
#include "core/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

// A run of the clock on a real settings file: what start applies, what the keys do, what close
// saves; and the signals that close it.
class TestSession : public QObject {
    Q_OBJECT

    test::Folders m_folders;
    QDateTime m_now { QDate(2026, 12, 5), QTime(10, 20, 30) };

    QString stored(const QString& key) const
    {
        return QSettings(m_folders.path("Quarnet.conf"), QSettings::IniFormat).value(key).toString();
    }

private slots:
    void initTestCase()
    {
        m_folders.write("Skins/Two/Skin.ini", "[setting]\nbacktype=random\n");
        m_folders.picture("Skins/Two/back1.png", { 40, 30 }, Qt::red);
        m_folders.picture("Skins/Two/back2.png", { 60, 50 }, Qt::blue);
        m_folders.write("Sounds/Bell/strike.wav", "any");
        m_folders.write("Quarnet.conf", "[Setting]\nLeft=1500\nTop=750\nSkin=two\nSoundPack=Bell\n"
                                        "LockPos=True\nSpeed=100\n");
    }

    void startKeysAndClose()
    {
        FixedClock clock(m_now);
        SettingsStore store(m_folders.path("Quarnet.conf"), clock);
        test::RecordingOutput output;
        ClockSession session(clock, &store, m_folders.roots(), [&]() -> SoundOutput& { return output; });
        session.start();
        ClockWindow& window = session.window();
        QCOMPARE(window.pos(), QPoint(100, 50));
        QCOMPARE(session.timepiece().skinName(), "two"); // the folder Two, another letter case
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.commands().action(Command::UnlockPosition)->isVisible());
        // Asked again, it raises the window once more: another window may have covered it.
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        ClockWindow::keepOnTop(&window, true);
        // Speed 100 asks for 1 ms; no tick comes faster than the screen can show.
        QCOMPARE(window.tickIntervalMs(), int(std::ceil(1000 / window.screen()->refreshRate())));

        QTest::keyClick(&window, Qt::Key_L);
        QVERIFY(!window.commands().action(Command::UnlockPosition)->isVisible());
        QTest::keyClick(&window, Qt::Key_S);
        const QSize before = window.size();
        for (int i = 1; i < 20 && window.size() == before; ++i) {
            clock.set(m_now.addSecs(i)); // B reseeds from the time of day
            QTest::keyClick(&window, Qt::Key_B);
        }
        QVERIFY(window.size() != before); // B shows the other picture, and the window takes its size
        QTest::keyClick(&window, Qt::Key_C);
        QTest::keyClick(&window, Qt::Key_X);
        QCOMPARE(output.calls, QStringList({ "play strike.wav", "stop" }));

        // Closed with a save still pending: it is made now, with every change.
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(stored("Setting/LockPos"), "False");
        QCOMPARE(stored("WTT/Scroll"), "False");
        QCOMPARE(stored("Setting/Skin"), "two");
        QCOMPARE(stored("Setting/Left"), "1500");
        QVERIFY(!window.tray().isShown());
    }

    void closingSignals_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void closingSignals()
    {
        QFETCH(int, signalNumber);
        struct sigaction before = {};
        sigaction(signalNumber, nullptr, &before);
        {
            SignalWatcher watcher;
            SignalWatcher second; // one owner at a time: the second neither takes nor breaks them
            QVERIFY(watcher.isActive() && !second.isActive());
            QSignalSpy spy(&watcher, &SignalWatcher::terminationRequested);
            QCOMPARE(std::raise(signalNumber), 0);
            QCOMPARE(spy.size(), 0); // nothing happens inside the handler
            QVERIFY(spy.wait(2000));
            QCOMPARE(spy.at(0).at(0).toInt(), signalNumber);
        }
        struct sigaction after = {};
        sigaction(signalNumber, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
