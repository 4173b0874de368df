#include "core/shape/PictureScaling.h"

#include <QTest>

// Scaling a skin picture for a high-DPI screen must not tint the outline with the key colour.
class tst_PictureScaling : public QObject {
    Q_OBJECT

private slots:
    void noKeyColourBleedsIn_data();
    void noKeyColourBleedsIn();
    void ratioOneIsThePictureItself();
};

void tst_PictureScaling::noKeyColourBleedsIn_data()
{
    QTest::addColumn<qreal>("dpr");
    QTest::newRow("2") << qreal(2);
    QTest::newRow("1.5") << qreal(1.5);
    QTest::newRow("3") << qreal(3);
}

void tst_PictureScaling::noKeyColourBleedsIn()
{
    QFETCH(qreal, dpr);
    // Left half magenta (cut away), right half grey (the visible picture).
    QImage picture(10, 6, QImage::Format_RGB32);
    picture.fill(QColor(255, 0, 255));
    for (int y = 0; y < 6; ++y)
        for (int x = 5; x < 10; ++x)
            picture.setPixelColor(x, y, QColor(100, 100, 100));

    const QImage scaled = PictureScaling::scaledForScreen(picture, dpr, 0xffff00ff);
    QCOMPARE(scaled.devicePixelRatio(), dpr);
    QCOMPARE(scaled.size(), (QSizeF(10, 6) * dpr).toSize());
    // Every device pixel that lies within the visible logical pixels stays plain grey.
    const int firstVisible = int(std::ceil(5 * dpr));
    for (int y = 0; y < scaled.height(); ++y) {
        for (int x = firstVisible; x < scaled.width(); ++x) {
            const QColor c = scaled.pixelColor(x, y);
            QVERIFY2(c.red() == c.green() && c.green() == c.blue(),
                qPrintable(QStringLiteral("%1,%2 is %3").arg(x).arg(y).arg(c.name())));
        }
    }
}

void tst_PictureScaling::ratioOneIsThePictureItself()
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QCOMPARE(
        PictureScaling::scaledForScreen(picture, 1.0, 0xffff00ff).cacheKey(), picture.cacheKey());
    QVERIFY(PictureScaling::scaledForScreen(QImage(), 2.0, 0xffff00ff).isNull());
}

QTEST_APPLESS_MAIN(tst_PictureScaling)
#include "tst_picturescaling.moc"
