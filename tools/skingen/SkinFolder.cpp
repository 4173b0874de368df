#include "SkinFolder.h"

#include "core/text/NumberReading.h"
#include "core/skin/BuiltInSkin.h"

#include <algorithm>

namespace SkinFolder {

namespace {

QStringList matching(const QDir& folder, const QString& pattern)
{
    QStringList names = folder.entryList({ pattern }, QDir::Files, QDir::Name | QDir::IgnoreCase);
    std::sort(names.begin(), names.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

int component(const QString& digits)
{
    const auto value = NumberReading::roundHalfEven(NumberReading::leadingNumber(digits));
    return std::clamp(int(value), 0, 255);
}

} // namespace

bool read(const QDir& folder, SkinRecord& skin, WttSkinRecord& wtt, SkinIniReport* report)
{
    BuiltInSkin::applyValues(skin, wtt, false);
    const QStringList ini = matching(folder, QStringLiteral("skin.ini"));
    if (ini.isEmpty())
        return false;
    return SkinIniReader::read(folder.filePath(ini.first()), skin, wtt, report);
}

QRgb key(const SkinRecord& skin)
{
    const QString t = skin.transcolor;
    return qRgb(component(t.mid(0, 3)), component(t.mid(3, 3)), component(t.mid(6, 3)));
}

QStringList pictureFiles(const QDir& folder, const SkinRecord& skin)
{
    const QString type = skin.backtype.trimmed().toLower();
    if (skin.tymeskin)
        return matching(folder, QStringLiteral("main*.*")).mid(0, 1);
    if (type == u"animat")
        return matching(folder, QStringLiteral("Back*.BMP"));
    if (type == u"order") {
        QStringList names;
        for (int hour = 0; hour <= 12; ++hour)
            names << matching(folder, QStringLiteral("back%1.*").arg(hour)).mid(0, 1);
        return names;
    }
    return matching(folder, QStringLiteral("back*.*"));
}

} // namespace SkinFolder
