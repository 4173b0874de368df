// The skin and picture cases of tests/data/broken/MANIFEST: a broken skin or picture, the fallback
// it must give and the log line that says why. The file's header says what each key checks.

#include "core/files/PictureLoader.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

// The skin folder "Case" under root/Skins made from a case's input; the file the case is about.
static QString prepare(const test::Folders& root, const QString& input)
{
    const QString folder = root.path(QStringLiteral("Skins/Case"));
    const QFileInfo source(test::dataPath(QStringLiteral("broken/") + input));
    QDir().mkpath(folder);
    for (const QFileInfo& file : source.isDir() ? QDir(source.filePath()).entryInfoList(QDir::Files)
                                                : QFileInfoList { source })
        QFile::copy(file.filePath(), folder + u'/' + file.fileName());
    if (source.exists())
        return source.isDir() ? folder : folder + u'/' + source.fileName();
    for (const char* name : { "back1.bmp", "main1.bmp" })
        root.picture(QStringLiteral("Skins/Case/") + name, { 4, 4 }, Qt::darkBlue, Qt::magenta);
    QString ini = input.startsWith(u"ini:")
        ? QStringLiteral("[info]\nname=Kept\n%1\n[info]\ncomment=after").arg(input.mid(4))
        : QStringLiteral("[info]\nname=Case");
    ini.replace("$BIG", u'1' + QString(60, u'0')).replace("$MIB", QString(1 << 20, u'x'));
    ini.replace("$KEYS", QString("unknown=1\nsecwidth=249\n").repeated(5000));
    root.write(QStringLiteral("Skins/Case/Skin.ini"), ini.toUtf8());
    // gen:FILE=fifo|outside|PATH: the file leaves the Skins folder; a FIFO or a link takes over.
    const QString path = QDir::cleanPath(folder + u'/' + input.mid(4).section(u'=', 0, 0));
    const QString target = input.section(u'=', 1), outside = root.path(QStringLiteral("outside"));
    if (input.startsWith(u"gen:") && QDir().rename(path, outside) && target == u"fifo")
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
    else if (input.startsWith(u"gen:"))
        QFile::link(target == u"outside" ? outside : target, path);
    return input.startsWith(u"gen:") ? path : folder;
}

class TestBrokenSkins : public QObject {
    Q_OBJECT
private slots:
    void cases_data() { test::addRows(QStringLiteral("broken/MANIFEST"), { "skin", "picture" }); }
    void cases();
};

void TestBrokenSkins::cases()
{
    QFETCH(QStringList, row);
    test::Clockwork c;
    c.clock.set(QTime(7, 0));
    const QString file = prepare(c.folders, row[2]);
    const auto size = [](QSize s) { return QString("%1x%2").arg(s.width()).arg(s.height()); };
    QMap<QString, QString> actual;
    const test::LogCapture log;
    QElapsedTimer timer;
    timer.start();
    if (row[1] == u"picture") {
        const QImage image = PictureLoader::load(file, QFileInfo(file).path());
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
        const QSet<QRgb> colours(pixels, pixels + image.width() * image.height());
        actual["loads"] = image.isNull() ? QString("no") : size(image.size());
        actual["colours"] = QString::number(colours.size());
    } else {
        c.timepiece.activateSkin(QStringLiteral("Case"));
        actual = test::skinFields(c.timepiece.skin(), c.timepiece.worldTimeSkin());
        actual["picture"] = c.shown();
        actual["size"] = size(c.timepiece.face().size());
        const QImage& companion = c.timepiece.face().background().companion;
        actual["companion"] = companion.isNull() ? QString("none") : size(companion.size());
        static const QRegularExpression stopped(QStringLiteral("stopped at line (\\d+)"));
        actual["stop"] = stopped.match(log.lines.join(u'\n')).captured(1).rightJustified(1, u'0');
        c.timepiece.changeBackground(7, HourEvent::Forced);
        actual["next"] = c.shown();
        // An ini: case keeps its first line, and its last where the reading gets there.
        if (row[2].startsWith(u"ini:"))
            QCOMPARE(actual["info.name"] + actual["info.comment"],
                actual["stop"] == u"0" && !row[2].contains(u"$MIB") ? "Keptafter" : "Kept");
    }
    QVERIFY(timer.elapsed() < (row[1] == u"skin" ? 4000 : 2000));
    static const QRegularExpression pair(QStringLiteral(R"((\S+?)=((?:"[^"]*"|[^\s"])*))"));
    for (const QRegularExpressionMatch& match : pair.globalMatch(row[3])) {
        const QString key = match.captured(1), value = match.captured(2).remove(u'"');
        const QStringList where = value.section(u':', 0, 0).split(u'.');
        if (key == u"log" || key == u"nolog")
            QCOMPARE(log.has(where[0], where.value(1), value.section(u':', 1)), key == u"log");
        else
            QCOMPARE(actual.value(key, QStringLiteral("<none>")), value);
    }
}

QTEST_MAIN(TestBrokenSkins)
#include "tst_brokenskins.moc"
