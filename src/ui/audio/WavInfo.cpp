#include "ui/audio/WavInfo.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr int riffHeaderBytes = 12;
constexpr int chunkHeaderBytes = 8;
constexpr int fmtMinBytes = 16;
constexpr int fmtExtensibleBytes = 40;
// The tail of the KSDATAFORMAT_SUBTYPE_PCM GUID, after its leading format tag.
constexpr char pcmSubFormatTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";

quint16 u16(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

std::optional<WavInfo> refuse(QString* whyNot, const QString& why)
{
    if (whyNot)
        *whyNot = why;
    return std::nullopt;
}

// Fills the format fields from a fmt chunk's body; empty when the sound is not plain PCM.
std::optional<QString> readFormat(const QByteArray& body, WavInfo& info)
{
    if (body.size() < fmtMinBytes)
        return QStringLiteral("format chunk of %1 bytes is too short").arg(body.size());
    info.format = u16(body, 0);
    info.channels = u16(body, 2);
    info.sampleRate = int(std::min<quint32>(u32(body, 4), 0x7fffffff));
    info.bitsPerSample = u16(body, 14);
    if (info.format == WavInfo::formatExtensible) {
        if (body.size() < fmtExtensibleBytes || u16(body, 16) < 22)
            return QStringLiteral("extensible format chunk is too short");
        if (u16(body, 24) != WavInfo::formatPcm
            || body.mid(26, 14) != QByteArray(pcmSubFormatTail, 14))
            return QStringLiteral("extensible format is not PCM");
    } else if (info.format != WavInfo::formatPcm) {
        return QStringLiteral("format %1 is not PCM").arg(info.format);
    }
    if (info.channels < 1 || info.channels > 8)
        return QStringLiteral("%1 channels").arg(info.channels);
    if (info.sampleRate < 1000 || info.sampleRate > 384000)
        return QStringLiteral("sample rate %1").arg(info.sampleRate);
    if (info.bitsPerSample != 8 && info.bitsPerSample != 16 && info.bitsPerSample != 24
        && info.bitsPerSample != 32)
        return QStringLiteral("%1 bits per sample").arg(info.bitsPerSample);
    return std::nullopt;
}

} // namespace

std::optional<WavInfo> WavInfo::read(QIODevice& device, QString* whyNot)
{
    if (!device.isOpen() || device.isSequential() || !device.seek(0))
        return refuse(whyNot, QStringLiteral("not a readable file"));
    const qint64 fileBytes = device.size();
    const QByteArray riff = device.read(riffHeaderBytes);
    if (riff.size() < riffHeaderBytes || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return refuse(whyNot, QStringLiteral("not a RIFF/WAVE file"));

    WavInfo info;
    bool haveFormat = false;
    qint64 at = riffHeaderBytes;
    for (int chunk = 0; chunk < maxChunks; ++chunk) {
        if (at + chunkHeaderBytes > fileBytes || !device.seek(at))
            return refuse(whyNot, QStringLiteral("truncated before the data chunk"));
        const QByteArray header = device.read(chunkHeaderBytes);
        if (header.size() < chunkHeaderBytes)
            return refuse(whyNot, QStringLiteral("truncated before the data chunk"));
        const QByteArray id = header.left(4);
        const qint64 size = u32(header, 4);
        const qint64 body = at + chunkHeaderBytes;

        if (id == "fmt ") {
            if (haveFormat)
                return refuse(whyNot, QStringLiteral("two format chunks"));
            // Only the fields we use: a longer chunk's tail is skipped, not read.
            const QByteArray fields = device.read(std::min<qint64>(size, fmtExtensibleBytes));
            if (fields.size() < std::min<qint64>(size, fmtExtensibleBytes))
                return refuse(whyNot, QStringLiteral("truncated format chunk"));
            if (const auto why = readFormat(fields, info))
                return refuse(whyNot, *why);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return refuse(whyNot, QStringLiteral("data chunk before the format chunk"));
            info.dataOffset = body;
            info.declaredDataBytes = size;
            // A header may claim more than the file holds (a cut download, a streaming
            // writer's placeholder): only the bytes really there count.
            const qint64 present = std::clamp<qint64>(fileBytes - body, 0, size);
            info.dataComplete = present == size;
            info.dataBytes = present - present % info.frameBytes();
            const qint64 frames = info.dataBytes / info.frameBytes();
            if (frames == 0)
                return refuse(whyNot, QStringLiteral("no samples"));
            info.durationMs = (frames * 1000 + info.sampleRate - 1) / info.sampleRate;
            if (whyNot)
                whyNot->clear();
            return info;
        }
        at = body + size + (size & 1); // chunks are padded to even lengths
    }
    return refuse(whyNot, QStringLiteral("no data chunk among the first %1 chunks").arg(maxChunks));
}

std::optional<WavInfo> WavInfo::readFile(const QString& path, QString* whyNot)
{
    if (!QFileInfo(path).isFile())
        return refuse(whyNot, QStringLiteral("not a file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(whyNot, file.errorString());
    return read(file, whyNot);
}

std::optional<WavInfo> WavInfo::readData(const QByteArray& bytes, QString* whyNot)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, whyNot);
}
