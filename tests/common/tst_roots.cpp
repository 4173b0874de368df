#include "core/files/Roots.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TstRoots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void resolve_data();
    void resolve();
    void list();
    void standard_data();
    void standard();

private:
    QString root(int i) const { return m_tmp.filePath(QString::number(i)); }
    QTemporaryDir m_tmp;
};

void TstRoots::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    // Root 1: Alpha, MySkin, a hidden skin, a file named like a skin, a "sounds" folder in the
    // wrong case. Root 2: Alpha again, Beta, Gamma (file in root 1), Tone.
    const QStringList folders { "1/Skins/Alpha", "1/Skins/MySkin", "1/Skins/.hidden",
        "1/Skins/a..b", "1/sounds/Tone", "2/Skins/Alpha", "2/Skins/beta", "2/Skins/Gamma",
        "2/Sounds/Tone" };
    for (const QString& folder : folders)
        QVERIFY(QDir(m_tmp.path()).mkpath(folder));
    QFile file(root(1) + "/Skins/Gamma");
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TstRoots::resolve_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("root"); // 0: resolves to nothing
    QTest::newRow("first root wins") << "Skins"
                                     << "Alpha" << 1;
    QTest::newRow("only in first") << "Skins"
                                   << "MySkin" << 1;
    QTest::newRow("only in second") << "Skins"
                                    << "beta" << 2;
    QTest::newRow("file in first is skipped") << "Skins"
                                              << "Gamma" << 2;
    QTest::newRow("name case counts") << "Skins"
                                      << "myskin" << 0;
    QTest::newRow("name case counts 2") << "Skins"
                                        << "Beta" << 0;
    QTest::newRow("kind case counts") << "Sounds"
                                      << "Tone" << 2;
    QTest::newRow("kind case counts 2") << "skins"
                                        << "Alpha" << 0;
    QTest::newRow("hidden name") << "Skins"
                                 << ".hidden" << 1;
    QTest::newRow("missing") << "Skins"
                             << "Delta" << 0;
    QTest::newRow("parent") << "Skins"
                            << ".." << 0;
    QTest::newRow("current") << "Skins"
                             << "." << 0;
    QTest::newRow("up then down") << "Skins"
                                  << "../Skins/Alpha" << 0;
    QTest::newRow("dots inside") << "Skins"
                                 << "a..b" << 0;
    QTest::newRow("slash") << "Skins"
                           << "Alpha/" << 0;
    QTest::newRow("two parts") << "Skins"
                               << "a/b" << 0;
    QTest::newRow("backslash") << "Skins"
                               << "a\\b" << 0;
    QTest::newRow("absolute") << "Skins" << QString(root(2) + "/Skins/Alpha") << 0;
    QTest::newRow("empty") << "Skins"
                           << "" << 0;
    QTest::newRow("NUL") << "Skins" << QString("Alpha" + QString(QChar(0))) << 0;
    QTest::newRow("unsafe kind") << "../2/Skins"
                                 << "Alpha" << 0;
}

void TstRoots::resolve()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(int, root);
    const Roots roots({ this->root(1), this->root(2), this->root(3) });
    QCOMPARE(
        roots.resolve(kind, name), root ? this->root(root) + u'/' + kind + u'/' + name : QString());
}

void TstRoots::list()
{
    const Roots roots({ root(1), root(2), root(3) });
    // Merged once each, case-insensitive order; hidden and unsafe names left out, Gamma's
    // file in root 1 does not hide the folder in root 2.
    QCOMPARE(roots.list("Skins"), QStringList({ "Alpha", "beta", "Gamma", "MySkin" }));
    QCOMPARE(roots.list("Sounds"), QStringList({ "Tone" }));
    QCOMPARE(roots.list("Nothing"), QStringList());
    QCOMPARE(roots.list(".."), QStringList());
}

void TstRoots::standard_data()
{
    QTest::addColumn<QByteArray>("dataHome");
    QTest::addColumn<QByteArray>("dataDirs");
    QTest::addColumn<QStringList>("expected"); // after the program's folder; "~" is the home
    QTest::newRow("defaults") << QByteArray() << QByteArray()
                              << QStringList { "~/.local/share/horolan", "/usr/local/share/horolan",
                                     "/usr/share/horolan" };
    QTest::newRow("XDG_DATA_HOME")
        << QByteArray("/data/me/") << QByteArray()
        << QStringList { "/data/me/horolan", "/usr/local/share/horolan", "/usr/share/horolan" };
    QTest::newRow("relative XDG_DATA_HOME ignored")
        << QByteArray("data") << QByteArray()
        << QStringList { "~/.local/share/horolan", "/usr/local/share/horolan",
               "/usr/share/horolan" };
    QTest::newRow("XDG_DATA_DIRS first, fixed two last")
        << QByteArray() << QByteArray("/usr/share/:/opt/x:rel::/usr/local/share")
        << QStringList { "~/.local/share/horolan", "/opt/x/horolan", "/usr/local/share/horolan",
               "/usr/share/horolan" };
}

void TstRoots::standard()
{
    QFETCH(QByteArray, dataHome);
    QFETCH(QByteArray, dataDirs);
    QFETCH(QStringList, expected);
    qputenv("XDG_DATA_HOME", dataHome);
    qputenv("XDG_DATA_DIRS", dataDirs);
    expected.replaceInStrings(QRegularExpression("^~"), QDir::homePath());
    expected.prepend(QCoreApplication::applicationDirPath());
    QCOMPARE(Roots::standard().roots(), expected);
}

QTEST_GUILESS_MAIN(TstRoots)
#include "tst_roots.moc"
