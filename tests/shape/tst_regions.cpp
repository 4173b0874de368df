#include "core/shape/Regions.h"

#include <QTest>
#include <QTransform>

#include <climits>
#include <cmath>
#include <numbers>

class TestRegions : public QObject {
    Q_OBJECT

private slots:
    void dot();
    void ellipse_data();
    void ellipse();
    void tinyPictures_data();
    void tinyPictures();
};

void TestRegions::dot()
{
    const QRegion dot = MakeDotRegion();
    QCOMPARE(dot, QRegion(0, 0, 1, 1));
    QVERIFY(dot.contains(QPoint(0, 0)));
    QVERIFY(!dot.contains(QPoint(1, 0)) && !dot.contains(QPoint(0, 1)));
}

void TestRegions::ellipse_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("box");

    QTest::newRow("200x100") << QSize(200, 100) << QRect(2, 2, 195, 95);
    QTest::newRow("100x200") << QSize(100, 200) << QRect(2, 2, 95, 195);
    QTest::newRow("odd circle") << QSize(51, 51) << QRect(2, 2, 46, 46);
    QTest::newRow("even circle") << QSize(64, 64) << QRect(2, 2, 59, 59);
    QTest::newRow("wide") << QSize(640, 40) << QRect(2, 2, 635, 35);
}

void TestRegions::ellipse()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, box);

    const QRegion region = aboutEllipseRegion(picture);
    QCOMPARE(region.boundingRect(), box);
    QVERIFY(region.contains(box.center()));
    for (const QPoint corner :
        { box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight() })
        QVERIFY(!region.contains(corner));

    const int mirrorX = box.left() + box.right() + 1;
    const int mirrorY = box.top() + box.bottom() + 1;
    QVERIFY((QTransform(-1, 0, 0, 1, mirrorX, 0).map(region) ^ region).isEmpty());
    QVERIFY((QTransform(1, 0, 0, -1, 0, mirrorY).map(region) ^ region).isEmpty());

    // An ellipse and not some other shape in the same box: its area is pi/4 of the box.
    qint64 area = 0;
    for (const QRect& r : region)
        area += qint64(r.width()) * r.height();
    const double ideal = std::numbers::pi / 4 * box.width() * box.height();
    QVERIFY2(std::abs(double(area) - ideal) <= box.width() + box.height(),
        qPrintable(QString("area %1, ideal %2").arg(area).arg(ideal)));
}

void TestRegions::tinyPictures_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRegion>("expected");

    QTest::newRow("0x0") << QSize(0, 0) << QRegion();
    QTest::newRow("invalid") << QSize() << QRegion();
    QTest::newRow("4x4") << QSize(4, 4) << QRegion();
    QTest::newRow("5x5") << QSize(5, 5) << QRegion();
    QTest::newRow("5x200") << QSize(5, 200) << QRegion();
    QTest::newRow("6x6") << QSize(6, 6) << QRegion(2, 2, 1, 1);
    QTest::newRow("7x7") << QSize(7, 7) << QRegion(2, 2, 2, 2);
    QTest::newRow("huge") << QSize(1 << 20, 100) << QRegion();
    QTest::newRow("most negative") << QSize(INT_MIN, INT_MIN) << QRegion();
}

void TestRegions::tinyPictures()
{
    QFETCH(QSize, picture);
    QFETCH(QRegion, expected);

    QCOMPARE(aboutEllipseRegion(picture), expected);
}

QTEST_MAIN(TestRegions)
#include "tst_regions.moc"
