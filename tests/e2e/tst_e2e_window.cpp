#include "E2eHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace e2e;

// The real clock's window on openbox: hot keys, closing (keys, signals, menu), the settings it
// saves, dragging and the lock, the place it comes back to, and its hints to the window manager.
// Every test runs its own clock in its own folders on one shared display.
class TestE2eWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowIdentity();
    void closeKeys_data();
    void closeKeys();
    void keysThatDoNotClose_data();
    void keysThatDoNotClose();
    void hideKey();
    void closingSignals_data();
    void closingSignals();
    void changesSaveThemselves_data();
    void changesSaveThemselves();
    void drag_data();
    void drag();
    void positionSurvivesRestart();
    void savedPositionComesOnScreen_data();
    void savedPositionComesOnScreen();
    void alwaysOnTop_data();
    void alwaysOnTop();
    void staysOffTaskbar();
    void menuExit();
    void menuUnlockFollowsLock();
    void cleanup();
    void cleanupTestCase();

private:
    // Starts a clock on the given settings file text (none: a first run) and waits for its window.
    // On the shared display unless another one is given.
    bool startClock(const QString& settings = {}, XServer* server = nullptr);
    // Waits for the clock to end by itself, with exit code 0.
    bool closedCleanly();
    QMap<QString, QString> settings() const { return readIni(m_app->settingsFile()); }
    bool waitForGeometry(const QRect& expected);
    // An open popup menu of the clock.
    std::optional<WindowInfo> waitForPopup();
    bool waitForNoPopup();
    bool rightClickMenu();

    static constexpr QSize screenSize { 1024, 768 };
    // 300,200 pixels, where a window is clear of every edge.
    static inline const QString placed = QStringLiteral("[Setting]\nLeft=4500\nTop=3000\n");

    std::unique_ptr<XServer> m_x;
    std::unique_ptr<ClockApp> m_app;
    WindowInfo m_window;
    QString m_error;
};

namespace {

QString rect(const QRect& r)
{
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                          : QStringLiteral("(none)");
}

} // namespace

void TestE2eWindow::initTestCase()
{
    m_x = std::make_unique<XServer>(XServer::Options { screenSize, true });
    QVERIFY2(m_x->start(), qPrintable(m_x->error()));
}

void TestE2eWindow::cleanup()
{
    if (m_app && QTest::currentTestFailed()) {
        qWarning().noquote() << "settings file:\n" << fileText(m_app->settingsFile());
        qWarning().noquote() << "the clock's output:\n" << m_app->output();
    }
    m_app.reset();
}

void TestE2eWindow::cleanupTestCase()
{
    m_app.reset();
    m_x.reset();
}

bool TestE2eWindow::startClock(const QString& settingsText, XServer* server)
{
    m_app = std::make_unique<ClockApp>(server ? *server : *m_x);
    if (!settingsText.isEmpty() && !m_app->writeSettings(settingsText)) {
        m_error = m_app->error();
        return false;
    }
    const auto window = m_app->startAndWait();
    if (!window) {
        m_error = m_app->error();
        return false;
    }
    m_window = *window;
    return true;
}

bool TestE2eWindow::closedCleanly()
{
    if (!m_app->waitForExit(toolTimeoutMs)) {
        m_error = m_app->error();
        return false;
    }
    if (m_app->exitCode() != 0) {
        m_error = QStringLiteral("exit code %1").arg(m_app->exitCode());
        return false;
    }
    return true;
}

bool TestE2eWindow::waitForGeometry(const QRect& expected)
{
    QRect seen;
    const bool ok = waitUntil(
        [&] {
            const auto info = m_x->windowInfo(m_window.id);
            seen = info ? info->geometry : QRect();
            return seen == expected;
        },
        3000, 100);
    if (!ok)
        m_error = QStringLiteral("window at %1, expected %2").arg(rect(seen), rect(expected));
    return ok;
}

std::optional<WindowInfo> TestE2eWindow::waitForPopup()
{
    std::optional<WindowInfo> popup;
    waitUntil(
        [&] {
            for (const WindowInfo& w : m_x->findWindows({ m_app->pid(), {}, {}, true })) {
                if (w.id != m_window.id && w.overrideRedirect && !m_x->isTooltip(w.id))
                    popup = w;
            }
            return popup.has_value();
        },
        3000, 100);
    if (!popup)
        m_error = QStringLiteral("no popup window of the clock appeared");
    return popup;
}

bool TestE2eWindow::waitForNoPopup()
{
    const bool gone = waitUntil(
        [&] {
            for (const WindowInfo& w : m_x->findWindows({ m_app->pid(), {}, {}, true })) {
                if (w.id != m_window.id && w.overrideRedirect && !m_x->isTooltip(w.id))
                    return false;
            }
            return true;
        },
        3000, 100);
    if (!gone)
        m_error = QStringLiteral("the popup is still open");
    return gone;
}

bool TestE2eWindow::rightClickMenu()
{
    const QPoint centre = m_window.geometry.center();
    if (!m_x->click(centre, 3)) {
        m_error = m_x->error();
        return false;
    }
    return true;
}

void TestE2eWindow::windowIdentity()
{
    QVERIFY2(startClock(), qPrintable(m_error));
    QCOMPARE(m_window.title, QStringLiteral("Horolan"));
    QVERIFY2(m_window.wmClass.contains(QStringLiteral("horolan")),
        qPrintable(m_window.wmClass.join(u',')));
    QCOMPARE(m_window.geometry.size(), QSize(100, 100));
    QVERIFY(!m_window.overrideRedirect);
}

void TestE2eWindow::closeKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("windowManager");

    QTest::newRow("Ctrl+Q") << QStringLiteral("ctrl+q") << true;
    QTest::newRow("Ctrl+X") << QStringLiteral("ctrl+x") << true;
    // openbox takes Alt+F4 itself and asks the window to close; without it the key arrives.
    QTest::newRow("Alt+F4") << QStringLiteral("alt+F4") << true;
    QTest::newRow("Alt+F4, no window manager") << QStringLiteral("alt+F4") << false;
}

void TestE2eWindow::closeKeys()
{
    QFETCH(QString, keys);
    QFETCH(bool, windowManager);

    std::unique_ptr<XServer> bare;
    XServer* server = m_x.get();
    if (!windowManager) {
        bare = std::make_unique<XServer>(XServer::Options { screenSize, false });
        QVERIFY2(bare->start(), qPrintable(bare->error()));
        server = bare.get();
    }
    QVERIFY2(startClock({}, server), qPrintable(m_error));
    // Closed well inside the delay of the automatic save: only the closing sequence saves them.
    QVERIFY2(server->key(m_window.id, QStringLiteral("l s ") + keys), qPrintable(server->error()));
    QVERIFY2(closedCleanly(), qPrintable(m_error));

    // A first run's defaults, with the two toggles.
    const QMap<QString, QString> expected {
        { QStringLiteral("Setting/Top"), QStringLiteral("0") },
        { QStringLiteral("Setting/Left"), QStringLiteral("0") },
        { QStringLiteral("Setting/ShowWTT"), QStringLiteral("False") },
        { QStringLiteral("Setting/UseChimes"), QStringLiteral("True") },
        { QStringLiteral("Setting/LockPos"), QStringLiteral("True") },
        { QStringLiteral("Setting/ontop"), QStringLiteral("True") },
        { QStringLiteral("Setting/AMPM"), QStringLiteral("False") },
        { QStringLiteral("Setting/UseChimesCount"), QStringLiteral("True") },
        { QStringLiteral("Setting/Speed"), QStringLiteral("88") },
        { QStringLiteral("Setting/Skin"), QStringLiteral("< none >") },
        { QStringLiteral("Setting/SoundPack"), QStringLiteral("< skin >") },
        { QStringLiteral("Setting/SysTrayIcon"), QStringLiteral("True") },
        { QStringLiteral("WTT/Scroll"), QStringLiteral("False") },
        { QStringLiteral("WTT/Count"), QStringLiteral("0") },
    };
    const auto saved = settings();
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        QVERIFY2(saved.value(it.key()) == it.value(),
            qPrintable(QStringLiteral("%1 is \"%2\", expected \"%3\"")
                           .arg(it.key(), saved.value(it.key(), QStringLiteral("(missing)")),
                               it.value())));
    }
}

void TestE2eWindow::keysThatDoNotClose_data()
{
    QTest::addColumn<QString>("keys");

    QTest::newRow("Q") << QStringLiteral("q");
    QTest::newRow("Shift+Q") << QStringLiteral("shift+q");
    QTest::newRow("F4") << QStringLiteral("F4");
    QTest::newRow("Ctrl+Shift+X") << QStringLiteral("ctrl+shift+x");
    QTest::newRow("Ctrl+Alt+Q") << QStringLiteral("ctrl+alt+q");
}

void TestE2eWindow::keysThatDoNotClose()
{
    QFETCH(QString, keys);

    QVERIFY2(startClock(), qPrintable(m_error));
    QVERIFY2(m_x->key(m_window.id, keys), qPrintable(m_x->error()));
    QVERIFY2(!m_app->waitForExit(700), "the clock ended");
    // M, sent the same way, arrives: so did the key before it.
    QVERIFY2(m_x->key(m_window.id, QStringLiteral("m")), qPrintable(m_x->error()));
    QVERIFY2(waitUntil([&] {
        const auto info = m_x->windowInfo(m_window.id);
        return info && info->mapState == QLatin1String("IsUnMapped");
    }),
        "M did not hide the window: keys do not reach it");
    QVERIFY(m_app->isRunning());
}

void TestE2eWindow::hideKey()
{
    QVERIFY2(startClock(), qPrintable(m_error));
    QVERIFY2(m_x->key(m_window.id, QStringLiteral("m")), qPrintable(m_x->error()));
    QString state;
    const bool hidden = waitUntil([&] {
        const auto info = m_x->windowInfo(m_window.id);
        state = info ? info->mapState : QStringLiteral("gone");
        return state == QLatin1String("IsUnMapped");
    });
    QVERIFY2(hidden, qPrintable(QStringLiteral("map state ") + state));
    // Hidden, not closed: the clock runs on and still closes cleanly.
    QVERIFY2(!m_app->waitForExit(500), "the clock ended");
    QVERIFY2(m_app->sendSignal(SIGTERM), qPrintable(m_app->error()));
    QVERIFY2(closedCleanly(), qPrintable(m_error));
}

void TestE2eWindow::closingSignals_data()
{
    QTest::addColumn<int>("signalNumber");

    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestE2eWindow::closingSignals()
{
    QFETCH(int, signalNumber);

    QVERIFY2(startClock(), qPrintable(m_error));
    QVERIFY2(m_x->key(m_window.id, QStringLiteral("l s")), qPrintable(m_x->error()));
    // The keys are handled before the signal is: the X events are already queued, but give the
    // loop a moment all the same.
    QTest::qWait(200);
    QVERIFY2(m_app->sendSignal(signalNumber), qPrintable(m_app->error()));
    QVERIFY2(closedCleanly(), qPrintable(m_error));

    const auto saved = settings();
    QCOMPARE(saved.value(QStringLiteral("Setting/LockPos")), QStringLiteral("True"));
    QCOMPARE(saved.value(QStringLiteral("WTT/Scroll")), QStringLiteral("False"));
}

void TestE2eWindow::changesSaveThemselves_data()
{
    QTest::addColumn<QString>("keys"); // empty: a drag
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("L") << QStringLiteral("l") << QStringLiteral("Setting/LockPos")
                       << QStringLiteral("True");
    QTest::newRow("S") << QStringLiteral("s") << QStringLiteral("WTT/Scroll")
                       << QStringLiteral("False");
    // From 300,200 by 100,50 pixels.
    QTest::newRow("drag") << QString() << QStringLiteral("Setting/Left") << QStringLiteral("6000");
}

void TestE2eWindow::changesSaveThemselves()
{
    QFETCH(QString, keys);
    QFETCH(QString, key);
    QFETCH(QString, value);

    QVERIFY2(startClock(placed), qPrintable(m_error));
    QElapsedTimer changed;
    if (keys.isEmpty()) {
        const QPoint from = m_window.geometry.center();
        QVERIFY2(m_x->drag(from, from + QPoint(100, 50)), qPrintable(m_x->error()));
        QVERIFY2(waitForGeometry(m_window.geometry.translated(100, 50)), qPrintable(m_error));
    } else {
        QVERIFY2(m_x->key(m_window.id, keys), qPrintable(m_x->error()));
    }
    changed.start();

    QString seen;
    const bool saved = waitUntil(
        [&] {
            seen = settings().value(key, QStringLiteral("(missing)"));
            return seen == value;
        },
        8000, 100);
    QVERIFY2(
        saved, qPrintable(QStringLiteral("%1 is %2 after 8 s, expected %3").arg(key, seen, value)));
    qInfo("saved %.1f s after the change", changed.elapsed() / 1000.0);
    if (keys.isEmpty()) {
        QCOMPARE(settings().value(QStringLiteral("Setting/Top")), QStringLiteral("3750"));
    }

    // A hard kill runs no closing sequence: the file keeps what the automatic save wrote.
    QVERIFY2(m_app->sendSignal(SIGKILL), qPrintable(m_app->error()));
    QVERIFY2(m_app->waitForExit(toolTimeoutMs), qPrintable(m_app->error()));
    QCOMPARE(settings().value(key), value);
}

void TestE2eWindow::drag_data()
{
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("ctrl"); // 0: not held, 1: held throughout, 2: released after the press
    QTest::addColumn<QPoint>("to"); // where the pointer goes; it grabs the centre at 350,250
    QTest::addColumn<QPoint>("expected"); // the window's top-left afterwards

    QTest::newRow("unlocked") << false << 0 << QPoint(550, 400) << QPoint(500, 350);
    QTest::newRow("far past right and bottom")
        << false << 0 << QPoint(screenSize.width() - 1, screenSize.height() - 1)
        << QPoint(screenSize.width() - 100, screenSize.height() - 100);
    QTest::newRow("far past left and top") << false << 0 << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("locked") << true << 0 << QPoint(550, 400) << QPoint(300, 200);
    QTest::newRow("locked, Ctrl held") << true << 1 << QPoint(550, 400) << QPoint(500, 350);
    QTest::newRow("locked, Ctrl let go during the drag")
        << true << 2 << QPoint(550, 400) << QPoint(500, 350);
}

void TestE2eWindow::drag()
{
    QFETCH(bool, locked);
    QFETCH(int, ctrl);
    QFETCH(QPoint, to);
    QFETCH(QPoint, expected);

    QVERIFY2(startClock(placed + (locked ? QStringLiteral("LockPos=True\n") : QString())),
        qPrintable(m_error));
    QVERIFY2(waitForGeometry(QRect(QPoint(300, 200), QSize(100, 100))), qPrintable(m_error));

    // By hand, so that Ctrl can be let go in the middle.
    const QPoint from(350, 250);
    QVERIFY(m_x->mouseMove(from));
    if (ctrl != 0)
        QVERIFY2(m_x->keyDown(QStringLiteral("ctrl")), qPrintable(m_x->error()));
    QVERIFY(m_x->mouseDown(1));
    constexpr int steps = 5;
    for (int i = 1; i <= steps; ++i) {
        QTest::qWait(30);
        if (i == 2 && ctrl == 2)
            QVERIFY(m_x->keyUp(QStringLiteral("ctrl")));
        QVERIFY(m_x->mouseMove(from + (to - from) * i / steps));
    }
    QTest::qWait(30);
    QVERIFY(m_x->mouseUp(1));
    if (ctrl == 1)
        QVERIFY(m_x->keyUp(QStringLiteral("ctrl")));

    QVERIFY2(waitForGeometry(QRect(expected, QSize(100, 100))), qPrintable(m_error));
    if (expected == QPoint(300, 200)) {
        // Still there a moment later: the drag did not just arrive late.
        QTest::qWait(500);
        QVERIFY2(waitForGeometry(QRect(expected, QSize(100, 100))), qPrintable(m_error));
    }
}

void TestE2eWindow::positionSurvivesRestart()
{
    QVERIFY2(startClock(), qPrintable(m_error));
    const QPoint from = m_window.geometry.center();
    const QRect moved(QPoint(420, 310), QSize(100, 100));
    QVERIFY2(m_x->drag(from, from + moved.topLeft() - m_window.geometry.topLeft()),
        qPrintable(m_x->error()));
    QVERIFY2(waitForGeometry(moved), qPrintable(m_error));
    // Several rounds: the window manager places a restored window while the clock starts, and
    // the clock must not take an in-between position for its own.
    for (int round = 1; round <= 3; ++round) {
        QVERIFY2(m_x->key(m_window.id, QStringLiteral("ctrl+q")), qPrintable(m_x->error()));
        QVERIFY2(closedCleanly(), qPrintable(m_error));
        const auto saved = settings();
        QVERIFY2(saved.value(QStringLiteral("Setting/Left")) == QLatin1String("6300")
                && saved.value(QStringLiteral("Setting/Top")) == QLatin1String("4650"),
            qPrintable(QStringLiteral("round %1: saved Left=%2 Top=%3, shown at 420,310")
                           .arg(round)
                           .arg(saved.value(QStringLiteral("Setting/Left")),
                               saved.value(QStringLiteral("Setting/Top")))));

        // The same folders again.
        QVERIFY2(m_app->start(), qPrintable(m_app->error()));
        const auto window = m_app->waitForWindow();
        QVERIFY2(window, qPrintable(m_app->error()));
        m_window = *window;
        QVERIFY2(waitForGeometry(moved), qPrintable(m_error));
    }
}

void TestE2eWindow::savedPositionComesOnScreen_data()
{
    QTest::addColumn<QString>("position");

    QTest::newRow("far right and below") << QStringLiteral("[Setting]\nLeft=999999\nTop=999999\n");
    QTest::newRow("right of the screen") << QStringLiteral("[Setting]\nLeft=20000\nTop=3000\n");
    QTest::newRow("negative") << QStringLiteral("[Setting]\nLeft=-4500\nTop=-3000\n");
    QTest::newRow("not numbers") << QStringLiteral("[Setting]\nLeft=abc\nTop=\n");
}

void TestE2eWindow::savedPositionComesOnScreen()
{
    QFETCH(QString, position);

    QVERIFY2(startClock(position), qPrintable(m_error));
    QRect seen;
    const bool onScreen = waitUntil([&] {
        const auto info = m_x->windowInfo(m_window.id);
        seen = info ? info->geometry : QRect();
        return QRect(QPoint(0, 0), screenSize).contains(seen) && seen.size() == QSize(100, 100);
    });
    QVERIFY2(onScreen, qPrintable(QStringLiteral("window at ") + rect(seen)));
}

void TestE2eWindow::alwaysOnTop_data()
{
    QTest::addColumn<QString>("settingsText");
    QTest::addColumn<bool>("above");

    QTest::newRow("first run") << QString() << true;
    QTest::newRow("ontop True") << QStringLiteral("[Setting]\nontop=True\n") << true;
    QTest::newRow("ontop False") << QStringLiteral("[Setting]\nontop=False\n") << false;
}

void TestE2eWindow::alwaysOnTop()
{
    QFETCH(QString, settingsText);
    QFETCH(bool, above);

    QVERIFY2(startClock(settingsText), qPrintable(m_error));
    QString state;
    const auto holdsAbove = [&] {
        state = m_x->property(m_window.id, QStringLiteral("_NET_WM_STATE")).value_or(QString());
        return state.contains(QLatin1String("_NET_WM_STATE_ABOVE"));
    };
    if (above) {
        QVERIFY2(waitUntil(holdsAbove, 3000, 100),
            qPrintable(QStringLiteral("_NET_WM_STATE: ") + state));
    } else {
        // Give the window manager time to add a state that should not come.
        QTest::qWait(1000);
        QVERIFY2(!holdsAbove(), qPrintable(QStringLiteral("_NET_WM_STATE: ") + state));
    }
    qInfo().noquote() << "_NET_WM_STATE:" << state;
}

void TestE2eWindow::staysOffTaskbar()
{
    QVERIFY2(startClock(), qPrintable(m_error));
    QString state;
    const bool off = waitUntil(
        [&] {
            state = m_x->property(m_window.id, QStringLiteral("_NET_WM_STATE")).value_or(QString());
            return state.contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR"))
                && state.contains(QLatin1String("_NET_WM_STATE_SKIP_PAGER"));
        },
        3000, 100);
    QVERIFY2(off, qPrintable(QStringLiteral("_NET_WM_STATE: ") + state));
}

void TestE2eWindow::menuExit()
{
    QVERIFY2(startClock(placed), qPrintable(m_error));
    QVERIFY2(m_x->key(m_window.id, QStringLiteral("l")), qPrintable(m_x->error()));
    QVERIFY2(rightClickMenu(), qPrintable(m_error));
    const auto popup = waitForPopup();
    QVERIFY2(popup, qPrintable(m_error));
    // It opens at the pointer.
    const QPoint offset = popup->geometry.topLeft() - m_window.geometry.center();
    QVERIFY2(offset.manhattanLength() <= 4,
        qPrintable(QStringLiteral("menu at %1, pointer at %2,%3")
                       .arg(rect(popup->geometry))
                       .arg(m_window.geometry.center().x())
                       .arg(m_window.geometry.center().y())));

    // E&xit, by its mnemonic: the open menu holds the keyboard.
    QVERIFY2(m_x->typeKeys(QStringLiteral("x")), qPrintable(m_x->error()));
    QVERIFY2(closedCleanly(), qPrintable(m_error));
    QCOMPARE(settings().value(QStringLiteral("Setting/LockPos")), QStringLiteral("True"));
}

void TestE2eWindow::menuUnlockFollowsLock()
{
    // Locked from the settings: the menu holds un&Lock Position.
    QVERIFY2(startClock(placed + QStringLiteral("LockPos=True\n")), qPrintable(m_error));
    QVERIFY2(rightClickMenu(), qPrintable(m_error));
    auto popup = waitForPopup();
    QVERIFY2(popup, qPrintable(m_error));
    const int lockedHeight = popup->geometry.height();

    // Choosing it unlocks and hides the item: the next menu is shorter.
    QVERIFY2(m_x->typeKeys(QStringLiteral("l")), qPrintable(m_x->error()));
    QVERIFY2(waitForNoPopup(), qPrintable(m_error));
    QVERIFY2(rightClickMenu(), qPrintable(m_error));
    popup = waitForPopup();
    QVERIFY2(popup, qPrintable(m_error));
    const int unlockedHeight = popup->geometry.height();
    QVERIFY2(unlockedHeight < lockedHeight,
        qPrintable(QStringLiteral("menu %1 px high locked, %2 px unlocked")
                       .arg(lockedHeight)
                       .arg(unlockedHeight)));
    QVERIFY2(m_x->typeKeys(QStringLiteral("Escape")), qPrintable(m_x->error()));
    QVERIFY2(waitForNoPopup(), qPrintable(m_error));

    // L locks again and brings the item back.
    QVERIFY2(m_x->key(m_window.id, QStringLiteral("l")), qPrintable(m_x->error()));
    QVERIFY2(rightClickMenu(), qPrintable(m_error));
    popup = waitForPopup();
    QVERIFY2(popup, qPrintable(m_error));
    QCOMPARE(popup->geometry.height(), lockedHeight);
    QVERIFY2(m_x->typeKeys(QStringLiteral("Escape")), qPrintable(m_x->error()));
    QVERIFY2(waitForNoPopup(), qPrintable(m_error));

    QVERIFY2(m_x->key(m_window.id, QStringLiteral("ctrl+q")), qPrintable(m_x->error()));
    QVERIFY2(closedCleanly(), qPrintable(m_error));
    QCOMPARE(settings().value(QStringLiteral("Setting/LockPos")), QStringLiteral("True"));
}

QTEST_GUILESS_MAIN(TestE2eWindow)
#include "tst_e2e_window.moc"
