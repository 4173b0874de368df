#include "core/files/FileList.h"
#include "core/files/Roots.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

class TestFiles : public QObject {
    Q_OBJECT

    test::Folders m_folders;
    QString root(int n) const { return m_folders.path(QString::number(n)); }

private slots:
    void initTestCase()
    {
        for (const char* name :
            { "Back1.bmp", "back1.bmp", "back2.bmp", "BACK10.JPG", "back[1].bmp", "backup",
                "Chime3.wav", "chime12.WAV", "x.y.z", ".back9.bmp", "\u00c4PFEL.bmp" })
            m_folders.write(QStringLiteral("skin/") + QString::fromUtf8(name), "x");
        const QString skin = m_folders.path(QStringLiteral("skin/"));
        QCOMPARE(::mkfifo(QFile::encodeName(skin + "back3.bmp"), 0600), 0);
        QVERIFY(QDir(skin).mkdir("back4.bmp"));
        for (const auto& [to, from] : { std::pair { "back2", "back5" }, { "back3", "back6" },
                 { "gone", "back7" }, { "back4", "back8" } })
            QVERIFY(QFile::link(skin + to + ".bmp", skin + from + ".bmp"));
        for (const char* folder : { "1/Skins/Alpha", "1/Skins/MySkin", "1/Skins/.hidden",
                 "1/Skins/a..b", "1/Skins/hourly", "1/sounds/Tone", "2/Skins/Alpha", "2/Skins/beta",
                 "2/Skins/Gamma", "2/Skins/Hourly", "2/Sounds/Tone" })
            QVERIFY(QDir(m_folders.path()).mkpath(QString::fromLatin1(folder)));
        m_folders.write("1/Skins/Gamma", "a file");
        QVERIFY(QDir(m_folders.path()).mkpath("2/Skins/Locked"));
        QVERIFY(QFile::setPermissions(m_folders.path("2/Skins/Locked"),
            QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    }

    void rows_data()
    {
        QTest::addColumn<QStringList>("row");
        for (QStringList row : test::rows(QStringLiteral("rows/files.rows"))) {
            for (QString& column : row)
                column = test::unescaped(column);
            QTest::newRow(qPrintable(row[0] + QStringLiteral(": ") + row[1])) << row;
        }
    }
    void rows()
    {
        QFETCH(QStringList, row);
        const auto list = [](const QString& text) { return text.split(u',', Qt::SkipEmptyParts); };
        if (row[0] == u"list") {
            FileList files;
            files.set(m_folders.path(QStringLiteral("skin")), row[2]);
            QCOMPARE(files.names(), list(row[3]));
        } else if (row[0] == u"match") {
            QCOMPARE(FileList::matches(row[2], row[3]), row[4] == u"yes");
        } else if (row[0] == u"find") {
            test::Folders folder;
            for (const QString& name : list(row[2]))
                folder.write(name, "x");
            const QString found = FileList::findFile(folder.path(), row[3]);
            QCOMPARE(found, row[4].isEmpty() ? QString() : folder.path(row[4]));
        } else if (row[0] == u"resolve") {
            const Roots roots({ root(1), root(2), root(3) });
            const QString expected
                = row[4] == u"0" ? QString() : root(row[4].toInt()) + u'/' + row[2] + u'/' + row[5];
            QCOMPARE(roots.resolve(row[2], row[3]), expected);
        } else {
            qputenv("XDG_DATA_HOME", row[2].toLocal8Bit());
            qputenv("XDG_DATA_DIRS", row[3].toLocal8Bit());
            QStringList expected
                = list(row[4]).replaceInStrings(QRegularExpression("^~"), QDir::homePath());
            expected.prepend(QCoreApplication::applicationDirPath());
            QCOMPARE(Roots::standard().roots(), expected);
        }
    }

    void rootsListMergedByName()
    {
        const Roots roots({ root(1), root(2), root(3) });
        // Once each, in case-insensitive order; hidden and unsafe names are left out, read-only
        // ones kept (every skin installed for all users is read-only to its user).
        QCOMPARE(roots.list("Skins"),
            QStringList({ "Alpha", "beta", "Gamma", "Hourly", "hourly", "Locked", "MySkin" }));
        QCOMPARE(roots.list("Sounds"), QStringList({ "Tone" }));
        QCOMPARE(roots.list(".."), QStringList());
    }

    void missingFolderAndCap()
    {
        FileList files;
        files.set(m_folders.path("nothing-here"), "*");
        QCOMPARE(files.count(), 0);
        for (int i = 0; i < FileList::maxFiles + 3; ++i)
            m_folders.write(QStringLiteral("many/back%1.bmp").arg(i), {});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cut at"));
        files.set(m_folders.path("many"), "back*.bmp");
        QCOMPARE(files.count(), FileList::maxFiles);
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
