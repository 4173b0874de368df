#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// A skin picture's companion for high-DPI screens: "back.png" and "back@2x.png", twice as large,
// found in any letter case like every skin file. A companion belongs to its picture and is never
// chosen by itself.
namespace Companion {

// A file name whose part before the extension ends in "@2x", in any letter case.
bool isCompanion(const QString& fileName);

// The companion's path for the picture at this path ("@2x" before its extension), found in the
// picture's folder in any letter case; empty when there is none.
QString pathOf(const QString& picturePath);

// The picture's companion, or a null image when it has none or it cannot be used: it does not
// load, its content is not the format its extension names, or it is not exactly twice the
// picture's size. A companion that cannot be used gives one warning in horolan.skin.
QImage load(const QString& picturePath, QSize pictureSize, const QString& within);

} // namespace Companion
