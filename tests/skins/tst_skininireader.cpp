#include "core/skin/SkinIniReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

struct Reading {
    SkinRecord skin;
    WttSkinRecord wtt;
    SkinIniReport report;
};

Reading readIni(const QByteArray& ini)
{
    Reading r;
    SkinIniReader::readData(ini, r.skin, r.wtt, &r.report);
    return r;
}

QString color(int red, int green, int blue)
{
    return QString::number(rgbColor(red, green, blue));
}

QString boxText(const TwipsBox& b)
{
    return QStringLiteral("%1,%2,%3,%4").arg(b.left).arg(b.top).arg(b.width).arg(b.height);
}

QString elementText(const TextElement& e)
{
    return QStringLiteral("%1,%2,%3").arg(e.left).arg(e.top).arg(e.color);
}

QString fontText(const SkinFont& f)
{
    return QStringLiteral("%1|%2|%3%4%5")
        .arg(f.face)
        .arg(f.size)
        .arg(int(f.bold))
        .arg(int(f.italic))
        .arg(int(f.underline));
}

// A record field as text, by the name the rows use.
QString field(const Reading& r, const QString& name)
{
    const SkinRecord& s = r.skin;
    const WttSkinRecord& w = r.wtt;
    using Get = std::function<QString()>;
    const auto number = [](auto v) { return QString::number(v); };
    const QHash<QString, Get> fields {
        { "name", [&] { return s.name; } },
        { "madeby", [&] { return s.madeby; } },
        { "date", [&] { return s.date; } },
        { "email", [&] { return s.email; } },
        { "homepage", [&] { return s.homepage; } },
        { "comment", [&] { return s.comment; } },
        { "useanalog", [&] { return number(s.useanalog); } },
        { "smooth", [&] { return number(s.smooth); } },
        { "usedig", [&] { return number(s.usedig); } },
        { "break", [&] { return number(s.break_); } },
        { "showdigsec", [&] { return number(s.showdigsec); } },
        { "tymeskin", [&] { return number(s.tymeskin); } },
        { "seccolor", [&] { return number(s.seccolor); } },
        { "mincolor", [&] { return number(s.mincolor); } },
        { "hurcolor", [&] { return number(s.hurcolor); } },
        { "secwidth", [&] { return number(s.secwidth); } },
        { "minwidth", [&] { return number(s.minwidth); } },
        { "hurwidth", [&] { return number(s.hurwidth); } },
        { "seclenght", [&] { return number(s.seclenght); } },
        { "hurlenght", [&] { return number(s.hurlenght); } },
        { "minstart", [&] { return number(s.minstart); } },
        { "analogpos", [&] { return boxText(s.analogpos); } },
        { "chimestype", [&] { return s.chimestype; } },
        { "backtype", [&] { return s.backtype; } },
        { "transcolor", [&] { return s.transcolor; } },
        { "blinkdots", [&] { return s.blinkdots; } },
        { "alignment", [&] { return s.alignment; } },
        { "angle",
            [&] {
                return QStringLiteral("%1,%2,%3,%4")
                    .arg(s.angle[0])
                    .arg(s.angle[1])
                    .arg(s.angle[2])
                    .arg(s.angle[3]);
            } },
        { "hur", [&] { return elementText(s.hur); } },
        { "min", [&] { return elementText(s.min); } },
        { "sec", [&] { return elementText(s.sec); } },
        { "ampm", [&] { return elementText(s.ampm); } },
        { "hurfont", [&] { return fontText(s.hur.font); } },
        { "minfont", [&] { return fontText(s.min.font); } },
        { "secfont", [&] { return fontText(s.sec.font); } },
        { "ampmfont", [&] { return fontText(s.ampm.font); } },
        { "boxpos", [&] { return boxText(w.boxpos); } },
        { "areacolor", [&] { return number(w.areacolor); } },
        { "timecolor", [&] { return number(w.timecolor); } },
        { "timenightcolor", [&] { return number(w.timenightcolor); } },
    };
    const auto get = fields.value(name);
    return get ? get() : QStringLiteral("<no field %1>").arg(name);
}

void fieldColumns()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
}

void row(const char* title, const QByteArray& ini, const QString& name, const QString& expected)
{
    QTest::newRow(title) << ini << name << expected;
}

} // namespace

class TstSkinIniReader : public QObject {
    Q_OBJECT
private slots:
    void info_data();
    void info() { checkField(); }
    void setting_data();
    void setting() { checkField(); }
    void textSections_data();
    void textSections() { checkField(); }
    void wtt_data();
    void wtt() { checkField(); }
    void tymeSections_data();
    void tymeSections() { checkField(); }
    void stops_data();
    void stops();
    void stateOfOneReading();
    void ignoredLines_data();
    void ignoredLines();
    void lineEndings_data();
    void lineEndings();
    void encoding_data();
    void encoding();
    void badBytes_data();
    void badBytes();
    void files();
    void oversizedFiles_data();
    void oversizedFiles();

private:
    void checkField();
};

void TstSkinIniReader::checkField()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(field(readIni(ini), name), expected);
}

void TstSkinIniReader::info_data()
{
    fieldColumns();
    row("keys ignore case, values keep it", "[info]\nName=My skin", "name", "My skin");
    row("blank before = matches nothing", "[info]\nname = My skin", "name", "");
    row("skinname", "[info]\nskinname=S", "name", "S");
    row("author", "[info]\nAUTHOR=A", "madeby", "A");
    row("madeby", "[info]\nmadeby=M", "madeby", "M");
    row("url", "[info]\nurl=http://x/?a=b", "homepage", "http://x/?a=b");
    row("description", "[info]\ndescription=D", "comment", "D");
    row("comment cut at ;", "[info]\ncomment=nice; really", "comment", "nice");
    row("date", "[info]\ndate=1/2/2003", "date", "1/2/2003");
    row("email", "[info]\nemail=a@b.c", "email", "a@b.c");
    row("value trimmed", "[info]\nname=  \tspaced out \t", "name", "spaced out");
    row("section name trimmed", "[ INFO ]\nname=x", "name", "x");
    row("first line trimmed", "   [info]   \nname=x", "name", "x");
    row("later header must start the line", "\n [info]\nname=x", "name", "");
    row("indented key not a key", "[info]\n  name=x", "name", "");
    row("indented key with comment", "[info]\n  name=x ;c", "name", "x");
    row("last line without break", "[info]\nname=last", "name", "last");
    row("later line wins", "[info]\nname=a\nname=b", "name", "b");
    row("header text cut by length", "[info]x\nname=x", "name", "");
    row("key before a section", "name=x\n[info]", "name", "");
    row("other section", "[setting]\nname=x", "name", "");
}

void TstSkinIniReader::setting_data()
{
    fieldColumns();
    row("analogpos repeats the last", "[setting]\nanalogpos=10,20", "analogpos", "150,300,300,300");
    row("analogpos four", "[Setting]\nanalogpos=1, 2 ,3,4", "analogpos", "15,30,45,60");
    row("analogpos fractions", "[setting]\nanalogpos=2.5", "analogpos", "37.5,37.5,37.5,37.5");
    row("analogpos junk is 0", "[setting]\nanalogpos=a,b", "analogpos", "0,0,0,0");
    row("colour one group", "[setting]\nseccolor=255", "seccolor", color(255, 0, 0));
    row("colour blue", "[setting]\nseccolor=000000255", "seccolor", color(0, 0, 255));
    row("colour clamps at 255", "[setting]\nseccolor=300000000", "seccolor", color(255, 0, 0));
    row("colour groups", "[setting]\nmincolor=001002003", "mincolor", color(1, 2, 3));
    row("colour groups rounded half even", "[setting]\nmincolor=1.5002.5", "mincolor",
        color(2, 2, 0));
    row("colour junk is black", "[setting]\nhurcolor=abc", "hurcolor", color(0, 0, 0));
    row("width", "[setting]\nsecwidth=3", "secwidth", "3");
    row("width 2.5 rounds to even", "[setting]\nminwidth=2.5", "minwidth", "2");
    row("width 3.5 rounds to even", "[setting]\nhurwidth=3.5", "hurwidth", "4");
    row("width junk is 0", "[setting]\nhurwidth=x", "hurwidth", "0");
    row("width 255 fits", "[setting]\nsecwidth=255", "secwidth", "255");
    row("length negative", "[setting]\nseclenght=-5", "seclenght", "-5");
    row("length at the top", "[setting]\nhurlenght=32767", "hurlenght", "32767");
    row("start rounded", "[setting]\nminstart=12.7", "minstart", "13");
    row("chimestype lower-cased", "[setting]\nchimestype=Random", "chimestype", "random");
    row("backtype cut to six", "[setting]\nbacktype=Animated", "backtype", "animat");
    row("backtype padded", "[setting]\nbacktype=abc", "backtype", "abc   ");
    row("blinkdots", "[setting]\nblinkdots=OFF", "blinkdots", "off");
    row("blinkdots cut to three", "[setting]\nblinkdots=Yessir", "blinkdots", "yes");
    row("transcolor padded", "[setting]\ntranscolor=0", "transcolor", "0        ");
    row("transcolor cut", "[setting]\ntranscolor=1234567890", "transcolor", "123456789");
    row("smoot", "[setting]\nsmoot=Yes", "smooth", "1");
    row("smooth true is not yes", "[setting]\nsmooth=true", "smooth", "0");
    row("useanalog no", "[setting]\nuseanalog=no", "useanalog", "0");
    row("usedig", "[setting]\nusedig=YES", "usedig", "1");
    row("break", "[setting]\nbreak=yes", "break", "1");
    row("showdigsec", "[setting]\nshowdigsec=nope", "showdigsec", "0");
}

void TstSkinIniReader::textSections_data()
{
    fieldColumns();
    row("hur xy", "[hur]\nxy=10,20", "hur", "150,300,0");
    row("hur keeps fractions", "[hur]\nxy=0.1,0.1", "hur", "1.5,1.5,0");
    row("min rounds to whole twips", "[min]\nxy=0.1", "min", "2,2,0");
    row("sec rounds half even", "[sec]\nxy=1.5,0.5", "sec", "22,8,0");
    row("ampm xy", "[ampm]\nxy=5", "ampm", "75,75,0");
    row("colour", "[sec]\ncolor=000255000", "sec", "0,0," + color(0, 255, 0));
    row("angle tenths", "[min]\nangle=12.5", "angle", "0,125,0,0");
    row("angle sec index 2", "[sec]\nangle=12.5", "angle", "0,0,125,0");
    row("angle half to even", "[ampm]\nangle=-0.25", "angle", "0,0,0,-2");
    row("angle half up to even", "[hur]\nangle=0.35", "angle", "4,0,0,0");
    row("font face", "[hur]\nfont=Arial Black", "hurfont", "Arial Black|0|000");
    row("bold and italic", "[hur]\nfontbold=yes\nfontitalic=YES", "hurfont", "|0|110");
    row("font size", "[ampm]\nfontsize=12.5", "ampmfont", "|12.5|000");
    row("font size junk is 0", "[sec]\nfontsize=abc", "secfont", "|0|000");
    row("font of one element only", "[min]\nfont=Serif\n[hur]\nxy=1", "hurfont", "|0|000");
    row("min font", "[min]\nfont=Serif\n[hur]\nxy=1", "minfont", "Serif|0|000");
}

void TstSkinIniReader::wtt_data()
{
    fieldColumns();
    row("boxpos", "[wtt]\nboxpos=1,2,3,4", "boxpos", "15,30,45,60");
    row("areacolor", "[wtt]\nareacolor=001001001", "areacolor", color(1, 1, 1));
    row("timecolor alone sets night too", "[wtt]\ntimecolor=255255255", "timenightcolor",
        color(255, 255, 255));
    row("night before timecolor kept", "[wtt]\ntimenightcolor=000000000\ntimecolor=255255255",
        "timenightcolor", color(0, 0, 0));
    row("night after timecolor", "[wtt]\ntimecolor=255255255\ntimenightcolor=000000000",
        "timenightcolor", color(0, 0, 0));
    row("timecolor itself", "[wtt]\ntimenightcolor=000000000\ntimecolor=255255255", "timecolor",
        color(255, 255, 255));
}

void TstSkinIniReader::tymeSections_data()
{
    fieldColumns();
    row("fontcolor FF red", "[font]\nfontcolor=FF", "hur", "0,0," + color(255, 0, 0));
    row("fontcolor ampm too", "[font]\nfontcolor=FF", "ampm", "0,0," + color(255, 0, 0));
    row("fontcolor green", "[font]\nfontcolor=00FF00", "hur", "0,0," + color(0, 255, 0));
    row("fontcolor blue", "[font]\nfontcolor=FF0000", "hur", "0,0," + color(0, 0, 255));
    row("fontcolor non-hex 0", "[font]\nfontcolor=ZZ00FF", "hur", "0,0," + color(255, 0, 0));
    row("fontcolor cut to six", "[font]\nfontcolor=1234567", "hur",
        "0,0," + color(0x56, 0x34, 0x12));
    row("alignment", "[font]\nalignment=Center", "alignment", "center");
    row("alignment padded", "[font]\nalignment=Right", "alignment", "right ");
    row("offset in analogpos left", "[font]\noffset=7", "analogpos", "105,0,0,0");
    row("topoffset", "[font]\ntopoffset=3", "hur", "0,45,0");
    row("font hur", "[font]\nfont=Verdana\nfontsize=14", "hurfont", "Verdana|14|000");
    row("font ampm", "[font]\nfont=Verdana\nfontsize=14", "ampmfont", "Verdana|14|000");
    row("font not min", "[font]\nfont=Verdana", "minfont", "|0|000");
    row("true flags", "[font]\nbold=true\nitalic=TRUE\nunderline=True", "hurfont", "|0|111");
    row("yes is not true", "[font]\nbold=yes", "hurfont", "|0|000");
    row("skin transcolor", "[skin]\ntranscolor=000255000", "transcolor", "000255000");
    row("font sets tymeskin", "[font]\nfont=x", "tymeskin", "1");
    row("unknown key still sets it", "[skin]\nwhatever=1", "tymeskin", "1");
    row("setting after clears it", "[font]\nfont=x\n[setting]\nsmooth=no", "tymeskin", "0");
    row("font after setting", "[setting]\nsmooth=no\n[font]\nbold=true", "tymeskin", "1");
    row("error line still sets it", "[font]\nx;=y", "tymeskin", "1");
    row("other sections leave it", "[hur]\nxy=1", "tymeskin", "0");
}

void TstSkinIniReader::stops_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("stopLine");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const QByteArray before = "[info]\nname=kept\n";
    // The field after the error must keep its default: secwidth 1.
    const QByteArray after = "\n[setting]\nsecwidth=9\n";
    const auto add = [&](const char* title, const QByteArray& bad, int line, const char* name,
                         const QString& expected) {
        QTest::newRow(title) << before + bad + after << line << QString::fromLatin1(name)
                             << expected;
    };
    QTest::newRow("end of file") << before + after << 0 << "secwidth"
                                 << "9";
    add("byte too large", "[setting]\nsecwidth=256", 4, "secwidth", "1");
    add("byte negative", "[setting]\nhurwidth=-1", 4, "secwidth", "1");
    add("int16 too large", "[setting]\nhurlenght=40000", 4, "hurlenght", "80");
    add("int16 too small", "[setting]\nseclenght=-32769", 4, "secwidth", "1");
    add("xy left kept, top lost", "[sec]\nxy=10,3000", 4, "sec", "150,0,0");
    add("angle not a number", "[sec]\nangle=x", 4, "angle", "0,0,0,0");
    add("angle empty", "[sec]\nangle=", 4, "secwidth", "1");
    add("angle with junk", "[min]\nangle=12x", 4, "angle", "0,0,0,0");
    add("angle too large", "[hur]\nangle=3276.8", 4, "angle", "0,0,0,0");
    add("semicolon before =", "[info]\nx;=y", 4, "name", "kept");
    add("indented comment with =", "[info]\n  ;a=b", 4, "secwidth", "1");
    add("just [", "[", 3, "secwidth", "1");
    add("[ and blanks", "[  ", 3, "secwidth", "1");
    add("number past float", "[setting]\nanalogpos=1," + QByteArray(400, '9'), 4, "analogpos",
        "15,0,0,0");
    add("font size past float", "[hur]\nfontsize=" + QByteArray(60, '9'), 4, "secwidth", "1");
    QTest::newRow("first line [") << QByteArray("  [  \nname=x") << 1 << "name"
                                  << "";
}

void TstSkinIniReader::stops()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, stopLine);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const Reading r = readIni(ini);
    QCOMPARE(r.report.stopLine, stopLine);
    QCOMPARE(r.report.stopReason.isEmpty(), stopLine == 0);
    QCOMPARE(field(r, name), expected);
    if (stopLine > 2)
        QCOMPARE(r.skin.name, QStringLiteral("kept"));
}

// Fonts and the night-colour memory belong to one reading; the record keeps the rest.
void TstSkinIniReader::stateOfOneReading()
{
    Reading r;
    SkinIniReader::readData("[hur]\nfont=Arial\n[wtt]\ntimenightcolor=000000000", r.skin, r.wtt);
    QCOMPARE(r.skin.hur.font.face, QStringLiteral("Arial"));

    SkinIniReader::readData("; no key line\n[info]\n", r.skin, r.wtt);
    QCOMPARE(r.skin.hur.font.face, QStringLiteral("Arial"));
    SkinIniReader::readData("[setting]\nsecwidth=300", r.skin, r.wtt);
    QCOMPARE(r.skin.hur.font.face, QStringLiteral("Arial"));

    // Any key line, even outside a section, brings this reading's default fonts.
    SkinIniReader::readData("stray=1\n[wtt]\ntimecolor=255255255", r.skin, r.wtt);
    QCOMPARE(r.skin.hur.font, SkinFont {});
    QCOMPARE(r.wtt.timenightcolor, rgbColor(255, 255, 255));
}

void TstSkinIniReader::ignoredLines_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    QTest::newRow("before any section") << QByteArray("name=x") << 1 << "key before any section";
    QTest::newRow("unknown section") << QByteArray("[foo]\nname=x") << 2 << "unknown section";
    QTest::newRow("blank before =") << QByteArray("[info]\nname =x") << 2 << "blank before \"=\"";
    QTest::newRow("unknown key") << QByteArray("[info]\nnome=x") << 2 << "unknown key";
    QTest::newRow("stray text") << QByteArray("[info]\n\nhello") << 3 << "stray text";
    QTest::newRow("indented header")
        << QByteArray("[info]\n [setting]") << 2 << "\"[\" not in the first column";
    QTest::newRow("comments and blanks") << QByteArray("[info]\n; c\n\n   \n") << 0 << "";
}

void TstSkinIniReader::ignoredLines()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, line);
    QFETCH(QString, reason);
    const Reading r = readIni(ini);
    if (line == 0) {
        QVERIFY(r.report.ignored.isEmpty());
        return;
    }
    QCOMPARE(r.report.ignored.size(), 1);
    QCOMPARE(r.report.ignored[0].number, line);
    QCOMPARE(r.report.ignored[0].reason, reason);
}

void TstSkinIniReader::lineEndings_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("stopLine");
    QTest::newRow("LF") << QByteArray("[info]\nname=x\n[setting]\nsecwidth=5\nhurwidth=300\n") << 5;
    QTest::newRow("CR") << QByteArray("[info]\rname=x\r[setting]\rsecwidth=5\rhurwidth=300") << 5;
    QTest::newRow("CR LF") << QByteArray("[info]\r\nname=x\r\n[setting]\r\nsecwidth=5\r\n"
                                         "hurwidth=300\r\n")
                           << 5;
    QTest::newRow("mixed") << QByteArray("[info]\r\nname=x\r[setting]\nsecwidth=5\r\nhurwidth=300")
                           << 5;
    QTest::newRow("LF CR is two breaks") << QByteArray("[info]\n\rname=x\n\r[setting]\n\r"
                                                       "secwidth=5\n\rhurwidth=300")
                                         << 9;
}

void TstSkinIniReader::lineEndings()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, stopLine);
    const Reading r = readIni(ini);
    QCOMPARE(r.skin.name, QStringLiteral("x"));
    QCOMPARE(int(r.skin.secwidth), 5);
    QCOMPARE(r.report.stopLine, stopLine);
}

void TstSkinIniReader::encoding_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9") << QStringLiteral("Caf\u00e9");
    QTest::newRow("1252") << QByteArray("Caf\xe9") << QStringLiteral("Caf\u00e9");
    QTest::newRow("1252 euro") << QByteArray("\x80 5") << QStringLiteral("\u20ac 5");
    QTest::newRow("1252 quotes and Y")
        << QByteArray("\x93x\x94\x9f") << QStringLiteral("\u201cx\u201d\u0178");
    QTest::newRow("1252 unassigned") << QByteArray("\x81") << QStringLiteral("\u0081");
    QTest::newRow("one bad byte makes all 1252")
        << QByteArray("\xc3\xa9 \xe9") << QStringLiteral("\u00c3\u00a9 \u00e9");
    QTest::newRow("overlong is not UTF-8")
        << QByteArray("\xc0\xaf") << QStringLiteral("\u00c0\u00af");
    QTest::newRow("surrogate is not UTF-8")
        << QByteArray("\xed\xa0\x80") << QStringLiteral("\u00ed\u00a0\u20ac");
    QTest::newRow("cut sequence") << QByteArray("ab\xe2\x82") << QStringLiteral("ab\u00e2\u201a");
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x95\x90")
                                << QString::fromUtf8("\xf0\x9f\x95\x90");
}

void TstSkinIniReader::encoding()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, text);
    QCOMPARE(SkinIniReader::decodeSkinText(value), text);
    QCOMPARE(readIni("[info]\r\nname=" + value + "\r\n").skin.name, text);
    // A byte order mark is dropped, so the first line is still the header.
    QCOMPARE(readIni("\xef\xbb\xbf[info]\nname=" + value).skin.name, text);
}

void TstSkinIniReader::badBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("only breaks") << QByteArray("\r\n\n\r");
    static const char nul[] = "[info]\0\nname=a\0b\n[set\0ting]\nsecwidth=\0";
    QTest::newRow("NUL bytes") << QByteArray(nul, sizeof(nul) - 1);
    QTest::newRow("just =") << QByteArray("=");
    QTest::newRow("[]") << QByteArray("[]\n=\n");
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QByteArray junk(64 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(seed);
        for (char& c : junk)
            c = char(generator.bounded(256));
        QTest::addRow("random %u", seed) << junk;
    }
    QTest::newRow("2 MiB line") << "[info]\nname=" + QByteArray(2 << 20, 'a');
}

// Junk must read quickly, without a crash, and leave the record usable.
void TstSkinIniReader::badBytes()
{
    QFETCH(QByteArray, bytes);
    QElapsedTimer timer;
    timer.start();
    const Reading r = readIni(bytes);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(r.report.ignored.size() <= 1000);
}

void TstSkinIniReader::files()
{
    Reading r;
    QVERIFY(
        !SkinIniReader::read(QStringLiteral("/nonexistent/skin.ini"), r.skin, r.wtt, &r.report));
    QVERIFY(!r.report.found);
    QVERIFY(!SkinIniReader::read(QDir::tempPath(), r.skin, r.wtt, &r.report));

    const QString classic = QFINDTESTDATA("../data/skins/Classic/Skin.ini");
    QVERIFY(!classic.isEmpty());
    QVERIFY(SkinIniReader::read(classic, r.skin, r.wtt, &r.report));
    QVERIFY(r.report.found);
    QVERIFY(!r.report.truncated);
    QCOMPARE(r.report.stopLine, 0);
    QCOMPARE(r.skin.name, QStringLiteral("Classic Caf\u00e9"));
    QCOMPARE(r.skin.madeby, QStringLiteral("Horolan tests"));
    QVERIFY(r.skin.usedig);
    QVERIFY(r.skin.smooth);
    QCOMPARE(r.skin.backtype, QStringLiteral("order "));
    QCOMPARE(r.skin.analogpos.width, 1200.f);
    QCOMPARE(r.skin.hur.font.face, QStringLiteral("DejaVu Sans"));
    QCOMPARE(r.skin.sec.left, 1500.f);
    QCOMPARE(int(r.skin.angle[3]), 150);
    QCOMPARE(r.wtt.timenightcolor, rgbColor(0, 0, 128));
    QVERIFY(!r.skin.tymeskin);

    const QString tyme = QFINDTESTDATA("../data/skins/TymeDigital/skin.ini");
    QVERIFY(SkinIniReader::read(tyme, r.skin, r.wtt, &r.report));
    QVERIFY(r.skin.tymeskin);
    QCOMPARE(r.skin.alignment, QStringLiteral("center"));
    QCOMPARE(r.skin.hur.color, rgbColor(0x20, 0x40, 0xff));
    QCOMPARE(r.skin.hur.font.face, QStringLiteral("Liberation Mono"));
    QCOMPARE(r.skin.transcolor, QStringLiteral("000255000"));
}

void TstSkinIniReader::oversizedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::newRow("one endless line") << QByteArray(2 << 20, '=') << QString();
    // The line cut at 1 MiB is dropped whole: no half value is taken.
    QByteArray lines = "[info]\nname=first\n";
    while (lines.size() < (1 << 20) + 100)
        lines += "name=" + QByteArray(90, 'x') + "\n";
    QTest::newRow("cut line dropped") << lines << QString(90, u'x');
    // A UTF-8 sequence split at the cut must not turn the file into code page 1252.
    lines = "[info]\nname=first\n";
    while (lines.size() < (1 << 20) + 100)
        lines += "name=" + QString(45, u'\u00e9').toUtf8() + "\n";
    QTest::newRow("cut inside UTF-8") << lines << QString(45, u'\u00e9');
}

void TstSkinIniReader::oversizedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("skin.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    Reading r;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(SkinIniReader::read(file.fileName(), r.skin, r.wtt, &r.report));
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(r.report.found);
    QVERIFY(r.report.truncated);
    QCOMPARE(r.skin.name, name);
}

QTEST_APPLESS_MAIN(TstSkinIniReader)
#include "tst_skininireader.moc"
