#pragma once

#include <QImage>
#include <QRgb>
#include <QString>
#include <QStringList>

// Verifies committed sample skins: they are what the generator draws now, their Skin.ini reads
// to the end, and every picture's outline is clean.
namespace SkinCheck {

// What is wrong with a picture's outline for the key: no key pixel at all, key pixels enclosed
// by the shape (holes), a shape in several pieces, or pixels next to the key that are nearly
// the key (a fringe). Empty when clean.
QStringList outlineFaults(const QImage& picture, QRgb key);

// Prints one line per skin; returns the number of faults found.
int run(const QString& skinsDir);

} // namespace SkinCheck
