#include "E2eHarness.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace e2e;

// The real clock on a fresh desktop (openbox on Xvfb, pure green root) with no settings: the
// built-in skin at a faked 10:10:30, read back from the screen.
class TestE2eFace : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowIsBorderless();
    void windowIsShapedRound();
    void dialIsLight();
    void secondHandPointsDown();
    void hands_data();
    void hands();
    void cleanup();
    void cleanupTestCase();

private:
    // A point at radiusPx from the window's centre, clockwise from twelve o'clock.
    QPoint onDial(double angleDeg, double radiusPx) const;

    static constexpr QRgb rootColor = qRgb(0, 255, 0);

    std::unique_ptr<XServer> m_x;
    std::unique_ptr<ClockApp> m_app;
    WindowInfo m_window;
    QImage m_shot; // the window's rectangle
    double m_runningS = 0; // real seconds from start to screenshot
    bool m_outputShown = false;
};

namespace {

// Thin hands are antialiased into the dial: red is what stands well above green and blue.
bool isRed(QRgb c)
{
    return qRed(c) >= 150 && qRed(c) - qMax(qGreen(c), qBlue(c)) >= 60;
}
bool isDark(QRgb c)
{
    return qMax(qRed(c), qMax(qGreen(c), qBlue(c))) <= 130;
}
bool isLight(QRgb c)
{
    return qMin(qRed(c), qMin(qGreen(c), qBlue(c))) >= 170;
}

} // namespace

void TestE2eFace::initTestCase()
{
    m_x = std::make_unique<XServer>(XServer::Options { { 1024, 768 }, true });
    QVERIFY2(m_x->start(), qPrintable(m_x->error()));
    QVERIFY2(m_x->setRootColor(QColor(rootColor)), qPrintable(m_x->error()));

    ClockApp::Options options;
    options.fakeStart = QStringLiteral("2026-03-16 10:10:30");
    m_app = std::make_unique<ClockApp>(*m_x, options);
    QElapsedTimer running;
    running.start();
    QVERIFY2(m_app->start(), qPrintable(m_app->error()));
    const auto window = m_app->waitForWindow();
    QVERIFY2(window, qPrintable(m_app->error()));
    m_window = *window;

    // The first ticks may still be on their way to the screen: wait for a red hand.
    QVERIFY2(waitUntil([&] {
        m_shot = m_x->screenshot(m_window.geometry);
        return countPixels(m_shot, m_shot.rect(), isRed) > 0;
    }),
        qPrintable(QStringLiteral("no red second hand on the screen: ") + m_x->error()));
    m_runningS = running.elapsed() / 1000.0;
}

void TestE2eFace::cleanup()
{
    if (QTest::currentTestFailed() && !m_outputShown) {
        m_outputShown = true;
        qWarning().noquote() << "the clock's output:\n" << m_app->output();
    }
}

void TestE2eFace::cleanupTestCase()
{
    m_app.reset();
    m_x.reset();
}

QPoint TestE2eFace::onDial(double angleDeg, double radiusPx) const
{
    const double a = qDegreesToRadians(angleDeg);
    const QPointF centre = QRectF(m_shot.rect()).center();
    return QPointF(centre.x() + radiusPx * std::sin(a), centre.y() - radiusPx * std::cos(a))
        .toPoint();
}

void TestE2eFace::windowIsBorderless()
{
    QCOMPARE(m_window.geometry.size(), QSize(100, 100));
    // openbox adds no frame to a window that asks for none.
    const auto extents = m_x->property(m_window.id, QStringLiteral("_NET_FRAME_EXTENTS"));
    QVERIFY2(extents, qPrintable(m_x->error()));
    QCOMPARE(*extents, QStringLiteral("0, 0, 0, 0"));
}

void TestE2eFace::windowIsShapedRound()
{
    const auto shape = m_x->shape(m_window.id);
    QVERIFY2(shape, qPrintable(m_x->error()));
    QVERIFY2(shape->shaped, "the window has no bounding shape");
    QVERIFY2(QRect(0, 0, 100, 100).contains(shape->extents),
        qPrintable(QStringLiteral("shape extents %1x%2+%3+%4")
                       .arg(shape->extents.width())
                       .arg(shape->extents.height())
                       .arg(shape->extents.x())
                       .arg(shape->extents.y())));

    // A circle leaves the root showing in each corner of its square.
    const int last = m_shot.width() - 4;
    for (const QPoint corner :
        { QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last) }) {
        const QRect area(corner, QSize(4, 4));
        QVERIFY2(countPixels(m_shot, area, rootColor) == area.width() * area.height(),
            qPrintable(QStringLiteral("corner at %1,%2 shows %3, not the root")
                           .arg(corner.x())
                           .arg(corner.y())
                           .arg(describe(m_shot.pixel(corner)))));
    }
    // The rim of the circle is part of the window.
    for (const QPoint edge : { QPoint(50, 5), QPoint(5, 50), QPoint(94, 50), QPoint(50, 94) })
        QVERIFY2(!sameColor(m_shot.pixel(edge), rootColor, 30), "the window is cut inside its rim");
}

void TestE2eFace::dialIsLight()
{
    // Hands cross the centre; the dial is what most of the area around it shows.
    const QRect centre(30, 30, 40, 40);
    const int light = countPixels(m_shot, centre, isLight);
    QVERIFY2(light * 10 >= centre.width() * centre.height() * 8,
        qPrintable(QStringLiteral("only %1 of %2 light pixels; centre shows %3")
                       .arg(light)
                       .arg(centre.width() * centre.height())
                       .arg(describe(m_shot.pixel(50, 50)))));
}

void TestE2eFace::secondHandPointsDown()
{
    // At 10:10:30 the second hand stands at six o'clock; it has moved on by the seconds the
    // start and the screenshot took.
    const QRect lower(0, 56, 100, 44);
    const QRect upper(0, 0, 100, 44);
    const int below = countPixels(m_shot, lower, isRed);
    const int above = countPixels(m_shot, upper, isRed);
    QVERIFY2(below >= 8 && above <= 2,
        qPrintable(
            QStringLiteral("red pixels: %1 below the centre, %2 above").arg(below).arg(above)));

    QPointF sum;
    for (int y = lower.top(); y <= lower.bottom(); ++y) {
        for (int x = lower.left(); x <= lower.right(); ++x) {
            if (isRed(m_shot.pixel(x, y)))
                sum += QPointF(x, y);
        }
    }
    const QPointF direction = sum / below - QRectF(m_shot.rect()).center();
    const double angleDeg = qRadiansToDegrees(std::atan2(direction.x(), -direction.y()));
    const double seenDeg = angleDeg < 0 ? angleDeg + 360 : angleDeg;
    const double latestDeg = 180 + 6 * (m_runningS + 1.5);
    QVERIFY2(seenDeg >= 174 && seenDeg <= latestDeg,
        qPrintable(QStringLiteral("second hand at %1 degrees after %2 s; expected 180 to %3")
                       .arg(seenDeg, 0, 'f', 1)
                       .arg(m_runningS, 0, 'f', 1)
                       .arg(latestDeg, 0, 'f', 1)));
}

void TestE2eFace::hands_data()
{
    QTest::addColumn<double>("angleDeg");
    QTest::addColumn<bool>("hand");

    QTest::newRow("minute hand towards two") << 60.0 << true;
    QTest::newRow("hour hand towards ten") << 300.0 << true;
    QTest::newRow("nothing towards four") << 120.0 << false;
    QTest::newRow("nothing towards eight") << 240.0 << false;
}

void TestE2eFace::hands()
{
    QFETCH(double, angleDeg);
    QFETCH(bool, hand);

    // A small box halfway between the centre and the rim, clear of any dial marks.
    const QRect box = QRect(onDial(angleDeg, 17) - QPoint(4, 4), QSize(9, 9));
    const int dark = countPixels(m_shot, box, isDark);
    if (hand)
        QVERIFY2(dark >= 2, qPrintable(QStringLiteral("%1 dark pixels").arg(dark)));
    else
        QVERIFY2(dark == 0, qPrintable(QStringLiteral("%1 dark pixels").arg(dark)));
}

QTEST_GUILESS_MAIN(TestE2eFace)
#include "tst_e2e_face.moc"
