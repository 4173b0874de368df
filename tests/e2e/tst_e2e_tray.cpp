#include "E2eHarness.h"

#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace e2e;

// The clock's tray icon in a real tray: Debian's trayer on openbox hosts it. The clock starts two
// seconds before 10:10 on a faked 5 December 2026, so the tick at 10:10:00 refreshes the tip.
class TestE2eTray : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void iconIsEmbedded();
    void tipShowsDateAndTime();
    void doubleClickTogglesClock();
    void rightClickPopsUpMenu();
    void runsWithoutTray();
    void cleanup();
    void cleanupTestCase();

private:
    // The clock's window that trayer took in, found by its parents.
    std::optional<WindowInfo> waitForEmbeddedIcon();
    bool waitForMapState(quint64 window, const QString& state);

    std::unique_ptr<XServer> m_x;
    std::unique_ptr<ClockApp> m_app;
    qint64 m_trayerPid = 0;
    WindowInfo m_window;
    QString m_error;
    bool m_outputShown = false;
};

namespace {

const QString debugRules = QStringLiteral("QT_LOGGING_RULES=horolan.main.debug=true");

} // namespace

void TestE2eTray::initTestCase()
{
    m_x = std::make_unique<XServer>(XServer::Options { { 1024, 768 }, true });
    QVERIFY2(m_x->start(), qPrintable(m_x->error()));
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        QFAIL("trayer is not installed: run tools/install-deps --test");
    m_trayerPid = m_x->startClient(QStringLiteral("trayer"),
        { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
            QStringLiteral("right"), QStringLiteral("--height"), QStringLiteral("24") });
    QVERIFY2(m_trayerPid > 0, qPrintable(m_x->error()));
    // The tray must own its selection before the clock looks for it.
    QVERIFY2(m_x->waitForWindow({ m_trayerPid, {}, {}, true }, 5000), qPrintable(m_x->error()));

    ClockApp::Options options;
    options.fakeStart = QStringLiteral("2026-12-05 10:09:58");
    options.environment << debugRules;
    m_app = std::make_unique<ClockApp>(*m_x, options);
    QVERIFY2(m_app->start(), qPrintable(m_app->error()));
    const auto window = m_app->waitForWindow();
    QVERIFY2(window, qPrintable(m_app->error()));
    m_window = *window;
}

void TestE2eTray::cleanup()
{
    if (QTest::currentTestFailed() && m_app && !m_outputShown) {
        m_outputShown = true;
        qWarning().noquote() << "the clock's output:\n" << m_app->output();
    }
}

void TestE2eTray::cleanupTestCase()
{
    m_app.reset();
    m_x.reset();
}

std::optional<WindowInfo> TestE2eTray::waitForEmbeddedIcon()
{
    const QList<WindowInfo> panels = m_x->findWindows({ m_trayerPid, {}, {}, false });
    std::optional<WindowInfo> icon;
    waitUntil(
        [&] {
            for (const WindowInfo& w : m_x->findWindows({ m_app->pid(), {}, {}, true })) {
                const QList<quint64> parents = m_x->ancestors(w.id);
                for (const WindowInfo& panel : panels) {
                    if (parents.contains(panel.id))
                        icon = w;
                }
            }
            return icon.has_value();
        },
        5000, 200);
    if (!icon) {
        QStringList seen;
        for (const WindowInfo& w : m_x->findWindows({ m_app->pid(), {}, {}, false })) {
            QStringList chain;
            for (const quint64 id : m_x->ancestors(w.id))
                chain << QStringLiteral("0x") + QString::number(id, 16);
            seen << QStringLiteral("0x%1 %2 in %3")
                        .arg(QString::number(w.id, 16), w.mapState, chain.join(u'/'));
        }
        m_error = QStringLiteral("no window of the clock inside trayer; its windows: ")
            + seen.join(QStringLiteral(", "));
    }
    return icon;
}

bool TestE2eTray::waitForMapState(quint64 window, const QString& state)
{
    QString seen;
    const bool ok = waitUntil([&] {
        const auto info = m_x->windowInfo(window);
        seen = info ? info->mapState : QStringLiteral("gone");
        return seen == state;
    });
    if (!ok)
        m_error = QStringLiteral("map state %1, expected %2").arg(seen, state);
    return ok;
}

void TestE2eTray::iconIsEmbedded()
{
    const auto icon = waitForEmbeddedIcon();
    QVERIFY2(icon, qPrintable(m_error));
    QVERIFY(icon->id != m_window.id);
    QVERIFY2(icon->geometry.width() >= 8 && icon->geometry.width() <= 64,
        qPrintable(QStringLiteral("icon %1 px wide").arg(icon->geometry.width())));
}

void TestE2eTray::tipShowsDateAndTime()
{
    const QString expected = QStringLiteral("tray tip: Horolan - 05/12/2026, 10:10");
    const bool logged = waitUntil([&] { return m_app->output().contains(expected); }, 5000, 100);
    QVERIFY2(logged, qPrintable(QStringLiteral("no line \"%1\"").arg(expected)));
}

void TestE2eTray::doubleClickTogglesClock()
{
    const auto icon = waitForEmbeddedIcon();
    QVERIFY2(icon, qPrintable(m_error));
    const QPoint centre = icon->geometry.center();

    QVERIFY2(m_x->doubleClick(centre), qPrintable(m_x->error()));
    QVERIFY2(waitForMapState(m_window.id, QStringLiteral("IsUnMapped")), qPrintable(m_error));
    // Hidden, the clock keeps its icon.
    QVERIFY2(waitForMapState(icon->id, QStringLiteral("IsViewable")), qPrintable(m_error));

    QVERIFY2(m_x->doubleClick(centre), qPrintable(m_x->error()));
    QVERIFY2(waitForMapState(m_window.id, QStringLiteral("IsViewable")), qPrintable(m_error));
    QVERIFY(m_app->isRunning());
}

void TestE2eTray::rightClickPopsUpMenu()
{
    const auto icon = waitForEmbeddedIcon();
    QVERIFY2(icon, qPrintable(m_error));
    const QPoint at = icon->geometry.center();
    QVERIFY2(m_x->click(at, 3), qPrintable(m_x->error()));

    std::optional<WindowInfo> popup;
    waitUntil(
        [&] {
            for (const WindowInfo& w : m_x->findWindows({ m_app->pid(), {}, {}, true })) {
                if (w.id != m_window.id && w.id != icon->id && w.overrideRedirect
                    && !m_x->isTooltip(w.id))
                    popup = w;
            }
            return popup.has_value();
        },
        3000, 100);
    QVERIFY2(popup, "no menu appeared");
    // At the pointer, unless pushed back from the screen's right edge.
    QVERIFY2(qAbs(popup->geometry.top() - at.y()) <= 4 && popup->geometry.left() <= at.x() + 4
            && popup->geometry.right() >= at.x() - 4,
        qPrintable(QStringLiteral("menu at %1,%2, pointer at %3,%4")
                       .arg(popup->geometry.x())
                       .arg(popup->geometry.y())
                       .arg(at.x())
                       .arg(at.y())));
    QVERIFY2(m_x->typeKeys(QStringLiteral("Escape")), qPrintable(m_x->error()));
    // Hidden or destroyed, either way no longer on the screen.
    QVERIFY2(waitUntil([&] {
        const auto info = m_x->windowInfo(popup->id);
        return !info || !info->viewable();
    }),
        "the menu stays open after Escape");
}

void TestE2eTray::runsWithoutTray()
{
    // A display of its own, with a window manager but nothing that hosts icons.
    XServer bare(XServer::Options { { 640, 480 }, true });
    QVERIFY2(bare.start(), qPrintable(bare.error()));
    ClockApp app(bare);
    QVERIFY2(app.start(), qPrintable(app.error()));
    const auto window = app.waitForWindow();
    QVERIFY2(window, qPrintable(app.error()));

    const bool told = waitUntil(
        [&] {
            const QStringList lines = app.output().split(u'\n');
            return std::any_of(lines.begin(), lines.end(),
                [](const QString& line) { return line.contains(QLatin1String("tray")); });
        },
        3000, 100);
    QVERIFY2(told, qPrintable(QStringLiteral("no line about the tray in:\n") + app.output()));
    // It keeps ticking and closes normally.
    QVERIFY2(!app.waitForExit(500), "the clock ended");
    QVERIFY2(bare.key(window->id, QStringLiteral("ctrl+q")), qPrintable(bare.error()));
    QVERIFY2(app.waitForExit(toolTimeoutMs), qPrintable(app.error()));
    QCOMPARE(app.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestE2eTray)
#include "tst_e2e_tray.moc"
