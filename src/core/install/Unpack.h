#pragma once

#include <QString>

#include <functional>

// What one archive or folder may hold; beyond any of these it is refused whole.
struct UnpackLimits {
    int entries = 10000;
    qint64 bytes = 256LL << 20;
    // Unpacked bytes per byte of the archive: more is a zip bomb. A small skin of flat pictures
    // packs tighter than that without being one, so it counts only past ratioFrom bytes.
    int ratio = 200;
    qint64 ratioFrom = 1LL << 20;
};

// Unpacks an archive (zip, rar, 7z, or tar plain or with gzip, bzip2 or xz) or a folder into the
// empty folder `into`, checking each entry as it comes: a name that leaves the folder (an absolute
// path, a drive letter, "..", with "/" or "\" between names), a link, a device or FIFO, a name a
// file name cannot hold, encryption, damage, and the limits. Returns the one-line reason it was
// refused, or empty. Entry names are read as UTF-8, or else as the Windows code page the archive
// was made with; names that differ only in letter case are kept as one, the first. progress hears
// the share of the archive read so far, from 0 to 1 (a folder: -1).
QString unpack(const QString& source, const QString& into, const UnpackLimits& limits = {},
    const std::function<void(double)>& progress = {});
