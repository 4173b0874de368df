#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class QAudioFormat;

// A chime file decoded once to PCM through libsndfile: every codec a WAV may hold (PCM, float,
// ADPCM, µ-law, A-law, GSM 6.10, MPEG layer 3), at any rate and up to eight channels.
struct DecodedSound {
    // Longer files play their first minute; a larger file is refused before it is read.
    static constexpr int maxSeconds = 60;
    static constexpr int maxChannels = 8;
    static constexpr qint64 maxFileBytes = 64LL << 20;
    // Decoded, a small compressed file can grow tenfold and more: the samples kept are capped
    // too (64 MiB of floats, a minute of eight channels at 32 kHz).
    static constexpr qint64 maxSamples = 16LL << 20;

    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved, nominally -1 to 1

    qint64 frames() const { return channels ? qint64(samples.size()) / channels : 0; }
    qint64 durationMs() const
    {
        return sampleRate ? (frames() * 1000 + sampleRate - 1) / sampleRate : 0;
    }

    // Only WAV files with at least one frame; whyNot then says what was wrong. A header that
    // claims more or less sound than the file holds gets what is really there; the padding of a
    // block codec's last block is left out.
    static std::optional<DecodedSound> decodeFile(const QString& path, QString* whyNot = nullptr);
    static std::optional<DecodedSound> decodeData(
        const QByteArray& bytes, QString* whyNot = nullptr);

    // The sound in an output's rate, channels and sample format: mono goes to every channel,
    // several to one are mixed; the rate is converted by linear interpolation.
    QByteArray convert(const QAudioFormat& format) const;
};
