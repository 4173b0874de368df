#include "E2eHarness.h"

using namespace e2e;

namespace {

// At 300,200: clear of every edge.
const QString placed = u"[Setting]\nLeft=4500\nTop=3000\n"_s;
const QString locked = placed + u"LockPos=True\n"_s;
const QString tenPast = u"2026-03-16 10:10:30"_s;

// Thin hands are antialiased into the dial: red stands well above green and blue.
using PixelTest = std::function<bool(QRgb)>;
const PixelTest red = [](QRgb c) { return qRed(c) >= qMax(150, qMax(qGreen(c), qBlue(c)) + 60); };
const PixelTest dark = [](QRgb c) { return qMax(qRed(c), qMax(qGreen(c), qBlue(c))) <= 130; };
const PixelTest light = [](QRgb c) { return qMin(qRed(c), qMin(qGreen(c), qBlue(c))) >= 170; };
const PixelTest root = [](QRgb c) { return c == XServer::root; };

int count(const QImage& image, const PixelTest& test, QRect rect = {})
{
    rect = rect.isNull() ? image.rect() : rect;
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += test(image.pixel(x, y));
    }
    return n;
}

// A menu opens at the pointer, or as near as the screen's edges let it.
bool atPointer(const QRect& menu, QPoint pointer)
{
    return qAbs(menu.top() - pointer.y()) <= 4 && qAbs(menu.left() - pointer.x()) <= menu.width();
}

} // namespace

// The clock's window on openbox: the built-in face, closing by keys, signals and the menu, the
// settings it saves, dragging, where it comes back, its hints to the window manager and its
// tray icon. Only the tray's row has a tray host: the others show the clock runs on without one.
class TestE2eWindow : public QObject {
    Q_OBJECT

    XServer m_x;

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void builtInFace_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("saved"); // a skin that is not there stays chosen
        QTest::newRow("first run") << QString() << u"Skin=< none >"_s;
        QTest::newRow("a skin that is not there") << u"[Setting]\nSkin=Gone"_s << u"Skin=Gone"_s;
    }
    void builtInFace()
    {
        QFETCH(QString, settings);
        QFETCH(QString, saved);
        Clock clock(m_x, { .settings = settings, .fakeStart = tenPast, .frozen = true });
        CHECK(clock.start());
        QCOMPARE(clock.window.geometry.size(), QSize(100, 100));
        QVERIFY(m_x.property(clock.window.id, u"_NET_FRAME_EXTENTS"_s).endsWith(u"= 0, 0, 0, 0"_s));
        QVERIFY2(QRect(0, 0, 100, 100).contains(m_x.shape(clock.window.id)), "not shaped");
        QImage face;
        CHECK(waitUntil([&] { return count(face = m_x.shot(clock.window.geometry), red); }));
        // Round: the root shows in the corners of the square, not inside the rim.
        for (const QPoint corner : { QPoint(0, 0), QPoint(96, 0), QPoint(0, 96), QPoint(96, 96) })
            QCOMPARE(count(face, root, QRect(corner, QSize(4, 4))), 16);
        for (const QPoint rim : { QPoint(50, 4), QPoint(4, 50), QPoint(95, 50), QPoint(50, 95) })
            QVERIFY2(!root(face.pixel(rim)), "cut inside the rim");
        QVERIFY2(count(face, light, QRect(30, 30, 40, 40)) >= 1280, "the dial is not light");

        // Frozen at 10:10:30: the second hand points straight down, the minute hand towards
        // two, the hour hand towards ten; nothing else is in the boxes looked at.
        struct Probe {
            int degrees, radius;
            bool red, hand;
        };
        const Probe probes[] { { 180, 35, true, true }, { 168, 35, true, false },
            { 192, 35, true, false }, { 0, 35, true, false }, { 60, 17, false, true },
            { 300, 17, false, true }, { 120, 17, false, false }, { 240, 17, false, false } };
        for (const Probe& p : probes) {
            const double a = qDegreesToRadians(p.degrees);
            const QPoint at
                = (QPointF(46.5, 46.5) + p.radius * QPointF(qSin(a), -qCos(a))).toPoint();
            const int n = count(face, p.red ? red : dark, QRect(at, QSize(7, 7)));
            QVERIFY2(
                p.hand ? n >= 2 : n == 0, qPrintable(u"%1 px, %2 deg"_s.arg(n).arg(p.degrees)));
        }
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(saved));
    }

    void closing_data()
    {
        QTest::addColumn<QString>("keys"); // none: a signal
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("closes");
        // openbox turns Alt+F4 into a request to close.
        QTest::newRow("Alt+F4") << u"alt+F4"_s << 0 << true;
        QTest::newRow("Ctrl+Q") << u"ctrl+q"_s << 0 << true;
        QTest::newRow("Ctrl+X") << u"ctrl+x"_s << 0 << true;
        QTest::newRow("F4") << u"F4"_s << 0 << false;
        QTest::newRow("Shift+Q") << u"shift+q"_s << 0 << false;
        QTest::newRow("Ctrl+Shift+X") << u"ctrl+shift+x"_s << 0 << false;
        QTest::newRow("SIGTERM") << QString() << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << QString() << int(SIGINT) << true;
        QTest::newRow("SIGHUP") << QString() << int(SIGHUP) << true;
    }
    void closing()
    {
        QFETCH(QString, keys);
        QFETCH(int, signalNumber);
        QFETCH(bool, closes);
        Clock clock(m_x);
        // L first: closed well before the save that follows a change, only the closing saves it.
        CHECK(clock.start() && clock.key(u"l "_s + keys));
        QTest::qWait(200); // the key's event is queued before a signal comes, but all the same
        CHECK(!signalNumber || clock.signal(signalNumber));
        if (closes)
            CHECK(clock.closed() && clock.saved(u"LockPos=True"_s));
        // Else M, typed after the key, hides the window: that key arrived too.
        const auto hidden = [&] { return !clock.shown(); };
        if (!closes)
            CHECK(clock.key(u"m"_s) && waitUntil(hidden) && !clock.closed(1000) && clock.running());
    }

    void changesSaveThemselves_data()
    {
        QTest::addColumn<bool>("drag"); // by 100,50; else L
        QTest::addColumn<QString>("line");
        QTest::newRow("L") << false << u"LockPos=True"_s;
        QTest::newRow("drag") << true << u"Left=6000"_s;
    }
    void changesSaveThemselves()
    {
        QFETCH(bool, drag);
        QFETCH(QString, line);
        Clock clock(m_x, { .settings = placed });
        CHECK(clock.start() && clock.waitForPlace({ 300, 200 }));
        CHECK(drag ? m_x.drag({ 350, 250 }, { 450, 300 }) : clock.key(u"l"_s));
        QElapsedTimer changed;
        changed.start();
        QVERIFY2(waitUntil([&] { return clock.saved(line); }, 8000, 100), "not saved within 8 s");
        qInfo("saved %lld ms after the change", changed.elapsed());
        // A hard kill runs no closing: the file keeps what the save wrote.
        CHECK(clock.signal(SIGKILL) && waitUntil([&] { return !clock.running(); }));
        QVERIFY(clock.saved(line));
    }

    void drag_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QPoint>("to"); // where the pointer takes the window's centre from 350,250
        QTest::addColumn<QPoint>("expected"); // the window's top-left then
        const QPoint corner(1023, 767);
        QTest::newRow("unlocked") << placed << false << QPoint(550, 400) << QPoint(500, 350);
        QTest::newRow("past right and bottom") << placed << false << corner << QPoint(924, 668);
        QTest::newRow("past left and top") << placed << false << QPoint(0, 0) << QPoint(0, 0);
        QTest::newRow("locked") << locked << false << QPoint(550, 400) << QPoint(300, 200);
        QTest::newRow("locked, Ctrl") << locked << true << QPoint(550, 400) << QPoint(500, 350);
    }
    void drag()
    {
        QFETCH(QString, settings);
        QFETCH(bool, ctrl);
        QFETCH(QPoint, to);
        QFETCH(QPoint, expected);
        Clock clock(m_x, { .settings = settings });
        CHECK(clock.start() && clock.waitForPlace({ 300, 200 }));
        CHECK(m_x.drag({ 350, 250 }, to, ctrl));
        QTest::qWait(expected == QPoint(300, 200) ? 500 : 0); // not merely late
        CHECK(clock.waitForPlace(expected));
    }

    void quickCtrlDrag()
    {
        // Motion queued faster than the moves were applied once took the window past the
        // pointer, or short of it: now and then, so drag a few times.
        Clock clock(m_x, { .settings = locked });
        CHECK(clock.start() && clock.waitForPlace({ 300, 200 }));
        for (int i = 1; i <= 8; ++i) {
            const QPoint from(i % 2 ? 350 : 390, 250);
            const QPoint by(i % 2 ? 40 : -40, 0);
            CHECK(m_x.drag(from, from + by, true, 40, 0));
            QTest::qWait(300);
            CHECK(clock.waitForPlace(from + by - QPoint(50, 50)));
        }
    }

    void positionSurvivesRestart()
    {
        Clock clock(m_x);
        CHECK(clock.start() && m_x.drag({ 50, 50 }, { 470, 360 }));
        // Again and again: openbox places the restored window while the clock starts, and the
        // clock must not save a place on the way as its own.
        for (int round = 1; round <= 3; ++round) {
            CHECK(clock.waitForPlace({ 420, 310 }) && clock.key(u"ctrl+q"_s) && clock.closed());
            QVERIFY(clock.saved(u"Left=6300"_s) && clock.saved(u"Top=4650"_s));
            CHECK(clock.start());
        }
    }

    void atStart_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QRect>("place"); // where the window must be
        QTest::addColumn<bool>("above");
        const QRect at(300, 200, 100, 100);
        const QRect screen(0, 0, 1024, 768);
        QTest::newRow("ontop True") << placed + u"ontop=True"_s << at << true;
        QTest::newRow("ontop False") << placed + u"ontop=False"_s << at << false;
        QTest::newRow("off right") << u"[Setting]\nLeft=99999\nTop=99999"_s << screen << true;
        QTest::newRow("off left") << u"[Setting]\nLeft=-4500\nTop=-3000"_s << screen << true;
    }
    void atStart()
    {
        QFETCH(QString, settings);
        QFETCH(QRect, place);
        QFETCH(bool, above);
        Clock clock(m_x, { .settings = settings });
        CHECK(clock.start());
        const auto right = [&] {
            const QString state = m_x.property(clock.window.id, u"_NET_WM_STATE"_s);
            const bool off = state.contains(u"_SKIP_TASKBAR"_s) && state.contains(u"_SKIP_PAGER"_s);
            const bool there = place.contains(m_x.window(clock.window.id).geometry);
            return (off && there && state.contains(u"_ABOVE"_s) == above) || fail(state);
        };
        CHECK(waitUntil(right, 3000, 100));
        QTest::qWait(above ? 0 : 1000); // time for a state that should not come
        CHECK(right());
    }

    void menu()
    {
        // Locked at start, so the menu holds un&Lock Position.
        Clock clock(m_x, { .settings = locked });
        CHECK(clock.start());
        const auto open = [&] {
            waitUntil([&] { return !m_x.waitForMenu(clock.pid, { clock.window.id }, 0).viewable; });
            m_x.xdo(u"mousemove 350 250 click 3"_s);
            return m_x.waitForMenu(clock.pid, { clock.window.id }).geometry;
        };
        const QRect lockedMenu = open();
        QVERIFY2(atPointer(lockedMenu, { 350, 250 }), "no menu at the pointer");
        // By its mnemonic: the open menu holds the keyboard. Unlocked, the item is gone.
        CHECK(m_x.xdo(u"key l"_s));
        const int unlocked = open().height();
        QCOMPARE_GT(unlocked, 0);
        QCOMPARE_LT(unlocked, lockedMenu.height());
        // L locks again and brings the item back; E&xit closes.
        CHECK(m_x.xdo(u"key Escape"_s) && clock.key(u"l"_s));
        QCOMPARE(open().height(), lockedMenu.height());
        CHECK(m_x.xdo(u"key x"_s) && clock.closed() && clock.saved(u"LockPos=True"_s));
    }

    void trayIcon()
    {
        // Debian's trayer hosts the icon. The clock starts two seconds before 10:10 on a faked
        // 5 December 2026, so the tick at 10:10:00 writes the tip.
        XServer x;
        QTemporaryDir dir;
        CHECK(x.start());
        const auto tray = spawn(words(u"trayer --edge top"_s), x.env, dir.filePath(u"log"_s));
        const auto panel = [&] { return x.windows(tray->processId()).value(0).geometry; };
        // It must hold the tray's selection before the clock looks for one.
        QVERIFY2(tray && waitUntil([&] { return !panel().isEmpty(); }), "trayer shows no panel");
        const QString debug = u"QT_LOGGING_RULES=horolan.main.debug=true"_s;
        Clock clock(x, { .fakeStart = u"2026-12-05 10:09:58"_s, .env = { debug } });
        CHECK(clock.start());
        Window icon; // a window of the clock inside trayer's panel
        const auto embedded = [&] {
            for (const Window& w : x.windows(clock.pid))
                icon = w.id != clock.window.id && panel().contains(w.geometry) ? w : icon;
            return icon.viewable;
        };
        QVERIFY2(waitUntil(embedded), "no window of the clock in trayer's panel");
        const QString tip = u"tray tip: Horolan - 05/12/2026, 10:10"_s;
        QVERIFY2(waitUntil([&] { return clock.output().contains(tip); }), qPrintable(tip));

        // Hidden by M, the clock keeps its icon; a double click on it brings the clock back.
        CHECK(clock.key(u"m"_s) && waitUntil([&] { return !clock.shown(); }));
        QVERIFY(x.window(icon.id).viewable);
        const QPoint at = icon.geometry.center();
        CHECK(x.xdo(u"mousemove %1 %2 click --repeat 2 --delay 80 1"_s.arg(at.x()).arg(at.y())));
        QVERIFY2(waitUntil([&] { return clock.shown(); }), "the clock did not come back");

        // A right click opens the menu.
        CHECK(x.xdo(u"click 3"_s));
        const QRect menu = x.waitForMenu(clock.pid, { clock.window.id, icon.id }).geometry;
        QVERIFY2(atPointer(menu, at), "no menu at the pointer");
    }
};

QTEST_GUILESS_MAIN(TestE2eWindow)
#include "tst_e2e_window.moc"
