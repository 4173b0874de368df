#include "core/chimes/ChimeEngine.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Random.h"
#include "core/files/Roots.h"
#include "core/chimes/SoundOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// Calls as "async:name", "sync:name", "stop", "beep".
class RecordingOutput final : public SoundOutput {
public:
    void playAsync(const QString& path) override { calls << "async:" + QFileInfo(path).fileName(); }
    bool playSync(const QString& path) override
    {
        calls << "sync:" + QFileInfo(path).fileName();
        return true;
    }
    void stop() override { calls << "stop"; }
    void beep() override { calls << "beep"; }
    QStringList calls;
};

class FakeHost final : public ChimeHost {
public:
    void processEvents() override
    {
        ++events;
        if (onEvents)
            onEvents();
    }
    void runTick() override
    {
        ++ticks;
        if (onTick)
            onTick();
    }
    bool closing() const override { return isClosing; }
    std::function<void()> onEvents;
    std::function<void()> onTick;
    int events = 0;
    int ticks = 0;
    bool isClosing = false;
};

class FixedRandom final : public Random {
public:
    void seed(double s) override { seeds << s; }
    double next() override { return value; }
    double value = 0;
    QList<double> seeds;
};

// A silent 8 kHz mono 8-bit wave of 8 samples.
QByteArray tinyWav()
{
    QByteArray data(8, char(0x80));
    QByteArray wav("RIFF");
    const auto le = [&](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav.append(char((v >> (8 * i)) & 0xff));
    };
    le(36 + quint32(data.size()), 4);
    wav += "WAVEfmt ";
    le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(8000, 4), le(1, 2), le(8, 2);
    wav += "data";
    le(quint32(data.size()), 4);
    return wav + data;
}

struct Rig {
    Rig()
        : roots({ dir.path() })
        , engine(
              state, clock, roots, random, [this]() -> SoundOutput& { return ++made, output; },
              host)
    {
        clock.set(QTime(15, 0, 0, 500));
    }
    // A folder under Sounds or Skins with these files; ini empty: no SP.ini.
    QString makeFolder(const QString& kind, const QString& name, const QStringList& files,
        const QByteArray& ini = {})
    {
        const QString folder = dir.path() + '/' + kind + '/' + name;
        QDir().mkpath(folder);
        for (const QString& file : files) {
            QFile f(folder + '/' + file);
            f.open(QIODevice::WriteOnly);
            f.write(tinyWav());
        }
        if (!ini.isEmpty()) {
            QFile f(folder + "/SP.ini");
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
        return folder;
    }
    void pack(const QByteArray& type, const QStringList& files)
    {
        makeFolder("Sounds", "Pack", files, type.isEmpty() ? type : "[setting]\ntype=" + type);
        engine.ActivateSP("Pack");
    }

    QTemporaryDir dir;
    HorolanState state;
    FixedClock clock;
    Roots roots;
    FixedRandom random;
    RecordingOutput output;
    int made = 0;
    FakeHost host;
    ChimeEngine engine;
};

const QStringList abc { "a.wav", "b.WAV", "c.wav", "notes.txt" };

QStringList times(int n, const QString& call)
{
    QStringList calls;
    for (int i = 0; i < n; ++i)
        calls << call;
    return calls;
}

} // namespace

class tst_ChimeEngine : public QObject {
    Q_OBJECT

private slots:
    void types_data();
    void types();
    void skinChimes_data();
    void skinChimes();
    void oncePerHour();
    void chimesOff();
    void chimeKey();
    void firstMidnightChimes();
    void nestedTickReturnsAtGuard();
    void stopKeyDuringCount_data();
    void stopKeyDuringCount();
    void closingEndsCount();
    void activeNotReread();
    void unsafePackName_data();
    void unsafePackName();
    void fixturePack();
};

void tst_ChimeEngine::types_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("hour");
    QTest::addColumn<double>("r");
    QTest::addColumn<QStringList>("calls");

    const QStringList hours { "Chime0.wav", "Chime7.wav", "CHIME12.WAV", "chime12.wav" };
    QTest::newRow("random") << QByteArray("r") << abc << 3 << 0.5 << QStringList { "async:b.WAV" };
    QTest::newRow("random, r near 1")
        << QByteArray("random") << abc << 3 << 0.999 << QStringList { "async:c.wav" };
    QTest::newRow("no SP.ini is random")
        << QByteArray() << abc << 3 << 0.0 << QStringList { "async:a.wav" };
    QTest::newRow("random, no wav")
        << QByteArray("r") << QStringList { "notes.txt" } << 3 << 0.0 << QStringList { "beep" };
    QTest::newRow("count 3") << QByteArray("c") << abc << 3 << 0.5 << times(3, "sync:b.WAV");
    QTest::newRow("count 12") << QByteArray("c") << abc << 12 << 0.0 << times(12, "sync:a.wav");
    QTest::newRow("count 0") << QByteArray("c") << abc << 0 << 0.0 << QStringList();
    QTest::newRow("count, no wav")
        << QByteArray("c") << QStringList() << 0 << 0.0 << QStringList { "beep" };
    QTest::newRow("order 7") << QByteArray("o") << hours << 7 << 0.0
                             << QStringList { "async:Chime7.wav" };
    QTest::newRow("order 0") << QByteArray("o") << hours << 0 << 0.0
                             << QStringList { "async:Chime0.wav" };
    QTest::newRow("index, other case")
        << QByteArray("i") << hours << 12 << 0.0 << QStringList { "async:CHIME12.WAV" };
    QTest::newRow("order, missing")
        << QByteArray("o") << hours << 5 << 0.0 << QStringList { "beep" };
    QTest::newRow("other letter: silence") << QByteArray("x") << abc << 3 << 0.0 << QStringList();
}

void tst_ChimeEngine::types()
{
    QFETCH(QByteArray, type);
    QFETCH(QStringList, files);
    QFETCH(int, hour);
    QFETCH(double, r);
    QFETCH(QStringList, calls);
    Rig rig;
    rig.random.value = r;
    rig.pack(type, files);
    rig.engine.PlayChime(std::uint8_t(hour), true);
    QCOMPARE(rig.output.calls, calls);
    QCOMPARE(rig.made, calls.isEmpty() ? 0 : 1); // no audio stack when nothing sounds
    QCOMPARE(rig.random.seeds, QList<double> { 15 * 3600 + 0.5 });
}

void tst_ChimeEngine::skinChimes_data()
{
    QTest::addColumn<QString>("sp");
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("chimestype");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("random") << "< skin >"
                            << "Classic"
                            << "random" << QStringList { "async:a.wav" };
    QTest::newRow("count, padded word") << "< skin >"
                                        << "Classic"
                                        << "Count " << times(2, "sync:a.wav");
    QTest::newRow("order") << "< SKIN >"
                           << "Classic"
                           << "order " << QStringList { "async:Chime2.wav" };
    QTest::newRow("other word: silence") << "< skin >"
                                         << "Classic"
                                         << "bells " << QStringList();
    QTest::newRow("built-in skin beeps")
        << "< skin >" << QString(builtInSkinName) << "random" << QStringList { "beep" };
    QTest::newRow("missing skin folder beeps") << "< skin >"
                                               << "Gone"
                                               << "index " << QStringList { "beep" };
}

void tst_ChimeEngine::skinChimes()
{
    QFETCH(QString, sp);
    QFETCH(QString, skin);
    QFETCH(QString, chimestype);
    QFETCH(QStringList, calls);
    Rig rig;
    rig.makeFolder("Skins", "Classic", { "a.wav", "Chime2.wav" });
    rig.makeFolder("Skins", builtInSkinName, { "a.wav" }); // must not be taken for the built-in
    rig.makeFolder("Sounds", sp, { "Chime2.wav" }, "[setting]\ntype=c"); // nor this
    rig.engine.ActivateSP(sp);
    QCOMPARE(rig.engine.info().type, "r");
    rig.state.CurrentSkin = skin;
    rig.state.skin.chimestype = chimestype;
    rig.engine.PlayChime(2, false);
    QCOMPARE(rig.output.calls, calls);
}

void tst_ChimeEngine::oncePerHour()
{
    Rig rig;
    rig.pack("r", abc);
    rig.engine.PlayChime(3, false);
    rig.engine.PlayChime(3, false);
    QCOMPARE(rig.engine.LastChimeHour(), 3);
    rig.engine.PlayChime(4, false);
    QCOMPARE(rig.output.calls, QStringList({ "async:a.wav", "async:a.wav" }));
    QCOMPARE(rig.random.seeds.size(), 3); // reseeded even when the guard returns
}

void tst_ChimeEngine::chimesOff()
{
    Rig rig;
    rig.pack("r", abc);
    rig.state.UseChimes = false;
    rig.engine.PlayChime(3, false);
    QCOMPARE(rig.engine.LastChimeHour(), ChimeEngine::noHour);
    QCOMPARE(rig.made, 0);
    rig.state.UseChimes = true; // switched on again within the same two seconds
    rig.engine.PlayChime(3, false);
    QCOMPARE(rig.output.calls, QStringList { "async:a.wav" });
}

void tst_ChimeEngine::chimeKey()
{
    Rig rig;
    rig.pack("r", abc);
    rig.engine.PlayChime(3, false);
    rig.state.UseChimes = false;
    rig.engine.PlayChime(5, true);
    rig.engine.PlayChime(3, true);
    QCOMPARE(rig.output.calls.size(), 3);
    QCOMPARE(rig.engine.LastChimeHour(), 3);
}

void tst_ChimeEngine::firstMidnightChimes()
{
    Rig rig;
    rig.pack("o", { "Chime0.wav", "Chime11.wav" });
    rig.engine.PlayChime(0, false);
    QCOMPARE(rig.output.calls, QStringList { "async:Chime0.wav" });
    QCOMPARE(rig.engine.LastChimeHour(), 0);
}

void tst_ChimeEngine::nestedTickReturnsAtGuard()
{
    Rig rig;
    rig.pack("c", abc);
    rig.host.onTick = [&] { rig.engine.PlayChime(3, false); };
    rig.engine.PlayChime(3, false);
    QCOMPARE(rig.output.calls, times(3, "sync:a.wav"));
    QCOMPARE(rig.host.ticks, 3);
    QCOMPARE(rig.host.events, 3);

    rig.state.UseChimesCount = false;
    rig.engine.PlayChime(12, true);
    QCOMPARE(rig.output.calls.size(), 4);
}

void tst_ChimeEngine::stopKeyDuringCount_data()
{
    QTest::addColumn<bool>("nestedTick");
    QTest::newRow("plain") << false;
    // The tick of the hour's first two seconds calls PlayChime again: the stop must survive it.
    QTest::newRow("tick chimes again") << true;
}

void tst_ChimeEngine::stopKeyDuringCount()
{
    QFETCH(bool, nestedTick);
    Rig rig;
    rig.pack("c", abc);
    rig.host.onEvents = [&] {
        if (rig.host.events == 2)
            rig.engine.stopChime();
    };
    if (nestedTick)
        rig.host.onTick = [&] { rig.engine.PlayChime(12, false); };
    rig.engine.PlayChime(12, false);
    QCOMPARE(rig.output.calls, QStringList({ "sync:a.wav", "sync:a.wav", "stop" }));
    QVERIFY(rig.engine.StopChime());
}

void tst_ChimeEngine::closingEndsCount()
{
    Rig rig;
    rig.engine.stopChime(); // before any chime: nothing to silence, nothing made
    QCOMPARE(rig.made, 0);
    rig.pack("c", abc);
    rig.host.onEvents = [&] { rig.host.isClosing = true; };
    rig.engine.PlayChime(12, true);
    QCOMPARE(rig.output.calls, QStringList { "sync:a.wav" });
    QCOMPARE(rig.host.ticks, 0);
}

void tst_ChimeEngine::activeNotReread()
{
    Rig rig;
    const QString folder = rig.makeFolder("Sounds", "Pack", abc);
    const auto writeIni = [&](const QByteArray& text) {
        QFile f(folder + "/sp.INI"); // found in any letter case
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    writeIni("[setting]\ntype=c\n[info]\ncomment=first");
    rig.engine.ActivateSP("Pack");
    QCOMPARE(rig.state.CurrentSP, "Pack");
    writeIni("[setting]\ntype=o");
    rig.engine.ActivateSP("Pack");
    QCOMPARE(rig.engine.info().type, "c");
    rig.engine.ActivateSP("< skin >");
    QCOMPARE(rig.engine.info().comment, "unavailable");
    rig.engine.ActivateSP("Pack");
    QCOMPARE(rig.engine.info().type, "o");
}

void tst_ChimeEngine::unsafePackName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../Pack";
    QTest::newRow("dots") << "..";
    QTest::newRow("separator") << "Sub/Pack";
    QTest::newRow("backslash") << "Sub\\Pack";
}

void tst_ChimeEngine::unsafePackName()
{
    QFETCH(QString, name);
    Rig rig;
    rig.makeFolder(".", "Pack", { "Chime3.wav" }, "[setting]\ntype=o");
    rig.makeFolder("Sounds", "Sub/Pack", { "Chime3.wav" }, "[setting]\ntype=o");
    rig.makeFolder("Sounds", "Sub\\Pack", { "Chime3.wav" }, "[setting]\ntype=o");
    rig.engine.ActivateSP(name);
    QCOMPARE(rig.engine.info().type, "r");
    rig.engine.PlayChime(3, true);
    QCOMPARE(rig.output.calls, QStringList { "beep" });
}

void tst_ChimeEngine::fixturePack()
{
    Rig rig;
    const QString folder = rig.makeFolder("Sounds", "Westminster", { "bell.wav" });
    QVERIFY(QFile::copy(QFINDTESTDATA("../data/sounds/Westminster/SP.ini"), folder + "/SP.ini"));
    rig.engine.ActivateSP("Westminster");
    QCOMPARE(rig.engine.info().collector, "Ann Lee");
    rig.engine.PlayChime(2, false);
    QCOMPARE(rig.output.calls, times(2, "sync:bell.wav"));
    QCOMPARE(rig.engine.lastChoice().path, folder + "/bell.wav");
}

QTEST_APPLESS_MAIN(tst_ChimeEngine)
#include "tst_chimeengine.moc"
