// SP.ini text into the sound pack reader: no crash, no hang, a one-letter type, the same pack from
// the same text.

#include "FuzzSupport.h"

#include "core/chimes/SoundPack.h"
#include "core/text/TextDecoding.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = decodeText(FuzzSupport::bytesOf(data, size));
    SoundPackInfo info;
    SoundPackInfo again;
    SoundPack::readText(text, info);
    SoundPack::readText(text, again);
    if (info.type.size() != 1)
        FuzzSupport::fail("the type is not one character", info.type);
    if (again.type != info.type || again.comment != info.comment || again.email != info.email)
        FuzzSupport::fail("the same text read twice gives different packs");
    return 0;
}
