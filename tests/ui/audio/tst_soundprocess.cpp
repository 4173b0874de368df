// The clock's side of horolan-sound, with the real program and no sound server: a stroke still
// ends, the process ends by itself once quiet, and one that dies or never starts ends the stroke.
#include "support/TestSupport.h"
#include "ui/audio/SoundLoader.h"

#include <QtTest>

#include <csignal>

class TestSoundProcess : public QObject {
    Q_OBJECT

private slots:
    void stroke_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("kill");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("logged");
        const QString real = HOROLAN_SOUND_BIN;
        QTest::newRow("played, then it ends") << real << false << "debug"
                                              << "closing after";
        QTest::newRow("killed in a stroke") << real << true << "warning"
                                            << "ended while in use";
        QTest::newRow("no program") << "/none/horolan-sound" << false << "warning"
                                    << "cannot start";
    }

    void stroke()
    {
        QFETCH(QString, program);
        QFETCH(bool, kill);
        QFETCH(QString, level);
        QFETCH(QString, logged);
        const test::LogCapture log;
        SoundProcess output(program);
        QSignalSpy ended(&output, &SoundOutput::strokeEnded);
        output.setVolume(0.5);
        output.playStroke(test::dataPath("sounds-e2e/Strike/strike.wav"));
        const qint64 first = output.processId();
        if (kill)
            QVERIFY(first > 0 && ::kill(pid_t(first), SIGKILL) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 3000);
        // Quiet for two seconds after its sound, it is told to end, and does.
        QTRY_VERIFY_WITH_TIMEOUT(output.processId() == 0, 5000);
        QVERIFY(log.has("sound", level, logged));
        // The next sound starts a process anew; a cut stroke never ends.
        output.playStroke(test::dataPath("sounds-e2e/Strike/strike.wav"));
        output.stop();
        QVERIFY(!QFileInfo::exists(program) || output.processId() > 0);
        QTest::qWait(600);
        QCOMPARE(ended.size(), 1);
    }
};

QTEST_MAIN(TestSoundProcess)
#include "tst_soundprocess.moc"
