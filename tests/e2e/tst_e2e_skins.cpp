#include "E2eHarness.h"

using namespace e2e;

namespace {

const QString quietTime = u"2026-03-16 10:20:30"_s; // clear of any hour change

QString sample(const QString& skin) // beside the clock program
{
    return QFileInfo(qEnvironmentVariable("HOROLAN_BIN")).absolutePath() + u"/Skins/"_s + skin;
}

QList<QImage> pictures(const QString& folder, const QString& pattern)
{
    QList<QImage> found;
    for (const QFileInfo& file : QDir(folder).entryInfoList({ pattern }, QDir::Files, QDir::Name))
        found << QImage(file.filePath());
    return found;
}

// The share of the picture's pixels that the shot shows within tolerance; -1 when the window is
// cut otherwise than the picture anywhere. Cut are its transparent pixels and, as in every skin
// here, those of the key colour in its top-left corner.
double match(const QImage& shot, const QImage& picture, int tolerance = 4)
{
    int same = 0;
    int own = 0;
    for (int y = 0; y < picture.height() && shot.size() == picture.size(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb want = picture.pixel(x, y);
            const QRgb got = shot.pixel(x, y);
            const bool cut = !qAlpha(want) || want == picture.pixel(0, 0);
            if (cut != (got == XServer::root))
                return -1;
            own += !cut;
            same += !cut && qAbs(qRed(got) - qRed(want)) <= tolerance
                && qAbs(qGreen(got) - qGreen(want)) <= tolerance
                && qAbs(qBlue(got) - qBlue(want)) <= tolerance;
        }
    }
    return own ? double(same) / own : -1;
}

// The picture that the shot shows best, at least by the share given, or -1.
qsizetype shown(const QImage& shot, const QList<QImage>& pictures, double least = 0.8)
{
    qsizetype best = -1;
    why = u"shares of the pictures' pixels:"_s;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const double share = match(shot, pictures[i]);
        why += u" %1"_s.arg(share);
        best = share >= least && (best < 0 || share > match(shot, pictures[best])) ? i : best;
    }
    return best;
}

} // namespace

// Skins on the real clock, compared with their own picture files and with what horolan-skin
// renders.
class TestE2eSkins : public QObject {
    Q_OBJECT

    XServer m_x;

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void skinAtStart_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("pattern"); // the pictures it may show
        QTest::addColumn<QString>("from"); // a user skin's source; empty: a sample skin
        QTest::addColumn<QString>("folder"); // the user skin's
        QTest::addColumn<bool>("render"); // horolan-skin draws it as the clock shows it
        QTest::newRow("Pebbles") << u"Pebbles"_s << u"back*.png"_s << u""_s << u""_s << true;
        QTest::newRow("Hours") << u"Hours"_s << u"back10.png"_s << u""_s << u""_s << true;
        QTest::newRow("Spinner") << u"Spinner"_s << u"Back*.BMP"_s << u""_s << u""_s << false;
        QTest::newRow("Digits") << u"Digits"_s << u"back1.png"_s << u""_s << u""_s << true;
        QTest::newRow("Tyme Slate") << u"Tyme Slate"_s << u"main.bmp"_s << u""_s << u""_s << true;
        // SKIN.INI with CR LF lines, Windows-1252 text and a teal TransColor; Back1.BMP, BACK2.bmp.
        QTest::newRow("made on Windows")
            << u"Wintest"_s << u"back*.bmp"_s << QFINDTESTDATA("../data/winskin") << u"Wintest"_s
            << false;
        // A skin is its folder's name in any letter case, as on Windows.
        QTest::newRow("Skin=hourly, folder Hourly")
            << u"hourly"_s << u"back10.png"_s << sample(u"Hours"_s) << u"Hourly"_s << false;
    }
    void skinAtStart()
    {
        QFETCH(QString, skin);
        QFETCH(QString, pattern);
        QFETCH(QString, from);
        QFETCH(QString, folder);
        QFETCH(bool, render);
        // "--seed clock" makes the random choice as the clock makes it.
        QTemporaryDir out;
        const QString face = out.filePath(u"face.png"_s);
        const QStringList tool { qEnvironmentVariable("HOROLAN_SKIN_TOOL"), u"render"_s,
            u"--time"_s, u"10:10:30"_s, u"--seed"_s, u"clock"_s, u"--out"_s, face, sample(skin) };
        CHECK(!render || run(tool, Env::systemEnvironment()));
        Clock clock(m_x,
            { .settings = u"[Setting]\nSkin="_s + skin,
                .fakeStart = u"2026-12-05 10:10:30"_s,
                .frozen = true });
        const QList<QImage> own = pictures(from.isEmpty() ? sample(skin) : from, pattern);
        const QString user = clock.dataDir() + u"/horolan/Skins/"_s + folder;
        CHECK(!own.isEmpty() && (from.isEmpty() || copyFolder(from, user)) && clock.start());
        QCOMPARE(clock.window.geometry.size(), own.first().size());
        const auto shows = [&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            if (shown(shot, own) < 0)
                return false;
            const double rendered = render ? match(shot, QImage(face), 40) : 1;
            return rendered >= 0.997 || fail(u"%1 of the rendered face"_s.arg(rendered));
        };
        CHECK(QTest::qWaitFor(shows));
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
        QList<QImage> hours;
        for (int h = 0; h <= 12; ++h)
            hours << pictures(sample(u"Hours"_s), u"back%1.png"_s.arg(h));
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Hours\n"_s, .fakeStart = start });
        const auto hour = [&] { return shown(m_x.shot(clock.window.geometry), hours); };
        QElapsedTimer running;
        running.start();
        qsizetype now = -1;
        CHECK(clock.start() && QTest::qWaitFor([&] { return (now = hour()) >= 0; }, 8000));
        if (now == after && running.elapsed() >= 5500)
            QSKIP(qPrintable(u"the clock took %1 ms to show itself"_s.arg(running.elapsed())));
        QCOMPARE(now, before);
        CHECK(QTest::qWaitFor([&] { return (now = hour()) == after; }, 12000));
        // The faked clock starts after this timer: the hour cannot come sooner by it.
        QVERIFY2(running.elapsed() >= 5750, "the picture changed before the hour");
    }

    void animationChangesOutline()
    {
        // Each frame is cut a few pixels otherwise than the others.
        const QList<QImage> frames = pictures(sample(u"Spinner"_s), u"Back*.BMP"_s);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Spinner\n"_s, .fakeStart = quietTime });
        QSet<qsizetype> seen;
        const auto turns = [&] {
            if (const qsizetype frame = shown(m_x.shot(clock.window.geometry), frames, 0);
                frame >= 0)
                seen << frame;
            return seen.size() >= 3;
        };
        CHECK(clock.start());
        QVERIFY2(QTest::qWaitFor(turns, 6000), qPrintable(u"%1 frames seen"_s.arg(seen.size())));
    }

    void bChangesPicture()
    {
        const QList<QImage> pebbles = pictures(sample(u"Pebbles"_s), u"back*.png"_s);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Pebbles\n"_s, .fakeStart = quietTime });
        qsizetype first = -1;
        const auto picture = [&] { return shown(m_x.shot(clock.window.geometry), pebbles); };
        const auto another = [&] { return picture() >= 0 && picture() != first; };
        CHECK(clock.start() && QTest::qWaitFor([&] { return (first = picture()) >= 0; }));
        // One of four at random each time: ten presses keep the first one in a million times.
        bool changed = false;
        for (int press = 0; press < 10 && !changed; ++press)
            changed = clock.key(u"b"_s) && QTest::qWaitFor(another, 800);
        QVERIFY2(changed, qPrintable(u"ten presses of B kept it: "_s + why));
    }
};

QTEST_GUILESS_MAIN(TestE2eSkins)
#include "tst_e2e_skins.moc"
