#include "core/files/Companion.h"

#include "core/base/Logging.h"
#include "core/files/FileList.h"
#include "core/files/PictureLoader.h"

#include <QFileInfo>

namespace Companion {

namespace {
const QString suffix = QStringLiteral("@2x");

// The format a file's extension names, as the picture loader tells formats; empty when it names
// none of them, and then the content alone decides, as for every skin picture.
QByteArray formatNamed(const QString& fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == u"jpg" || extension == u"jpeg" || extension == u"jpe")
        return "jpeg";
    if (extension == u"bmp" || extension == u"png" || extension == u"gif")
        return extension.toLatin1();
    return QByteArray();
}
} // namespace

bool isCompanion(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return QStringView(fileName)
        .left(dot < 0 ? fileName.size() : dot)
        .endsWith(suffix, Qt::CaseInsensitive);
}

QString pathOf(const QString& picturePath)
{
    const QFileInfo picture(picturePath);
    const QString name = picture.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || isCompanion(name))
        return QString();
    return FileList::findFile(picture.path(), name.left(dot) + suffix + name.mid(dot));
}

QImage load(const QString& picturePath, QSize pictureSize, const QString& within)
{
    const QString path = pathOf(picturePath);
    if (path.isEmpty())
        return QImage();
    // The loader says why it refuses a file; that is the one line.
    QImage companion = PictureLoader::load(path, within, formatNamed(path));
    if (companion.isNull())
        return QImage();
    if (companion.size() != pictureSize * 2) {
        qCWarning(lcSkin) << "companion" << path << "refused:"
                          << QStringLiteral("%1 x %2 pixels, not twice %3 x %4")
                                 .arg(companion.width())
                                 .arg(companion.height())
                                 .arg(pictureSize.width())
                                 .arg(pictureSize.height());
        return QImage();
    }
    qCDebug(lcSkin) << "companion" << path << "for high-DPI screens";
    return companion;
}

} // namespace Companion
