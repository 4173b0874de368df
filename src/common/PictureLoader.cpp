#include "common/PictureLoader.h"

#include "common/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

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

QImage load(const QString& path, const QString& within)
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
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return refuse(path,
            QStringLiteral("cannot be decoded as %1: %2")
                .arg(QString::fromLatin1(format), reader.errorString()));
    image = image.convertToFormat(
        image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    qCDebug(lcSkin) << "picture" << path << "loaded as" << format << image.size();
    return image;
}

} // namespace PictureLoader
