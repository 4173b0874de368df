// Any bytes as a chime file: the decoder refuses or decodes, never crashes, keeps to its caps,
// and what it gives converts to an output's format at the size that format asks.

#include "FuzzSupport.h"
#include "ui/audio/SoundDecoder.h"

#include <QAudioFormat>

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<DecodedSound> sound
        = DecodedSound::decodeData(FuzzSupport::bytesOf(data, size));
    if (!sound)
        return 0;
    if (sound->channels < 1 || sound->channels > DecodedSound::maxChannels || sound->frames() < 1
        || qint64(sound->samples.size()) > DecodedSound::maxSamples
        || sound->frames() > qint64(DecodedSound::maxSeconds) * sound->sampleRate)
        FuzzSupport::fail("a decoded sound past its caps");
    QAudioFormat format;
    format.setSampleRate(48000);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    const QByteArray pcm = sound->convert(format);
    const qint64 frames = qint64(sound->frames() * 48000.0 / sound->sampleRate);
    if (pcm.size() % 4 != 0 || std::abs(pcm.size() / 4 - std::max<qint64>(1, frames)) > 1)
        FuzzSupport::fail("converted to the wrong length");
    return 0;
}
