#include "core/shape/PictureScaling.h"
#include "core/shape/Regions.h"
#include "core/shape/TraceShape.h"

#include <QBitmap>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <numbers>

namespace {
constexpr QRgb magenta = 0xffff00ff;

QImage filled(QSize size, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// One pixel at a time: slow, but plainly right.
QRegion pixelByPixel(const QImage& picture, QRgb key)
{
    QRegion region;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(picture.pixel(x, y)) != 0 && ((picture.pixel(x, y) ^ key) & 0xffffff) != 0)
                region += QRect(x, y, 1, 1);
    return region;
}
} // namespace

class TestShape : public QObject {
    Q_OBJECT

private slots:
    void trace_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::newRow("no key pixel") << filled({ 7, 5 }, qRgb(255, 0, 0));
        QTest::newRow("all key") << filled({ 7, 5 }, magenta);
        for (const QRgb near : { qRgb(254, 0, 255), qRgb(255, 1, 255), qRgb(255, 0, 254) }) {
            QImage picture = filled({ 6, 4 }, magenta);
            picture.setPixel(3, 2, near); // one step off the key stays
            QTest::addRow("near key #%06x", near & 0xffffff) << picture;
        }
        QImage holes = filled({ 6, 4 }, qRgba(10, 20, 30, 255), QImage::Format_ARGB32);
        holes.setPixel(2, 1, qRgba(10, 20, 30, 0));
        holes.setPixel(2, 2, qRgba(10, 20, 30, 1));
        QTest::newRow("alpha 0 cut") << holes;
        QImage stray = filled({ 4, 3 }, qRgb(1, 2, 3)); // RGB32's top byte means nothing
        reinterpret_cast<quint32*>(stray.scanLine(1))[2] = 0x00010203;
        QTest::newRow("RGB32 stray alpha byte") << stray;
        QImage gaps = filled({ 5, 6 }, magenta); // equal bands apart stay apart
        for (int y : { 0, 1, 3, 5 })
            gaps.setPixel(1, y, 0xff000000);
        QTest::newRow("bands split by key rows") << gaps;
        QImage speckle = filled({ 48, 40 }, magenta); // runs of every length, bands of every kind
        QRandomGenerator random(20240501);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 48; ++x)
                if (random.bounded(2))
                    speckle.setPixel(x, y, qRgb(30, 60, 90));
        QTest::newRow("speckle") << speckle;
        for (const auto format :
            { QImage::Format_Indexed8, QImage::Format_RGB888, QImage::Format_ARGB32_Premultiplied,
                QImage::Format_RGBA8888, QImage::Format_RGBA64 })
            QTest::addRow("speckle in format %d", int(format)) << speckle.convertToFormat(format);
    }
    void trace()
    {
        QFETCH(QImage, picture);
        const QRegion region = TraceShape(picture, magenta);
        QVERIFY((region ^ pixelByPixel(picture, magenta)).isEmpty());
        // Equal to a region Qt built itself: the rectangles are validly banded.
        if (picture.format() == QImage::Format_RGB32)
            QCOMPARE(region,
                QRegion(QBitmap::fromImage(picture.createMaskFromColor(magenta, Qt::MaskInColor))));
    }

    void aboutEllipse()
    {
        const QRegion region = aboutEllipseRegion(QSize(200, 100));
        QCOMPARE(region.boundingRect(), QRect(2, 2, 195, 95)); // (2, 2)-(197, 97), ends outside
        QVERIFY((QTransform(-1, 0, 0, 1, 199, 0).map(region) ^ region).isEmpty()); // symmetric
        QVERIFY((QTransform(1, 0, 0, -1, 0, 99).map(region) ^ region).isEmpty());
        qint64 area = 0;
        for (const QRect& r : region)
            area += qint64(r.width()) * r.height();
        QVERIFY(std::abs(area - std::numbers::pi / 4 * 195 * 95) < 195 + 95);
        for (const QSize none : { QSize(5, 200), QSize(), QSize(1 << 20, 100), QSize(INT_MIN, 0) })
            QVERIFY(aboutEllipseRegion(none).isEmpty());
        QCOMPARE(aboutEllipseRegion(QSize(7, 7)), QRegion(2, 2, 2, 2));
        // At a device-pixel ratio of 2 the box is (4, 4)-(394, 194) of device pixels.
        QCOMPARE(aboutEllipseRegion(QSize(200, 100), 2).boundingRect(), QRect(4, 4, 390, 190));
    }

    // A screen's own pixels: a companion gives its own outline, a picture without one is scaled
    // with the key of its nearest pixel; inside the outline no blend of the key, ever.
    void screenPicture_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<bool>("withCompanion");
        for (const qreal ratio : { 1.0, 1.5, 2.0, 3.0 }) {
            QTest::addRow("%g", ratio) << ratio << false;
            QTest::addRow("%g, companion", ratio) << ratio << true;
        }
    }
    void screenPicture()
    {
        QFETCH(qreal, ratio);
        QFETCH(bool, withCompanion);
        // A grey disc on the key, drawn as a picture of that scale would be.
        const auto disc = [](int scale) {
            QImage image = filled(QSize(40, 40) * scale, magenta);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (std::hypot((x + 0.5) / scale - 20, (y + 0.5) / scale - 20) <= 19.5)
                        image.setPixel(x, y, qRgb(100, 100, 100));
            return image;
        };
        const QImage picture = disc(1), companion = disc(2);
        const QRegion outline = TraceShape(picture, magenta);
        const auto shown = PictureScaling::forScreen(
            picture, outline, withCompanion ? companion : QImage(), magenta, ratio);
        QCOMPARE(shown.picture.size(), (QSizeF(40, 40) * ratio).toSize());
        QCOMPARE(shown.picture.devicePixelRatio(), ratio);
        for (const QRect& rect : shown.outline)
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x)
                    QVERIFY(qAbs(qRed(shown.picture.pixel(x, y)) - 100) <= 2
                        && qAbs(qGreen(shown.picture.pixel(x, y)) - 100) <= 2);
        const QRegion doubled = QTransform::fromScale(2, 2).map(outline);
        if (ratio == 1) {
            QCOMPARE(shown.picture.cacheKey(), picture.cacheKey());
            QCOMPARE(shown.outline, outline);
        } else if (ratio == 2 && !withCompanion) {
            QCOMPARE(shown.outline, doubled);
        } else if (ratio == 2) {
            // Traced on the companion: not the 1x outline doubled; as a circle drawn at that
            // size, rows 2k and 2k + 1 begin apart wherever the curve moves.
            QCOMPARE(shown.outline, TraceShape(companion, magenta));
            const auto left = [&](int y) {
                return shown.outline.intersected(QRect(0, y, 80, 1)).boundingRect().left();
            };
            int apart = 0;
            for (int k = 0; k < 40; ++k)
                apart += left(2 * k) != left(2 * k + 1);
            QVERIFY2(apart >= 12, qPrintable(QString::number(apart)));
        }
        // The disc's area at that size, within its rim.
        qint64 area = 0;
        for (const QRect& rect : shown.outline)
            area += qint64(rect.width()) * rect.height();
        const double radius = 19.5 * ratio;
        QVERIFY(
            std::abs(area - std::numbers::pi * radius * radius) < 2 * std::numbers::pi * radius);
    }
};

QTEST_MAIN(TestShape)
#include "tst_shape.moc"
