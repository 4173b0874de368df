// Every case of tests/data/broken/MANIFEST: a broken skin, sound pack, picture or WAV, and the
// fallback it must give, with the log line that says why.

#include "core/base/Clock.h"
#include "core/files/FileList.h"
#include "core/face/HorolanState.h"
#include "core/files/PictureLoader.h"
#include "core/base/Random.h"
#include "core/files/Roots.h"
#include "core/skin/BuiltInSkin.h"
#include "core/skin/SkinEngine.h"
#include "core/skin/SkinIniReader.h"
#include "core/skin/SkinWindow.h"
#include "core/chimes/ChimeEngine.h"
#include "ui/audio/QtSoundOutput.h"
#include "ui/audio/WavInfo.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

// Each case, however large its input, must be quick even under the sanitizers.
constexpr int caseBudgetMs = 4000;

// --- the log: every message of the horolan categories, kept for the case that is running

struct Logged {
    QtMsgType type;
    QString category;
    QString text;
};

QList<Logged> g_logged;
QtMessageHandler g_previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    if (category.startsWith(QLatin1String("horolan.")))
        g_logged.append({ type, category, text });
    else if (g_previousHandler)
        g_previousHandler(type, context, text);
}

QString levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("debug");
    case QtInfoMsg:
        return QStringLiteral("info");
    case QtWarningMsg:
        return QStringLiteral("warning");
    default:
        return QStringLiteral("other");
    }
}

// "skin.warning:text": a message of horolan.skin at warning level that holds the text.
bool logged(const QString& wanted)
{
    const qsizetype colon = wanted.indexOf(u':');
    const QString where = wanted.left(colon);
    const QString text = colon < 0 ? QString() : wanted.mid(colon + 1);
    for (const Logged& m : std::as_const(g_logged)) {
        if ("horolan." + where == m.category + u'.' + levelName(m.type) && m.text.contains(text))
            return true;
    }
    return false;
}

QString logDump()
{
    QStringList lines;
    for (const Logged& m : std::as_const(g_logged).mid(0, 40))
        lines << m.category + u'.' + levelName(m.type) + QLatin1String(": ") + m.text.left(160);
    return lines.join(u'\n');
}

// --- the manifest

using Expect = QHash<QString, QStringList>; // a key may be given more than once (log=)

Expect parseExpect(const QString& text)
{
    Expect expect;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == u' ')
            ++i;
        if (i >= text.size())
            break;
        QString token;
        bool quoted = false;
        for (; i < text.size() && (quoted || text[i] != u' '); ++i) {
            if (text[i] == u'"')
                quoted = !quoted;
            else
                token += text[i];
        }
        const qsizetype equals = token.indexOf(u'=');
        expect[token.left(equals)] << (equals < 0 ? QString() : token.mid(equals + 1));
    }
    return expect;
}

void addRows(const QString& kind)
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<Expect>("expect");
    const QString manifest = QFINDTESTDATA("../data/broken/MANIFEST");
    QFile file(manifest);
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), "MANIFEST not found");
    int rows = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList cells = line.split(u'|');
        QVERIFY2(cells.size() == 4, qPrintable(line));
        if (cells[1].trimmed() != kind)
            continue;
        QString input = cells[2].trimmed();
        if (!input.startsWith(u"gen:") && !input.startsWith(u"ini:"))
            input = QFileInfo(manifest).absolutePath() + u'/' + input;
        QTest::newRow(qPrintable(cells[0].trimmed())) << input << parseExpect(cells[3].trimmed());
        ++rows;
    }
    QVERIFY(rows > 0);
}

// --- files

QByteArray iniText(const QString& input)
{
    QString text = input.mid(4);
    text.replace(QLatin1String("\\n"), QLatin1String("\r\n"));
    text.replace(QLatin1String("$BIG"), u'1' + QString(60, u'0'));
    return text.toLatin1();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

void makeFifo(const QString& path)
{
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
}

void link(const QString& target, const QString& path)
{
    QVERIFY2(QFile::link(target, path), qPrintable(path));
}

// A small keyed picture: magenta around a dark inside.
QByteArray bmpBytes()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 255));
    image.setPixel(1, 1, qRgb(30, 20, 10));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void copyFolder(const QString& from, const QString& to)
{
    QVERIFY(QDir().mkpath(to));
    for (const QString& name : QDir(from).entryList(QDir::Files | QDir::Hidden))
        QVERIFY(QFile::copy(from + u'/' + name, to + u'/' + name));
}

QString lines(int count, const std::function<QString(int)>& line)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += line(i) + QLatin1String("\r\n");
    return text;
}

QString colour(ColorRef c)
{
    return QStringLiteral("%1,%2,%3").arg(c & 0xff).arg((c >> 8) & 0xff).arg((c >> 16) & 0xff);
}

QString box(const TwipsBox& b)
{
    return QStringLiteral("%1,%2,%3,%4").arg(b.left).arg(b.top).arg(b.width).arg(b.height);
}

// --- fakes

class FakeSkinWindow final : public SkinWindow {
public:
    void setPicture(const QImage& p) override { picture = p; }
    void setOutline(const QRegion&, QRgb) override { }
    QRect windowGeometry() const override { return geometry; }
    void moveWindow(QPoint p) override { geometry.moveTopLeft(p); }
    void resizeWindow(QSize s) override { geometry.setSize(s); }
    QRect screenGeometry() const override { return { 0, 0, 1920, 1080 }; }
    void setTimerTag(const QString&) override { }
    void runTick() override { }

    QImage picture;
    QRect geometry { 100, 100, 50, 50 };
};

class FirstRandom final : public Random {
public:
    void seed(double) override { }
    double next() override { return 0; }
};

class FakeChimeHost final : public ChimeHost {
public:
    void processEvents() override { }
    void runTick() override { }
    bool closing() const override { return false; }
};

// The real output, as if a sound device were there; beeps are counted, not made.
class CountingOutput final : public QtSoundOutput {
public:
    void beep() override { ++beeps; }
    bool playSync(const QString& path) override
    {
        ++strokes;
        return QtSoundOutput::playSync(path);
    }
    int beeps = 0;
    int strokes = 0;

protected:
    bool hasAudioOutput() const override { return true; }
};

} // namespace

Q_DECLARE_METATYPE(Expect)

class TstBrokenInput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { g_logged.clear(); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }

    // Pictures first: the memory check compares peaks, which later cases raise.
    void picture_data() { addRows(QStringLiteral("picture")); }
    void picture();
    void skin_data() { addRows(QStringLiteral("skin")); }
    void skin();
    void pack_data() { addRows(QStringLiteral("pack")); }
    void pack();
    void wav_data() { addRows(QStringLiteral("wav")); }
    void wav();

private:
    void checkLog(const Expect& expect);
};

void TstBrokenInput::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("horolan.*.debug=true"));
    g_previousHandler = qInstallMessageHandler(captureMessage);
}

void TstBrokenInput::checkLog(const Expect& expect)
{
    for (const QString& wanted : expect.value("log"))
        QVERIFY2(logged(wanted), qPrintable("no log line " + wanted + " in:\n" + logDump()));
    for (const QString& wanted : expect.value("nolog"))
        QVERIFY2(
            !logged(wanted), qPrintable("unexpected log line " + wanted + " in:\n" + logDump()));
}

void TstBrokenInput::picture()
{
    QFETCH(QString, input);
    QFETCH(Expect, expect);
    QTemporaryDir dir;
    const QString folder = dir.filePath("in");
    QVERIFY(QDir().mkpath(folder));
    QString path = folder + "/back1.bmp";
    if (input == "gen:pic-fifo") {
        makeFifo(path);
    } else if (input == "gen:pic-link-passwd") {
        link("/etc/passwd", path);
    } else if (input == "gen:pic-link-out") {
        writeFile(dir.filePath("outside.bmp"), bmpBytes());
        link("../outside.bmp", path);
    } else {
        path = folder + u'/' + QFileInfo(input).fileName();
        QVERIFY(QFile::copy(input, path));
    }

    rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    const QImage image = PictureLoader::load(path, folder);
    QVERIFY2(timer.elapsed() < 2000, "a picture must be refused quickly");
    rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 100 * 1024, "a picture must not eat memory");

    const QString loads = expect.value("loads").value(0);
    if (loads == "no")
        QVERIFY(image.isNull());
    else
        QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), loads);
    checkLog(expect);
}

void TstBrokenInput::skin()
{
    QFETCH(QString, input);
    QFETCH(Expect, expect);
    QTemporaryDir dir;
    const QString root = dir.filePath("root");
    const QString folder = root + "/Skins/Case";
    QVERIFY(QDir().mkpath(root + "/Skins"));
    const QByteArray back = bmpBytes();
    const auto plainSkin = [&](const QByteArray& ini) {
        QVERIFY(QDir().mkpath(folder));
        if (!ini.isNull())
            writeFile(folder + "/Skin.ini", ini);
        writeFile(folder + "/back1.bmp", back);
    };
    if (input.startsWith(u"ini:")) {
        plainSkin("[info]\r\nname=Kept\r\n" + iniText(input) + "\r\n[info]\r\ncomment=after\r\n");
        writeFile(folder + "/main1.bmp", back);
    } else if (input == "gen:ini-1mib-line") {
        plainSkin("[info]\r\nname=Before\r\n[setting]\r\nsecwidth=5\r\n[info]\r\ncomment="
            + QByteArray(1 << 20, 'x') + "\r\n[setting]\r\nsecwidth=9\r\n");
    } else if (input == "gen:ini-10000-keys") {
        plainSkin("[setting]\r\n" + lines(10000, [](int i) {
            return i % 2 ? QStringLiteral("secwidth=%1").arg(i % 250)
                         : QStringLiteral("unknown%1=1").arg(i);
        }).toLatin1());
    } else if (input == "gen:ini-fifo") {
        plainSkin({});
        makeFifo(folder + "/Skin.ini");
    } else if (input == "gen:ini-link-passwd") {
        plainSkin({});
        link("/etc/passwd", folder + "/Skin.ini");
    } else if (input == "gen:ini-link-out") {
        plainSkin({});
        writeFile(dir.filePath("outside.ini"), "[info]\r\nname=Outside\r\n");
        link("../../../outside.ini", folder + "/Skin.ini");
    } else if (input == "gen:back-link-out") {
        QVERIFY(QDir().mkpath(folder));
        writeFile(folder + "/Skin.ini", "[info]\r\nname=x\r\n");
        writeFile(dir.filePath("outside.bmp"), back);
        link("../../../outside.bmp", folder + "/back1.bmp");
    } else if (input == "gen:back-link-passwd") {
        QVERIFY(QDir().mkpath(folder));
        writeFile(folder + "/Skin.ini", "[info]\r\nname=x\r\n");
        link("/etc/passwd", folder + "/back1.bmp");
    } else if (input == "gen:back-fifo") {
        QVERIFY(QDir().mkpath(folder));
        writeFile(folder + "/Skin.ini", "[info]\r\nname=x\r\n");
        makeFifo(folder + "/back1.bmp");
    } else if (input == "gen:folder-link") {
        const QString elsewhere = dir.filePath("elsewhere/Case");
        QVERIFY(QDir().mkpath(elsewhere));
        writeFile(elsewhere + "/Skin.ini", "[info]\r\nname=Linked\r\n");
        writeFile(elsewhere + "/back1.bmp", back);
        link(elsewhere, folder);
    } else {
        copyFolder(input, folder);
    }
    if (QTest::currentTestFailed())
        return;

    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(7, 0, 0)));
    Roots roots({ root });
    FirstRandom random;
    FakeSkinWindow window;
    SkinEngine engine(state, clock, roots, random, window);
    engine.setTextWidthFunction(
        [](const SkinFont&, const QString& text) { return 60.0 * text.size(); });
    QElapsedTimer timer;
    timer.start();
    engine.ActivateSkin("Case");
    QVERIFY(timer.elapsed() < caseBudgetMs);

    const auto shown = [&] {
        const SkinEngine::BackChoice& choice = engine.lastChoice();
        if (choice.builtIn) {
            [&] { QCOMPARE(window.picture, BuiltInSkin::picture()); }();
            return QStringLiteral("builtin");
        }
        return QFileInfo(choice.path).fileName();
    };
    if (expect.contains("picture"))
        QCOMPARE(shown(), expect["picture"].value(0));
    if (expect.contains("size"))
        QCOMPARE(QStringLiteral("%1x%2").arg(window.picture.width()).arg(window.picture.height()),
            expect["size"].value(0));
    if (expect.contains("frames"))
        QCOMPARE(QString::number(engine.framesCount()), expect["frames"].value(0));
    checkLog(expect);

    const SkinRecord& s = state.skin;
    const WttSkinRecord& w = state.wttSkin;
    const QHash<QString, std::function<QString()>> fields {
        { "name", [&] { return s.name; } },
        { "comment", [&] { return s.comment; } },
        { "tymeskin", [&] { return QString::number(s.tymeskin); } },
        { "analogpos", [&] { return box(s.analogpos); } },
        { "analogpos.left", [&] { return QString::number(s.analogpos.left); } },
        { "seccolor", [&] { return colour(s.seccolor); } },
        { "mincolor", [&] { return colour(s.mincolor); } },
        { "hurcolor", [&] { return colour(s.hurcolor); } },
        { "secwidth", [&] { return QString::number(s.secwidth); } },
        { "minwidth", [&] { return QString::number(s.minwidth); } },
        { "hurwidth", [&] { return QString::number(s.hurwidth); } },
        { "seclenght", [&] { return QString::number(s.seclenght); } },
        { "minlenght", [&] { return QString::number(s.minlenght); } },
        { "hurlenght", [&] { return QString::number(s.hurlenght); } },
        { "secstart", [&] { return QString::number(s.secstart); } },
        { "minstart", [&] { return QString::number(s.minstart); } },
        { "hurstart", [&] { return QString::number(s.hurstart); } },
        { "hur.xy", [&] { return QStringLiteral("%1,%2").arg(s.hur.left).arg(s.hur.top); } },
        { "sec.xy", [&] { return QStringLiteral("%1,%2").arg(s.sec.left).arg(s.sec.top); } },
        { "hur.top", [&] { return QString::number(s.hur.top); } },
        { "hur.color", [&] { return colour(s.hur.color); } },
        { "min.color", [&] { return colour(s.min.color); } },
        { "ampmfont.size", [&] { return QString::number(s.ampm.font.size); } },
        { "hurfont.size", [&] { return QString::number(s.hur.font.size); } },
        { "angle",
            [&] {
                return QStringLiteral("%1,%2,%3,%4")
                    .arg(s.angle[0])
                    .arg(s.angle[1])
                    .arg(s.angle[2])
                    .arg(s.angle[3]);
            } },
        { "boxpos", [&] { return box(w.boxpos); } },
        { "areacolor", [&] { return colour(w.areacolor); } },
        { "timecolor", [&] { return colour(w.timecolor); } },
        { "timenightcolor", [&] { return colour(w.timenightcolor); } },
    };
    for (auto it = expect.cbegin(); it != expect.cend(); ++it) {
        if (fields.contains(it.key()))
            QCOMPARE(fields[it.key()](), it.value().value(0));
    }
    if (input.startsWith(u"ini:")) {
        QCOMPARE(s.name, QStringLiteral("Kept"));
        QCOMPARE(s.comment, expect.value("stop").value(0) == "0" ? "after" : "");
    }

    // How the reading of Skin.ini ended.
    SkinIniReport report;
    const QString ini = FileList::findFile(folder, QStringLiteral("Skin.ini"));
    if (!ini.isEmpty()) {
        SkinRecord skin;
        WttSkinRecord wtt;
        SkinIniReader::read(ini, skin, wtt, &report);
    }
    if (expect.contains("stop"))
        QCOMPARE(QString::number(report.stopLine), expect["stop"].value(0));
    QCOMPARE(report.truncated, expect.value("truncated").value(0) == "yes");
    if (expect.contains("ignored"))
        QCOMPARE(QString::number(report.ignored.size()), expect["ignored"].value(0));

    if (expect.contains("next")) {
        engine.ChangeBack(7, true);
        QCOMPARE(shown(), expect["next"].value(0));
    }
}

void TstBrokenInput::pack()
{
    QFETCH(QString, input);
    QFETCH(Expect, expect);
    QTemporaryDir dir;
    const QString root = dir.filePath("root");
    const QString folder = root + "/Sounds/Case";
    QVERIFY(QDir().mkpath(folder));
    const QByteArray badWav = "Not a sound.\r\n";
    if (input.startsWith(u"ini:")) {
        writeFile(folder + "/SP.ini", iniText(input));
        writeFile(folder + "/bad.wav", badWav);
    } else if (input == "gen:sp-1mib-line") {
        writeFile(folder + "/SP.ini",
            "[setting]\r\ntype=o\r\n[info]\r\ncomment=" + QByteArray(1 << 20, 'x')
                + "\r\n[setting]\r\ntype=c\r\n");
        writeFile(folder + "/bad.wav", badWav);
    } else if (input == "gen:sp-10000-keys") {
        writeFile(folder + "/SP.ini",
            "[setting]\r\n"
                + lines(10000, [](int i) { return QStringLiteral("key%1=%1").arg(i); }).toLatin1()
                + "type=i\r\n");
        writeFile(folder + "/bad.wav", badWav);
    } else if (input == "gen:sp-fifo") {
        makeFifo(folder + "/SP.ini");
        writeFile(folder + "/bad.wav", badWav);
    } else if (input == "gen:wav-fifo") {
        makeFifo(folder + "/chime.wav");
    } else if (input == "gen:wav-link-passwd") {
        link("/etc/passwd", folder + "/passwd.wav");
    } else {
        QVERIFY(QDir(folder).removeRecursively());
        copyFolder(input, folder);
    }
    if (QTest::currentTestFailed())
        return;

    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(3, 0, 0)));
    Roots roots({ root });
    FirstRandom random;
    FakeChimeHost host;
    CountingOutput output;
    ChimeEngine engine(
        state, clock, roots, random, [&]() -> SoundOutput& { return output; }, host);
    QElapsedTimer timer;
    timer.start();
    engine.ActivateSP("Case");
    engine.PlayChime(3, true);
    QVERIFY(timer.elapsed() < caseBudgetMs);

    if (expect.contains("type"))
        QCOMPARE(engine.info().type, expect["type"].value(0));
    if (expect.contains("comment"))
        QCOMPARE(engine.info().comment, expect["comment"].value(0));
    const QString chose = QFileInfo(engine.lastChoice().path).fileName();
    if (expect.contains("chose"))
        QCOMPARE(chose.isEmpty() ? QStringLiteral("none") : chose, expect["chose"].value(0));
    if (expect.contains("beeps"))
        QCOMPARE(QString::number(output.beeps), expect["beeps"].value(0));
    QCOMPARE(QString::number(output.strokes), expect.value("strokes", { "0" }).value(0));
    QVERIFY2(output.findChildren<QSoundEffect*>().isEmpty(), "a broken pack reached Qt Multimedia");
    checkLog(expect);

    SoundPackReport report;
    const QString ini = FileList::findFile(folder, QStringLiteral("SP.ini"));
    if (!ini.isEmpty()) {
        SoundPackInfo info;
        SoundPack::read(ini, info, &report);
    }
    if (expect.contains("stop"))
        QCOMPARE(QString::number(report.stopLine), expect["stop"].value(0));
    QCOMPARE(report.truncated, expect.value("truncated").value(0) == "yes");
}

void TstBrokenInput::wav()
{
    QFETCH(QString, input);
    QFETCH(Expect, expect);
    QTemporaryDir dir;
    QString path = dir.filePath("chime.wav");
    if (input == "gen:wav-fifo")
        makeFifo(path);
    else if (input == "gen:wav-link-passwd")
        link("/etc/passwd", path);
    else
        QVERIFY(QFile::copy(input, path));

    QString whyNot;
    const std::optional<WavInfo> info = WavInfo::readFile(path, &whyNot);
    const QString why = expect.value("why").value(0);
    QCOMPARE(bool(info), why.isEmpty());
    QVERIFY2(whyNot.contains(why), qPrintable(whyNot));

    CountingOutput output;
    QElapsedTimer timer;
    timer.start();
    output.playAsync(path);
    QCOMPARE(output.beeps, expect.value("async").value(0) == "beep" ? 1 : 0);
    const bool played = output.playSync(path);
    QCOMPARE(played ? "true" : "false", expect.value("sync").value(0));
    QVERIFY(timer.elapsed() < caseBudgetMs);
    QVERIFY2(output.findChildren<QSoundEffect*>().isEmpty(), "a broken WAV reached Qt Multimedia");
    checkLog(expect);
}

QTEST_MAIN(TstBrokenInput)
#include "tst_brokeninput.moc"
