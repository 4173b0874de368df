#include "SkinFolder.h"

#include "core/files/Companion.h"
#include "core/skin/BuiltInSkin.h"

#include <algorithm>

namespace SkinFolder {

namespace {

QStringList matching(const QDir& folder, const QString& pattern)
{
    QStringList names = folder.entryList({ pattern }, QDir::Files, QDir::Name | QDir::IgnoreCase);
    // A picture's "@2x" companion is never chosen by itself.
    names.removeIf(Companion::isCompanion);
    std::sort(names.begin(), names.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

} // namespace

bool read(const QDir& folder, Skin& skin, SkinReport* report)
{
    WorldTimeSkin worldTime;
    BuiltInSkin::applyValues(skin, worldTime, false);
    const QStringList ini = matching(folder, QStringLiteral("skin.ini"));
    if (ini.isEmpty())
        return false;
    return SkinReader::readFile(folder.filePath(ini.first()), skin, worldTime, report);
}

QStringList pictureFiles(const QDir& folder, const Skin& skin)
{
    if (skin.tyme)
        return matching(folder, QStringLiteral("main*.*")).mid(0, 1);
    if (skin.background == BackgroundKind::Animated)
        return matching(folder, QStringLiteral("Back*.BMP"));
    if (skin.background == BackgroundKind::Order) {
        QStringList names;
        for (int hour = 0; hour <= 12; ++hour)
            names << matching(folder, QStringLiteral("back%1.*").arg(hour)).mid(0, 1);
        return names;
    }
    return matching(folder, QStringLiteral("back*.*"));
}

} // namespace SkinFolder
