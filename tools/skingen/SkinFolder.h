#pragma once

#include "core/skin/SkinReader.h"

#include <QDir>
#include <QRgb>
#include <QStringList>

// A skin folder as the clock sees it: its Skin.ini read over the built-in values, its transparent
// colour, and the pictures its background type shows.
namespace SkinFolder {

// False when the folder has no Skin.ini (found whatever its letter case).
bool read(const QDir& folder, Skin& skin, SkinReport* report);

// Every picture the background type can show, in the clock's order: the frames, back0..back12
// (one per hour, the first match of each), main*.* (the first), or all back*.* files; never
// their "@2x" companions.
QStringList pictureFiles(const QDir& folder, const Skin& skin);

} // namespace SkinFolder
