#include "support/TestSupport.h"

#include <QImage>
#include <QProcess>
#include <QTest>

// horolan-skin run in tests/data/brokenskins: its exit status and the first line it printed.
static std::pair<int, QString> run(const QStringList& arguments)
{
    QProcess tool;
    tool.setWorkingDirectory(test::dataPath(QStringLiteral("brokenskins")));
    tool.start(qEnvironmentVariable("HOROLAN_SKIN_TOOL"), arguments);
    const bool ended = tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit;
    return { ended ? tool.exitCode() : -1, QString::fromUtf8(tool.readLine()).trimmed() };
}

class TestSkinTool : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("HOROLAN_SKIN_TOOL"))
            QSKIP("HOROLAN_SKIN_TOOL is not set: run the test through ctest");
    }
    void check_data() { test::addRows(QStringLiteral("skintool.rows")); }
    void check()
    {
        QFETCH(QStringList, row);
        QCOMPARE(run(row[1].split(u' ', Qt::SkipEmptyParts)), std::pair(row[2].toInt(), row[3]));
    }
    // A random background comes from a fixed seed: the same pixels on every run.
    void render()
    {
        const test::Folders out;
        const QString file = out.path(QStringLiteral("face.png"));
        const auto face = [&](const char* time) {
            const QStringList arguments { "render", "../winskin", "--time", time, "--out", file };
            return run(arguments).first == 0 ? QImage(file) : QImage();
        };
        const QImage first = face("07:10:00");
        for (int again = 0; again < 3; ++again)
            QCOMPARE(face("07:10:00"), first);
        QVERIFY(!first.isNull() && face("07:40:00") != first);
        // As a screen of device-pixel ratio 2 shows it: twice the pixels each way.
        const QStringList scaled { "render", "../winskin", "--time", "07:10:00", "--scale", "2",
            "--out", file };
        QCOMPARE(run(scaled).first, 0);
        QCOMPARE(QImage(file).size(), first.size() * 2);
    }
};

QTEST_GUILESS_MAIN(TestSkinTool)
#include "tst_skintool.moc"
