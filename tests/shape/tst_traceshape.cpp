#include "core/shape/TraceShape.h"

#include <QBitmap>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

namespace {

constexpr QRgb magenta = 0xffff00ff;

QImage filled(int width, int height, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

QImage circle(int side)
{
    QImage image = filled(side, side, magenta);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 230, 200));
    painter.drawEllipse(QRectF(1.5, 2.5, side - 4, side - 5));
    return image;
}

QImage speckle(int width, int height)
{
    QRandomGenerator random(20240501);
    QImage image = filled(width, height, magenta);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (random.bounded(2))
                image.setPixel(x, y, qRgb(30, 60, 90));
        }
    }
    return image;
}

// Qt's own route; it compares whole pixels, so it is only fed opaque RGB32 pictures.
QRegion qtRoute(const QImage& picture, QRgb key)
{
    return QRegion(QBitmap::fromImage(picture.createMaskFromColor(key, Qt::MaskInColor)));
}

// One pixel at a time: slow, but obviously right, and Qt keeps the result canonical.
QRegion referenceTrace(const QImage& picture, QRgb key)
{
    QRegion region;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            if (qAlpha(pixel) != 0 && ((pixel ^ key) & 0xffffff) != 0)
                region += QRect(x, y, 1, 1);
        }
    }
    return region;
}

// QRegion's == compares rectangle lists, and Qt's own unions are not always coalesced.
bool samePixels(const QRegion& a, const QRegion& b)
{
    return (a ^ b).isEmpty();
}

} // namespace

class TestTraceShape : public QObject {
    Q_OBJECT

private slots:
    void trace_data();
    void trace();
    void formats_data();
    void formats();
    void nullPicture();
};

void TestTraceShape::trace_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QRgb>("key");
    QTest::addColumn<QRegion>("expected");

    QTest::newRow("no key pixel") << filled(7, 5, qRgb(255, 0, 0)) << magenta
                                  << QRegion(0, 0, 7, 5);
    QTest::newRow("all key") << filled(7, 5, magenta) << magenta << QRegion();
    QTest::newRow("key alpha ignored") << filled(7, 5, magenta) << QRgb(0x00ff00ff) << QRegion();

    const QRgb nearKeys[] = { qRgb(254, 0, 255), qRgb(255, 1, 255), qRgb(255, 0, 254) };
    for (const QRgb near : nearKeys) {
        QImage picture = filled(6, 4, magenta);
        picture.setPixel(3, 2, near);
        QTest::addRow("one step off #%06x stays", near & 0xffffff)
            << picture << magenta << QRegion(3, 2, 1, 1);
    }

    QImage holes = filled(6, 4, qRgba(10, 20, 30, 255), QImage::Format_ARGB32);
    holes.setPixel(2, 0, qRgba(10, 20, 30, 0));
    holes.setPixel(2, 1, qRgba(0, 0, 0, 0));
    holes.setPixel(2, 2, qRgba(10, 20, 30, 0));
    holes.setPixel(2, 3, qRgba(10, 20, 30, 1));
    QTest::newRow("alpha 0 cut") << holes << magenta << (QRegion(0, 0, 6, 4) - QRegion(2, 0, 1, 3));

    // RGB32 says nothing about its top byte; a stray 0 there must not cut the pixel.
    QImage strayAlpha = filled(4, 3, qRgb(1, 2, 3));
    reinterpret_cast<quint32*>(strayAlpha.scanLine(1))[2] = 0x00010203;
    QTest::newRow("RGB32 stray alpha byte") << strayAlpha << magenta << QRegion(0, 0, 4, 3);

    QTest::newRow("1 pixel inside")
        << filled(1, 1, qRgb(1, 1, 1)) << magenta << QRegion(0, 0, 1, 1);
    QTest::newRow("1 pixel key") << filled(1, 1, magenta) << magenta << QRegion();
    QImage row = filled(9, 1, magenta);
    for (int x : { 0, 3, 4, 8 })
        row.setPixel(x, 0, qRgb(0, 0, 0));
    QTest::newRow("1 row") << row << magenta
                           << (QRegion(0, 0, 1, 1) + QRegion(3, 0, 2, 1) + QRegion(8, 0, 1, 1));
    QTest::newRow("1 column") << row.transformed(QTransform().rotate(90)) << magenta
                              << (QRegion(0, 0, 1, 1) + QRegion(0, 3, 1, 2) + QRegion(0, 8, 1, 1));

    // Equal bands apart from a gap must stay apart; equal bands touching must be one.
    QImage gaps = filled(5, 6, magenta);
    for (int y : { 0, 1, 3, 5 })
        gaps.setPixel(1, y, qRgb(0, 0, 0));
    QTest::newRow("bands split by key rows")
        << gaps << magenta << (QRegion(1, 0, 1, 2) + QRegion(1, 3, 1, 1) + QRegion(1, 5, 1, 1));

    const QImage round = circle(61);
    QTest::newRow("circle") << round << magenta << qtRoute(round, magenta);
    const QImage dots = speckle(48, 40);
    QTest::newRow("speckle") << dots << magenta << qtRoute(dots, magenta);
}

void TestTraceShape::trace()
{
    QFETCH(QImage, picture);
    QFETCH(QRgb, key);
    QFETCH(QRegion, expected);

    const QRegion region = TraceShape(picture, key);
    // Exact equality with a region Qt built also proves the rectangles are validly banded.
    QCOMPARE(region, expected);
    QVERIFY(samePixels(region, referenceTrace(picture, key)));
}

void TestTraceShape::formats_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("transparentHole");

    const QImage::Format opaque[] = { QImage::Format_Indexed8, QImage::Format_RGB32,
        QImage::Format_RGB888, QImage::Format_BGR888, QImage::Format_RGBX8888,
        QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA64 };
    for (const QImage::Format format : opaque)
        QTest::addRow("opaque %d", int(format)) << format << false;
    const QImage::Format withAlpha[] = { QImage::Format_Indexed8, QImage::Format_ARGB32,
        QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888,
        QImage::Format_RGBA8888_Premultiplied, QImage::Format_RGBA64_Premultiplied };
    for (const QImage::Format format : withAlpha)
        QTest::addRow("alpha %d", int(format)) << format << true;
}

void TestTraceShape::formats()
{
    QFETCH(QImage::Format, format);
    QFETCH(bool, transparentHole);

    // Built as Indexed8 so that every conversion from it is exact.
    QImage indexed(23, 17, QImage::Format_Indexed8);
    indexed.setColorTable({ magenta, qRgb(200, 220, 240), qRgb(254, 0, 255), qRgba(90, 0, 0, 0) });
    QRegion expected;
    for (int y = 0; y < indexed.height(); ++y) {
        for (int x = 0; x < indexed.width(); ++x) {
            int index = (x - 11) * (x - 11) + (y - 8) * (y - 8) < 50 ? 1 : 0;
            if (x == 20 && y == 3)
                index = 2;
            if (transparentHole && x >= 9 && x <= 12 && y == 8)
                index = 3;
            indexed.setPixel(x, y, uint(index));
            if (index == 1 || index == 2)
                expected += QRect(x, y, 1, 1);
        }
    }
    const QImage picture = indexed.convertToFormat(format);
    QCOMPARE(picture.format(), format);
    const QRegion region = TraceShape(picture, magenta);
    QVERIFY(samePixels(region, expected));
    QCOMPARE(region, TraceShape(indexed, magenta));
}

void TestTraceShape::nullPicture()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("null picture"));
    QCOMPARE(TraceShape(QImage(), magenta), QRegion());
}

QTEST_MAIN(TestTraceShape)
#include "tst_traceshape.moc"
