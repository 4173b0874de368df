#include "core/files/PictureLoader.h"

#include "core/base/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PictureLoader {

namespace {

QImage refuse(const QString& path, const QString& why)
{
    qCWarning(lcSkin) << "picture" << path << "refused:" << why;
    return QImage();
}

// Opens without blocking: O_NONBLOCK keeps open() from waiting on a FIFO that replaced the file
// after it was checked, and fstat tells what was really opened.
bool openRegular(QFile& file, const QString& path, QString* why)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot be opened");
        return false;
    }
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("not a regular file");
        return false;
    }
    if (status.st_size > maxFileBytes) {
        ::close(fd);
        *why = QStringLiteral("file larger than %1 bytes").arg(maxFileBytes);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = QStringLiteral("cannot be opened");
        return false;
    }
    return true;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot be opened");
        return false;
    }
    return true;
#endif
}

// Qt's BMP reader stops at the end of the file and still returns the picture, its missing rows
// left as whatever the memory held. So a BMP must have a header Qt knows, and an uncompressed one
// every row it declares. Empty when it does, else why not.
QString bmpUnsafe(const QByteArray& head, qint64 fileBytes)
{
    if (head.size() < 30)
        return QStringLiteral("BMP header cut short");
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(head.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(head.constData() + at); };
    const qint64 offset = u32(10);
    const quint32 headerBytes = u32(14);
    // Qt reads a header of any other size as one of these and decodes rows it never fills.
    static constexpr quint32 knownHeaders[] { 12, 40, 52, 56, 64, 108, 124 };
    if (std::find(std::begin(knownHeaders), std::end(knownHeaders), headerBytes)
        == std::end(knownHeaders))
        return QStringLiteral("BMP header of %1 bytes, of no known kind").arg(headerBytes);
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    if (headerBytes == 12) { // OS/2 core header
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else {
        if (head.size() < 34)
            return QStringLiteral("BMP header cut short");
        width = qFromLittleEndian<qint32>(head.constData() + 18);
        height = qFromLittleEndian<qint32>(head.constData() + 22);
        bits = u16(28);
        compression = u32(30);
    }
    constexpr quint32 rle8 = 1, rle4 = 2, bitfields = 3, alphaBitfields = 6;
    // Qt decodes an unknown kind or depth as some other and leaves rows of it unwritten.
    static constexpr qint64 knownBits[] { 1, 4, 8, 16, 24, 32 };
    if (width <= 0
        || std::find(std::begin(knownBits), std::end(knownBits), bits) == std::end(knownBits))
        return QStringLiteral("BMP of %1 pixels across at %2 bits, of no known kind")
            .arg(width)
            .arg(bits);
    if ((compression == rle8 && bits != 8) || (compression == rle4 && bits != 4)
        || (compression > rle4 && compression != bitfields && compression != alphaBitfields))
        return QStringLiteral("BMP compression %1 at %2 bits, of no known kind")
            .arg(compression)
            .arg(bits);
    if (compression == rle8 || compression == rle4)
        return QString(); // run-length data has no fixed size
    const qint64 rowBytes = (qAbs(width) * bits + 31) / 32 * 4;
    // Divided rather than multiplied: a header may claim rows enough to overflow any product.
    // Qt reads whole padded rows, so a last row without its padding is cut short too.
    if (offset > fileBytes || (rowBytes > 0 && qAbs(height) > (fileBytes - offset) / rowBytes))
        return QStringLiteral("BMP pixel data cut short: %1 rows of %2 bytes from byte %3, the "
                              "file has %4 bytes")
            .arg(qAbs(height))
            .arg(rowBytes)
            .arg(offset)
            .arg(fileBytes);
    return QString();
}

// Qt's GIF reader makes its picture the size of the logical screen and leaves unwritten what no
// frame covers; a frame reaching outside the screen (or a screen of no size) leaves the whole
// picture as whatever the memory held. Empty when the first frame lies within the screen, else why
// not. Looks only as far as head reaches.
QString gifFrameOutside(const QByteArray& head)
{
    const auto byte = [&](qsizetype at) { return quint8(head.at(at)); };
    const auto u16 = [&](qsizetype at) { return quint16(byte(at) | byte(at + 1) << 8); };
    if (head.size() < 13)
        return QStringLiteral("GIF header cut short");
    const int screenWidth = u16(6);
    const int screenHeight = u16(8);
    if (screenWidth == 0 || screenHeight == 0)
        return QStringLiteral("GIF screen of %1 x %2 pixels").arg(screenWidth).arg(screenHeight);
    qsizetype at = 13;
    if (byte(10) & 0x80)
        at += 3 << ((byte(10) & 7) + 1);
    while (at < head.size()) {
        const quint8 block = byte(at);
        if (block == 0x21) { // extension: label, then sub-blocks up to an empty one
            at += 2;
            while (at < head.size() && byte(at) != 0)
                at += 1 + byte(at);
            at += 1;
        } else if (block == 0x2c) {
            if (at + 9 > head.size())
                return QString();
            const int left = u16(at + 1), top = u16(at + 3);
            const int width = u16(at + 5), height = u16(at + 7);
            if (width == 0 || height == 0 || left + width > screenWidth
                || top + height > screenHeight)
                return QStringLiteral("GIF frame %1 x %2 at %3,%4 is not within its %5 x %6 screen")
                    .arg(width)
                    .arg(height)
                    .arg(left)
                    .arg(top)
                    .arg(screenWidth)
                    .arg(screenHeight);
            return QString();
        } else {
            return QString(); // the decoder judges the rest
        }
    }
    return QString();
}

// libpng asks for a whole chunk (up to 4 GiB) before it reads it: a chunk before the end that
// claims more than the file holds refuses the picture first.
QString pngChunkPastEnd(QFile& file)
{
    const qint64 size = file.size();
    QString why;
    for (qint64 at = 8; at + 8 <= size && file.seek(at);) {
        const QByteArray head = file.read(8);
        const qint64 length = head.size() == 8 ? qFromBigEndian<quint32>(head.constData()) : 0;
        if (length + 12 > size - at) {
            why = QStringLiteral("cannot be decoded: a chunk runs past the end of the file");
            break;
        }
        if (head.endsWith("IEND"))
            break;
        at += length + 12;
    }
    file.seek(0);
    return why;
}

} // namespace

QByteArray formatOf(const QByteArray& head)
{
    if (head.startsWith("BM"))
        return QByteArrayLiteral("bmp");
    if (head.startsWith(QByteArrayLiteral("\x89PNG\r\n\x1a\n")))
        return QByteArrayLiteral("png");
    if (head.startsWith(QByteArrayLiteral("\xFF\xD8\xFF")))
        return QByteArrayLiteral("jpeg");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QByteArrayLiteral("gif");
    return QByteArray();
}

QImage load(const QString& path, const QString& within, const QByteArray& wanted)
{
    if (path.isEmpty())
        return refuse(path, QStringLiteral("no file name"));
    // QFileInfo follows links, so a link counts as what it points at.
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(path, QStringLiteral("no such file"));
    if (!info.isFile())
        return refuse(path, QStringLiteral("not a regular file"));

    QString openPath = path;
    if (!within.isEmpty()) {
        QString folder = QFileInfo(within).canonicalFilePath();
        const QString canonical = info.canonicalFilePath();
        if (folder.isEmpty())
            return refuse(path, QStringLiteral("folder %1 does not exist").arg(within));
        if (!folder.endsWith(u'/'))
            folder += u'/';
        if (canonical.isEmpty() || !canonical.startsWith(folder))
            return refuse(path, QStringLiteral("leads outside %1").arg(within));
        openPath = canonical;
    }
    if (info.size() > maxFileBytes)
        return refuse(path, QStringLiteral("file larger than %1 bytes").arg(maxFileBytes));
    if (info.size() == 0)
        return refuse(path, QStringLiteral("empty file"));

    QFile file;
    QString why;
    if (!openRegular(file, openPath, &why))
        return refuse(path, why);
    const QByteArray format = formatOf(file.peek(8));
    if (format.isEmpty())
        return refuse(path, QStringLiteral("not a BMP, PNG, JPEG or GIF file"));
    if (!wanted.isEmpty() && format != wanted)
        return refuse(path,
            QStringLiteral("a %1 file, not the %2 its name says")
                .arg(QString::fromLatin1(format.toUpper()), QString::fromLatin1(wanted.toUpper())));
    if (format == "bmp") {
        if (const QString cut = bmpUnsafe(file.peek(34), info.size()); !cut.isEmpty())
            return refuse(path, cut);
    }
    if (format == "png") {
        if (const QString past = pngChunkPastEnd(file); !past.isEmpty())
            return refuse(path, past);
    }
    if (format == "gif") {
        if (const QString outside = gifFrameOutside(file.peek(64 * 1024)); !outside.isEmpty())
            return refuse(path, outside);
    }

    // The limit is process-wide in Qt; lowering it only makes other readers stricter.
    const int limit = QImageReader::allocationLimit();
    if (limit == 0 || limit > maxDecodedMiB)
        QImageReader::setAllocationLimit(maxDecodedMiB);
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    const QSize declared = reader.size();
    if (declared.isValid()
        && qint64(declared.width()) * declared.height() * 4 > qint64(maxDecodedMiB) << 20)
        return refuse(path,
            QStringLiteral("declares %1 x %2 pixels, more than %3 MiB decoded")
                .arg(declared.width())
                .arg(declared.height())
                .arg(maxDecodedMiB));
    // Qt's decoders fill a picture they are handed when its size and format match, and some leave
    // pixels unwritten (BMP run-length data cut short): so those start as zeros, not as old memory.
    QImage image;
    if (declared.isValid()) {
        image = QImage(declared, reader.imageFormat());
        image.fill(0);
    }
    if (!reader.read(&image) || image.isNull())
        return refuse(path,
            QStringLiteral("cannot be decoded as %1: %2")
                .arg(QString::fromLatin1(format), reader.errorString()));
    image = image.convertToFormat(
        image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // RGB32 promises alpha 0xff, yet Qt's GIF reader leaves 0 where a frame's data ends early;
    // drawn onto a buffer with alpha such pixels would cut holes.
    if (image.format() == QImage::Format_RGB32) {
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                row[x] |= 0xff000000u;
        }
    }
    qCDebug(lcSkin) << "picture" << path << "loaded as" << format << image.size();
    return image;
}

} // namespace PictureLoader
