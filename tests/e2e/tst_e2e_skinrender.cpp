#include "E2eHarness.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace e2e;

// The skin author's preview must be what the clock shows: the same skin at the same frozen time,
// rendered by horolan-skin and drawn by the real clock on Xvfb, pixel for pixel.
class TestE2eSkinRender : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void renderMatchesTheWindow_data();
    void renderMatchesTheWindow();

private:
    std::unique_ptr<XServer> m_x;
};

namespace {
constexpr QRgb rootColor = 0xff00c8c8; // in none of the sample pictures
const QString frozenTime = QStringLiteral("2026-12-05 10:10:30");

QString sampleSkin(const QString& name)
{
    return QFileInfo(QString::fromLocal8Bit(qgetenv("HOROLAN_BIN"))).absolutePath()
        + QStringLiteral("/Skins/") + name;
}
} // namespace

void TestE2eSkinRender::initTestCase()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("HOROLAN_SKIN_TOOL"));
    m_x = std::make_unique<XServer>();
    QVERIFY2(m_x->start(), qPrintable(m_x->error()));
    QVERIFY2(m_x->setRootColor(QColor::fromRgb(rootColor)), qPrintable(m_x->error()));
}

void TestE2eSkinRender::renderMatchesTheWindow_data()
{
    QTest::addColumn<QString>("skin");
    QTest::newRow("hourly pictures: Hours") << QStringLiteral("Hours");
    QTest::newRow("random backgrounds: Pebbles") << QStringLiteral("Pebbles");
    QTest::newRow("rotated texts: Digits") << QStringLiteral("Digits");
    QTest::newRow("Tyme layout: Tyme Slate") << QStringLiteral("Tyme Slate");
}

void TestE2eSkinRender::renderMatchesTheWindow()
{
    QFETCH(QString, skin);
    QVERIFY2(QFileInfo::exists(sampleSkin(skin)), qPrintable(sampleSkin(skin)));

    // The clock, its time frozen.
    ClockApp::Options options;
    options.fakeStart = frozenTime;
    options.frozen = true;
    ClockApp app(*m_x, options);
    QVERIFY2(app.writeSettings(QStringLiteral("[Setting]\nSkin=%1\nUseChimes=False\n").arg(skin)),
        qPrintable(app.error()));
    const auto window = app.startAndWait();
    QVERIFY2(window, qPrintable(app.error()));

    // The same face from the author's tool; "--seed clock" makes the random choice as the clock's.
    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("face.png"));
    QProcess tool;
    tool.start(QString::fromLocal8Bit(qgetenv("HOROLAN_SKIN_TOOL")),
        { QStringLiteral("render"), sampleSkin(skin), QStringLiteral("--time"),
            QStringLiteral("10:10:30"), QStringLiteral("--seed"), QStringLiteral("clock"),
            QStringLiteral("--out"), png });
    QVERIFY(tool.waitForFinished(20000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    const QImage render(png);
    QVERIFY(!render.isNull());
    QCOMPARE(window->geometry.size(), render.size());

    // Compare once the first frames have reached the screen.
    int differing = 0;
    int inside = 0;
    QString first;
    const bool same = waitUntil([&] {
        const QImage shot = m_x->screenshot(window->geometry);
        if (shot.size() != render.size())
            return false;
        differing = inside = 0;
        first.clear();
        for (int y = 0; y < render.height(); ++y) {
            for (int x = 0; x < render.width(); ++x) {
                const QRgb r = render.pixel(x, y);
                const QRgb s = shot.pixel(x, y);
                const bool cut = qAlpha(r) == 0;
                inside += cut ? 0 : 1;
                // Cut-out pixels show the desktop; the rest the face, text antialiasing aside.
                const bool ok = cut ? sameColor(s, rootColor) : sameColor(s, r, 40);
                if (!ok && ++differing == 1)
                    first = QStringLiteral("(%1,%2) screen %3 render %4")
                                .arg(x)
                                .arg(y)
                                .arg(describe(s), describe(r));
            }
        }
        return differing <= inside / 200;
    });
    QVERIFY2(same,
        qPrintable(QStringLiteral("%1 of %2 pixels differ, first %3")
                       .arg(differing)
                       .arg(inside)
                       .arg(first)));
}

QTEST_GUILESS_MAIN(TestE2eSkinRender)
#include "tst_e2e_skinrender.moc"
