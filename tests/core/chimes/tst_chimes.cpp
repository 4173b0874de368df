#include "core/base/Clock.h"
#include "core/chimes/Chimes.h"
#include "core/settings/Settings.h"
#include "support/TestSupport.h"

#include <QTest>

#include <functional>

class TestChimes : public QObject {
    Q_OBJECT

private slots:
    void spIni_data() { test::addRows("chimes/sp-ini"); }
    void spIni();
    void strikes_data() { test::addRows("chimes/strikes"); }
    void strikes();
};

// Through a file, so that the decoding of its bytes counts.
void TestChimes::spIni()
{
    QFETCH(QStringList, row);
    test::Folders folders;
    folders.write("SP.ini", QByteArray::fromPercentEncoding(row[1].toUtf8()));
    SoundPackInfo info;
    SoundPackReport report;
    QVERIFY(SoundPack::readFile(folders.path("SP.ini"), info, &report));
    QCOMPARE(info.type, QString::fromUtf8(QByteArray::fromPercentEncoding(row[2].toUtf8())));
    QCOMPARE(info.comment, row[3]);
    QCOMPARE(report.stopLine, row[4].toInt());
}

void TestChimes::strikes()
{
    QFETCH(QStringList, row);
    test::Folders folders;
    const auto writeType = [&](const QString& type) {
        folders.write(row[1] + "/SP.ini", type == "-" ? "" : "[setting]\ntype=" + type.toUtf8());
    };
    if (row[2] != "-")
        writeType(row[2]);
    for (const QString& name : row[3].split(' ', Qt::SkipEmptyParts))
        folders.write(row[1] + '/' + name, {});
    // A pack folder named like the choice must not be taken for the skin's own chimes.
    folders.write("Sounds/< skin >/SP.ini", "[setting]\ntype=o");
    folders.write("Sounds/< skin >/Chime2.wav", {});
    QList<double> numbers;
    for (const QString& number : row[4].split(' '))
        numbers << number.toDouble();

    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(12, 0)));
    QString busy;
    test::SequenceRandom random(numbers);
    const Roots roots = folders.roots();
    Settings settings;
    test::RecordingOutput output;
    int made = 0;
    Chimes chimes(clock, random, roots, settings, [&]() -> SoundOutput& {
        ++made;
        return output;
    });
    const Chimes::SkinChimes builtIn { "< none >", {}, ChimeKind::Random };
    Chimes::SkinChimes skin = builtIn;
    chimes.setBusyCheck([&] { return busy; });
    const QStringList kinds { "random", "count", "order", "index", "silent" };
    QString atTick;
    int chimesStruck = 0;
    std::function<void(const QString&)> run = [&](const QString& step) {
        const QString arg = step.mid(2);
        if (step.startsWith("p:"))
            chimes.activatePack(QString(arg).replace('_', ' '));
        else if (step == "s:builtin")
            skin = builtIn;
        else if (step.startsWith("s:"))
            skin = { "Classic", folders.path("Skins/Classic"), ChimeKind(kinds.indexOf(arg)) };
        else if (step.startsWith("w:"))
            writeType(arg);
        else if (step.startsWith("t:"))
            atTick = arg;
        else if (step[0] == 'a' || step[0] == 'k') {
            ++chimesStruck;
            chimes.playChime(step.mid(1).toInt(),
                step[0] == 'k' ? HourEvent::Forced : HourEvent::OnTheHour, skin);
        } else if (step == "off" || step == "on")
            settings.useChimes = step == "on";
        else if (step == "once")
            settings.countChimes = false;
        else if (step.startsWith("quiet:")) // quiet:HHMM-HHMM
            settings.quietHours = { true, QTime::fromString(step.mid(6, 4), "HHmm"),
                QTime::fromString(step.mid(11, 4), "HHmm") };
        else if (step.startsWith("now:"))
            clock.set(QTime::fromString(step.mid(4), "HHmm"));
        else if (step.startsWith("near:")) { // near:HHmmss, a tick then
            clock.set(QTime::fromString(step.mid(5), "HHmmss"));
            chimes.approachHour();
        } else if (step.startsWith("busy:"))
            busy = step.mid(5);
        else if (step == "e")
            output.endStroke();
        else if (step == "w") { // the pause: a stroke asked sooner than its end shows before it
            const qsizetype before = output.calls.size();
            QTest::qWait(Chimes::strokePauseMs - 30);
            output.calls << "pause";
            (void)QTest::qWaitFor([&] { return output.calls.size() > before + 1; }, 300);
        } else if (step == "x")
            chimes.stop();
        else
            QFAIL(qPrintable("unknown step " + step));
    };
    connect(&chimes, &Chimes::hourApproaching, this, [&] { output.calls << "ask desktop"; });
    connect(&chimes, &Chimes::strokeEnded, this, [&] {
        output.calls << "tick";
        if (!atTick.isEmpty())
            run(atTick);
    });
    for (const QString& step : row[5].split(' ', Qt::SkipEmptyParts))
        run(step);
    QCOMPARE(output.calls.join(", "), row[6]);
    QCOMPARE(random.seeds, chimesStruck); // reseeded at every chime, even one that returns early
    QCOMPARE(made, output.calls.isEmpty() ? 0 : 1); // no audio stack until something sounds
}

QTEST_GUILESS_MAIN(TestChimes)
#include "tst_chimes.moc"
