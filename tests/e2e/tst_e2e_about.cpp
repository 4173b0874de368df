#include "E2eHarness.h"

using namespace e2e;

// The About window of the real clock on openbox, opened with F1; the clock sits in the top left
// corner, clear of the About window in the middle of the screen.
class TestE2eAbout : public QObject {
    Q_OBJECT
    XServer m_x;

    static QString speed(int value) { return u"[Setting]\nLeft=0\nTop=0\nSpeed=%1\n"_s.arg(value); }
    static bool open(const Clock& clock, Window& about)
    {
        const auto shown = [&] {
            about = {};
            for (const Window& w : windows(clock.pid))
                about = w.id != clock.window.id && !w.overrideRedirect ? w : about;
            return about.id != 0;
        };
        return (clock.key(u"F1"_s) && qWaitFor(shown)) || fail(u"no About window"_s);
    }
    // Where the log says the tab is, on the screen.
    static bool click(const Clock& clock, const Window& about, const QString& tab)
    {
        const auto at = QRegularExpression(u"about tab \"%1\" at (\\d+),(\\d+)"_s.arg(tab))
                            .match(clock.output());
        const QPoint p
            = about.geometry.topLeft() + QPoint(at.captured(1).toInt(), at.captured(2).toInt());
        return (at.hasMatch() || fail(u"no place for "_s + tab))
            && run(u"xdotool mousemove %1 %2 click 1"_s.arg(p.x()).arg(p.y()));
    }
    static bool still(const Window& about, int ms = 400)
    {
        const QImage before = shot(about.geometry);
        QTest::qWait(ms);
        return before == shot(about.geometry);
    }

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void pages()
    {
        Clock clock(speed(0));
        Window about;
        CHECK(clock.start() && open(clock, about));
        QCOMPARE(x(u"xdotool getwindowname %1"_s.arg(about.id)), u"About Horolan"_s);
        // An ellipse: the desktop shows in the corners, not at the middle of the edges.
        QVERIFY(x(u"xwininfo -shape -id %1"_s.arg(about.id)).contains(u"Window shape extents"_s));
        const QImage horolan = shot(about.geometry);
        const QRect r = horolan.rect();
        for (const QPoint corner : { r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight() })
            QCOMPARE(horolan.pixel(corner), rootColour);
        for (const QPoint edge : { QPoint(r.center().x(), 4), QPoint(4, r.center().y()) })
            QVERIFY(horolan.pixel(edge) != rootColour);
        // The toy clock runs while "Horolan" is current, stands still under a page.
        QVERIFY(!still(about));
        CHECK(click(clock, about, u"Read Me"_s));
        QVERIFY(still(about));
        QVERIFY(shot(about.geometry) != horolan);
        // Its second sub-page button, right of the heading: another text; a second click, none.
        const QPoint readMeToo = about.geometry.topLeft() + QPoint(399, 169);
        // The pointer leaves at once, before a tool tip shows.
        const QString press
            = u"xdotool mousemove %1 %2 click 1 mousemove 1010 10"_s.arg(readMeToo.x())
                  .arg(readMeToo.y());
        QImage before = shot(about.geometry);
        CHECK(run(press) && qWaitFor([&] { return shot(about.geometry) != before; }));
        before = shot(about.geometry);
        CHECK(run(press));
        QVERIFY(still(about) && shot(about.geometry) == before);
        CHECK(click(clock, about, u"Horolan"_s));
        QVERIFY(!still(about));
        // Left and Right step through the tabs: Left to "About Skin", Right back to "Horolan".
        const QString key = u"xdotool windowactivate --sync %1 windowfocus --sync %1 key "_s;
        CHECK(run(key.arg(about.id) + u"Left"_s));
        QVERIFY(still(about));
        CHECK(run(key.arg(about.id) + u"Right"_s));
        QVERIFY(!still(about));
        // The clock ticks on behind it all along.
        CHECK(clock.running() && clock.shown());
    }

    void slide_data()
    {
        QTest::addColumn<int>("speedSetting");
        QTest::addColumn<bool>("slides");
        QTest::newRow("Speed 88") << 88 << true;
        QTest::newRow("Speed 0") << 0 << false;
    }
    void slide()
    {
        QFETCH(int, speedSetting);
        QFETCH(bool, slides);
        Clock clock(speed(speedSetting));
        Window about;
        CHECK(clock.start() && open(clock, about) && click(clock, about, u"Read Me"_s));
        QTest::qWait(1500);
        // From one page to another: the shown page goes down and the next comes up.
        CHECK(click(clock, about, u"Hot Keys"_s));
        const QImage during = shot(about.geometry);
        QTest::qWait(1500);
        QCOMPARE(during != shot(about.geometry), slides);
    }

    void closing_data()
    {
        QTest::addColumn<QString>("keys"); // none: a click on "Done"
        QTest::newRow("Done") << QString();
        QTest::newRow("Escape") << u"Escape"_s;
        QTest::newRow("q") << u"q"_s;
        QTest::newRow("shift+x") << u"shift+x"_s;
        QTest::newRow("alt+F4") << u"alt+F4"_s; // openbox's request to close
    }
    void closing()
    {
        QFETCH(QString, keys);
        Clock clock(speed(88));
        Window about;
        CHECK(clock.start() && open(clock, about));
        const QString key = u"xdotool windowactivate --sync %1 windowfocus --sync %1 key "_s;
        CHECK(keys.isEmpty() ? click(clock, about, u"Done"_s)
                             : run(key.arg(about.id) + keys).has_value());
        QVERIFY(qWaitFor([&] { return !window(about.id).id; }));
        // Only the About window: the clock runs on, and F1 opens it again.
        CHECK(clock.running() && clock.shown() && open(clock, about));
    }
};

QTEST_GUILESS_MAIN(TestE2eAbout)
#include "tst_e2e_about.moc"
