#include "core/chimes/SoundPack.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class tst_SoundPack : public QObject {
    Q_OBJECT

private slots:
    void lineRules_data();
    void lineRules();
    void fixtureFile();
    void largeFileIsCut();
    void notARegularFile();
};

void tst_SoundPack::lineRules_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("homepage");
    QTest::addColumn<int>("stopLine");

    const QString none = QStringLiteral("unavailable");
    QTest::newRow("empty file") << QByteArray() << "r" << none << 0;
    QTest::newRow("word") << QByteArray("[setting]\ntype=Count") << "c" << none << 0;
    QTest::newRow("blanks around the key")
        << QByteArray("[setting]\nType = Count") << "r" << none << 0;
    QTest::newRow("comment after the value")
        << QByteArray("[setting]\ntype=Count ; strikes") << "c" << none << 0;
    QTest::newRow("with ; the line is trimmed first")
        << QByteArray("[setting]\n  type=o ;x") << "o" << none << 0;
    QTest::newRow("leading blanks, no ;") << QByteArray("[setting]\n  type=o") << "r" << none << 0;
    QTest::newRow("first line trimmed") << QByteArray(" \t[setting]  \ntype=i") << "i" << none << 0;
    QTest::newRow("later line not trimmed")
        << QByteArray("\n  [setting]\ntype=i") << "r" << none << 0;
    QTest::newRow("section name case, trailing blank")
        << QByteArray("[ SETTING ] \r\nTYPE=Order\r\n") << "o" << none << 0;
    QTest::newRow("text behind ]") << QByteArray("[setting] x\ntype=c") << "r" << none << 0;
    QTest::newRow("before any section") << QByteArray("type=c\n[setting]") << "r" << none << 0;
    QTest::newRow("wrong section") << QByteArray("[info]\ntype=c") << "r" << none << 0;
    QTest::newRow("given twice keeps the last")
        << QByteArray("[setting]\ntype=c\ntype=index") << "i" << none << 0;
    QTest::newRow("CR line ends") << QByteArray("[info]\rhomepage=h\r[setting]\rtype=c") << "c"
                                  << "h" << 0;
    QTest::newRow("value holds =") << QByteArray("[info]\nhomepage= http://a/?b=c ") << "r"
                                   << "http://a/?b=c" << 0;
    QTest::newRow("value cut at ;") << QByteArray("[info]\nhomepage=a;b") << "r"
                                    << "a" << 0;
    QTest::newRow("comment line") << QByteArray("[setting]\n;type=c") << "r" << none << 0;
    QTest::newRow("empty type is a blank") << QByteArray("[setting]\ntype=") << " " << none << 0;
    QTest::newRow("other letter kept") << QByteArray("[setting]\ntype=Bells") << "b" << none << 0;
    QTest::newRow("lone [ stops") << QByteArray("[setting]\n[\ntype=c") << "r" << none << 2;
    QTest::newRow("[ with blanks stops")
        << QByteArray("[setting]\ntype=c\n[  \ntype=o") << "c" << none << 3;
    QTest::newRow("; before = stops")
        << QByteArray("[setting]\ntype=c\nx;type=o\ntype=i") << "c" << none << 3;
}

void tst_SoundPack::lineRules()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, type);
    QFETCH(QString, homepage);
    QFETCH(int, stopLine);
    SoundPackInfo info;
    SoundPackReport report;
    SoundPack::readData(ini, info, &report);
    QCOMPARE(info.type, type);
    QCOMPARE(info.homepage, homepage);
    QCOMPARE(report.stopLine, stopLine);
}

void tst_SoundPack::fixtureFile()
{
    SoundPackInfo info;
    SoundPackReport report;
    QVERIFY(SoundPack::read(QFINDTESTDATA("../data/sounds/Westminster/SP.ini"), info, &report));
    QVERIFY(report.found);
    QCOMPARE(info.copyright, QString::fromUtf8("\u00a9 2004 Quarnet")); // Windows-1252
    QCOMPARE(info.collector, "Ann Lee");
    QCOMPARE(info.email, "ann@example.org");
    QCOMPARE(info.homepage, "http://example.org/?pack=1");
    QCOMPARE(info.comment, "Big Ben");
    QCOMPARE(info.type, "c");
}

void tst_SoundPack::largeFileIsCut()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("SP.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[setting]\ntype=o\n");
    file.write(QByteArray(SoundPack::maxBytes - 20, ';'));
    file.write("\ntype=c\n"); // straddles the cap: dropped, not read as "ty"
    file.close();
    SoundPackInfo info;
    SoundPackReport report;
    QVERIFY(SoundPack::read(file.fileName(), info, &report));
    QVERIFY(report.truncated);
    QCOMPARE(info.type, "o");
    QCOMPARE(report.stopLine, 0);
}

void tst_SoundPack::notARegularFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("SP.ini"));
    SoundPackInfo info;
    QVERIFY(!SoundPack::read(dir.filePath("SP.ini"), info));
    QVERIFY(!SoundPack::read(dir.filePath("missing.ini"), info));
    QCOMPARE(info.type, "r");
}

QTEST_APPLESS_MAIN(tst_SoundPack)
#include "tst_soundpack.moc"
