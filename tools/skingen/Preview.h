#pragma once

#include <QString>

// Shows each skin as the clock would: the picture, the digital texts and the hands drawn by the
// clock's own face painter at 10:10:30, cut to the traced outline over a checkered desktop.
namespace Preview {

// Writes <skin>-<picture>[-ampm].png at twice the size (pixels kept sharp) and <skin>.png, an
// overview at the real size, into outDir. Returns the number of skins that could not be shown.
int run(const QString& skinsDir, const QString& outDir);

} // namespace Preview
