#include "ui/audio/SoundDecoder.h"

#include <QAudioFormat>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sndfile.h>

namespace {

// libsndfile reads the file's bytes from memory: a file is read whole, once, and nothing else
// (a fifo, a device) ever reaches the decoder.
struct Memory {
    const QByteArray& bytes;
    sf_count_t at = 0;
};

sf_count_t length(void* user)
{
    return static_cast<Memory*>(user)->bytes.size();
}

sf_count_t seek(sf_count_t offset, int whence, void* user)
{
    auto* m = static_cast<Memory*>(user);
    const sf_count_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes.size() : 0;
    const sf_count_t to = base + offset;
    if (to < 0 || to > m->bytes.size())
        return -1;
    return m->at = to;
}

sf_count_t read(void* out, sf_count_t count, void* user)
{
    auto* m = static_cast<Memory*>(user);
    const sf_count_t n
        = std::clamp<sf_count_t>(m->bytes.size() - m->at, 0, std::max<sf_count_t>(count, 0));
    if (n > 0)
        std::memcpy(out, m->bytes.constData() + m->at, size_t(n));
    m->at += n;
    return n;
}

sf_count_t write(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t tell(void* user)
{
    return static_cast<Memory*>(user)->at;
}

// How many of the decoded frames are the padding of a block codec's last block (and of a last
// block cut short, which decodes whole): the fact chunk says where the sound ends. It is believed
// only within the last two blocks, and for a sound longer than what it cuts: libsndfile's own
// fact chunk of a stereo IMA ADPCM file counts half the frames.
qint64 blockPadding(const QByteArray& bytes, qint64 decodedFrames)
{
    if (!bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return 0;
    const auto le = [&](qsizetype at, int size) -> qint64 {
        if (at + size > bytes.size())
            return -1;
        return size == 2 ? qFromLittleEndian<quint16>(bytes.constData() + at)
                         : qFromLittleEndian<quint32>(bytes.constData() + at);
    };
    qint64 fact = -1, framesPerBlock = -1;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const qint64 size = le(at + 4, 4);
        if (bytes.mid(at, 4) == "fact" && size >= 4)
            fact = le(at + 8, 4);
        else if (bytes.mid(at, 4) == "fmt " && size >= 20)
            framesPerBlock = le(at + 8 + 18, 2); // after the extension's size
        at += 8 + size + (size & 1);
    }
    const qint64 padding = decodedFrames - fact;
    return padding > 0 && padding < 2 * framesPerBlock && padding < fact ? padding : 0;
}

std::optional<DecodedSound> refuse(QString* whyNot, const QString& why)
{
    if (whyNot)
        *whyNot = why;
    return std::nullopt;
}

} // namespace

std::optional<DecodedSound> DecodedSound::decodeFile(const QString& path, QString* whyNot)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return refuse(whyNot, QStringLiteral("not a file"));
    if (info.size() > maxFileBytes)
        return refuse(whyNot, QStringLiteral("larger than %1 bytes").arg(maxFileBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(whyNot, file.errorString());
    // Asked for more than the file holds, a read allocates all of it first.
    return decodeData(file.read(std::min(file.size(), maxFileBytes) + 1), whyNot);
}

std::optional<DecodedSound> DecodedSound::decodeData(const QByteArray& bytes, QString* whyNot)
{
    if (bytes.size() > maxFileBytes)
        return refuse(whyNot, QStringLiteral("larger than %1 bytes").arg(maxFileBytes));
    SF_VIRTUAL_IO io { length, seek, read, write, tell };
    Memory memory { bytes };
    SF_INFO info {};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (!file)
        return refuse(whyNot,
            QStringLiteral("not a WAV file libsndfile can decode: %1").arg(sf_strerror(nullptr)));
    const auto close = qScopeGuard([file] { sf_close(file); });
    const int container = info.format & SF_FORMAT_TYPEMASK;
    // What Windows would not play as a WAV file is no chime here either.
    if (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX && container != SF_FORMAT_RF64)
        return refuse(whyNot, QStringLiteral("not a RIFF/WAVE file"));
    if (info.channels < 1 || info.channels > maxChannels)
        return refuse(whyNot, QStringLiteral("%1 channels").arg(info.channels));
    if (info.samplerate < 1000 || info.samplerate > 384000)
        return refuse(whyNot, QStringLiteral("a rate of %1 Hz").arg(info.samplerate));

    DecodedSound sound;
    sound.sampleRate = info.samplerate;
    sound.channels = info.channels;
    const qint64 maxFrames
        = std::min(qint64(maxSeconds) * info.samplerate, maxSamples / info.channels);
    constexpr sf_count_t chunkFrames = 4096;
    // The header's frame count may lie: read until the decoder finds no more.
    for (qint64 frames = 0; frames < maxFrames;) {
        sound.samples.resize(size_t((frames + chunkFrames) * info.channels));
        const sf_count_t got = sf_readf_float(file, sound.samples.data() + frames * info.channels,
            std::min<sf_count_t>(chunkFrames, maxFrames - frames));
        frames += std::max<sf_count_t>(got, 0);
        sound.samples.resize(size_t(frames * info.channels));
        if (got <= 0)
            break;
    }
    if (sound.samples.empty())
        return refuse(whyNot, QStringLiteral("no samples"));
    // Block codecs fill their last block with silence, which would lengthen every stroke of a
    // count.
    const int codec = info.format & SF_FORMAT_SUBMASK;
    if (codec == SF_FORMAT_IMA_ADPCM || codec == SF_FORMAT_MS_ADPCM || codec == SF_FORMAT_GSM610)
        sound.samples.resize(
            size_t((sound.frames() - blockPadding(bytes, sound.frames())) * info.channels));
    return sound;
}

QByteArray DecodedSound::convert(const QAudioFormat& format) const
{
    const int outChannels = format.channelCount();
    const int bytes = format.bytesPerSample();
    if (outChannels < 1 || bytes < 1 || format.sampleRate() < 1 || sampleRate < 1)
        return {};
    const qint64 inFrames = frames();
    const double step = double(sampleRate) / format.sampleRate();
    const qint64 outFrames = std::max<qint64>(1, qint64(std::floor(inFrames / step)));
    QByteArray out(outFrames * outChannels * bytes, Qt::Uninitialized);
    char* to = out.data();
    const auto at
        = [&](qint64 frame, int channel) { return samples[size_t(frame * channels + channel)]; };
    for (qint64 i = 0; i < outFrames; ++i) {
        const double position = i * step;
        const qint64 j = std::min(qint64(position), inFrames - 1);
        const qint64 k = std::min(j + 1, inFrames - 1);
        const float t = float(position - double(j));
        const auto value
            = [&](int channel) { return at(j, channel) + (at(k, channel) - at(j, channel)) * t; };
        for (int c = 0; c < outChannels; ++c) {
            float v = 0;
            if (channels == 1)
                v = value(0);
            else if (outChannels == 1) {
                for (int in = 0; in < channels; ++in)
                    v += value(in);
                v /= float(channels);
            } else if (c < channels)
                v = value(c);
            // NaN from a float file becomes silence, anything louder than full scale full scale.
            v = std::isnan(v) ? 0.f : std::clamp(v, -1.f, 1.f);
            switch (format.sampleFormat()) {
            case QAudioFormat::UInt8:
                *to = char(quint8(std::lround(128 + v * 127)));
                break;
            case QAudioFormat::Int16: {
                const qint16 s = qint16(std::lround(v * 32767));
                std::memcpy(to, &s, sizeof s);
                break;
            }
            case QAudioFormat::Int32: {
                const qint32 s = qint32(std::llround(double(v) * 2147483647.0));
                std::memcpy(to, &s, sizeof s);
                break;
            }
            default:
                std::memcpy(to, &v, sizeof v);
                break;
            }
            to += bytes;
        }
    }
    return out;
}
