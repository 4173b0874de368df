// SP.ini bytes into the sound pack reader: no crash, no hang, a one-letter type.

#include "FuzzSupport.h"

#include "core/chimes/SoundPack.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = FuzzSupport::bytesOf(data, size);
    SoundPackInfo info;
    SoundPackReport report;
    SoundPack::readData(bytes, info, &report);
    if (info.type.size() != 1)
        FuzzSupport::fail("type is not one character", info.type);
    if (report.stopLine < 0 || (report.stopLine > 0) == report.stopReason.isEmpty())
        FuzzSupport::fail("stop line and reason disagree",
            QString::number(report.stopLine) + u' ' + report.stopReason);

    SoundPackInfo again;
    SoundPack::readData(bytes, again);
    if (again.type != info.type || again.copyright != info.copyright
        || again.collector != info.collector || again.email != info.email
        || again.homepage != info.homepage || again.comment != info.comment)
        FuzzSupport::fail("the same bytes read twice give different packs");
    return 0;
}
