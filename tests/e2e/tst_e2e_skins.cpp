#include "E2eHarness.h"

using namespace e2e;

const QString samples
    = QFileInfo(qEnvironmentVariable("HOROLAN_BIN")).absolutePath() + u"/Skins/"_s;

// The skin's pictures as they are, without their @2x companions.
static QList<QImage> pictures(const QString& folder)
{
    QList<QImage> found;
    for (const QFileInfo& file : QDir(folder, u"*.png *.bmp"_s).entryInfoList())
        if (!file.completeBaseName().endsWith(u"@2x"_s, Qt::CaseInsensitive))
            found << QImage(file.filePath());
    return found;
}

// The picture that the shot shows best, by a share of 0.8 at least, or -1.
static qsizetype shown(const QImage& shot, const QList<QImage>& pictures)
{
    QList<double> shares;
    for (const QImage& picture : pictures)
        shares << match(shot, picture);
    why = u"shares of the pictures: "_s + QDebug::toString(shares);
    const auto best = std::max_element(shares.begin(), shares.end());
    return best != shares.end() && *best >= 0.8 ? best - shares.begin() : -1;
}

// Skins on the real clock, compared with their pictures and with what horolan-skin renders.
class TestE2eSkins : public QObject {
    Q_OBJECT
    XServer m_x;

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void skinAtStart_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("from"); // a user skin's source; none: a sample skin
        QTest::addColumn<QString>("folder"); // the user skin's
        for (const QString& skin : { u"Pebbles"_s, u"Hours"_s, u"Digits"_s, u"Tyme Slate"_s })
            QTest::newRow(qPrintable(skin)) << skin << QString() << QString();
        // SKIN.INI with CR LF lines, Windows-1252 text and a teal TransColor; Back1.BMP, BACK2.bmp.
        const QString windows = QFINDTESTDATA("../data/winskin");
        QTest::newRow("made on Windows") << u"Wintest"_s << windows << u"Wintest"_s;
        // A skin is its folder's name in any letter case, as on Windows.
        const QString hours = samples + u"Hours"_s;
        QTest::newRow("Skin=hourly, Hourly") << u"hourly"_s << hours << u"Hourly"_s;
    }
    void skinAtStart()
    {
        // One of its pictures, cut exactly, and the render, random as the clock ("--seed clock").
        QFETCH(QString, skin);
        QFETCH(QString, from);
        QFETCH(QString, folder);
        from = from.isEmpty() ? samples + skin : from;
        QTemporaryDir out;
        const QString face = out.filePath(u"face.png"_s);
        CHECK(run(u"\"%1\" render --time 10:10:30 --seed clock --out %2 \"%3\""_s.arg(
            qEnvironmentVariable("HOROLAN_SKIN_TOOL"), face, from)));
        const QList<QImage> own = pictures(from);
        Clock clock(u"[Setting]\nSkin="_s + skin, u"2026-12-05 10:10:30"_s, true);
        CHECK(!own.isEmpty() && (folder.isEmpty() || clock.install(from, u"Skins/"_s + folder))
            && clock.start());
        QCOMPARE(clock.window.geometry.size(), own.first().size());
        const auto shows = [&] {
            const QImage screen = shot(clock.window.geometry);
            const double rendered = match(screen, QImage(face), 40);
            return (shown(screen, own) >= 0 && rendered >= 0.997)
                || fail(why + u"; %1 of the render"_s.arg(rendered));
        };
        CHECK(qWaitFor(shows));
    }

    // Under QT_SCALE_FACTOR the window keeps its logical size, its outline is traced at the
    // screen's pixels from the @2x pictures, and what it shows is what horolan-skin renders.
    void highDpi_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::newRow("200%") << 2.0;
        QTest::newRow("150%") << 1.5;
    }
    void highDpi()
    {
        QFETCH(double, ratio);
        QTemporaryDir out;
        const QString face = out.filePath(u"face.png"_s);
        CHECK(run(u"\"%1\" render --time 10:10:30 --scale %2 --out %3 \"%4Hours\""_s.arg(
            qEnvironmentVariable("HOROLAN_SKIN_TOOL"), QString::number(ratio), face, samples)));
        Clock clock(u"[Setting]\nLeft=4500\nTop=3000\nSkin=Hours\nShowWTT=True"_s,
            u"2026-12-05 10:10:30"_s, true, u"QT_SCALE_FACTOR=%1 "_s.arg(ratio));
        // The clock's window and the world time window's, by their titles, once both are shown.
        Window dial, panel;
        const auto named = [&] {
            for (const Window& w : windows(clock.pid)) {
                const QString title = x(u"xprop -id %1 WM_NAME"_s.arg(w.id));
                dial = title.endsWith(u"\"Horolan\""_s) ? w : dial;
                panel = title.contains(u"World Time"_s) ? w : panel;
            }
            return dial.id && panel.id;
        };
        CHECK(clock.start() && qWaitFor(named));
        const int side = int(160 * ratio);
        QCOMPARE(dial.geometry.size(), QSize(side, side));
        QImage screen;
        const auto shows = [&] {
            screen = shot(dial.geometry);
            const double share = match(screen, QImage(face), 40);
            return share >= 0.997 || fail(u"%1 of the render"_s.arg(share));
        };
        CHECK(qWaitFor(shows));
        if (!qEnvironmentVariableIsEmpty("HOROLAN_E2E_SHOTS"))
            screen.save(qEnvironmentVariable("HOROLAN_E2E_SHOTS") + u"/hours-%1.png"_s.arg(ratio));
        // One-pixel steps: near the top, where the circle falls steeply, every row begins at
        // another column than the row above; a logical outline scaled up repeats rows.
        QList<int> left;
        for (int y = 0; y < side; ++y) {
            int x = 0;
            while (x < side / 2 && screen.pixel(x, y) == rootColour)
                ++x;
            if (x < side / 2)
                left << x;
        }
        QVERIFY(left.size() > 12);
        for (int i = 1; i < 12; ++i)
            QVERIFY2(left[i] < left[i - 1], qPrintable(QDebug::toString(left.mid(0, 12))));
        // Sharp ticks: across the tick at three o'clock (2.6 pixels wide, at 80, from 61 to 70.5
        // right of the centre) the sky turns to the tick's colour within 2 device pixels.
        const int column = int(146 * ratio);
        const QColor sky = screen.pixelColor(column, int(72 * ratio));
        const QColor tick = screen.pixelColor(column, int(80 * ratio));
        int between = 0;
        for (int y = int(74 * ratio); y <= int(80 * ratio); ++y) {
            const double t = double(screen.pixelColor(column, y).lightness() - sky.lightness())
                / (tick.lightness() - sky.lightness());
            between += t > 0.15 && t < 0.85;
        }
        QVERIFY2(tick.lightness() - sky.lightness() > 60 && between <= 2,
            qPrintable(
                u"sky %1, tick %2, %3 rows between"_s.arg(sky.name(), tick.name()).arg(between)));
        // The world time window too: one of its panel's @2x pictures, cut at the screen's pixels.
        const QList<QImage> panels { QImage(samples + u"Hours/WTTdusk@2x.png"_s),
            QImage(samples + u"Hours/WTTnight@2x.png"_s) };
        QCOMPARE(panel.geometry.size(), QSize(int(110 * ratio), int(150 * ratio)));
        if (ratio == 2)
            CHECK(qWaitFor([&] { return shown(shot(panel.geometry), panels) >= 0; }));
    }

    void hourChange_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("at seven") << u"2026-03-16 06:59:54"_s << 6 << 7;
        // The tick asks for hour 0 at midnight, where the start at 23:59 chose hour 11.
        QTest::newRow("at midnight") << u"2026-03-16 23:59:54"_s << 11 << 0;
    }
    void hourChange()
    {
        QFETCH(QString, start);
        QFETCH(int, before);
        QFETCH(int, after);
        QList<QImage> hours; // by hour
        for (int h = 0; h <= 12; ++h)
            hours << QImage(samples + u"Hours/back%1.png"_s.arg(h));
        Clock clock(u"[Setting]\nSkin=Hours\n"_s, start);
        const auto hour = [&] { return shown(shot(clock.window.geometry), hours); };
        QElapsedTimer running;
        running.start();
        qsizetype now = -1;
        CHECK(clock.start() && qWaitFor([&] { return (now = hour()) >= 0; }, 8000));
        if (now == after && running.elapsed() >= 5500)
            QSKIP(qPrintable(u"the clock took %1 ms to show itself"_s.arg(running.elapsed())));
        QCOMPARE(now, before);
        CHECK(qWaitFor([&] { return (now = hour()) == after; }, 12000));
        // The faked clock starts after this timer: the hour cannot come sooner by it.
        QVERIFY2(running.elapsed() >= 5750, "the picture changed before the hour");
    }

    void pictureChanges_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("key"); // pressed again and again; none: it changes by itself
        QTest::addColumn<int>("count"); // of the pictures it must show
        // Each of Spinner's frames is cut a few pixels otherwise than the others.
        QTest::newRow("Spinner turns") << u"Spinner"_s << QString() << 3;
        // One of four at random each time: ten presses keep the first one in a million times.
        QTest::newRow("B on Pebbles") << u"Pebbles"_s << u"b"_s << 2;
    }
    void pictureChanges()
    {
        QFETCH(QString, skin);
        QFETCH(QString, key);
        QFETCH(int, count);
        const QList<QImage> all = pictures(samples + skin);
        Clock clock(u"[Setting]\nSkin="_s + skin, u"2026-03-16 10:20:30"_s);
        QSet<qsizetype> seen;
        const auto another = [&] {
            const qsizetype before = seen.size();
            if (const qsizetype picture = shown(shot(clock.window.geometry), all); picture >= 0)
                seen << picture;
            return seen.size() > before;
        };
        CHECK(clock.start() && qWaitFor(another));
        for (int round = 0; round < 10 && seen.size() < count; ++round) {
            CHECK(key.isEmpty() || clock.key(key));
            (void)qWaitFor(another, 800);
        }
        QCOMPARE_GE(seen.size(), count);
    }

    // A skin's archive handed to the running clock, or dropped on it from another program, is
    // installed and shown: the clock takes its picture and outline, and keeps it.
    void installed_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("horolan FILE") << false;
        QTest::newRow("an XDND drop") << true;
    }
    void installed()
    {
        QFETCH(bool, dropped);
        // Hours under a name of its own, a level down beside a readme.
        QTemporaryDir out;
        const QString zip = out.filePath(u"Bells.zip"_s);
        CHECK(run(u"cp -r \"%1Hours\" %2/Bells"_s.arg(samples, out.path()))
            && run(
                u"sh -c \"cd %1 && touch readme.txt && zip -qr Bells.zip Bells readme.txt\""_s.arg(
                    out.path())));
        Clock clock(u"[Setting]\nLeft=3000\nTop=3000"_s, u"2026-12-05 10:10:30"_s, true);
        CHECK(clock.start());
        QCOMPARE(clock.window.geometry.size(), QSize(100, 100));
        std::unique_ptr<Helper> other;
        if (dropped) {
            other = std::make_unique<Helper>(
                u"env QT_QPA_PLATFORM=xcb " HOROLAN_DRAG_SOURCE " "_s + zip,
                out.filePath(u"drag"_s));
            QList<Window> source;
            CHECK(qWaitFor([&] { return !(source = windows(other->processId())).isEmpty(); }));
            CHECK(drag(
                source.first().geometry.center(), clock.window.geometry.center(), false, 10, 0.05));
        } else {
            other = clock.startAgain(zip);
        }
        const QList<QImage> own = pictures(samples + u"Hours"_s);
        const auto shows = [&] {
            const Window now = e2e::window(clock.window.id);
            return (now.geometry.size() == own.first().size()
                       && shown(shot(now.geometry), own) >= 0)
                || fail(why + u"; the window is "_s + QDebug::toString(now.geometry));
        };
        CHECK(qWaitFor(shows, 10000));
        QVERIFY(clock.output().contains(u"installed \"Bells\" as a skin"_s));
        CHECK(qWaitFor([&] { return clock.saved(u"Skin=Bells"_s); }));
    }
};

QTEST_GUILESS_MAIN(TestE2eSkins)
#include "tst_e2e_skins.moc"
