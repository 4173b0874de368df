// Skin.ini bytes into the reader: no crash, no hang, and the records keep their shapes.

#include "FuzzSupport.h"

#include "core/skin/SkinIniReader.h"

#include <cmath>

namespace {

void checkWidth(const QString& field, qsizetype width, const char* name)
{
    // Fixed-width fields are either untouched (empty) or exactly their width.
    if (!field.isEmpty() && field.size() != width)
        FuzzSupport::fail(name, QStringLiteral("width %1, not %2").arg(field.size()).arg(width));
}

void checkFinite(double value, const char* name)
{
    if (!std::isfinite(value))
        FuzzSupport::fail(name, QString::number(value));
}

void checkElement(const TextElement& e, const char* name)
{
    checkFinite(e.top, name);
    checkFinite(e.left, name);
    checkFinite(e.font.size, name);
}

void checkBox(const TwipsBox& box, const char* name)
{
    checkFinite(box.top, name);
    checkFinite(box.left, name);
    checkFinite(box.width, name);
    checkFinite(box.height, name);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = FuzzSupport::bytesOf(data, size);
    SkinRecord skin;
    WttSkinRecord wtt;
    SkinIniReport report;
    SkinIniReader::readData(bytes, skin, wtt, &report);

    checkWidth(skin.chimestype, 6, "chimestype");
    checkWidth(skin.backtype, 6, "backtype");
    checkWidth(skin.alignment, 6, "alignment");
    checkWidth(skin.transcolor, 9, "transcolor");
    checkWidth(skin.blinkdots, 3, "blinkdots");
    checkElement(skin.hur, "hur");
    checkElement(skin.min, "min");
    checkElement(skin.sec, "sec");
    checkElement(skin.ampm, "ampm");
    checkBox(skin.analogpos, "analogpos");
    checkBox(wtt.boxpos, "boxpos");
    if (report.ignored.size() > 1000)
        FuzzSupport::fail("report grows without bound", QString::number(report.ignored.size()));
    if (report.stopLine < 0 || (report.stopLine > 0) == report.stopReason.isEmpty())
        FuzzSupport::fail("stop line and reason disagree",
            QString::number(report.stopLine) + u' ' + report.stopReason);

    // The reader does not reset the records: a second reading over the first must stay sound,
    // and reading the same bytes again into fresh records must give the same records.
    SkinRecord again;
    WttSkinRecord wttAgain;
    SkinIniReader::readData(bytes, again, wttAgain);
    if (!(again == skin))
        FuzzSupport::fail("the same bytes read twice give different records");
    SkinIniReader::readData(bytes, again, wttAgain);
    return 0;
}
