#include "core/skin/SkinEngine.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Random.h"
#include "core/files/Roots.h"
#include "core/shape/TraceShape.h"
#include "core/skin/BuiltInSkin.h"
#include "core/skin/SkinWindow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace {

class FakeWindow final : public SkinWindow {
public:
    void setPicture(const QImage& p) override { picture = p; }
    void setOutline(const QRegion& r, QRgb k) override { outline = r, key = k; }
    QRect windowGeometry() const override { return geometry; }
    void moveWindow(QPoint p) override { geometry.moveTopLeft(p); }
    void resizeWindow(QSize s) override { geometry.setSize(s); }
    QRect screenGeometry() const override { return screen; }
    void setTimerTag(const QString& t) override { tag = t; }
    void runTick() override { ticks << tag; }
    void setBusy(bool b) override { busy << b; }
    void updateWorldTimeSkin() override { ++worldTimeUpdates; }

    QImage picture;
    QRegion outline;
    QRgb key = 0;
    QRect geometry { 100, 100, 50, 50 };
    QRect screen { 0, 0, 1920, 1080 };
    QString tag;
    QStringList ticks; // the tag each tick saw
    QList<bool> busy;
    int worldTimeUpdates = 0;
};

class SequenceRandom final : public Random {
public:
    void seed(double) override { }
    double next() override { return values.isEmpty() ? 0 : values[at++ % values.size()]; }
    QList<double> values;
    int at = 0;
};

QImage keyed(QSize size, QRgb key)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(key);
    image.setPixel(size.width() / 2, size.height() / 2, qRgb(1, 2, 3));
    return image;
}

// A root with a Skins folder: fixture skins copied in, others written on the spot.
struct Setup {
    Setup()
        : roots({ dir.path() })
        , engine(state, clock, roots, random, window)
    {
        clock.set(QTime(7, 0, 0));
        engine.setTextWidthFunction([](const SkinFont&, const QString& text) {
            static const std::map<QString, double> widths { { "88:88:88", 900 }, { " am", 200 },
                { "88:88:88 ", 950 } };
            return widths.at(text);
        });
    }
    QString folder(const QString& name) const { return dir.path() + "/Skins/" + name; }
    void copyFixture(const QString& name)
    {
        const QString from = QFINDTESTDATA("../data/skins/" + name);
        QDir().mkpath(folder(name));
        for (const QString& file : QDir(from).entryList(QDir::Files))
            QFile::copy(from + '/' + file, folder(name) + '/' + file);
    }
    void addSkin(const QString& name, const QByteArray& ini, const QStringList& pictures = {},
        QSize size = { 30, 20 }, QRgb key = qRgb(255, 0, 255))
    {
        QDir().mkpath(folder(name));
        if (!ini.isNull()) {
            QFile f(folder(name) + "/Skin.ini");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        for (const QString& p : pictures)
            QVERIFY(keyed(size, key).save(folder(name) + '/' + p, "BMP"));
    }
    QString shown() const { return QFileInfo(engine.lastChoice().path).fileName(); }

    QTemporaryDir dir;
    HorolanState state;
    FixedClock clock;
    Roots roots;
    SequenceRandom random;
    FakeWindow window;
    SkinEngine engine;
};

const QByteArray animat = "[setting]\nbacktype=animated\n";

} // namespace

class TstSkinEngine : public QObject {
    Q_OBJECT
private slots:
    void backgrounds_data();
    void backgrounds();
    void guard();
    void animation();
    void animationNeedsNoFiles();
    void frameCap();
    void spread();
    void tymeLayout_data();
    void tymeLayout();
    void screenEdges_data();
    void screenEdges();
    void activationGuard();
    void builtInNames_data();
    void builtInNames();
    void failuresGiveBuiltIn_data();
    void failuresGiveBuiltIn();
    void transcolor();
    void keyColor_data();
    void keyColor();
    void randomSkin();
};

void TstSkinEngine::backgrounds_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("hur");
    QTest::addColumn<double>("r");
    QTest::addColumn<QString>("expected"); // empty: the built-in picture
    const QByteArray order = "[setting]\nbacktype=order\n";
    const QStringList hourly { "back7.bmp", "back7.jpg", "back0.bmp", "back12.bmp" };
    QTest::newRow("order 07:00, low") << QByteArray() << hourly << 7 << 0.2 << "back7.bmp";
    QTest::newRow("order 07:00, high") << QByteArray() << hourly << 7 << 0.7 << "back7.jpg";
    QTest::newRow("order midnight") << QByteArray() << hourly << 0 << 0.0 << "back0.bmp";
    QTest::newRow("order noon") << QByteArray() << hourly << 12 << 0.0 << "back12.bmp";
    QTest::newRow("order, no back7")
        << order << QStringList { "back1.bmp", "back17.bmp" } << 7 << 0.0 << "";
    QTest::newRow("random") << QByteArray("[setting]\nbacktype=random\n")
                            << QStringList { "Back1.bmp", "back2.BMP", "back3.bmp" } << 7 << 0.5
                            << "back2.BMP";
    QTest::newRow("random, last") << QByteArray("[setting]\nbacktype=random\n")
                                  << QStringList { "back1.bmp", "back2.bmp" } << 3 << 0.999
                                  << "back2.bmp";
    QTest::newRow("random, no back") << QByteArray("[info]\nname=x\n")
                                     << QStringList { "main1.bmp", "front.bmp" } << 7 << 0.0 << "";
    QTest::newRow("tyme takes the first main")
        << QByteArray("[skin]\ntranscolor=255000255\n")
        << QStringList { "main2.bmp", "Main1.bmp", "back1.bmp" } << 7 << 0.9 << "Main1.bmp";
}

void TstSkinEngine::backgrounds()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, files);
    QFETCH(int, hur);
    QFETCH(double, r);
    QFETCH(QString, expected);
    Setup s;
    if (ini.isNull())
        s.copyFixture("Hourly");
    else
        s.addSkin("Hourly", ini, files);
    s.random.values = { r };
    s.engine.ActivateSkin("Hourly");
    s.engine.ChangeBack(std::uint8_t(hur), true);
    QCOMPARE(s.shown(), expected);
    QCOMPARE(s.engine.lastChoice().builtIn, expected.isEmpty());
    if (expected.isEmpty())
        QCOMPARE(s.window.picture, BuiltInSkin::picture());
    QCOMPARE(s.window.geometry.size(), s.window.picture.size());
    QCOMPARE(s.window.ticks.last(), "bgcall");
    QVERIFY(s.window.tag.isEmpty());
}

void TstSkinEngine::guard()
{
    Setup s;
    s.addSkin("R", "[setting]\nbacktype=random\n", { "back1.bmp" });
    s.engine.ActivateSkin("R");
    QCOMPARE(s.window.ticks.size(), 1);
    s.engine.ChangeBack(7, false); // the activation already changed it this minute
    QCOMPARE(s.window.ticks.size(), 1);
    s.engine.ChangeBack(7, true);
    QCOMPARE(s.window.ticks.size(), 2);
    s.engine.ChangeBack(8, false);
    QCOMPARE(s.window.ticks.size(), 3);
    s.clock.set(QTime(8, 1, 0));
    s.engine.ChangeBack(8, false);
    s.engine.ChangeBack(8, false);
    QCOMPARE(s.window.ticks.size(), 4);
}

void TstSkinEngine::animation()
{
    Setup s;
    s.copyFixture("Animated3");
    s.addSkin("One", animat, { "Back1.BMP" });
    s.addSkin("Still", "[setting]\nbacktype=random\n", { "back1.bmp" });
    s.addSkin("Empty", animat);
    const auto frames = [&s] {
        QList<int> shown;
        for (int i = 0; i < 4; ++i) {
            const int frame = s.engine.lastChoice().frame;
            // Each frame comes with the outline traced when it was loaded.
            const bool cached = s.window.outline == s.engine.frames()[frame - 1].outline;
            shown << (cached ? frame : -1);
            s.engine.ChangeBack(7, true);
        }
        return shown;
    };
    s.engine.ActivateSkin("Animated3");
    QCOMPARE(s.engine.framesCount(), 3);
    QCOMPARE(frames(), (QList<int> { 1, 2, 3, 1 }));
    QCOMPARE(s.window.outline, TraceShape(s.window.picture, qRgb(255, 0, 255)));
    s.engine.ActivateSkin("Still");
    QCOMPARE(s.engine.framesCount(), 3); // only an animated skin replaces them
    s.engine.ActivateSkin("Animated3");
    QCOMPARE(frames(), (QList<int> { 1, 2, 3, 1 }));
    s.engine.ActivateSkin("One");
    QCOMPARE(s.engine.framesCount(), 1);
    QCOMPARE(frames(), (QList<int> { 1, 1, 1, 1 }));
    s.engine.ActivateSkin("Empty");
    QCOMPARE(s.engine.framesCount(), 0);
    QVERIFY(s.engine.lastChoice().builtIn);
}

void TstSkinEngine::animationNeedsNoFiles()
{
    Setup s;
    s.copyFixture("Animated3");
    s.engine.ActivateSkin("Animated3");
    // A chime points File1 elsewhere, and the folder goes away: frames are in memory.
    s.engine.File1().set(s.dir.path(), "Chime*.wav");
    QVERIFY(QDir(s.folder("Animated3")).removeRecursively());
    s.engine.ChangeBack(7, true);
    QCOMPARE(s.engine.lastChoice().frame, 2);
    QVERIFY(!s.engine.lastChoice().builtIn);
    QCOMPARE(s.window.picture.size(), QSize(12, 12));
    QCOMPARE(s.engine.File1().pattern(), "Chime*.wav");
}

void TstSkinEngine::frameCap()
{
    Setup s;
    s.addSkin("Many", animat, { "Back0000.BMP" }, { 1, 1 });
    QFile first(s.folder("Many/Back0000.BMP"));
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray bytes = first.readAll();
    for (int i = 1; i <= SkinEngine::maxFrames; ++i) {
        QFile f(s.folder("Many/Back%1.BMP").arg(i, 4, 10, QChar('0')));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    s.engine.ActivateSkin("Many");
    QCOMPARE(s.engine.framesCount(), SkinEngine::maxFrames);
    QCOMPARE(QFileInfo(s.engine.frames().back().path).fileName(), "Back0999.BMP");
    for (int i = 1; i < 300; ++i)
        s.engine.ChangeBack(7, true);
    QCOMPARE(s.engine.lastChoice().frame, 300); // counted past a byte's 255
}

void TstSkinEngine::spread()
{
    Setup s;
    s.addSkin("R", "[setting]\nbacktype=random\n",
        { "back1.bmp", "back2.bmp", "back3.bmp", "back4.bmp" });
    for (int i = 0; i < 400; ++i)
        s.random.values << (i + 0.5) / 400;
    s.random.values.prepend(0);
    s.engine.ActivateSkin("R");
    std::map<QString, int> seen;
    for (int i = 0; i < 400; ++i) {
        s.engine.ChangeBack(7, true);
        ++seen[s.shown()];
    }
    QCOMPARE(seen,
        (std::map<QString, int> { { "back1.bmp", 100 }, { "back2.bmp", 100 }, { "back3.bmp", 100 },
            { "back4.bmp", 100 } }));
}

void TstSkinEngine::tymeLayout_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<bool>("ampm");
    QTest::addColumn<float>("hurLeft");
    // The window is 100 px = 1500 twips; "88:88:88" 900, " am" 200, "88:88:88 " 950 twips.
    QTest::newRow("center, am/pm") << QByteArray("alignment=center") << true << 200.f;
    QTest::newRow("center") << QByteArray("alignment=Center") << false << 300.f;
    QTest::newRow("left, no offset") << QByteArray("alignment=left") << true << 75.f;
    QTest::newRow("left, offset") << QByteArray("alignment=left\noffset=4") << false << 60.f;
    QTest::newRow("right") << QByteArray("alignment=right\noffset=4") << false << 540.f;
    QTest::newRow("right, am/pm") << QByteArray("alignment= right \noffset=4") << true << 340.f;
    QTest::newRow("other stays") << QByteArray("alignment=middle") << true << 150.f;
}

void TstSkinEngine::tymeLayout()
{
    QFETCH(QByteArray, font);
    QFETCH(bool, ampm);
    QFETCH(float, hurLeft);
    Setup s;
    s.addSkin("T", "[font]\ntopoffset=7\n" + font + "\n", { "main1.bmp" }, { 100, 40 });
    s.state.skin.AMPM = ampm;
    s.engine.ActivateSkin("T");
    const SkinRecord& skin = s.state.skin;
    QCOMPARE(skin.hur.left, hurLeft);
    QCOMPARE(skin.ampm.left, std::round(hurLeft + 950));
    QCOMPARE(skin.ampm.top, 105.f);
    QCOMPARE(skin.backtype.trimmed(), "tyme");
    QCOMPARE(skin.date, "Made for 'Tyme'");
    QVERIFY(!skin.useanalog && skin.usedig && !skin.break_ && skin.showdigsec);
    QVERIFY(skin.blinkdots != "yes" && skin.blinkdots != "off");
    QCOMPARE(s.window.ticks.size(), 1); // the Tyme ChangeBack only
    QCOMPARE(s.shown(), "main1.bmp");

    // The built-in skin afterwards is the analog dial again.
    s.engine.ActivateSkin(builtInSkinName);
    QVERIFY(skin.useanalog && !skin.usedig && !skin.tymeskin);
}

void TstSkinEngine::screenEdges_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("before");
    QTest::addColumn<QPoint>("after");
    // The new picture is 100 x 80.
    QTest::newRow("right edge") << QRect(0, 0, 800, 600) << QPoint(750, 100) << QPoint(700, 100);
    QTest::newRow("bottom edge") << QRect(0, 0, 800, 600) << QPoint(10, 560) << QPoint(10, 520);
    QTest::newRow("inside") << QRect(0, 0, 800, 600) << QPoint(700, 520) << QPoint(700, 520);
    QTest::newRow("negative kept") << QRect(0, 0, 800, 600) << QPoint(-30, -20) << QPoint(-30, -20);
    QTest::newRow("screen not at 0,0")
        << QRect(1920, 100, 1280, 1024) << QPoint(3150, 1100) << QPoint(3100, 1044);
}

void TstSkinEngine::screenEdges()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, before);
    QFETCH(QPoint, after);
    Setup s;
    s.addSkin("Wide", "[setting]\nbacktype=random\n", { "back1.bmp" }, { 100, 80 });
    s.window.screen = screen;
    s.window.geometry = QRect(before, QSize(50, 50));
    s.engine.ActivateSkin("Wide");
    QCOMPARE(s.window.geometry, QRect(after, QSize(100, 80)));
}

void TstSkinEngine::activationGuard()
{
    Setup s;
    s.copyFixture("Hourly");
    s.engine.ActivateSkin("Hourly");
    QCOMPARE(s.window.worldTimeUpdates, 1);
    QCOMPARE(s.window.busy, (QList<bool> { true, false }));
    s.state.skin.seccolor = 7;
    s.engine.ActivateSkin("Hourly");
    QCOMPARE(s.state.skin.seccolor, 7u);
    QCOMPARE(s.window.ticks.size(), 1);
    s.engine.ActivateSkin("hourly");
    QCOMPARE(s.state.CurrentSkin, "hourly");
    QCOMPARE(s.window.ticks.size(), 2);
    QCOMPARE(s.window.worldTimeUpdates, 2);
}

void TstSkinEngine::builtInNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("current");
    QTest::newRow("none") << builtInSkinName << builtInSkinName;
    QTest::newRow("empty at start") << "" << builtInSkinName;
    QTest::newRow("missing folder") << "Nowhere"
                                    << "Nowhere";
    QTest::newRow("parent") << "../Skins/Hourly"
                            << "../Skins/Hourly";
    QTest::newRow("separator") << "Hourly/."
                               << "Hourly/.";
    QTest::newRow("dots") << ".."
                          << "..";
}

void TstSkinEngine::builtInNames()
{
    QFETCH(QString, name);
    QFETCH(QString, current);
    Setup s;
    s.copyFixture("Hourly");
    s.state.skin.name = "Previous";
    s.state.skin.homepage = "x";
    s.engine.ActivateSkin(name);
    QCOMPARE(s.state.CurrentSkin, current);
    QCOMPARE(s.engine.currentSkinFolder(), QString());
    const SkinRecord& skin = s.state.skin;
    QCOMPARE(skin.name, "Normal");
    QCOMPARE(skin.madeby, "Ardel");
    QCOMPARE(skin.date, "14/8/1999");
    QVERIFY(!skin.email.isEmpty());
    QCOMPARE(skin.homepage, "");
    QCOMPARE(skin.comment, "The original skin");
    QCOMPARE(s.window.picture, BuiltInSkin::picture());
    QCOMPARE(s.window.key, BuiltInSkin::transparentKey);
    QCOMPARE(s.window.ticks.size(), 1);
}

void TstSkinEngine::failuresGiveBuiltIn_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QByteArray>("ini");
    QTest::newRow("corrupt picture") << "Corrupt" << QByteArray();
    QTest::newRow("no Skin.ini") << "Bare" << QByteArray();
    QTest::newRow("reading stopped")
        << "Stopped" << QByteArray("[setting]\ntranscolor=000255000\nsecwidth=300\n");
}

void TstSkinEngine::failuresGiveBuiltIn()
{
    QFETCH(QString, skin);
    QFETCH(QByteArray, ini);
    Setup s;
    if (skin == "Corrupt")
        s.copyFixture(skin);
    else
        s.addSkin(skin, ini, { "back1.bmp" }, { 30, 20 }, qRgb(0, 255, 0));
    s.engine.ActivateSkin(skin);
    QCOMPARE(s.state.CurrentSkin, skin);
    QVERIFY(s.engine.lastChoice().builtIn);
    QCOMPARE(s.window.picture, BuiltInSkin::picture());
    // The built-in picture is cut by its own magenta, whatever the skin's colour.
    QCOMPARE(s.window.key, BuiltInSkin::transparentKey);
    QCOMPARE(s.window.geometry.size(), QSize(100, 100));
    // The B key later: a picture that exists is shown once nothing failed.
    s.engine.ChangeBack(7, true);
    QCOMPARE(s.engine.lastChoice().builtIn, skin == "Corrupt");
}

void TstSkinEngine::transcolor()
{
    Setup s;
    s.addSkin(
        "G", "[setting]\ntranscolor=000255000\n", { "back1.bmp" }, { 30, 20 }, qRgb(0, 255, 0));
    s.engine.ActivateSkin("G");
    QCOMPARE(s.window.key, qRgb(0, 255, 0));
    QCOMPARE(s.window.outline, QRegion(15, 10, 1, 1));
}

void TstSkinEngine::keyColor_data()
{
    QTest::addColumn<QString>("transcolor");
    QTest::addColumn<QRgb>("key");
    QTest::newRow("magenta") << "255000255" << qRgb(255, 0, 255);
    QTest::newRow("green") << "000255000" << qRgb(0, 255, 0);
    QTest::newRow("clamped") << "300999000" << qRgb(255, 255, 0);
    QTest::newRow("short") << "12" << qRgb(12, 0, 0);
    QTest::newRow("blanks, fraction") << " 7 1.6-5 " << qRgb(7, 2, 0);
}

void TstSkinEngine::keyColor()
{
    QFETCH(QString, transcolor);
    QFETCH(QRgb, key);
    QCOMPARE(SkinEngine::keyColor(transcolor), key);
}

void TstSkinEngine::randomSkin()
{
    Setup s;
    s.copyFixture("Hourly");
    s.random.values = { 0.5 };
    s.engine.ActivRandSkin({ builtInSkinName, "Hourly", "Other" });
    QCOMPARE(s.state.CurrentSkin, "Hourly");
    s.engine.ActivRandSkin({});
    QCOMPARE(s.state.CurrentSkin, "Hourly");
}

QTEST_MAIN(TstSkinEngine)
#include "tst_skinengine.moc"
