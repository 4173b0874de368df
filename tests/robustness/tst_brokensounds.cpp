// The pack and wav rows of tests/data/broken/MANIFEST, none reaching a sound server.
#include "core/base/Clock.h"
#include "core/chimes/Chimes.h"
#include "core/settings/Settings.h"
#include "support/TestSupport.h"
#include "ui/audio/QtSoundOutput.h"

#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

// The real output without a sound device, so a sound that decodes beeps too; what it is asked is
// kept, beeps not made.
struct HearingOutput final : QtSoundOutput {
    using Base = QtSoundOutput;
    void play(const QString& p) override { said << "play " + p, Base::play(p); }
    void playStroke(const QString& p) override { said << "stroke " + p, Base::playStroke(p); }
    void beep() override { said << "beep"; }
    bool hasAudioOutput() const override { return false; }
    QStringList said;
};

class TestBrokenSounds : public QObject {
    Q_OBJECT

private slots:
    void cases_data() { test::addRows("broken/MANIFEST", { "pack", "wav" }); }

    void cases()
    {
        QFETCH(QStringList, row);
        test::Folders root;
        const QString input = row[2], folder = root.path("Sounds/Case/");
        if (input.startsWith("ini:"))
            root.write("Sounds/Case/SP.ini",
                input.mid(4)
                    .replace("$MIB", QString(1 << 20, 'x'))
                    .replace("$KEYS", QString("key=1\n").repeated(10000))
                    .toUtf8());
        const QFileInfo source(test::dataPath("broken/" + input));
        const QString made = folder + (input == "gen:sp-fifo" ? "SP.ini" : "chime.wav");
        QVERIFY(
            QDir().mkpath(folder) && (!source.isFile() || QFile::copy(source.filePath(), made)));
        QVERIFY(
            !input.endsWith("-fifo") || ::mkfifo(QFile::encodeName(made).constData(), 0600) == 0);
        QVERIFY(!input.endsWith("-passwd") || QFile::link("/etc/passwd", made));
        for (const QFileInfo& file : QDir(source.filePath()).entryInfoList(QDir::Files))
            QVERIFY(QFile::copy(file.filePath(), folder + file.fileName()));
        const test::LogCapture log;
        const FixedClock clock;
        test::SequenceRandom random;
        const Roots roots = root.roots();
        const Settings settings;
        HearingOutput output;
        QSignalSpy ended(&output, &SoundOutput::strokeEnded);
        Chimes chimes(clock, random, roots, settings, [&]() -> SoundOutput& { return output; });
        row[1] == "pack" ? (chimes.activatePack("Case"), chimes.playChime(3, HourEvent::Forced, {}))
                         : (output.play(made), output.playStroke(made));
        QTRY_VERIFY_WITH_TIMEOUT(
            !chimes.isCounting() && ended.size() == output.said.filter("stroke ").size(), 4000);
        const QStringList actual { "type=" + chimes.pack().type, "comment=" + chimes.pack().comment,
            "heard=" + output.said.join(", ").remove(folder) };
        for (const QString& item : QProcess::splitCommand(row[3])) {
            const QString at = item.section(':', 0, 0).section('=', 1);
            const bool logged = item.startsWith("log=")
                && log.has(at.section('.', 0, 0), at.section('.', 1), item.section(':', 1));
            QVERIFY2(logged || actual.contains(item), qPrintable(actual.join(" | ")));
        }
    }
};

QTEST_MAIN(TestBrokenSounds)
#include "tst_brokensounds.moc"
