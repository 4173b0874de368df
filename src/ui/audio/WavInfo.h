#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

// What a RIFF/WAVE file's header says about its sound, checked against the bytes really there:
// the chime player uses it to refuse files it cannot play and to know how long to wait for one.
struct WavInfo {
    static constexpr quint16 formatPcm = 1;
    static constexpr quint16 formatExtensible = 0xFFFE; // accepted only with the PCM sub-format
    // Chunks passed over before the samples; more than this reads as a damaged file.
    static constexpr int maxChunks = 32;

    quint16 format = 0;
    int channels = 0;
    int sampleRate = 0; // frames per second
    int bitsPerSample = 0;
    qint64 dataOffset = 0; // where the samples start
    qint64 declaredDataBytes = 0; // what the data chunk claims
    qint64 dataBytes = 0; // whole frames of it that the file really holds
    qint64 durationMs = 0; // of dataBytes, rounded up
    bool dataComplete = false; // every byte the data chunk claims is in the file

    int frameBytes() const { return channels * (bitsPerSample / 8); }

    // Reads the header from the start of a random-access device: only the chunk headers before
    // the samples and the format chunk, never the samples. Empty for anything but PCM WAVE with
    // at least one frame; whyNot then says what was wrong.
    static std::optional<WavInfo> read(QIODevice& device, QString* whyNot = nullptr);
    static std::optional<WavInfo> readFile(const QString& path, QString* whyNot = nullptr);
    // The same over a file's bytes already in memory (tests and fuzzing).
    static std::optional<WavInfo> readData(const QByteArray& bytes, QString* whyNot = nullptr);
};
