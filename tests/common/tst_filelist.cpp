#include "core/files/FileList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TstFileList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listing_data();
    void listing();
    void matches_data();
    void matches();
    void missingFolder();
    void cutAtMaxFiles();
    void findFile_data();
    void findFile();

private:
    QString makeFolder(const QString& name, const QStringList& files);
    QTemporaryDir m_tmp;
    QString m_skin;
};

static void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QString TstFileList::makeFolder(const QString& name, const QStringList& files)
{
    const QString folder = m_tmp.filePath(name);
    QDir().mkpath(folder);
    for (const QString& file : files)
        touch(folder + u'/' + file);
    return folder;
}

void TstFileList::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_skin = makeFolder("skin",
        { "Back1.bmp", "back1.bmp", "back2.bmp", "BACK10.JPG", "back[1].bmp", "backup",
            "Chime3.wav", "chime12.WAV", "x.y.z", ".back9.bmp", QString::fromUtf8("ÄPFEL.bmp") });
    const QByteArray dir = QFile::encodeName(m_skin);
    // Entries named like pictures that are not regular files, and links.
    QCOMPARE(::mkfifo(dir + "/back3.bmp", 0600), 0);
    QVERIFY(QDir(m_skin).mkdir("back4.bmp"));
    QVERIFY(QFile::link(m_skin + "/back2.bmp", m_skin + "/back5.bmp"));
    QVERIFY(QFile::link(m_skin + "/back3.bmp", m_skin + "/back6.bmp"));
    QVERIFY(QFile::link(m_skin + "/gone.bmp", m_skin + "/back7.bmp"));
    QVERIFY(QFile::link(m_skin + "/back4.bmp", m_skin + "/back8.bmp"));
}

void TstFileList::listing_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");
    const QStringList backBmp { "Back1.bmp", "back1.bmp", "back2.bmp", "back5.bmp", "back[1].bmp" };
    QTest::newRow("back*.* in name order, ties by exact name")
        << "back*.*"
        << QStringList { "Back1.bmp", "back1.bmp", "BACK10.JPG", "back2.bmp", "back5.bmp",
               "back[1].bmp" };
    QTest::newRow("pattern case ignored") << "BACK*.BMP" << backBmp;
    QTest::newRow("? is one character")
        << "back?.bmp" << QStringList { "Back1.bmp", "back1.bmp", "back2.bmp", "back5.bmp" };
    QTest::newRow("brackets are literal") << "back[1].bmp" << QStringList { "back[1].bmp" };
    QTest::newRow("name without dot needs *")
        << "back*"
        << QStringList { "Back1.bmp", "back1.bmp", "BACK10.JPG", "back2.bmp", "back5.bmp",
               "back[1].bmp", "backup" };
    QTest::newRow("hour in name order")
        << "chime*.wav" << QStringList { "chime12.WAV", "Chime3.wav" };
    QTest::newRow("exact name other case") << "CHIME3.WAV" << QStringList { "Chime3.wav" };
    QTest::newRow("dots literal") << "x.y.z" << QStringList { "x.y.z" };
    QTest::newRow("? matches a dot") << "x?y?z" << QStringList { "x.y.z" };
    QTest::newRow("dot needs a dot") << "*.*.*.*" << QStringList {};
    QTest::newRow("non-ASCII case")
        << QString::fromUtf8("äpfel.*") << QStringList { QString::fromUtf8("ÄPFEL.bmp") };
    QTest::newRow("hidden left out")
        << "*.bmp"
        << QStringList { "Back1.bmp", "back1.bmp", "back2.bmp", "back5.bmp", "back[1].bmp",
               QString::fromUtf8("ÄPFEL.bmp") };
    QTest::newRow("empty pattern") << "" << QStringList {};
    QTest::newRow("no match") << "main*.*" << QStringList {};
}

void TstFileList::listing()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    FileList list;
    list.set(m_skin, pattern);
    QCOMPARE(list.names(), expected);
    QCOMPARE(list.count(), expected.size());
    if (!expected.isEmpty())
        QCOMPARE(list.path(0), m_skin + u'/' + expected.first());
    QVERIFY(list.path(list.count()).isEmpty());
}

void TstFileList::matches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("match");
    QTest::newRow("star backtracks") << "aXbYbZc"
                                     << "a*b*c" << true;
    QTest::newRow("star at end needs prefix") << "ab"
                                              << "abc*" << false;
    QTest::newRow("stars alone match empty") << ""
                                             << "**" << true;
    QTest::newRow("? needs a character") << ""
                                         << "?" << false;
    QTest::newRow("regex characters literal") << "a+b(1|2).bmp"
                                              << "a+b(1|2).*" << true;
    QTest::newRow("regex dot is no wildcard") << "backXbmp"
                                              << "back.bmp" << false;
    QTest::newRow("backslash literal") << "a\\b"
                                       << "a\\b" << true;
    QTest::newRow("long run, no blow-up")
        << QString(2000, u'a') << QString(50, u'*') + "b" << false;
}

void TstFileList::matches()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, match);
    QCOMPARE(FileList::matches(name, pattern), match);
}

void TstFileList::missingFolder()
{
    FileList list;
    list.set(m_tmp.filePath("nothing-here"), "*");
    QCOMPARE(list.count(), 0);
    list.set(QString(), "*");
    QCOMPARE(list.count(), 0);
}

void TstFileList::cutAtMaxFiles()
{
    const QString folder = m_tmp.filePath("many");
    QDir().mkpath(folder);
    for (int i = 0; i < FileList::maxFiles + 3; ++i)
        touch(folder + QStringLiteral("/back%1.bmp").arg(i));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cut at"));
    FileList list;
    list.set(folder, "back*.bmp");
    QCOMPARE(list.count(), FileList::maxFiles);
    QVERIFY(std::is_sorted(list.names().begin(), list.names().end(), FileList::nameLess));
}

void TstFileList::findFile_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("found"); // empty: none
    QTest::newRow("upper case file") << QStringList { "SKIN.INI" } << "Skin.ini"
                                     << "SKIN.INI";
    QTest::newRow("lower case file") << QStringList { "skin.ini" } << "Skin.ini"
                                     << "skin.ini";
    QTest::newRow("exact name first")
        << QStringList { "SKIN.INI", "Skin.ini", "skin.ini" } << "Skin.ini"
        << "Skin.ini";
    QTest::newRow("else first in order") << QStringList { "skin.ini", "SKIN.INI" } << "Skin.ini"
                                         << "SKIN.INI";
    QTest::newRow("no such file") << QStringList { "skin.ini.bak" } << "Skin.ini"
                                  << "";
    QTest::newRow("no wildcards") << QStringList { "skin.ini" } << "*.ini"
                                  << "";
    QTest::newRow("no path") << QStringList { "skin.ini" } << "../f1/skin.ini"
                             << "";
}

void TstFileList::findFile()
{
    QFETCH(QStringList, files);
    QFETCH(QString, name);
    QFETCH(QString, found);
    const QString folder
        = makeFolder(QStringLiteral("find/%1").arg(QTest::currentDataTag()), files);
    const QString path = FileList::findFile(folder, name);
    QCOMPARE(path, found.isEmpty() ? QString() : folder + u'/' + found);
}

QTEST_GUILESS_MAIN(TstFileList)
#include "tst_filelist.moc"
