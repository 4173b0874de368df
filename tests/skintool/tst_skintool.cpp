#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Random.h"
#include "core/face/ClockWindow.h"
#include "core/face/Tick.h"
#include "core/shape/TraceShape.h"
#include "core/skin/BuiltInSkin.h"

#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QStringList lines; // stdout
};

// The tick's window, reduced to a buffer over one picture.
class BufferWindow final : public ClockWindow {
public:
    explicit BufferWindow(const QImage& picture)
        : back(picture)
        , buffer(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied))
    { }
    int timerInterval() const override { return 100; }
    void setTimerInterval(int) override { }
    QString timerTag() const override { return {}; }
    QImage& faceBuffer() override { return buffer; }
    void faceDrawn() override { }
    const QImage& tempBack() const override { return back; }
    void ChangeBack(std::uint8_t, bool) override { }
    void PlayChime(std::uint8_t, bool) override { }

    QImage back;
    QImage buffer;
};

} // namespace

class tst_SkinTool : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void check_data();
    void check();
    void commandLine_data();
    void commandLine();
    void renderHandsMove();
    void renderTransparentWhereKey_data();
    void renderTransparentWhereKey();
    void renderEqualsTick();
    void renderBackground_data();
    void renderBackground();
    void renderSeed();

private:
    Run run(const QStringList& arguments);
    QImage render(const QString& skin, const QString& time, const QStringList& extra = {},
        QString* said = nullptr);

    QString m_tool;
    QString m_broken;
    QTemporaryDir m_out;
};

void tst_SkinTool::initTestCase()
{
    m_tool = qEnvironmentVariable("HOROLAN_SKIN_TOOL");
    if (m_tool.isEmpty())
        QSKIP("HOROLAN_SKIN_TOOL is not set: run through ctest");
    m_broken = QFINDTESTDATA("../data/brokenskins");
    QVERIFY(!m_broken.isEmpty());
    QVERIFY(m_out.isValid());
}

Run tst_SkinTool::run(const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_broken);
    process.start(m_tool, arguments);
    Run result;
    if (!process.waitForFinished(30000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n');
    if (result.lines.constLast().isEmpty())
        result.lines.removeLast();
    return result;
}

void tst_SkinTool::check_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("findings");
    QTest::newRow("clean") << "Clean" << 0 << QStringList();
    QTest::newRow("no Skin.ini")
        << "NoIni" << 1
        << QStringList { "NoIni/Skin.ini: error: no Skin.ini: the clock shows the built-in skin" };
    QTest::newRow("unknown key") << "UnknownKey" << 0
                                 << QStringList { "UnknownKey/Skin.ini:7: warning: line ignored "
                                                  "(unknown key): sekcolor=255000000" };
    QTest::newRow("blank before =") << "BlankBeforeEquals" << 0
                                    << QStringList { "BlankBeforeEquals/Skin.ini:2: warning: line "
                                                     "ignored (blank before \"=\"): name =Blank" };
    QTest::newRow("key before any section")
        << "KeyBeforeSection" << 0
        << QStringList { "KeyBeforeSection/Skin.ini:1: warning: line ignored (key before any "
                         "section): backtype=order" };
    QTest::newRow("secwidth=300 stops the reading")
        << "StopsEarly" << 1
        << QStringList { "StopsEarly/Skin.ini:7: error: the reading stops here (\"300\" does not "
                         "fit 0 to 255): the lines after it are ignored and the clock shows the "
                         "built-in picture" };
    QTest::newRow("order without back7") << "OrderMissing" << 1
                                         << QStringList { "OrderMissing: error: no back7.* picture "
                                                          "for hour 7: the clock shows the "
                                                          "built-in picture during that hour" };
    QTest::newRow("text named back1.bmp")
        << "Unloadable" << 1
        << QStringList { "Unloadable/back1.bmp: error: cannot be loaded (not a BMP, PNG, JPEG or "
                         "GIF file): the clock shows the built-in picture when it picks this "
                         "file" };
    QTest::newRow("animat without frames")
        << "AnimatNoFrames" << 1
        << QStringList { "AnimatNoFrames: error: no Back*.BMP frames for the animation: the clock "
                         "shows the built-in picture" };
    QTest::newRow("transcolor in no picture")
        << "NoKeyColour" << 0
        << QStringList { "NoKeyColour/Skin.ini: warning: no background has a pixel of the "
                         "transparent colour 000255000 (red 0, green 255, blue 0): the window is "
                         "a plain rectangle" };
}

void tst_SkinTool::check()
{
    QFETCH(QString, skin);
    QFETCH(int, exitCode);
    QFETCH(QStringList, findings);
    Run result = run({ "check", skin });
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(!result.lines.isEmpty());
    const QString summary = result.lines.takeLast();
    QCOMPARE(result.lines, findings);
    QVERIFY2(summary.startsWith(skin + ": "), qPrintable(summary));
    QCOMPARE(summary.contains("would not show"), exitCode != 0);
    QCOMPARE(summary.contains("no findings"), findings.isEmpty());
}

void tst_SkinTool::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("nothing") << QStringList() << 2;
    QTest::newRow("unknown command") << QStringList { "show", "Clean" } << 2;
    QTest::newRow("render without time")
        << QStringList { "render", "Clean", "--out", "x.png" } << 2;
    QTest::newRow("hour 25") << QStringList { "render", "Clean", "--time", "25:00:00", "--out",
        "x.png" } << 2;
    QTest::newRow("seed not a number")
        << QStringList { "render", "Clean", "--time", "10:00:00", "--seed", "x", "--out", "x.png" }
        << 2;
    QTest::newRow("check with --out") << QStringList { "check", "Clean", "--out", "x.png" } << 2;
    QTest::newRow("check of no folder") << QStringList { "check", "Nowhere" } << 1;
    QTest::newRow("render of no folder")
        << QStringList { "render", "Nowhere", "--time", "10:00:00", "--out", "x.png" } << 1;
}

void tst_SkinTool::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QCOMPARE(run(arguments).exitCode, exitCode);
}

QImage tst_SkinTool::render(
    const QString& skin, const QString& time, const QStringList& extra, QString* said)
{
    static int count = 0;
    const QString file = m_out.filePath(QStringLiteral("render%1.png").arg(++count));
    const Run result = run(QStringList { "render", skin, "--time", time, "--out", file } + extra);
    if (result.exitCode != 0 || result.lines.size() != 1)
        return QImage();
    if (said)
        *said = result.lines.constFirst();
    return QImage(file).convertToFormat(QImage::Format_ARGB32);
}

// Clean: a 60 x 60 disc, its analog box from (10, 10) to (50, 50).
void tst_SkinTool::renderHandsMove()
{
    const QImage ten = render("Clean", "10:10:00");
    const QImage four = render("Clean", "04:40:00");
    QCOMPARE(ten.size(), QSize(60, 60));
    QCOMPARE(four.size(), ten.size());
    QRect changed;
    for (int y = 0; y < ten.height(); ++y)
        for (int x = 0; x < ten.width(); ++x)
            if (ten.pixel(x, y) != four.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    QVERIFY(!changed.isEmpty());
    QVERIFY2(QRect(8, 8, 44, 44).contains(changed), qPrintable(QDebug::toString(changed)));
    // 12 pixels along the minute hand: at 60 degrees from twelve, and at 240.
    const auto differsNear = [&](QPoint p) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (ten.pixel(p.x() + dx, p.y() + dy) != four.pixel(p.x() + dx, p.y() + dy))
                    return true;
        return false;
    };
    QVERIFY(differsNear(QPoint(40, 24)));
    QVERIFY(differsNear(QPoint(20, 36)));
}

void tst_SkinTool::renderTransparentWhereKey_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QRgb>("key");
    QTest::newRow("magenta") << "Clean" << qRgb(255, 0, 255);
    QTest::newRow("green, in no pixel") << "NoKeyColour" << qRgb(0, 255, 0);
}

void tst_SkinTool::renderTransparentWhereKey()
{
    QFETCH(QString, skin);
    QFETCH(QRgb, key);
    const QImage picture(m_broken + "/" + skin + "/back1.bmp");
    const QImage shown = render(skin, "10:10:30");
    QCOMPARE(shown.size(), picture.size());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            QVERIFY2((qAlpha(shown.pixel(x, y)) == 0) == (picture.pixel(x, y) == key),
                qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
}

void tst_SkinTool::renderEqualsTick()
{
    QTemporaryDir skin;
    QVERIFY(BuiltInSkin::picture().save(skin.filePath("back1.png")));
    QFile ini(skin.filePath("Skin.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[setting]\r\nbacktype=random\r\ntranscolor=255000255\r\n");
    ini.close();
    const QImage shown = render(skin.path(), "10:10:30");

    HorolanState state;
    BuiltInSkin::applyValues(state.skin, state.wttSkin, true);
    const FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 10, 30)));
    BufferWindow window(BuiltInSkin::picture());
    Tick(state, clock, window).Timer1_Timer();
    QImage expected(window.buffer.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    QPainter painter(&expected);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(TraceShape(BuiltInSkin::picture(), BuiltInSkin::transparentKey));
    painter.drawImage(0, 0, window.buffer);
    painter.end();
    QCOMPARE(shown, expected.convertToFormat(QImage::Format_ARGB32));
}

// Hourly: back0 is 14 x 14 pixels, back12 18 x 18. The tick asks for hour 0 only in the first
// two seconds after midnight; the activation always asks for 1 to 12. Animated3's frames are
// 10, 12 and 14 pixels wide: the activation shows the first, the timer's tick the next.
void tst_SkinTool::renderBackground_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::newRow("00:00:01") << "Hourly"
                              << "00:00:01"
                              << "back0.bmp" << QSize(14, 14);
    QTest::newRow("00:00:02") << "Hourly"
                              << "00:00:02"
                              << "back12.bmp" << QSize(18, 18);
    QTest::newRow("00:30:00") << "Hourly"
                              << "00:30:00"
                              << "back12.bmp" << QSize(18, 18);
    QTest::newRow("12:00:00") << "Hourly"
                              << "12:00:00"
                              << "back12.bmp" << QSize(18, 18);
    QTest::newRow("animated") << "Animated3"
                              << "10:00:30"
                              << "Back2.BMP" << QSize(12, 12);
}

void tst_SkinTool::renderBackground()
{
    QFETCH(QString, skin);
    QFETCH(QString, time);
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QString said;
    const QImage shown = render(QFINDTESTDATA("../data/skins/" + skin), time, {}, &said);
    QCOMPARE(shown.size(), size);
    QVERIFY2(said.contains("/" + skin + "/" + file + " ("), qPrintable(said));
}

// Hourly has back7.bmp (24 x 16) and back7.jpg (20 x 12): the seed picks one, the same each run.
void tst_SkinTool::renderSeed()
{
    const QString hourly = QFINDTESTDATA("../data/skins/Hourly");
    QSet<int> widths;
    for (int seed = 0; seed < 8; ++seed) {
        const QStringList extra { "--seed", QString::number(seed) };
        const QImage first = render(hourly, "07:10:00", extra);
        QVERIFY(!first.isNull());
        QCOMPARE(render(hourly, "07:10:00", extra), first);
        widths << first.width();
    }
    QCOMPARE(widths, (QSet<int> { 24, 20 }));

    // "clock": the clock's own generator, seeded from the seconds since midnight.
    Random random;
    random.seed(7 * 3600 + 10 * 60);
    const int expected = int(2 * random.next()) == 0 ? 24 : 20; // back7.bmp sorts first
    QCOMPARE(render(hourly, "07:10:00", { "--seed", "clock" }).width(), expected);
}

QTEST_MAIN(tst_SkinTool)
#include "tst_skintool.moc"
