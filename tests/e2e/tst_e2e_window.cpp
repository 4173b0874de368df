#include "E2eHarness.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <xcb/shape.h>
#include <xcb/xcb.h>

using namespace e2e;

const QString placed = u"[Setting]\nLeft=4500\nTop=3000\n"_s; // 300,200: clear of every edge
const QString locked = placed + u"LockPos=True\n"_s;

// The clock's window on openbox, with no tray host but in the tray's row, last.
class TestE2eWindow : public QObject {
    Q_OBJECT
    XServer m_x;

    static QRect shown(const Clock& clock, bool worldTime)
    {
        return worldTime ? clock.worldTime().geometry : e2e::window(clock.window.id).geometry;
    }
    static bool placedAt(const Clock& clock, QPoint topLeft, bool worldTime = false)
    {
        return qWaitFor([&] { return shown(clock, worldTime).topLeft() == topLeft; }, 3000)
            || fail(QDebug::toString(shown(clock, worldTime)));
    }
    // An open menu of the clock: override-redirect, not a tooltip, not the tray icon.
    static QRect menu(const Clock& clock, quint64 icon = 0)
    {
        for (const Window& w : windows(clock.pid)) {
            const QString type = x(u"xprop -id %1 _NET_WM_WINDOW_TYPE"_s.arg(w.id));
            if (w.overrideRedirect && w.id != icon && !type.contains(u"TOOLTIP"_s))
                return w.geometry;
        }
        return {};
    }

    // The window's input rectangles as the X server holds them: none passes every click on.
    static int inputRectangles(quint64 id)
    {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const auto disconnect = qScopeGuard([&] { xcb_disconnect(connection); });
        xcb_shape_get_rectangles_reply_t* reply = xcb_shape_get_rectangles_reply(connection,
            xcb_shape_get_rectangles(connection, xcb_window_t(id), XCB_SHAPE_SK_INPUT), nullptr);
        const int count = reply ? reply->rectangles_len : -1;
        free(reply);
        return count;
    }
    // The tray icon of a clock started after trayer: its window inside trayer's panel.
    static quint64 trayIconOf(const Clock& clock, const Helper& tray)
    {
        const QRect panel = windows(tray.processId()).value(0).geometry;
        for (const Window& w : windows(clock.pid))
            if (w.id != clock.window.id && !panel.isEmpty() && panel.contains(w.geometry))
                return w.id;
        return 0;
    }

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void atStart_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("above");
        QTest::addColumn<QString>("saved"); // at closing
        const QString none = u"Skin=< none >"_s;
        QTest::newRow("first run") << QString() << true << none;
        QTest::newRow("no such skin: the built-in face, the name kept")
            << u"[Setting]\nSkin=Gone"_s << true << u"Skin=Gone"_s;
        QTest::newRow("ontop True") << u"[Setting]\nontop=True"_s << true << none;
        QTest::newRow("ontop False") << u"[Setting]\nontop=False"_s << false << none;
        QTest::newRow("off the screen") << u"[Setting]\nLeft=-4500\nTop=99999"_s << true << none;
    }
    void atStart()
    {
        QFETCH(QString, settings);
        QFETCH(bool, above);
        QFETCH(QString, saved);
        Clock clock(settings, u"2026-03-16 10:10:30"_s, true);
        CHECK(clock.start());
        const quint64 id = clock.window.id;
        const auto hinted = [&] {
            const QString state = x(u"xprop -id %1 _NET_WM_STATE"_s.arg(id));
            return (QRect(0, 0, 1024, 768).contains(window(id).geometry)
                       && state.contains(u"_SKIP_TASKBAR"_s) && state.contains(u"_SKIP_PAGER"_s)
                       && state.contains(u"_ABOVE"_s) == above)
                || fail(state);
        };
        CHECK(qWaitFor(hinted, 3000));
        QTest::qWait(above ? 0 : 1000); // time for a state that should not come
        CHECK(hinted());
        // The built-in face, borderless and round, its hands at 10:10:30.
        QVERIFY(x(u"xprop -id %1 _NET_FRAME_EXTENTS"_s.arg(id)).endsWith(u"= 0, 0, 0, 0"_s));
        QVERIFY(x(u"xwininfo -shape -id %1"_s.arg(id)).contains(u"Window shape extents"_s));
        const QImage face(QFINDTESTDATA("../data/e2e/built-in-face-10-10-30.png"));
        double share = -1;
        const auto shows
            = [&] { return (share = match(shot(clock.window.geometry), face)) >= 0.99; };
        QVERIFY2(qWaitFor(shows), qPrintable(u"%1 of the face"_s.arg(share)));
        // Timed from the process's start, not on the moved wall clock.
        const auto first = QRegularExpression(u"first frame (\\d+) ms"_s).match(clock.output());
        QVERIFY2(
            first.hasMatch() && first.captured(1).toLongLong() < 20000, qPrintable(clock.output()));
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(saved));
    }

    void secondOnTime()
    {
        // Its window read back from the X server without pause around five turns of the faked
        // second: the face changes within 10 ms after each (the median), never before one.
        Clock clock(placed, u"2026-03-16 10:10:30"_s);
        CHECK(clock.start());
        QTest::qWait(1500); // past the first frames
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const auto disconnect = qScopeGuard([&] { xcb_disconnect(connection); });
        QVERIFY(!xcb_connection_has_error(connection));
        const QSize size = clock.window.geometry.size();
        const auto realUs = [] {
            return std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::system_clock::now().time_since_epoch())
                .count();
        };
        const auto pixels = [&] {
            const auto cookie = xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP,
                xcb_window_t(clock.window.id), 0, 0, uint16_t(size.width()),
                uint16_t(size.height()), ~0u);
            xcb_get_image_reply_t* reply = xcb_get_image_reply(connection, cookie, nullptr);
            QByteArray data;
            if (reply)
                data = QByteArray(reinterpret_cast<const char*>(xcb_get_image_data(reply)),
                    xcb_get_image_data_length(reply));
            free(reply);
            return data;
        };
        // A fake second turns at this real moment, in µs.
        const qint64 offsetUs = clock.fakeOffsetMs() * 1000;
        QList<double> delays;
        for (int turn = 0; turn < 5; ++turn) {
            const qint64 next = ((realUs() + offsetUs) / 1000000 + 1) * 1000000 - offsetUs;
            QTest::qWait(int(std::max<qint64>(0, (next - realUs()) / 1000 - 150)));
            const QByteArray before = pixels();
            QVERIFY(!before.isEmpty());
            qint64 changedAt = 0;
            while (!changedAt && realUs() < next + 300000) {
                const QByteArray now = pixels();
                if (now != before)
                    changedAt = realUs(); // it changed before the reply came
            }
            QVERIFY2(changedAt >= next, qPrintable(u"drawn %1 µs early"_s.arg(next - changedAt)));
            delays << (changedAt - next) / 1000.0;
            QTest::qWait(300);
        }
        qInfo() << "the face changed, ms after the second turned:" << delays;
        std::sort(delays.begin(), delays.end());
        // The sanitizers' debug build draws a few times slower.
        QVERIFY2(delays[2] <= 10 * startupFactor, qPrintable(QDebug::toString(delays)));
    }

    // Which keys close, and which do not, are the key table's rows; here the real ones close.
    void closing_data()
    {
        QTest::addColumn<int>("signalNumber"); // 0: the keys that name the row
        QTest::newRow("alt+F4") << 0; // openbox's request to close
        QTest::newRow("ctrl+q") << 0;
        QTest::newRow("ctrl+x") << 0;
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void closing()
    {
        QFETCH(int, signalNumber);
        Clock clock;
        // L first: well before its own save comes, only the closing saves it.
        CHECK(clock.start() && clock.key(u"l "_s + (signalNumber ? "" : QTest::currentDataTag())));
        QTest::qWait(200);
        CHECK(!signalNumber || clock.signal(signalNumber));
        CHECK(clock.closed() && clock.saved(u"LockPos=True"_s));
    }

    void change_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QPoint>("to"); // where a drag takes the pointer from 350,250; none: L
        QTest::addColumn<QPoint>("place"); // the window's top-left then, and after restarts
        QTest::addColumn<QString>("line"); // saved by itself
        QTest::newRow("L") << placed << QPoint() << QPoint(300, 200) << u"LockPos=True"_s;
        QTest::newRow("drag") << placed << QPoint(470, 360) << QPoint(420, 310) << u"Left=6300"_s;
    }
    void change()
    {
        QFETCH(QString, settings);
        QFETCH(QPoint, to);
        QFETCH(QPoint, place);
        QFETCH(QString, line);
        Clock clock(settings);
        CHECK(clock.start() && placedAt(clock, { 300, 200 }));
        CHECK(to.isNull() ? clock.key(u"l"_s) : e2e::drag({ 350, 250 }, to));
        QTest::qWait(500); // a window that should stay is not merely late
        CHECK(placedAt(clock, place) && qWaitFor([&] { return clock.saved(line); }, 8000));
        // A hard kill runs no closing: the file keeps what the save wrote. At each start openbox
        // places the window anew: the clock must not save that place as its own.
        CHECK(clock.signal(SIGKILL) && qWaitFor([&] { return !clock.running(); })
            && clock.saved(line));
        for (int round = 1; round <= 2; ++round)
            CHECK(clock.start() && placedAt(clock, place) && clock.key(u"ctrl+q"_s)
                && clock.closed() && clock.saved(line));
    }

    // The drag rules of both windows, the clock's and the world time window's (opened by W, the
    // clock then out of the way): each at 300,200, held at 350,250.
    void drag_data()
    {
        QTest::addColumn<bool>("worldTime");
        QTest::addColumn<bool>("lockPos");
        QTest::addColumn<QPoint>("to"); // one drag there; none: eight quick Ctrl drags of 40 px
        QTest::addColumn<QPoint>("place"); // the window's top-left then, saved; none: in the corner
        const QPoint corner(1023, 767);
        for (const bool worldTime : { false, true }) {
            const QString name = worldTime ? u"world time: "_s : u"clock: "_s;
            const auto row = [&](const char* what) -> QTestData& {
                return QTest::newRow(qPrintable(name + what));
            };
            row("past the corner") << worldTime << false << corner << QPoint();
            row("locked: no drag") << worldTime << true << corner << QPoint(300, 200);
            // Locked, so Ctrl moves it; quick motion once took it past the pointer or short of it.
            row("locked, quick Ctrl drags") << worldTime << true << QPoint() << QPoint(300, 200);
        }
    }
    void drag()
    {
        QFETCH(bool, worldTime);
        QFETCH(bool, lockPos);
        QFETCH(QPoint, to);
        QFETCH(QPoint, place);
        const QString lock = lockPos ? u"LockPos=True\n"_s : QString();
        Clock clock(worldTime
                ? u"[Setting]\nLeft=9000\nTop=7500\n"_s + lock + u"[WTT]\nLeft=4500\nTop=3000\n"_s
                : placed + lock);
        CHECK(clock.start());
        CHECK((!worldTime || clock.key(u"w"_s)) && placedAt(clock, { 300, 200 }, worldTime));
        const QSize size = shown(clock, worldTime).size();
        if (place.isNull()) // kept whole on the screen
            place = QPoint(1024 - size.width(), 768 - size.height());
        if (to.isNull()) {
            for (int i = 1; i <= 8; ++i) {
                const QPoint from(i % 2 ? 350 : 390, 250), by(i % 2 ? 40 : -40, 0);
                CHECK(e2e::drag(from, from + by, true, 40, 0));
                QTest::qWait(300);
                CHECK(placedAt(clock, from + by - QPoint(50, 50), worldTime));
            }
        } else {
            CHECK(e2e::drag({ 350, 250 }, to));
            QTest::qWait(500); // a window that should stay is not merely late
            CHECK(placedAt(clock, place, worldTime));
        }
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed()
            && clock.saved(u"Left=%1"_s.arg(place.x() * 15)));
    }

    void contextMenu()
    {
        // Locked at start, so it holds un&Lock Position.
        Clock clock(locked);
        CHECK(clock.start());
        QRect opened;
        const auto open = [&] {
            const auto found = [&] { return !(opened = menu(clock)).isEmpty(); };
            return qWaitFor([&] { return !found(); }) && run(u"xdotool mousemove 350 250 click 3"_s)
                && qWaitFor(found);
        };
        // At the pointer, or as near as the screen's edges let it.
        CHECK(open());
        QVERIFY2(qAbs(opened.top() - 250) <= 4 && qAbs(opened.left() - 350) <= opened.width(),
            qPrintable(QDebug::toString(opened)));
        const int lockedHeight = opened.height();
        // By its mnemonic: the open menu holds the keyboard. Unlocked, the item is gone.
        CHECK(run(u"xdotool key l"_s) && open());
        QCOMPARE_LT(opened.height(), lockedHeight);
        // L locks again and brings the item back; E&xit closes.
        CHECK(run(u"xdotool key Escape"_s) && clock.key(u"l"_s) && open());
        QCOMPARE(opened.height(), lockedHeight);
        CHECK(run(u"xdotool key x"_s) && clock.closed() && clock.saved(u"LockPos=True"_s));
    }

    void compositing_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::newRow("built-in") << QString();
        QTest::newRow("Pebbles") << u"Skin=Pebbles\n"_s;
        QTest::newRow("PNG with soft edges") << u"Skin=Glow\n"_s;
        QTest::newRow("built-in at half opacity") << u"Opacity=50\n"_s;
    }
    void compositing()
    {
        // The outline under a compositing manager is the one without, to the pixel, corners
        // showing the desktop included. A picture's semi-transparent edge shows its own colour
        // without a compositor and blends with the desktop under one; so does the whole face at
        // an opacity below 100, opaque without one.
        QFETCH(QString, skin);
        const bool half = skin.contains(u"Opacity"_s);
        Clock clock(placed + skin, u"2026-03-16 10:10:30"_s, true);
        const QColor green(40, 160, 90);
        // A disc of 120 pixels fading out over its outer 12.
        CHECK(!skin.contains(u"Glow"_s)
            || clock.install(QFINDTESTDATA("../data/e2e/Glow"), u"Skins/Glow"_s));
        CHECK(clock.start());
        const QRect around = clock.window.geometry.adjusted(-4, -4, 4, 4);
        // The clock's own pixels; the desktop's (as a corner shows it) differ: a compositor
        // without a root picture paints it grey.
        const auto clockOnly = [&] {
            QImage image = shot(around);
            const QRgb desktop = image.isNull() ? 0 : image.pixel(0, 0);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, image.pixel(x, y) == desktop ? 0 : image.pixel(x, y));
            return image;
        };
        // On the fading edge, 52.5 pixels left of the disc's centre; and just outside it.
        const QPoint edge(4 + 7, 4 + 60);
        const double alpha = qRound(255 * (56 - 52.5) / 12) / 255.0;
        QImage plain;
        CHECK(qWaitFor([&] {
            const QImage now = clockOnly();
            return std::exchange(plain, now) == now && !now.isNull();
        }));
        if (skin.contains(u"Glow"_s))
            QCOMPARE(plain.pixelColor(edge), green);
        if (half) // the face with its hands from the first frame on
            QCOMPARE_GE(match(shot(clock.window.geometry),
                            QImage(QFINDTESTDATA("../data/e2e/built-in-face-10-10-30.png"))),
                0.99);
        Helper compositor(u"xcompmgr"_s, QDir::temp().filePath(u"xcompmgr"_s));
        QImage composited;
        const auto same = [&] {
            composited = clockOnly();
            if (!skin.contains(u"Glow"_s)) {
                // Heard at once, the compositor blends the soft edge of the built-in dial: the
                // outline never grows, and all but that edge is as it was, or at half opacity
                // half of it over half of the compositor's grey.
                const QRgb grey = shot(around).pixel(0, 0);
                const auto shows = [&](QRgb got, QRgb own) {
                    const auto near = [&](int (*part)(QRgb)) {
                        return qAbs(part(got) - (part(own) + part(grey)) / 2) <= 3;
                    };
                    return got == own || (half && near(qRed) && near(qGreen) && near(qBlue));
                };
                int own = 0, kept = 0;
                for (int i = 0; i < plain.width() * plain.height(); ++i) {
                    const QPoint at(i % plain.width(), i / plain.width());
                    if (composited.size() != plain.size()
                        || (!plain.pixel(at) && composited.pixel(at)))
                        return false;
                    own += plain.pixel(at) != 0;
                    kept += plain.pixel(at) && shows(composited.pixel(at), plain.pixel(at));
                }
                return own > 0 && kept >= own * 0.97;
            }
            const QImage raw = shot(around);
            const QColor desktop = raw.pixelColor(0, 0);
            const QColor blended = raw.pixelColor(edge);
            const auto near = [&](int shown, int own, int behind) {
                return qAbs(shown - (own * alpha + behind * (1 - alpha))) <= 3;
            };
            return near(blended.red(), green.red(), desktop.red())
                && near(blended.green(), green.green(), desktop.green())
                && raw.pixelColor(edge - QPoint(4, 0)) == desktop;
        };
        QTest::qWait(1000); // the compositor's first frames
        QVERIFY2(qWaitFor(same, 8000) && compositor.state() == QProcess::Running,
            qPrintable(u"%1 of the pixels as without"_s.arg(match(composited, plain, 0))));
    }

    void clickThrough_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("wayBack"); // after the click: "again" or "tray"
        const QString off = placed + u"ShowWTT=True\n"_s, on = off + u"ClickThrough=True\n"_s;
        QTest::newRow("off: the clock takes the click") << off << QString();
        QTest::newRow("on: the click reaches the window below; a second start takes clicks back")
            << on << u"again"_s;
        QTest::newRow("on, then the tray's item takes clicks back") << on << u"tray"_s;
    }
    void clickThrough()
    {
        QFETCH(QString, settings);
        QFETCH(QString, wayBack);
        const bool passes = settings.contains(u"ClickThrough=True"_s);
        std::optional<Helper> tray;
        if (wayBack == u"tray"_s) {
            tray.emplace(u"trayer --edge top"_s, QDir::home().filePath(u"trayer"_s));
            QVERIFY2(qWaitFor([&] { return !windows(tray->processId()).isEmpty(); }), "no trayer");
        }
        // xev's window lies under the clock (at 300,200, 100 pixels square).
        const QString events = QDir::temp().filePath(u"xev-below"_s);
        QFile::remove(events);
        Helper below(u"xev -geometry 200x200+250+150 -event button"_s, events);
        CHECK(qWaitFor([] { return !x(u"xdotool search --name ^Event.Tester$"_s).isEmpty(); }));
        Clock clock(settings);
        CHECK(clock.start());
        const quint64 id = clock.window.id;
        const auto clicks = [&] { return readFile(events).count(u"ButtonPress"_s); };
        const auto click = [&] {
            const QPoint centre = e2e::window(id).geometry.center();
            return run(u"xdotool mousemove %1 %2 click 1"_s.arg(centre.x()).arg(centre.y()));
        };
        // The face is cut as ever; only the input shape is empty.
        QVERIFY(x(u"xwininfo -shape -id %1"_s.arg(id))
                    .contains(u"Window shape extents:  100x100+0+0"_s));
        // Told again once the window manager framed the windows: a moment for it.
        const auto passing = [&] {
            const quint64 worldTime = clock.worldTime().id;
            return worldTime && inputRectangles(id) == 0 && inputRectangles(worldTime) == 0;
        };
        CHECK(qWaitFor(passing, passes ? 3000 : 300) == passes
            || fail(u"%1 input rectangles"_s.arg(inputRectangles(id))));
        CHECK(click());
        CHECK(qWaitFor([&] { return clicks() == 1; }, passes ? 3000 : 500) == passes
            || fail(readFile(events)));
        if (wayBack.isEmpty())
            return;
        if (wayBack == u"again"_s) {
            const auto again = clock.startAgain();
            QVERIFY(again->waitForFinished(1000 * startupFactor) && again->exitCode() == 0);
        } else {
            quint64 icon = 0;
            CHECK(qWaitFor([&] { return (icon = trayIconOf(clock, *tray)) != 0; }));
            CHECK(run(u"xdotool mousemove --window %1 4 4 click 3"_s.arg(icon)));
            CHECK(
                qWaitFor([&] { return !menu(clock, icon).isEmpty(); }) && run(u"xdotool key t"_s));
        }
        CHECK(qWaitFor(
            [&] { return inputRectangles(id) > 0 && inputRectangles(clock.worldTime().id) > 0; },
            3000));
        CHECK(click() && qWaitFor([&] { return clicks() == 2; }, 500) == false);
        CHECK(clock.signal(SIGTERM) && clock.closed() && clock.saved(u"ClickThrough=False"_s));
    }

    void oneClockAtATime()
    {
        Clock clock(placed);
        CHECK(clock.start() && clock.key(u"m"_s) && qWaitFor([&] { return !clock.shown(); }));
        // With no tray the way back is said, here in a tool tip: no notification service runs.
        const auto tip = [&] {
            for (const Window& w : windows(clock.pid))
                if (x(u"xprop -id %1 _NET_WM_WINDOW_TYPE"_s.arg(w.id)).contains(u"TOOLTIP"_s))
                    return true;
            return false;
        };
        CHECK(qWaitFor(tip) && clock.output().contains(u"Start Horolan again"_s));
        QTest::qWait(1000); // and stays, though the focus moved on
        CHECK(tip());
        // A second start ends at once and the hidden clock comes forward.
        const auto again = clock.startAgain();
        QVERIFY(again->waitForFinished(1000 * startupFactor) && again->exitCode() == 0);
        CHECK(qWaitFor([&] { return clock.shown(); }));
        // As the launcher's "Options" action asks.
        const auto options = clock.startAgain(u"--options"_s);
        QVERIFY(options->waitForFinished(1000 * startupFactor) && options->exitCode() == 0);
        CHECK(qWaitFor([&] {
            return !x(
                u"xdotool search --onlyvisible --pid %1 --name ^The.Options$"_s.arg(clock.pid))
                        .isEmpty();
        }));
        // The lock of a killed clock keeps no new one from starting.
        CHECK(clock.signal(SIGKILL) && qWaitFor([&] { return !clock.running(); }));
        CHECK(clock.start());
    }

    void trayIcon()
    {
        // trayer holds the tray before the clock starts, at 10:09:58 so that 10:10 writes the tip.
        Helper tray(u"trayer --edge top"_s, QDir::home().filePath(u"trayer"_s));
        QVERIFY2(qWaitFor([&] { return !windows(tray.processId()).isEmpty(); }), "no trayer");
        Clock clock({}, u"2026-12-05 10:09:58"_s);
        quint64 icon = 0;
        CHECK(clock.start() && qWaitFor([&] { return (icon = trayIconOf(clock, tray)) != 0; }));
        const QString tip = u"tray tip: Horolan - 05/12/2026, 10:10"_s;
        QVERIFY2(qWaitFor([&] { return clock.output().contains(tip); }), qPrintable(tip));
        // Hidden by M, it keeps its icon; a double click shows it again, a right click the menu.
        CHECK(clock.key(u"m"_s) && qWaitFor([&] { return !clock.shown(); }) && window(icon).id);
        CHECK(run(u"xdotool mousemove --window %1 4 4 click --repeat 2 --delay 80 1"_s.arg(icon)));
        CHECK(qWaitFor([&] { return clock.shown(); }));
        const QString state = x(u"xprop -id %1 _NET_WM_STATE"_s.arg(clock.window.id));
        QVERIFY2(
            state.contains(u"_SKIP_TASKBAR"_s), qPrintable(state)); // shown again, still off it
        CHECK(run(u"xdotool click 3"_s));
        QVERIFY(qWaitFor([&] { return !menu(clock, icon).isEmpty(); }));
    }
};

QTEST_GUILESS_MAIN(TestE2eWindow)
#include "tst_e2e_window.moc"
