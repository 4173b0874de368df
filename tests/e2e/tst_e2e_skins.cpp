#include "E2eHarness.h"

#include <QRegion>

using namespace e2e;

namespace {

constexpr QRgb magenta = qRgb(255, 0, 255);
constexpr QRgb green = qRgb(0, 255, 0);
// Clear of any hour change while a row runs.
const QString quietTime = u"2026-03-16 10:20:30"_s;

QString sample(const QString& skin) // the sample skins beside the clock program
{
    return QFileInfo(qEnvironmentVariable("HOROLAN_BIN")).absolutePath() + u"/Skins/"_s + skin;
}

struct Picture {
    QString name;
    QImage image;
};

QList<Picture> pictures(const QString& folder, const QString& pattern)
{
    QList<Picture> found;
    for (const QFileInfo& file : QDir(folder).entryInfoList({ pattern }, QDir::Files, QDir::Name))
        found.append(
            { file.fileName(), QImage(file.filePath()).convertToFormat(QImage::Format_RGB32) });
    return found;
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Pixels where the window's cut differs from the picture's key: none when cut exactly to it.
int outlineMismatch(const QImage& shot, const QImage& picture, QRgb key)
{
    int wrong = shot.size() == picture.size() ? 0 : picture.width() * picture.height();
    for (int y = 0; y < picture.height() && !wrong; ++y) {
        for (int x = 0; x < picture.width(); ++x)
            wrong += (picture.pixel(x, y) == key) != (shot.pixel(x, y) == XServer::root) ? 1 : 0;
    }
    return wrong;
}

// The candidate that most of its own pixels (outside skip) on the screen match, and that share.
std::pair<qsizetype, double> bestMatch(
    const QImage& shot, const QList<Picture>& candidates, QRgb key, const QRegion& skip = {})
{
    std::pair<qsizetype, double> best { -1, 0 };
    lastError = u"shares of the pictures' own pixels on the screen:"_s;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const QImage& picture = candidates[i].image;
        int own = 0;
        int same = 0;
        for (int y = 0; y < picture.height() && shot.size() == picture.size(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const bool counted = picture.pixel(x, y) != key && !skip.contains(QPoint(x, y));
                own += counted ? 1 : 0;
                same += counted && near(shot.pixel(x, y), picture.pixel(x, y), 4) ? 1 : 0;
            }
        }
        const double share = own ? double(same) / own : 0;
        lastError += u" %1 %2"_s.arg(candidates[i].name).arg(share, 0, 'f', 3);
        best = share > best.second ? std::pair(i, share) : best;
    }
    return best;
}

} // namespace

// Skins on the real clock, compared with the skins' own picture files and with what
// horolan-skin renders.
class TestE2eSkins : public QObject {
    Q_OBJECT

    XServer m_x;

    // The clock on this skin, installed first from a folder if one is given, has its picture's
    // size and shows one of the pictures, cut exactly to its outline.
    void showsSkin(const QString& skin, const QList<Picture>& candidates, QRgb key,
        const QString& from = {}, const QString& folder = {})
    {
        Clock clock(m_x, { .settings = u"[Setting]\nSkin="_s + skin, .fakeStart = quietTime });
        CHECK(!candidates.isEmpty()
            && (from.isEmpty()
                || copyFolder(from, clock.dataDir() + u"/horolan/Skins/"_s + folder)));
        CHECK(clock.start());
        QCOMPARE(clock.window.geometry.size(), candidates.first().image.size());
        CHECK(waitUntil([&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            const auto [index, share] = bestMatch(shot, candidates, key);
            const int wrong = index < 0 ? -1 : outlineMismatch(shot, candidates[index].image, key);
            lastError += u"; %1 pixels cut otherwise than the key"_s.arg(wrong);
            return share >= 0.8 && wrong == 0;
        }));
    }

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void skinAtStart_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("pattern"); // the pictures it may show
        QTest::addColumn<QRgb>("key");
        QTest::addColumn<QString>("from"); // a user skin's source; empty: a sample skin
        QTest::newRow("Pebbles, random") << u"Pebbles"_s << u"back*.png"_s << magenta << QString();
        QTest::newRow("Hours, green key, hour 10")
            << u"Hours"_s << u"back10.png"_s << green << QString();
        QTest::newRow("Spinner, animated")
            << u"Spinner"_s << u"Back*.BMP"_s << magenta << QString();
        QTest::newRow("Digits, rotated texts")
            << u"Digits"_s << u"back1.png"_s << magenta << QString();
        QTest::newRow("Tyme Slate, Tyme layout")
            << u"Tyme Slate"_s << u"main.bmp"_s << magenta << QString();
        // SKIN.INI with CR LF lines, Windows-1252 text and a teal TransColor; Back1.BMP, BACK2.bmp.
        QTest::newRow("made on Windows, in the user's folder")
            << u"Wintest"_s << u"back*.bmp"_s << qRgb(0, 128, 128)
            << QFINDTESTDATA("../data/winskin");
    }
    void skinAtStart()
    {
        QFETCH(QString, skin);
        QFETCH(QString, pattern);
        QFETCH(QRgb, key);
        QFETCH(QString, from);
        showsSkin(skin, pictures(from.isEmpty() ? sample(skin) : from, pattern), key, from, skin);
    }

    void skinNameInAnotherCase()
    {
        // A skin is its folder's name in any letter case, as on Windows.
        showsSkin(u"hourly"_s, pictures(sample(u"Hours"_s), u"back10.png"_s), green,
            sample(u"Hours"_s), u"Hourly"_s);
    }

    void missingSkinIsBuiltIn()
    {
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Gone Away\n"_s, .fakeStart = quietTime });
        CHECK(clock.start());
        QCOMPARE(clock.window.geometry.size(), QSize(100, 100));
        QVERIFY2(waitUntil([&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            const auto root = [&](int x, int y) { return shot.pixel(x, y) == XServer::root; };
            return root(1, 1) && root(98, 1) && root(1, 98) && root(98, 98) && !root(50, 3)
                && !root(50, 50);
        }),
            "not the round built-in face");
        CHECK(clock.key(u"ctrl+q"_s) && clock.closed());
        QVERIFY(clock.saved(u"Skin=Gone Away"_s));
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
        QList<Picture> hours;
        for (int h = 0; h <= 12; ++h)
            hours << pictures(sample(u"Hours"_s), u"back%1.png"_s.arg(h));
        QCOMPARE(hours.size(), 13);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Hours\n"_s, .fakeStart = start });
        // The hands sweep the middle; the rest of the dial, its rim and most of the hour's
        // digit tell the hours apart.
        const auto shown = [&] {
            const auto [index, share] = bestMatch(m_x.shot(clock.window.geometry), hours, green,
                QRegion(20, 20, 120, 120, QRegion::Ellipse));
            return share >= 0.97 ? int(index) : -1;
        };
        QElapsedTimer running;
        running.start();
        CHECK(clock.start());
        int now = -1;
        CHECK(waitUntil([&] { return (now = shown()) >= 0; }, 8000, 100));
        if (now == after && running.elapsed() >= 5500)
            QSKIP(qPrintable(
                u"the clock took %1 ms to show itself, until the hour"_s.arg(running.elapsed())));
        QCOMPARE(now, before);
        CHECK(waitUntil([&] { return (now = shown()) == after; }, 12000, 100));
        // The faked clock starts after this timer: the hour cannot come sooner by it.
        QVERIFY2(
            running.elapsed() >= 5750, qPrintable(u"changed after %1 ms"_s.arg(running.elapsed())));
    }

    void animationChangesOutline()
    {
        const QList<Picture> frames = pictures(sample(u"Spinner"_s), u"Back*.BMP"_s);
        QCOMPARE(frames.size(), 10);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Spinner\n"_s, .fakeStart = quietTime });
        CHECK(clock.start());
        // The window is cut to one frame after another, each a few pixels off the others.
        QSet<qsizetype> seen;
        const auto turns = [&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            QList<qsizetype> fit;
            for (qsizetype i = 0; i < frames.size(); ++i)
                fit += outlineMismatch(shot, frames[i].image, magenta) == 0 ? QList { i }
                                                                            : QList<qsizetype>();
            seen += fit.size() == 1 ? QSet { fit.first() } : QSet<qsizetype>();
            return seen.size() >= 3;
        };
        QVERIFY2(waitUntil(turns, 6000, 120),
            qPrintable(u"the cuts of %1 frames seen"_s.arg(seen.size())));
    }

    void bChangesPicture()
    {
        const QList<Picture> pebbles = pictures(sample(u"Pebbles"_s), u"back*.png"_s);
        QCOMPARE(pebbles.size(), 4);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Pebbles\n"_s, .fakeStart = quietTime });
        CHECK(clock.start());
        const auto shown = [&] {
            const auto [index, share]
                = bestMatch(m_x.shot(clock.window.geometry), pebbles, magenta);
            return share >= 0.8 ? index : -1;
        };
        qsizetype first = -1;
        CHECK(waitUntil([&] { return (first = shown()) >= 0; }));
        // One of four at random each time: ten presses keep the first with odds of one in a
        // million.
        bool changed = false;
        for (int press = 0; press < 10 && !changed; ++press)
            changed = clock.key(u"b"_s)
                && waitUntil(
                    [&] {
                        const qsizetype now = shown();
                        return now >= 0 && now != first;
                    },
                    800, 100);
        QVERIFY2(changed,
            qPrintable(u"ten presses of B kept "_s + pebbles[first].name + u": "_s + lastError));
    }

    void renderMatchesWindow_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::newRow("hourly pictures: Hours") << u"Hours"_s;
        QTest::newRow("random pictures: Pebbles") << u"Pebbles"_s;
        QTest::newRow("rotated texts: Digits") << u"Digits"_s;
        QTest::newRow("Tyme layout: Tyme Slate") << u"Tyme Slate"_s;
    }
    void renderMatchesWindow()
    {
        // The author's preview is what the clock shows: the same skin at the same frozen time;
        // "--seed clock" makes the random choice as the clock makes it.
        QFETCH(QString, skin);
        Clock clock(m_x,
            { .settings = u"[Setting]\nSkin="_s + skin,
                .fakeStart = u"2026-12-05 10:10:30"_s,
                .frozen = true });
        QTemporaryDir out;
        bool rendered = false;
        run(qEnvironmentVariable("HOROLAN_SKIN_TOOL"),
            words(u"render --time 10:10:30 --seed clock --out"_s)
                << out.filePath(u"f.png"_s) << sample(skin),
            QProcessEnvironment::systemEnvironment(), &rendered);
        const QImage render(out.filePath(u"f.png"_s));
        CHECK(rendered && clock.start());
        QCOMPARE(clock.window.geometry.size(), render.size());
        CHECK(waitUntil([&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            int differing = 0;
            int inside = 0;
            for (int y = 0; y < render.height() && shot.size() == render.size(); ++y) {
                for (int x = 0; x < render.width(); ++x) {
                    // Cut-out pixels show the root; the rest the face, text antialiasing aside.
                    const QRgb want = render.pixel(x, y);
                    inside += qAlpha(want) ? 1 : 0;
                    differing += (qAlpha(want) ? near(shot.pixel(x, y), want, 40)
                                               : shot.pixel(x, y) == XServer::root)
                        ? 0
                        : 1;
                }
            }
            lastError = u"%1 of %2 pixels differ"_s.arg(differing).arg(inside);
            return inside > 0 && differing <= inside / 200;
        }));
    }
};

QTEST_GUILESS_MAIN(TestE2eSkins)
#include "tst_e2e_skins.moc"
