#include "E2eHarness.h"

using namespace e2e;

// The options window on the real clock, driven by keys and the mouse as a user does.
class TestE2eOptions : public QObject {
    Q_OBJECT
    XServer m_x;

    static Window options(const Clock& clock)
    {
        const QString id
            = x(u"xdotool search --all --onlyvisible --pid %1 --name \"^The Options\""_s.arg(
                clock.pid));
        return id.isEmpty() ? Window {} : window(id.section(u'\n', 0, 0).toULongLong());
    }
    static bool keys(const Window& w, const QString& keys)
    {
        const bool sent = run(u"xdotool windowactivate --sync %1 windowfocus --sync %1 key "
                              "--delay 30 %2"_s.arg(w.id)
                                  .arg(keys))
                              .has_value();
        QTest::qWait(600); // the pages slide
        return sent;
    }
    static bool above(quint64 id)
    {
        return x(u"xprop -id %1 _NET_WM_STATE"_s.arg(id)).contains(u"_ABOVE"_s);
    }
    // The centre of the slider's knob: the only near-black pixels at the page's right edge.
    static QPoint knob(const Window& w)
    {
        const QImage picture = shot(w.geometry);
        QPoint sum;
        int count = 0;
        for (int y = 30; y < picture.height() - 40; ++y) {
            for (int x = picture.width() - 45; x < picture.width(); ++x) {
                const QRgb pixel = picture.pixel(x, y);
                if (qRed(pixel) < 70 && qGreen(pixel) < 70 && qBlue(pixel) < 70)
                    sum += QPoint(x, y), ++count;
            }
        }
        return count ? w.geometry.topLeft() + sum / count : QPoint();
    }

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void changesTakeEffectAndAreKept()
    {
        Clock clock(u"[Setting]\nLeft=4500\nTop=3000\nontop=True\nUseChimes=True\nSpeed=88\n"_s);
        CHECK(clock.start());
        const QString shape = x(u"xwininfo -shape -id %1"_s.arg(clock.window.id));
        const QSize size = clock.window.geometry.size();

        // Ctrl+O opens it; a second Ctrl+O brings the same one forward.
        CHECK(clock.key(u"ctrl+o"_s));
        QVERIFY(qWaitFor([&] { return options(clock).id; }, 5000));
        const Window first = options(clock);
        CHECK(clock.key(u"ctrl+o"_s));
        QTest::qWait(500);
        QCOMPARE(options(clock).id, first.id);
        QVERIFY(above(first.id));

        // Right: the skin page; Tab to its list, Down picks the next skin: the clock takes it.
        CHECK(keys(first, u"Right Tab Down"_s));
        const auto changed = [&] {
            const Window now = window(clock.window.id);
            return (now.geometry.size() != size
                       && x(u"xwininfo -shape -id %1"_s.arg(clock.window.id)) != shape)
                || fail(QDebug::toString(now.geometry));
        };
        CHECK(qWaitFor(changed, 3000));

        // Back to the page (the list keeps the arrows), to the chimes page, past the list and
        // "Install..." ("Remove" is off for a pack that came with the clock) to its first box.
        CHECK(keys(first, u"shift+Tab Right"_s) && keys(first, u"Tab Tab Tab space"_s));
        CHECK(qWaitFor([&] { return clock.saved(u"UseChimes=False"_s); }, 8000));

        // Escape closes; opened again no page shows, Left Left reach "Freaks".
        CHECK(keys(first, u"Escape"_s));
        QVERIFY(qWaitFor([&] { return !options(clock).id; }, 3000));
        CHECK(clock.key(u"ctrl+o"_s));
        QVERIFY(qWaitFor([&] { return options(clock).id; }, 5000));
        const Window again = options(clock);
        CHECK(keys(again, u"Left Left"_s) && keys(again, u"Tab space"_s));
        CHECK(qWaitFor([&] { return clock.saved(u"ontop=False"_s); }, 8000));
        QVERIFY(qWaitFor([&] { return !above(again.id) && !above(clock.window.id); }, 3000));
        // Two boxes on, "Start at login": a valid autostart entry starting this clock.
        CHECK(keys(again, u"Tab Tab space"_s));
        const QString entry = clock.home() + u"/.config/autostart/org.horolan.Horolan.desktop"_s;
        CHECK(run(u"desktop-file-validate "_s + entry));
        QVERIFY(readFile(entry).contains(u"\nExec="_s + qEnvironmentVariable("HOROLAN_BIN")));
        CHECK(keys(again, u"space"_s) && !QFile::exists(entry));

        QVERIFY(options(clock).id); // the options window stays open
        // The knob dragged past the top of its slot: Speed 100.
        const QPoint at = knob(again);
        QVERIFY(!at.isNull());
        CHECK(drag(at, at - QPoint(0, 200)));
        CHECK(qWaitFor([&] { return clock.saved(u"Speed=100"_s); }, 8000));

        // A click on the page takes the focus from the slider; closed and opened again, the
        // page looks the same.
        const QPoint page = again.geometry.bottomLeft() + QPoint(20, -45);
        CHECK(run(u"xdotool mousemove %1 %2 click 1"_s.arg(page.x()).arg(page.y())));
        QTest::qWait(300);
        const QImage before = shot(again.geometry);
        CHECK(keys(again, u"Escape"_s));
        CHECK(clock.key(u"ctrl+o"_s));
        QVERIFY(qWaitFor([&] { return options(clock).id; }, 5000));
        CHECK(keys(options(clock), u"Left Left"_s));
        QCOMPARE(options(clock).geometry, again.geometry);
        QCOMPARE(shot(again.geometry), before);
        // The slides are over: nothing runs on at the screen's rate, the clock ticks on alone.
        const double wakeups = wakeupsPerSecond(clock.pid, 3000);
        qInfo() << wakeups << "wakeups a second after the slides";
        QVERIFY2(wakeups <= 3, qPrintable(u"%1 wakeups a second"_s.arg(wakeups)));
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(u"UseChimes=False"_s));
    }
};

QTEST_GUILESS_MAIN(TestE2eOptions)
#include "tst_e2e_options.moc"
