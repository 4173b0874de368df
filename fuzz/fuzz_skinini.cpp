// Skin.ini text into the reader: no crash, no hang, finite geometry, a bounded report, and the same
// records from the same text.

#include "FuzzSupport.h"
#include "core/skin/SkinReader.h"
#include "core/text/TextDecoding.h"

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = decodeText(FuzzSupport::bytesOf(data, size));
    Skin skin;
    WorldTimeSkin worldTime;
    SkinReport report;
    SkinReader::readText(text, skin, worldTime, &report);
    for (const QRectF& box :
        { skin.analogBox, worldTime.box, QRectF(skin.hours.position, skin.amPm.position),
            QRectF(skin.minutes.position, skin.seconds.position) }) {
        for (const double v : { box.x(), box.y(), box.width(), box.height() })
            if (!std::isfinite(v))
                FuzzSupport::fail("a position or size is not finite");
    }
    if (report.ignored.size() > 1000 || report.doubtful.size() > 1000)
        FuzzSupport::fail("the report grows without bound");
    if (report.stopLine < 0 || (report.stopLine > 0) == report.stopReason.isEmpty())
        FuzzSupport::fail("stop line and reason disagree", report.stopReason);
    Skin again;
    WorldTimeSkin worldTimeAgain;
    SkinReader::readText(text, again, worldTimeAgain);
    if (!(again == skin) || !(worldTimeAgain == worldTime))
        FuzzSupport::fail("the same text read twice gives different records");
    return 0;
}
