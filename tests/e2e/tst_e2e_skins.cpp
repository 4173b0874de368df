#include "E2eHarness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegion>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <limits>
#include <memory>

using namespace e2e;

struct Picture {
    QString name;
    QImage image;
};

// Skins on the real clock (Xvfb, no window manager, a cyan root): each sample skin chosen
// through the settings file, the hourly pictures at faked times, the animation, the B key, a
// skin made on Windows in the user's own folder, and a skin that is not there. What the screen
// shows is compared with the skin's own picture files.
class TestE2eSkins : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sampleSkinAtStart_data();
    void sampleSkinAtStart();
    void hourPicture_data();
    void hourPicture();
    void animationAdvances();
    void bKeyChangesPicture();
    void windowsSkinShows();
    void windowsSkinCommentDecoded();
    void missingSkinIsBuiltIn();
    void cleanup();
    void cleanupTestCase();

private:
    // Starts a clock on a settings file that chooses this skin, and waits for its window.
    bool startClock(const QString& skin, const QString& fakeStart = {},
        const QStringList& environment = {},
        const std::function<bool(const ClockApp&)>& prepare = {});
    QImage shot() const { return m_x->screenshot(m_window.geometry); }
    // The candidate that the window shows, or -1; every candidate's share goes to scores.
    qsizetype shownPicture(
        const QList<Picture>& candidates, QRgb key, QString* scores = nullptr) const;
    // Presses B until the window has shown `wanted` different candidates, the one before the
    // first press included; false when `presses` presses did not do it.
    bool pressBUntilSeen(const QList<Picture>& candidates, QRgb key, int wanted, int presses);
    // Copies the Windows fixture skin into the clock's user skin folder as "Wintest".
    static bool installWindowsSkin(const ClockApp& app);

    std::unique_ptr<XServer> m_x;
    std::unique_ptr<ClockApp> m_app;
    WindowInfo m_window;
    QString m_error;
};

namespace {

// In none of the sample pictures, so a cut-out pixel cannot pass for a picture pixel.
constexpr QRgb rootColor = qRgb(0, 255, 255);
constexpr QRgb magenta = qRgb(255, 0, 255);
constexpr QRgb green = qRgb(0, 255, 0);
constexpr QRgb teal = qRgb(0, 128, 128);
// Pictures reach the screen unscaled; the tolerance only absorbs a codec's rounding.
constexpr int tolerance = 4;
// A recognised picture: this share of its own pixels on the screen, the rest under hands or text.
constexpr double recognisedShare = 0.8;
// At a fixed hour, clear of any hour change while a test runs.
const QString quietTime = QStringLiteral("2026-03-16 10:20:30");

QString rect(const QRect& r)
{
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

QString sampleSkinsDir()
{
    return QFileInfo(qEnvironmentVariable("HOROLAN_BIN")).absolutePath()
        + QStringLiteral("/Skins/");
}

bool isKey(QRgb pixel, QRgb key)
{
    return (pixel & 0xffffff) == (key & 0xffffff);
}

// The skin's pictures matching a pattern, in name order; names match in any letter case.
QList<Picture> pictures(const QString& folder, const QString& pattern)
{
    QList<Picture> found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({ pattern }, QDir::Files, QDir::Name))
        found.append({ name, QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32) });
    return found;
}

QRect opaqueBounds(const QImage& picture, QRgb key)
{
    QRect bounds;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!isKey(picture.pixel(x, y), key))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// The share of the picture's own pixels, outside skip, that the screen shows unchanged.
double agreement(const QImage& shot, const QImage& picture, QRgb key, const QRegion& skip = {})
{
    if (shot.size() != picture.size())
        return 0;
    int own = 0;
    int same = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (isKey(p, key) || skip.contains(QPoint(x, y)))
                continue;
            ++own;
            if (sameColor(shot.pixel(x, y), p, tolerance))
                ++same;
        }
    }
    return own == 0 ? 0 : double(same) / own;
}

struct Match {
    qsizetype index = -1;
    double share = 0;
    QString scores; // every candidate's share, for messages
};

Match bestMatch(
    const QImage& shot, const QList<Picture>& candidates, QRgb key, const QRegion& skip = {})
{
    Match best;
    QStringList scores;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const double share = agreement(shot, candidates[i].image, key, skip);
        scores << QStringLiteral("%1 %2").arg(candidates[i].name).arg(share, 0, 'f', 3);
        if (share > best.share) {
            best.index = i;
            best.share = share;
        }
    }
    best.scores = scores.join(QStringLiteral(", "));
    return best;
}

// Pixels that are key in every candidate: cut away whichever of them is shown.
QList<QPoint> keyPixels(const QList<Picture>& candidates, QRgb key)
{
    QList<QPoint> points;
    const QImage& first = candidates.first().image;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const bool everywhere = std::all_of(candidates.begin(), candidates.end(),
                [&](const Picture& c) { return isKey(c.image.pixel(x, y), key); });
            if (everywhere)
                points << QPoint(x, y);
        }
    }
    return points;
}

// Key pixels of the picture that the screen does not show as the root, and root pixels where the
// picture has none of its key: zero when the window is cut exactly to the picture.
int outlineMismatch(const QImage& shot, const QImage& picture, QRgb key)
{
    if (shot.size() != picture.size())
        return picture.width() * picture.height();
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (isKey(picture.pixel(x, y), key) != sameColor(shot.pixel(x, y), rootColor))
                ++wrong;
        }
    }
    return wrong;
}

} // namespace

void TestE2eSkins::initTestCase()
{
    m_x = std::make_unique<XServer>();
    QVERIFY2(m_x->start(), qPrintable(m_x->error()));
    QVERIFY2(m_x->setRootColor(QColor(rootColor)), qPrintable(m_x->error()));
    QVERIFY2(QFileInfo::exists(sampleSkinsDir() + QStringLiteral("Hours/Skin.ini")),
        qPrintable(QStringLiteral("no sample skins in ") + sampleSkinsDir()));
}

void TestE2eSkins::cleanup()
{
    if (QTest::currentTestFailed() && m_app)
        qWarning().noquote() << "the clock's output:\n" << m_app->output();
    m_app.reset();
}

void TestE2eSkins::cleanupTestCase()
{
    m_app.reset();
    m_x.reset();
}

bool TestE2eSkins::startClock(const QString& skin, const QString& fakeStart,
    const QStringList& environment, const std::function<bool(const ClockApp&)>& prepare)
{
    ClockApp::Options options;
    options.fakeStart = fakeStart;
    options.environment = environment;
    m_app = std::make_unique<ClockApp>(*m_x, options);
    // At 100,100, clear of the edges; no chime, whose strokes could hold up an hour's picture;
    // a slow tick, so an animation frame stays long enough for a screenshot.
    const QString settings = QStringLiteral("[Setting]\nLeft=1500\nTop=1500\nUseChimes=False\n"
                                            "Speed=50\nSkin=%1\n")
                                 .arg(skin);
    if (!m_app->writeSettings(settings)) {
        m_error = m_app->error();
        return false;
    }
    if (prepare && !prepare(*m_app)) {
        m_error = QStringLiteral("cannot prepare the clock's folders");
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

bool TestE2eSkins::installWindowsSkin(const ClockApp& app)
{
    const QString fixture = QFINDTESTDATA("../data/winskin");
    const QString target = app.dataDir() + QStringLiteral("/horolan/Skins/Wintest");
    if (fixture.isEmpty() || !QDir().mkpath(target))
        return false;
    const QDir source(fixture);
    for (const QString& name : source.entryList(QDir::Files)) {
        if (!QFile::copy(source.filePath(name), target + u'/' + name))
            return false;
    }
    return true;
}

qsizetype TestE2eSkins::shownPicture(
    const QList<Picture>& candidates, QRgb key, QString* scores) const
{
    const Match m = bestMatch(shot(), candidates, key);
    if (scores)
        *scores = m.scores;
    return m.share >= recognisedShare ? m.index : -1;
}

bool TestE2eSkins::pressBUntilSeen(
    const QList<Picture>& candidates, QRgb key, int wanted, int presses)
{
    QString scores;
    qsizetype now = -1;
    const auto recognised = [&] { return (now = shownPicture(candidates, key, &scores)) >= 0; };
    if (!waitUntil(recognised)) {
        m_error = QStringLiteral("no picture recognised: ") + scores;
        return false;
    }
    QSet<qsizetype> seen { now };
    for (int press = 1; press <= presses && seen.size() < wanted; ++press) {
        if (!m_x->key(m_window.id, QStringLiteral("b"))) {
            m_error = m_x->error();
            return false;
        }
        const qsizetype before = now;
        waitUntil([&] { return recognised() && now != before; }, 800, 100);
        // A screenshot between a new outline and its paint matches nothing.
        if (now < 0 && !waitUntil(recognised)) {
            m_error = QStringLiteral("no picture recognised after B: ") + scores;
            return false;
        }
        seen.insert(now);
    }
    if (seen.size() < wanted) {
        m_error = QStringLiteral("%1 presses of B showed %2 pictures, not %3: %4")
                      .arg(presses)
                      .arg(seen.size())
                      .arg(wanted)
                      .arg(scores);
        return false;
    }
    return true;
}

void TestE2eSkins::sampleSkinAtStart_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("pattern"); // the pictures it may show
    QTest::addColumn<QRgb>("key");

    QTest::newRow("Pebbles, random")
        << QStringLiteral("Pebbles") << QStringLiteral("back*.png") << magenta;
    // 10:20:30: the picture of hour 10.
    QTest::newRow("Hours, green key")
        << QStringLiteral("Hours") << QStringLiteral("back10.png") << green;
    QTest::newRow("Spinner, animated")
        << QStringLiteral("Spinner") << QStringLiteral("Back*.BMP") << magenta;
    QTest::newRow("Digits, rotated texts")
        << QStringLiteral("Digits") << QStringLiteral("back1.png") << magenta;
    QTest::newRow("Tyme Slate, Tyme format")
        << QStringLiteral("Tyme Slate") << QStringLiteral("main.bmp") << magenta;
}

void TestE2eSkins::sampleSkinAtStart()
{
    QFETCH(QString, skin);
    QFETCH(QString, pattern);
    QFETCH(QRgb, key);

    const QList<Picture> candidates = pictures(sampleSkinsDir() + skin, pattern);
    QVERIFY2(!candidates.isEmpty(), qPrintable(QStringLiteral("no %1 in %2").arg(pattern, skin)));
    const QSize size = candidates.first().image.size();
    QList<QRect> outlines;
    for (const Picture& p : candidates)
        outlines.append(opaqueBounds(p.image, key));
    const QList<QPoint> cutOut = keyPixels(candidates, key);
    QVERIFY(cutOut.size() > 50);

    QVERIFY2(startClock(skin, quietTime), qPrintable(m_error));
    QCOMPARE(m_window.geometry.size(), size);

    const auto shape = m_x->shape(m_window.id);
    QVERIFY2(shape, qPrintable(m_x->error()));
    QVERIFY2(shape->shaped, "the window has no bounding shape");
    QVERIFY2(outlines.contains(shape->extents),
        qPrintable(QStringLiteral("shape extents %1, not those of the picture (%2)")
                       .arg(rect(shape->extents), rect(outlines.first()))));

    // The first ticks may still be on their way to the screen.
    QImage screen;
    Match match;
    int wrongCutOut = 0;
    QPoint firstWrong;
    waitUntil([&] {
        screen = shot();
        match = bestMatch(screen, candidates, key);
        wrongCutOut = 0;
        for (const QPoint& p : cutOut) {
            if (!sameColor(screen.pixel(p), rootColor) && wrongCutOut++ == 0)
                firstWrong = p;
        }
        return wrongCutOut == 0 && match.share >= recognisedShare;
    });
    QVERIFY2(!screen.isNull(), qPrintable(m_x->error()));
    QVERIFY2(wrongCutOut == 0,
        qPrintable(QStringLiteral("%1 of %2 key pixels do not show the root; %3,%4 shows %5")
                       .arg(wrongCutOut)
                       .arg(cutOut.size())
                       .arg(firstWrong.x())
                       .arg(firstWrong.y())
                       .arg(describe(screen.pixel(firstWrong)))));
    QVERIFY2(match.share >= recognisedShare,
        qPrintable(QStringLiteral("the screen does not show the picture: ") + match.scores));
}

void TestE2eSkins::hourPicture_data()
{
    QTest::addColumn<QString>("fakeStart");
    QTest::addColumn<int>("before"); // the hour's picture first shown; -1: none expected
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("secondsToHour");

    QTest::newRow("07:00:30 start") << QStringLiteral("2026-03-16 07:00:30") << -1 << 7 << 0;
    // A few seconds before the hour leave room for the start-up on a loaded machine.
    QTest::newRow("hour event at 07:00") << QStringLiteral("2026-03-16 06:59:56") << 6 << 7 << 4;
    // The tick asks for hour 0 at midnight; the start at 23:59 shows hour 11.
    QTest::newRow("midnight is hour 0") << QStringLiteral("2026-03-16 23:59:56") << 11 << 0 << 4;
}

void TestE2eSkins::hourPicture()
{
    QFETCH(QString, fakeStart);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, secondsToHour);

    QList<Picture> hours;
    for (int h = 0; h <= 12; ++h) {
        hours << pictures(
            sampleSkinsDir() + QStringLiteral("Hours"), QStringLiteral("back%1.png").arg(h));
    }
    QCOMPARE(hours.size(), 13);
    // The hands reach 90 % of the face's half box around 80,80; the rest of the dial, its rim
    // and most of the hour digit, tells the hours apart.
    const QRegion hands(QRect(20, 20, 120, 120), QRegion::Ellipse);
    const auto hourShown = [&](const QImage& screen, QString* scores = nullptr) {
        const Match m = bestMatch(screen, hours, green, hands);
        if (scores)
            *scores = m.scores;
        return m.share >= 0.97 ? int(m.index) : -1;
    };

    QElapsedTimer running;
    running.start();
    QVERIFY2(startClock(QStringLiteral("Hours"), fakeStart), qPrintable(m_error));

    int first = -1;
    qint64 firstSeenMs = 0;
    QString scores;
    waitUntil(
        [&] {
            first = hourShown(shot(), &scores);
            firstSeenMs = running.elapsed();
            return first >= 0;
        },
        8000, 100);
    QVERIFY2(first >= 0, qPrintable(QStringLiteral("no hour's picture recognised: ") + scores));
    if (before < 0) {
        QCOMPARE(first, after);
        return;
    }
    if (first == after && firstSeenMs >= secondsToHour * 1000 - 500)
        QSKIP("the clock took until the hour to show itself: the change was not observable");
    QCOMPARE(first, before);

    int now = first;
    qint64 changedMs = 0;
    waitUntil(
        [&] {
            now = hourShown(shot(), &scores);
            changedMs = running.elapsed();
            return now == after;
        },
        secondsToHour * 1000 + 6000, 100);
    QVERIFY2(now == after,
        qPrintable(QStringLiteral("after %1 ms the picture of hour %2 is shown, not %3: %4")
                       .arg(changedMs)
                       .arg(now)
                       .arg(after)
                       .arg(scores)));
    // Faked time starts after this timer, so the hour cannot come sooner by it.
    QVERIFY2(changedMs >= secondsToHour * 1000 - 250,
        qPrintable(
            QStringLiteral("changed %1 ms after the start, before the hour").arg(changedMs)));
}

void TestE2eSkins::animationAdvances()
{
    const QList<Picture> frames
        = pictures(sampleSkinsDir() + QStringLiteral("Spinner"), QStringLiteral("Back*.BMP"));
    QCOMPARE(frames.size(), 10);
    QList<QRect> frameExtents;
    for (const Picture& f : frames)
        frameExtents.append(opaqueBounds(f.image, magenta));

    // Speed 50: a frame every 225 ms, the whole turn in 2.25 s.
    QVERIFY2(startClock(QStringLiteral("Spinner"), quietTime), qPrintable(m_error));

    // Which frame's outline the screen shows: its cut-out is exactly that frame's key pixels.
    QSet<qsizetype> seenFrames;
    QList<QRect> seenExtents;
    QStringList log;
    waitUntil(
        [&] {
            const QImage screen = shot();
            qsizetype frame = 0;
            int fewest = std::numeric_limits<int>::max();
            for (qsizetype i = 0; i < frames.size(); ++i) {
                const int wrong = outlineMismatch(screen, frames[i].image, magenta);
                if (wrong < fewest) {
                    fewest = wrong;
                    frame = i;
                }
            }
            // A screenshot between a new outline and its first paint can match no frame.
            if (fewest <= 20)
                seenFrames.insert(frame);
            const auto shape = m_x->shape(m_window.id);
            if (shape && shape->shaped && !seenExtents.contains(shape->extents))
                seenExtents.append(shape->extents);
            log << QStringLiteral("%1 (%2 off) %3")
                       .arg(frames[frame].name)
                       .arg(fewest)
                       .arg(shape ? rect(shape->extents) : QStringLiteral("?"));
            return seenFrames.size() >= 3 && seenExtents.size() >= 2;
        },
        6000, 120);
    const QString seen = log.join(QStringLiteral("; "));
    QVERIFY2(seenFrames.size() >= 3,
        qPrintable(QStringLiteral("%1 different outlines seen: ").arg(seenFrames.size()) + seen));
    QVERIFY2(seenExtents.size() >= 2,
        qPrintable(QStringLiteral("the shape's extents did not change: ") + seen));
    for (const QRect& extents : std::as_const(seenExtents)) {
        QVERIFY2(frameExtents.contains(extents),
            qPrintable(
                QStringLiteral("shape extents %1 fit no frame: ").arg(rect(extents)) + seen));
    }
}

void TestE2eSkins::bKeyChangesPicture()
{
    const QList<Picture> pebbles
        = pictures(sampleSkinsDir() + QStringLiteral("Pebbles"), QStringLiteral("back*.png"));
    QCOMPARE(pebbles.size(), 4);
    QVERIFY2(startClock(QStringLiteral("Pebbles"), quietTime), qPrintable(m_error));
    // Each press picks one of four at random: ten presses all keep the first with odds of 1e-6.
    QVERIFY2(pressBUntilSeen(pebbles, magenta, 2, 10), qPrintable(m_error));
}

void TestE2eSkins::windowsSkinShows()
{
    const QString fixture = QFINDTESTDATA("../data/winskin");
    QVERIFY2(!fixture.isEmpty(), "the fixture skin tests/data/winskin is missing");
    const QList<Picture> backs = pictures(fixture, QStringLiteral("back*.bmp"));
    QCOMPARE(backs.size(), 2);
    const QSize size = backs.first().image.size();
    QVERIFY(size != QSize(100, 100));

    QVERIFY2(startClock(QStringLiteral("Wintest"), quietTime, {}, installWindowsSkin),
        qPrintable(m_error));
    QCOMPARE(m_window.geometry.size(), size);
    const auto shape = m_x->shape(m_window.id);
    QVERIFY2(shape && shape->shaped, "the window has no bounding shape");
    QCOMPARE(shape->extents, opaqueBounds(backs.first().image, teal));

    // Teal comes from the skin's own TransColor: the built-in magenta would leave it on screen.
    const QList<QPoint> cutOut = keyPixels(backs, teal);
    QImage screen;
    Match match;
    int wrongCutOut = 0;
    waitUntil([&] {
        screen = shot();
        match = bestMatch(screen, backs, teal);
        wrongCutOut = int(std::count_if(cutOut.begin(), cutOut.end(),
            [&](QPoint p) { return !sameColor(screen.pixel(p), rootColor); }));
        return wrongCutOut == 0 && match.share >= recognisedShare;
    });
    QVERIFY2(!screen.isNull(), qPrintable(m_x->error()));
    QVERIFY2(wrongCutOut == 0,
        qPrintable(QStringLiteral("%1 of %2 key pixels do not show the root; a corner shows %3")
                       .arg(wrongCutOut)
                       .arg(cutOut.size())
                       .arg(describe(screen.pixel(0, 0)))));
    QVERIFY2(match.share >= recognisedShare,
        qPrintable(QStringLiteral("the screen does not show the picture: ") + match.scores));

    // "BACK2.bmp" and "Back1.BMP" both answer to back*.*: B shows each of them in a few presses.
    QVERIFY2(pressBUntilSeen(backs, teal, 2, 20), qPrintable(m_error));
}

void TestE2eSkins::windowsSkinCommentDecoded()
{
    QVERIFY2(
        startClock(QStringLiteral("Wintest"), quietTime,
            { QStringLiteral("QT_LOGGING_RULES=horolan.skin.debug=true") }, installWindowsSkin),
        qPrintable(m_error));
    // The skin's debug line gives its name, author and comment.
    QVERIFY2(waitUntil([&] { return m_app->output().contains(QLatin1String("Drawn on a Caf")); }),
        qPrintable(
            QStringLiteral("no word about the skin's comment in the log:\n") + m_app->output()));
    const QString output = m_app->output();
    QVERIFY2(output.contains(QStringLiteral("Drawn on a Caf\u00e9 table")),
        qPrintable(QStringLiteral("the comment is not decoded from Windows-1252:\n") + output));
}

void TestE2eSkins::missingSkinIsBuiltIn()
{
    QVERIFY2(startClock(QStringLiteral("Gone Away"), quietTime), qPrintable(m_error));
    QCOMPARE(m_window.geometry.size(), QSize(100, 100));
    const auto shape = m_x->shape(m_window.id);
    QVERIFY2(shape && shape->shaped, "the window has no bounding shape");
    QVERIFY2(QRect(0, 0, 100, 100).contains(shape->extents), qPrintable(rect(shape->extents)));

    // Round: the root shows in the corners of the square, the dial at its middle.
    QImage screen;
    const auto round = [&] {
        screen = shot();
        for (const QPoint corner : { QPoint(1, 1), QPoint(98, 1), QPoint(1, 98), QPoint(98, 98) }) {
            if (!sameColor(screen.pixel(corner), rootColor))
                return false;
        }
        return !sameColor(screen.pixel(50, 50), rootColor)
            && !sameColor(screen.pixel(50, 3), rootColor);
    };
    const bool isRound = waitUntil(round);
    QVERIFY2(!screen.isNull(), qPrintable(m_x->error()));
    QVERIFY2(isRound,
        qPrintable(QStringLiteral("corner %1, top %2, middle %3")
                       .arg(describe(screen.pixel(1, 1)), describe(screen.pixel(50, 3)),
                           describe(screen.pixel(50, 50)))));

    QVERIFY2(m_x->key(m_window.id, QStringLiteral("ctrl+q")), qPrintable(m_x->error()));
    QVERIFY2(m_app->waitForExit(), qPrintable(m_app->error()));
    QCOMPARE(m_app->exitCode(), 0);
    QCOMPARE(readIni(m_app->settingsFile()).value(QStringLiteral("Setting/Skin")),
        QStringLiteral("Gone Away"));
}

QTEST_GUILESS_MAIN(TestE2eSkins)
#include "tst_e2e_skins.moc"
