#include "core/settings/SettingsInfo.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/settings/SettingsStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Settings;

namespace {

class FakeWindow final : public InfoWindow {
public:
    explicit FakeWindow(HorolanState& state)
        : m_state(state)
    { }
    double topTwips() const override { return top; }
    double leftTwips() const override { return left; }
    void setTopTwips(double twips) override { top = twips, events << "top"; }
    void setLeftTwips(double twips) override { left = twips, events << "left"; }
    bool worldTimeVisible() const override { return wttVisible; }
    void showWorldTime() override { wttVisible = true, events << "showWorldTime"; }
    void ActivateSkin(const QString& name) override
    {
        skin = name, events << "ActivateSkin", stateAtSkin = m_state;
    }
    void ActivateSP(const QString& name) override { sp = name, events << "ActivateSP"; }

    double top = -1, left = -1;
    bool wttVisible = false;
    QString skin, sp;
    QStringList events;
    HorolanState stateAtSkin;

private:
    HorolanState& m_state;
};

// A store file holding the given text, in a folder that lives as long as the test.
class StoreFile {
public:
    explicit StoreFile(const QByteArray& ini = {})
    {
        QFile file(path());
        if (!ini.isNull() && file.open(QIODevice::WriteOnly))
            file.write(ini);
    }
    QString path() const { return m_dir.filePath("Quarnet.conf"); }
    SettingsStore store() const { return SettingsStore(path(), m_clock); }

private:
    QTemporaryDir m_dir;
    FixedClock m_clock;
};

struct Loaded {
    HorolanState state;
    FakeWindow window { state };

    explicit Loaded(const StoreFile& file) { LoadInfo(file.store(), state, window); }

    // Everything loaded, one "Key=value" per setting.
    QString summary() const
    {
        const HorolanState& s = state;
        const auto b
            = [](bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); };
        return QStringLiteral("Top=%1 Left=%2 ShowWTT=%3 UseChimes=%4 LockPos=%5 ontop=%6 AMPM=%7 "
                              "UseChimesCount=%8 Speed=%9 SysTrayIcon=%10 Skin=%11 SoundPack=%12 "
                              "Scroll=%13 WTT=%14")
            .arg(window.top)
            .arg(window.left)
            .arg(b(window.wttVisible))
            .arg(b(s.UseChimes))
            .arg(b(s.LockPos))
            .arg(b(s.ontop))
            .arg(b(s.skin.AMPM))
            .arg(b(s.UseChimesCount))
            .arg(s.Speed)
            .arg(b(s.SysTrayIcon))
            .arg(window.skin, window.sp)
            .arg(b(s.Scroll))
            .arg(s.WTT.value(0) + s.WTT.mid(1).join(u'|'));
    }
};

} // namespace

class TstSettingsInfo : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void firstRun();
    void loadRules_data();
    void loadRules();
    void loadOrder();
    void countBounded();
    void roundTrip();
    void byteOrderMarksStable();
    void staleItemsRemoved_data();
    void staleItemsRemoved();
    void worldTimeWindow();
};

void TstSettingsInfo::firstRun()
{
    StoreFile file;
    QCOMPARE(Loaded(file).summary(),
        "Top=0 Left=0 ShowWTT=false UseChimes=true LockPos=false ontop=true AMPM=false "
        "UseChimesCount=true Speed=88 SysTrayIcon=true Skin=< none > SoundPack=< skin > "
        "Scroll=true WTT=");
    QVERIFY(!QFile::exists(file.path())); // loading writes nothing
}

void TstSettingsInfo::loadRules_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* ini, const char* expected) {
        QTest::newRow(ini) << QByteArray(ini) << QString(expected);
    };
    row("[Setting]\nSpeed=150", "Speed=100");
    row("[Setting]\nSpeed=-3", "Speed=0");
    row("[Setting]\nSpeed=abc", "Speed=0");
    row("[Setting]\nSpeed=87,5", "Speed=87 "); // the comma splits it into a list
    row("[Setting]\nSpeed=87.5", "Speed=87.5");
    row("[Setting]\nSpeed=1e3", "Speed=1 ");
    row("[Setting]\nSpeed=", "Speed=0");
    row("[Setting]\nSpeed=@ByteArray(\\0\\x1)", "Speed=0");
    QTest::newRow("speed huge") << "[Setting]\nSpeed=" + QByteArray(4000, '9') << "Speed=100";
    row("[Setting]\nTop=-120", "Top=0");
    row("[Setting]\nLeft=-0.5", "Left=0");
    row("[Setting]\nLeft=1234.5", "Left=1234.5");
    row("[Setting]\nTop=99999999999", "Top=491505");
    row("[Setting]\nUseChimes=TRUE", "UseChimes=true");
    row("[Setting]\nUseChimes=yes", "UseChimes=false");
    row("[Setting]\nUseChimes=-1", "UseChimes=false");
    row("[Setting]\nLockPos=tRuE\nAMPM=True", "LockPos=true ontop=true AMPM=true");
    row("[Setting]\nontop=False\nUseChimesCount=False",
        "ontop=false AMPM=false UseChimesCount=false");
    row("[Setting]\nSysTrayIcon=False", "SysTrayIcon=true");
    row("[Setting]\nShowWTT=true", "ShowWTT=true");
    row("[WTT]\nShowWTT=True", "ShowWTT=false");
    row("[Setting]\nScroll=False\nCount=2", "Scroll=true WTT= ");
    row("[Setting]\nSkin=Red, Blue\nSoundPack=@ByteArray(Bells)", "Skin=Red, Blue SoundPack=Bells");
    row("[WTT]\nScroll=False", "Scroll=false");
    row("[WTT]\nCount=3\nItem1=\"  +060Paris \"\nItem2=+330Delhi, India\n",
        "WTT=+060Paris|+330Delhi, India|+000Now");
    row("[WTT]\nCount=1\nItem1=+060Paris\nItem2=+120Cairo\n", "WTT=+060Paris");
    // Byte-order marks would not all survive a save: none is kept.
    row("[WTT]\nCount=1\nItem1=\"\xEF\xBB\xBF+060Paris\"\n", "WTT=+060Paris");
    row("[WTT]\nCount=1\nItem1=+060Pa\xEF\xBB\xBFris\n", "WTT=+060Paris");
    row("[Setting]\nSkin=\xEF\xBB\xBF\xEF\xBB\xBFRed\nSoundPack=Be\xEF\xBB\xBFlls",
        "Skin=Red SoundPack=Bells ");
    row("[WTT]\nCount=-2\nItem1=+060Paris\n", "WTT=");
    row("[WTT]\nCount=2.5\n", "WTT=+000Now|+000Now");
    row("[WTT]\nCount=1e3\n", "WTT=+000Now");
    row("[WTT]\nCount=many\n", "WTT=");
}

void TstSettingsInfo::loadRules()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);
    const QString summary = Loaded(StoreFile(ini)).summary() + ' ';
    QVERIFY2(summary.contains(expected), qPrintable(summary));
}

// The world time window opens before the skin is activated, with the stored flags already in
// place; the list is read after both activations.
void TstSettingsInfo::loadOrder()
{
    StoreFile file("[Setting]\nShowWTT=True\nontop=False\nSpeed=40\n[WTT]\nCount=1\nItem1=x\n");
    Loaded l(file);
    QCOMPARE(l.window.events,
        QStringList({ "top", "left", "showWorldTime", "ActivateSkin", "ActivateSP" }));
    QVERIFY(!l.window.stateAtSkin.ontop);
    QCOMPARE(l.window.stateAtSkin.Speed, 40.0f);
    QCOMPARE(l.window.stateAtSkin.WTT.size(), 1);
}

// The list's bound is 16-bit; a Count beyond it with no items behind it still loads at once.
void TstSettingsInfo::countBounded()
{
    StoreFile file("[WTT]\nCount=1000000000\nItem32767=+060Paris\n");
    QElapsedTimer timer;
    timer.start();
    Loaded l(file);
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(l.state.WTT.size(), maxWttEntries + 1);
    QCOMPARE(l.state.WTT.last(), QString("+060Paris"));
}

void TstSettingsInfo::roundTrip()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    StoreFile file;
    HorolanState saved;
    saved.UseChimes = saved.UseChimesCount = saved.ontop = saved.Scroll = false;
    saved.LockPos = saved.skin.AMPM = true;
    saved.Speed = 87.5f;
    saved.CurrentSkin = "Red, Blue";
    saved.CurrentSP = "@Bells";
    saved.WTT << "+330Delhi, India"
              << "@Variant(\\0)" << QString::fromUtf8("+540\u6771\u4EAC");
    FakeWindow window(saved);
    window.top = 1234.5;
    window.left = 15;
    window.wttVisible = true;
    {
        SettingsStore store = file.store();
        SaveInfo(store, saved, window);
    }

    QFile raw(file.path());
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray text = raw.readAll();
    for (const char* line : { "Speed=87.5\n", "Top=1234.5\n", "ontop=False\n", "LockPos=True\n" })
        QVERIFY2(text.contains(line), line);
    QCOMPARE(Loaded(file).summary(),
        "Top=1234.5 Left=15 ShowWTT=true UseChimes=false LockPos=true ontop=false AMPM=true "
        "UseChimesCount=false Speed=87.5 SysTrayIcon=true Skin=Red, Blue SoundPack=@Bells "
        "Scroll=false WTT=+330Delhi, India|@Variant(\\0)|"
            + saved.WTT.last());
}

// Qt drops a byte-order mark at some places of a value it reads back, one per place: a name
// holding several must still read the same after each save.
void TstSettingsInfo::byteOrderMarksStable()
{
    const QString bom(QChar(0xfeff));
    StoreFile file;
    {
        SettingsStore store = file.store();
        store.write(Setting, u"Skin", bom + bom + "Red");
        store.write(Setting, u"SoundPack", "\"" + bom + bom + "Bells\"");
        store.write(WTT, u"Count", "1");
        store.write(WTT, u"Item1", bom + " " + bom + "+060Paris");
        QVERIFY(store.sync());
    }
    // Each save goes to a new file: Qt would not read its own file again.
    const auto saveInto = [](const Loaded& loaded, const StoreFile& target) {
        HorolanState state = loaded.state; // the names as activated
        state.CurrentSkin = loaded.window.skin;
        state.CurrentSP = loaded.window.sp;
        SettingsStore store = target.store();
        SaveInfo(store, state, loaded.window);
        return store.sync();
    };
    const Loaded first(file);
    StoreFile second, third;
    QVERIFY(saveInto(first, second));
    const Loaded again(second);
    QVERIFY(saveInto(again, third));
    const QString previous = first.summary();
    QVERIFY2(!previous.contains(bom), qPrintable(previous));
    QCOMPARE(again.summary(), previous);
    QCOMPARE(Loaded(third).summary(), previous);
    QVERIFY2(
        previous.contains("Skin=Red SoundPack=\"Bells\" ") && previous.contains("WTT=+060Paris"),
        qPrintable(previous));
}

void TstSettingsInfo::staleItemsRemoved_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QStringList>("keys");
    const QStringList three { "Count", "Item1", "Item2", "Item3", "Scroll" };
    QTest::newRow("5 to 3") << QByteArray("[WTT]\nCount=5\nItem1=a\nItem2=b\nItem4=d\nItem5=e\n")
                            << 3 << three;
    QTest::newRow("items past the stored Count")
        << QByteArray("[WTT]\nCount=1\nItem1=a\nItem9=z\n") << 3 << three;
    QTest::newRow("huge stored Count, window position kept")
        << QByteArray("[WTT]\nCount=1000000000\nItem1=a\nLeft=30\nTop=45\n") << 0
        << QStringList { "Count", "Left", "Scroll", "Top" };
}

void TstSettingsInfo::staleItemsRemoved()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, entries);
    QFETCH(QStringList, keys);
    StoreFile file(ini);
    HorolanState state;
    for (int i = 1; i <= entries; ++i)
        state.WTT << QStringLiteral("+%1Zone").arg(i);
    QElapsedTimer timer;
    timer.start();
    {
        SettingsStore store = file.store();
        SaveInfo(store, state, FakeWindow(state));
    }
    QVERIFY(timer.elapsed() < 2000);
    QSettings written(file.path(), QSettings::IniFormat);
    written.beginGroup("WTT");
    QStringList found = written.childKeys();
    found.sort();
    QCOMPARE(found, keys);
    QCOMPARE(written.value("Count").toString(), QString::number(entries));
}

void TstSettingsInfo::worldTimeWindow()
{
    StoreFile file("[Setting]\nLeft=300\n[WTT]\nLeft=-15\nTop=450.5\n");
    WindowPositionTwips position = LoadWorldTimeInfo(file.store());
    QCOMPARE(position.left, 0.0);
    QCOMPARE(position.top, 450.5);
    {
        SettingsStore store = file.store();
        SaveWorldTimeInfo(store, { 120, 240 });
    }
    position = LoadWorldTimeInfo(file.store());
    QCOMPARE(position.left, 120.0);
    QCOMPARE(position.top, 240.0);
}

QTEST_GUILESS_MAIN(TstSettingsInfo)
#include "tst_settingsinfo.moc"
