#include "common/PictureLoader.h"

#include <QDir>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

enum class Outcome { Loads, Null, Either };
Q_DECLARE_METATYPE(Outcome)

class TstPictureLoader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void load_data();
    void load();
    void formatOf_data();
    void formatOf();

private:
    QString in(const QString& name) const { return m_tmp.filePath("in/" + name); }
    QTemporaryDir m_tmp;
};

static void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

static QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

static QImage filled(QSize size, QColor colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// A BMP header that claims a picture of width x height at 24 bits, followed by a few bytes.
static QByteArray bmpHeader(qint32 width, qint32 height)
{
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    qToLittleEndian<quint32>(54 + 16, b.data() + 2);
    qToLittleEndian<quint32>(54, b.data() + 10);
    qToLittleEndian<quint32>(40, b.data() + 14);
    qToLittleEndian<qint32>(width, b.data() + 18);
    qToLittleEndian<qint32>(height, b.data() + 22);
    qToLittleEndian<quint16>(1, b.data() + 26);
    qToLittleEndian<quint16>(24, b.data() + 28);
    return b + QByteArray(16, '\x7f');
}

void TstPictureLoader::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QVERIFY(QDir(m_tmp.path()).mkpath("in/folder.png"));
    QVERIFY(QDir(m_tmp.path()).mkpath("out"));

    const QByteArray png = encoded(filled({ 8, 6 }, Qt::green), "PNG");
    const QImage noise = [] {
        QImage image(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                image.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 255));
        return image;
    }();
    const QByteArray noisePng = encoded(noise, "PNG");
    const QByteArray noiseBmp = encoded(noise, "BMP");
    const QByteArray jpeg = encoded(filled({ 8, 6 }, Qt::blue), "JPEG");
    QVERIFY(!png.isEmpty() && !jpeg.isEmpty());

    writeBytes(in("red.bmp"), encoded(filled({ 8, 6 }, Qt::red), "BMP"));
    writeBytes(in("green.png"), png);
    writeBytes(in("alpha.png"),
        encoded(filled({ 8, 6 }, QColor(255, 0, 0, 128), QImage::Format_ARGB32), "PNG"));
    writeBytes(in("blue.jpg"), jpeg);
    QVERIFY(QFile::copy(QFINDTESTDATA("../data/pictures/two-frames.gif"), in("two-frames.gif")));
    QVERIFY(QFile::copy(QFINDTESTDATA("../data/pictures/green87a.gif"), in("green87a.gif")));
    writeBytes(in("png-named.bmp"), png);
    writeBytes(in("gif-named.jpg"), "GIF89a");
    writeBytes(in("text.png"), "this is not a picture\n");
    writeBytes(in("empty.bmp"), QByteArray());
    writeBytes(in("header-only.png"), png.left(20));
    writeBytes(in("truncated.png"), noisePng.left(noisePng.size() / 2));
    writeBytes(in("truncated.bmp"), noiseBmp.left(noiseBmp.size() / 2));
    writeBytes(in("corrupt.jpg"), QByteArray("\xFF\xD8\xFF") + QByteArray(200, '\x55'));
    writeBytes(in("huge.bmp"), bmpHeader(100000, 100000));
    writeBytes(in("negative.bmp"), bmpHeader(-5, 0x7fffffff));
    {
        // Sparse, so the test stays quick.
        QFile big(in("big.bmp"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(bmpHeader(8, 8));
        QVERIFY(big.resize(PictureLoader::maxFileBytes + 1));
    }
    QCOMPARE(::mkfifo(QFile::encodeName(in("fifo.png")).constData(), 0600), 0);
    writeBytes(m_tmp.filePath("out/outside.png"), png);
    QVERIFY(QFile::link(in("green.png"), in("link-in.png")));
    QVERIFY(QFile::link(m_tmp.filePath("out/outside.png"), in("link-out.png")));
    QVERIFY(QFile::link(in("fifo.png"), in("link-fifo.png")));
    QVERIFY(QFile::link(in("folder.png"), in("link-folder.png")));
}

void TstPictureLoader::load_data()
{
    QTest::addColumn<QString>("name"); // under the "in" folder, unless absolute
    QTest::addColumn<bool>("within"); // checked against the "in" folder
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRgb>("pixel"); // top-left, for pictures that load

    const auto none = QImage::Format_Invalid;
    QTest::newRow("bmp") << "red.bmp" << true << Outcome::Loads << QImage::Format_RGB32
                         << qRgb(255, 0, 0);
    QTest::newRow("png") << "green.png" << true << Outcome::Loads << QImage::Format_RGB32
                         << qRgb(0, 255, 0);
    QTest::newRow("png with alpha")
        << "alpha.png" << true << Outcome::Loads << QImage::Format_ARGB32 << qRgba(255, 0, 0, 128);
    QTest::newRow("jpeg") << "blue.jpg" << true << Outcome::Loads << QImage::Format_RGB32
                          << qRgb(0, 0, 255);
    QTest::newRow("gif, first frame")
        << "two-frames.gif" << true << Outcome::Loads << QImage::Format_RGB32 << qRgb(255, 0, 0);
    QTest::newRow("gif87a") << "green87a.gif" << true << Outcome::Loads << QImage::Format_RGB32
                            << qRgb(0, 255, 0);
    QTest::newRow("png named .bmp")
        << "png-named.bmp" << true << Outcome::Loads << QImage::Format_RGB32 << qRgb(0, 255, 0);
    QTest::newRow("link inside") << "link-in.png" << true << Outcome::Loads << QImage::Format_RGB32
                                 << qRgb(0, 255, 0);
    QTest::newRow("link outside, no folder given")
        << "link-out.png" << false << Outcome::Loads << QImage::Format_RGB32 << qRgb(0, 255, 0);
    QTest::newRow("link outside") << "link-out.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("dot-dot outside")
        << "../out/outside.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("text named .png") << "text.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("gif signature only")
        << "gif-named.jpg" << true << Outcome::Null << none << QRgb();
    QTest::newRow("0 bytes") << "empty.bmp" << true << Outcome::Null << none << QRgb();
    QTest::newRow("png header only")
        << "header-only.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("truncated png") << "truncated.png" << true << Outcome::Either << none << QRgb();
    QTest::newRow("truncated bmp") << "truncated.bmp" << true << Outcome::Either << none << QRgb();
    QTest::newRow("corrupt jpeg") << "corrupt.jpg" << true << Outcome::Either << none << QRgb();
    QTest::newRow("bmp claims 100000x100000")
        << "huge.bmp" << true << Outcome::Null << none << QRgb();
    QTest::newRow("bmp claims odd size")
        << "negative.bmp" << true << Outcome::Null << none << QRgb();
    QTest::newRow("file too large") << "big.bmp" << true << Outcome::Null << none << QRgb();
    QTest::newRow("fifo") << "fifo.png" << false << Outcome::Null << none << QRgb();
    QTest::newRow("link to fifo") << "link-fifo.png" << false << Outcome::Null << none << QRgb();
    QTest::newRow("folder") << "folder.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("link to folder") << "link-folder.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("device") << "/dev/zero" << false << Outcome::Null << none << QRgb();
    QTest::newRow("missing") << "missing.png" << true << Outcome::Null << none << QRgb();
    QTest::newRow("no name") << "" << false << Outcome::Null << none << QRgb();
}

void TstPictureLoader::load()
{
    QFETCH(QString, name);
    QFETCH(bool, within);
    QFETCH(Outcome, outcome);
    QFETCH(QImage::Format, format);
    QFETCH(QRgb, pixel);
    const QString path = name.startsWith(u'/') || name.isEmpty() ? name : in(name);
    if (outcome == Outcome::Null)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused"));
    QElapsedTimer timer;
    timer.start();
    const QImage image = PictureLoader::load(path, within ? m_tmp.filePath("in") : QString());
    QVERIFY2(timer.elapsed() < 2000, "a picture must never block");
    switch (outcome) {
    case Outcome::Null:
        QVERIFY(image.isNull());
        break;
    case Outcome::Either:
        if (!image.isNull())
            QVERIFY(
                image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32);
        break;
    case Outcome::Loads:
        QVERIFY(!image.isNull());
        QCOMPARE(image.format(), format);
        QCOMPARE(image.size(), name.endsWith(".gif") ? QSize(4, 4) : QSize(8, 6));
        const QRgb got = image.pixel(0, 0);
        // JPEG is lossy; everything else must match exactly.
        const int tolerance = name.endsWith(".jpg") ? 8 : 1;
        QVERIFY2(qAbs(qRed(got) - qRed(pixel)) <= tolerance
                && qAbs(qGreen(got) - qGreen(pixel)) <= tolerance
                && qAbs(qBlue(got) - qBlue(pixel)) <= tolerance
                && qAbs(qAlpha(got) - qAlpha(pixel)) <= tolerance,
            qPrintable(QString::number(got, 16)));
        break;
    }
}

void TstPictureLoader::formatOf_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("bmp") << QByteArray("BM\0\0", 4) << QByteArray("bmp");
    QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n") << QByteArray("png");
    QTest::newRow("png cut") << QByteArray("\x89PNG\r\n") << QByteArray();
    QTest::newRow("jpeg") << QByteArray("\xFF\xD8\xFF\xE0") << QByteArray("jpeg");
    QTest::newRow("gif87a") << QByteArray("GIF87a") << QByteArray("gif");
    QTest::newRow("gif88a") << QByteArray("GIF88a") << QByteArray();
    QTest::newRow("lower-case bm") << QByteArray("bm") << QByteArray();
    QTest::newRow("ico") << QByteArray("\0\0\1\0", 4) << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TstPictureLoader::formatOf()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, format);
    QCOMPARE(PictureLoader::formatOf(head), format);
}

QTEST_GUILESS_MAIN(TstPictureLoader)
#include "tst_pictureloader.moc"
