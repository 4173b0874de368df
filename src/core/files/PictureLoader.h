#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The one loader for every picture of skins: BMP, PNG, JPEG and GIF only, the format told by the
// file's first bytes (not its name), regular files only, file size and decoded size capped.
namespace PictureLoader {

inline constexpr qint64 maxFileBytes = 64LL << 20;
inline constexpr int maxDecodedMiB = 64;

// The picture in Format_RGB32, or Format_ARGB32 when it has an alpha channel (a GIF gives its first
// frame); or a null image, with a warning in horolan.skin saying why. When within is given, a path
// that leads outside that folder (through a link, say) is refused. Never opens a FIFO or device.
// Lowers Qt's process-wide QImageReader::allocationLimit() to maxDecodedMiB when it is higher.
// When wanted is given (a format as formatOf names it), a file of another format is refused too.
QImage load(const QString& path, const QString& within = QString(),
    const QByteArray& wanted = QByteArray());

// "bmp", "png", "jpeg", "gif" from the first bytes; empty for anything else.
QByteArray formatOf(const QByteArray& head);

} // namespace PictureLoader
