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

QList<QImage> pictures(const QString& folder, const QString& pattern)
{
    QList<QImage> found;
    for (const QFileInfo& file : QDir(folder).entryInfoList({ pattern }, QDir::Files, QDir::Name))
        found << QImage(file.filePath()).convertToFormat(QImage::Format_RGB32);
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
            wrong += (picture.pixel(x, y) == key) != (shot.pixel(x, y) == XServer::root);
    }
    return wrong;
}

// The picture that the shot shows (of its own pixels outside skip, at least the share), or -1.
qsizetype shown(const QImage& shot, const QList<QImage>& pictures, QRgb key, double share = 0.8,
    const QRegion& skip = {})
{
    lastError = u"shares of the pictures' own pixels on the screen:"_s;
    qsizetype best = -1;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        int own = 0;
        int same = 0;
        for (int y = 0; y < pictures[i].height() && shot.size() == pictures[i].size(); ++y) {
            for (int x = 0; x < pictures[i].width(); ++x) {
                const bool counted = pictures[i].pixel(x, y) != key && !skip.contains(QPoint(x, y));
                own += counted;
                same += counted && near(shot.pixel(x, y), pictures[i].pixel(x, y), 4);
            }
        }
        lastError += u" %1"_s.arg(own ? double(same) / own : 0);
        best = own && double(same) / own >= share ? i : best;
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
    void showsSkin(const QString& skin, const QList<QImage>& pictures, QRgb key,
        const QString& from = {}, const QString& folder = {})
    {
        Clock clock(m_x, { .settings = u"[Setting]\nSkin="_s + skin, .fakeStart = quietTime });
        const QString user = clock.dataDir() + u"/horolan/Skins/"_s + folder;
        CHECK(!pictures.isEmpty() && (from.isEmpty() || copyFolder(from, user)) && clock.start());
        QCOMPARE(clock.window.geometry.size(), pictures.first().size());
        const auto cut = [&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            const qsizetype index = shown(shot, pictures, key);
            const int wrong = index < 0 ? -1 : outlineMismatch(shot, pictures[index], key);
            lastError += u"; %1 pixels cut otherwise than the key"_s.arg(wrong);
            return wrong == 0;
        };
        CHECK(waitUntil(cut));
    }

private slots:
    void initTestCase() { CHECK(m_x.start()); }

    void skinAtStart_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("pattern"); // the pictures it may show
        QTest::addColumn<QRgb>("key");
        QTest::addColumn<QString>("from"); // a user skin's source; empty: a sample skin
        QTest::newRow("Pebbles, random") << u"Pebbles"_s << u"back*.png"_s << magenta << u""_s;
        QTest::newRow("Hours, hour 10") << u"Hours"_s << u"back10.png"_s << green << u""_s;
        QTest::newRow("Spinner, animated") << u"Spinner"_s << u"Back*.BMP"_s << magenta << u""_s;
        QTest::newRow("Digits, texts") << u"Digits"_s << u"back1.png"_s << magenta << u""_s;
        QTest::newRow("Tyme Slate") << u"Tyme Slate"_s << u"main.bmp"_s << magenta << u""_s;
        // SKIN.INI with CR LF lines, Windows-1252 text and a teal TransColor; Back1.BMP, BACK2.bmp.
        const QString windows = QFINDTESTDATA("../data/winskin");
        QTest::newRow("made on Windows")
            << u"Wintest"_s << u"back*.bmp"_s << qRgb(0, 128, 128) << windows;
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
        const QString hours = sample(u"Hours"_s);
        showsSkin(u"hourly"_s, pictures(hours, u"back10.png"_s), green, hours, u"Hourly"_s);
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
        // The hands sweep the middle; the rest of the dial, its rim and most of the hour's
        // digit tell the hours apart.
        const QRegion hands(20, 20, 120, 120, QRegion::Ellipse);
        const auto hour
            = [&] { return shown(m_x.shot(clock.window.geometry), hours, green, 0.97, hands); };
        QElapsedTimer running;
        running.start();
        qsizetype now = -1;
        CHECK(clock.start() && waitUntil([&] { return (now = hour()) >= 0; }, 8000, 100));
        if (now == after && running.elapsed() >= 5500)
            QSKIP(qPrintable(u"the clock took %1 ms to show itself"_s.arg(running.elapsed())));
        QCOMPARE(now, before);
        CHECK(waitUntil([&] { return (now = hour()) == after; }, 12000, 100));
        // The faked clock starts after this timer: the hour cannot come sooner by it.
        QVERIFY2(running.elapsed() >= 5750, "the picture changed before the hour");
    }

    void animationChangesOutline()
    {
        const QList<QImage> frames = pictures(sample(u"Spinner"_s), u"Back*.BMP"_s);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Spinner\n"_s, .fakeStart = quietTime });
        CHECK(clock.start());
        // The window is cut to one frame after another, each a few pixels off the others.
        QSet<qsizetype> seen;
        const auto turns = [&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            QList<qsizetype> fit;
            for (qsizetype i = 0; i < frames.size(); ++i)
                fit += outlineMismatch(shot, frames[i], magenta) ? QList<qsizetype>() : QList { i };
            seen += fit.size() == 1 ? QSet { fit.first() } : QSet<qsizetype>();
            return seen.size() >= 3;
        };
        QVERIFY2(
            waitUntil(turns, 6000, 120), qPrintable(u"%1 frames' cuts seen"_s.arg(seen.size())));
    }

    void bChangesPicture()
    {
        const QList<QImage> pebbles = pictures(sample(u"Pebbles"_s), u"back*.png"_s);
        Clock clock(m_x, { .settings = u"[Setting]\nSkin=Pebbles\n"_s, .fakeStart = quietTime });
        qsizetype first = -1;
        const auto picture
            = [&] { return shown(m_x.shot(clock.window.geometry), pebbles, magenta); };
        const auto another = [&] { return picture() >= 0 && picture() != first; };
        CHECK(clock.start() && waitUntil([&] { return (first = picture()) >= 0; }));
        // One of four at random each time: ten presses keep the first one in a million times.
        bool changed = false;
        for (int press = 0; press < 10 && !changed; ++press)
            changed = clock.key(u"b"_s) && waitUntil(another, 800, 100);
        QVERIFY2(changed, qPrintable(u"ten presses of B kept it: "_s + lastError));
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
        const QString settings = u"[Setting]\nSkin="_s + skin;
        Clock clock(
            m_x, { .settings = settings, .fakeStart = u"2026-12-05 10:10:30"_s, .frozen = true });
        QTemporaryDir out;
        const QStringList render = words(u"render --time 10:10:30 --seed clock --out"_s)
            << out.filePath(u"f.png"_s) << sample(skin);
        const auto tool = QStringList { qEnvironmentVariable("HOROLAN_SKIN_TOOL") } + render;
        const bool rendered = run(tool, QProcessEnvironment::systemEnvironment()).has_value();
        const QImage face(out.filePath(u"f.png"_s));
        CHECK(rendered && clock.start());
        QCOMPARE(clock.window.geometry.size(), face.size());
        // Cut-out pixels show the root; the rest the face, text antialiasing aside.
        const auto same = [&] {
            const QImage shot = m_x.shot(clock.window.geometry);
            int differing = 0;
            for (int y = 0; y < face.height() && shot.size() == face.size(); ++y) {
                for (int x = 0; x < face.width(); ++x) {
                    const QRgb want = face.pixel(x, y);
                    differing += qAlpha(want) ? !near(shot.pixel(x, y), want, 40)
                                              : shot.pixel(x, y) != XServer::root;
                }
            }
            lastError = u"%1 pixels differ"_s.arg(shot.size() == face.size() ? differing : -1);
            return shot.size() == face.size() && differing <= face.width() * face.height() / 300;
        };
        CHECK(waitUntil(same));
    }
};

QTEST_GUILESS_MAIN(TestE2eSkins)
#include "tst_e2e_skins.moc"
