#pragma once

#include "core/skin/SkinIniReader.h"
#include "core/skin/SkinRecord.h"

#include <QDir>
#include <QRgb>
#include <QStringList>

// A skin folder as the clock sees it: its Skin.ini read over the built-in values, its transparent
// colour, and the pictures its background type shows.
namespace SkinFolder {

// False when the folder has no Skin.ini (found whatever its letter case).
bool read(const QDir& folder, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report);

// The transcolor field as a colour: the numbers of characters 1-3, 4-6 and 7-9.
QRgb key(const SkinRecord& skin);

// Every picture the background type can show, in the clock's order: the frames, back0..back12
// (one per hour, the first match of each), main*.* (the first), or all back*.* files.
QStringList pictureFiles(const QDir& folder, const SkinRecord& skin);

} // namespace SkinFolder
