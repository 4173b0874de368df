#include "core/shape/PictureScaling.h"
#include "core/shape/Regions.h"
#include "core/shape/TraceShape.h"

#include <QBitmap>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

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
    }

    void noKeyColourBleedsIntoAHighDpiPicture()
    {
        QImage picture = filled({ 10, 6 }, magenta); // left half cut away, right half grey
        QPainter(&picture).fillRect(5, 0, 5, 6, QColor(100, 100, 100));
        for (const qreal dpr : { 1.5, 2.0, 3.0 }) {
            const QImage scaled = PictureScaling::scaledForScreen(picture, dpr, magenta);
            QCOMPARE(scaled.size(), (QSizeF(10, 6) * dpr).toSize());
            for (int y = 0; y < scaled.height(); ++y)
                for (int x = int(std::ceil(5 * dpr)); x < scaled.width(); ++x)
                    QCOMPARE(scaled.pixelColor(x, y), QColor(100, 100, 100));
        }
    }
};

QTEST_MAIN(TestShape)
#include "tst_shape.moc"
