#include "E2eHarness.h"

#include <algorithm>
#include <cmath>

using namespace e2e;

namespace {

constexpr QRgb day = qRgb(0, 255, 0), night = qRgb(255, 40, 40);
constexpr QRgb sky = qRgb(0, 0, 64), key = qRgb(255, 0, 255);
const QRect box(10, 20, 80, 90); // the skin's, in the window

// The skin "Atlas": its own WTT picture, a dark sky cut to a key-coloured top-left corner, and
// dial colours found nowhere else.
bool makeSkin(const QString& folder)
{
    QImage picture(100, 130, QImage::Format_RGB32);
    picture.fill(sky);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12 - y; ++x)
            picture.setPixel(x, y, key);
    QFile ini(folder + u"/Skin.ini"_s);
    return QDir().mkpath(folder) && picture.save(folder + u"/WTT1.png"_s)
        && ini.open(QIODevice::WriteOnly)
        && ini.write("[setting]\r\ntranscolor=255000255\r\n[wtt]\r\nboxpos=10,20,80,90\r\n"
                     "areacolor=255255000\r\ntimecolor=000255000\r\ntimenightcolor=255040040\r\n");
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) < 200;
}

// The hour (1 to 11) the hour hand of the dial at centre points to, by the hand's colour along
// each hour's ray; twelve is left out, where the minute hand of a full hour stands.
int hourHand(const QImage& shot, QPointF centre, QRgb ink)
{
    int best = 0, bestCount = 0;
    for (int hour = 1; hour <= 11; ++hour) {
        const double a = hour * M_PI / 6;
        int count = 0;
        for (double r = 2; r <= 5.5; r += 0.5)
            count += near(
                shot.pixel((centre + QPointF(std::sin(a), -std::cos(a)) * r).toPoint()), ink);
        if (count > bestCount)
            best = hour, bestCount = count;
    }
    return best;
}

} // namespace

// The world time window of the real clock on openbox: its dials, keys, picture and place.
class TestE2eWorldTime : public QObject {
    Q_OBJECT
    XServer m_x;

private slots:
    void initTestCase()
    {
        CHECK(m_x.start());
        qputenv("TZ", "America/New_York");
    }

    void dialsAndPlace()
    {
        // Noon in New York in July: 16:00 universal time, 17:00 in London.
        Clock clock(u"[Setting]\nSkin=Atlas\nShowWTT=True\n[WTT]\nScroll=False\nCount=2\n"
                    "Item1=+000GMT\nItem2=+000London\nZone2=Europe/London\nLeft=6000\nTop=3000\n"_s,
            u"2026-07-15 12:00:00"_s, true);
        const QString skin = QDir::home().filePath(u"Atlas"_s);
        CHECK(makeSkin(skin) && clock.install(skin, u"Skins/Atlas"_s) && clock.start());
        Window w;
        CHECK(qWaitFor(
            [&] { return (w = clock.worldTime()).geometry == QRect(400, 200, 100, 130); }));
        QVERIFY(x(u"xwininfo -shape -id %1"_s.arg(w.id)).contains(u"Window shape extents"_s));
        const QImage seen = shot(w.geometry);
        // The skin's picture, cut at its corner; the dials and names cover a little of it.
        QImage picture(skin + u"/WTT1.png"_s);
        const double share = match(seen, picture.convertToFormat(QImage::Format_RGB32), 4);
        QVERIFY2(share > 0.8, qPrintable(QString::number(share)));
        // Dial centres: 110 twips from the box's left and top, 250 twips apart.
        const QPointF first = QPointF(box.topLeft()) + QPointF(110, 110) / 15.0;
        QCOMPARE(hourHand(seen, first, night), 4);
        QCOMPARE(hourHand(seen, first + QPointF(0, 250 / 15.0), night), 5);
        seen.save(QDir::home().filePath(u"dials.png"_s));

        // Closed and started again: open, in its place (the drag rows are the window tests').
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(u"ShowWTT=True"_s)
            && clock.start()
            && qWaitFor([&] { return clock.worldTime().geometry.topLeft() == QPoint(400, 200); }));

        // The options' WTT page, out of the way: Enter with no zone adds nothing; "-12:00" (04:00,
        // a day dial) and a name added show at once and are saved; Del removes the row again.
        quint64 options = 0;
        CHECK(clock.key(u"ctrl+o"_s) && qWaitFor([&] {
            return options
                = x(u"xdotool search --all --onlyvisible --pid %1 --name ^The.Options"_s.arg(
                        clock.pid))
                      .section(u'\n', 0, 0)
                      .toULongLong();
        }));
        const auto keys = [&](const QString& typed) {
            return run(u"xdotool windowmove --sync %1 600 400 windowactivate --sync %1 "
                       "windowfocus --sync %1 key --delay 30 %2 sleep 0.7"_s.arg(options)
                           .arg(typed))
                .has_value();
        };
        const auto dayDial = [&] {
            const QImage now = shot(clock.worldTime().geometry);
            const auto* pixels = reinterpret_cast<const QRgb*>(now.constBits());
            return std::any_of(pixels, pixels + now.width() * now.height(),
                [](QRgb pixel) { return near(pixel, day); });
        };
        // Escape closes the selector's list, not the window.
        CHECK(keys(u"Left Tab alt+Down Escape Return"_s) && !dayDial() && window(options).id);
        CHECK(keys(u"minus Tab H o m e Return"_s) && qWaitFor(dayDial, 1000)
            && qWaitFor([&] { return clock.saved(u"Item3=-720Home"_s); }, 8000));
        CHECK(keys(u"Tab End Delete"_s) && qWaitFor([&] { return !dayDial(); }, 1000)
            && qWaitFor([&] { return !clock.settings().contains(u"Item3"_s); }, 8000));
        // Out of the editor (Tab wraps round to the page area) Enter closes the window again.
        CHECK(keys(u"Tab Return"_s) && qWaitFor([&] { return !window(options).id; }));
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(u"Count=2"_s));
    }

    void keys()
    {
        // Built-in skin: W opens it with the message of an empty table; T on it closes it.
        Clock clock(u"[Setting]\nLeft=4500\nTop=3000\n[WTT]\nLeft=7500\nTop=3000\n"_s);
        CHECK(clock.start());
        QVERIFY(!clock.worldTime().id);
        CHECK(clock.key(u"w"_s));
        Window w;
        CHECK(qWaitFor([&] { return (w = clock.worldTime()).id; }));
        const QImage empty = shot(w.geometry);
        empty.save(QDir::home().filePath(u"empty.png"_s));
        int text = 0; // the message's pixels, in the built-in area colour (200, 200, 200)
        for (int y = 17; y < 17 + 40; ++y)
            for (int x0 = 3; x0 < 60; ++x0)
                text += qAbs(qRed(empty.pixel(x0, y)) - 200) < 30
                    && qAbs(qBlue(empty.pixel(x0, y)) - 200) < 30;
        QVERIFY2(text > 40, qPrintable(QString::number(text)));
        const auto focusWorldTime = [&] {
            return run(u"xdotool windowactivate --sync %1 windowfocus --sync %1"_s.arg(w.id))
                .has_value();
        };
        CHECK(focusWorldTime() && run(u"xdotool key t"_s)
            && qWaitFor([&] { return !clock.worldTime().id; }));
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(u"ShowWTT=False"_s));
    }

    void scrollStops()
    {
        Clock clock(
            u"[Setting]\nShowWTT=True\n[WTT]\nCount=3\nItem1=+000A\nItem2=+060B\nItem3=+120C\n"
            "Left=7500\nTop=3000\n"_s);
        CHECK(clock.start());
        Window w;
        CHECK(qWaitFor([&] { return (w = clock.worldTime()).id; }));
        const auto still = [&] {
            const QImage a = shot(w.geometry);
            QTest::qWait(1000);
            return a == shot(w.geometry);
        };
        QVERIFY(!still()); // scrolling
        CHECK(run(u"xdotool windowactivate --sync %1 windowfocus --sync %1 key s"_s.arg(w.id)));
        QTest::qWait(300);
        QVERIFY(still());
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed() && clock.saved(u"Scroll=False"_s));
    }
};

QTEST_GUILESS_MAIN(TestE2eWorldTime)
#include "tst_e2e_worldtime.moc"
