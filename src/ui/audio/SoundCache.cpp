#include "ui/audio/SoundCache.h"

#include "core/base/Logging.h"
#include "ui/audio/Ding.h"
#include "ui/audio/SoundDecoder.h"

#include <QFileInfo>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

SoundCache::SoundCache(int maxSounds, qint64 maxBytes)
    : m_maxSounds(maxSounds)
    , m_maxBytes(maxBytes)
{ }

bool SoundCache::setFormat(const QAudioFormat& format)
{
    if (format == m_format)
        return false;
    m_held.clear();
    m_ding.clear();
    m_format = format;
    return true;
}

const QByteArray* SoundCache::sound(const QString& path)
{
    const QFileInfo file(path);
    const QString key = file.absoluteFilePath();
    if (const auto held = m_held.find(key); held != m_held.end()) {
        if (held->fileBytes == file.size() && held->modified == file.lastModified()) {
            held->lastUse = ++m_uses;
            return held->pcm.isEmpty() ? nullptr : &held->pcm; // refused and logged before
        }
        qCDebug(lcSound) << "decoding" << path << "again: it changed on disk";
        m_held.erase(held);
    }
    QString whyNot;
    const std::optional<DecodedSound> decoded = DecodedSound::decodeFile(path, &whyNot);
    Held made { decoded ? decoded->convert(m_format) : QByteArray(), file.size(),
        file.lastModified(), ++m_uses };
    if (!decoded)
        qCWarning(lcSound).noquote() << "not playing" << path << "-" << whyNot;
    else
        qCDebug(lcSound) << "decoded" << path << "-" << decoded->durationMs() << "ms at"
                         << decoded->sampleRate << "Hz," << decoded->channels << "channels";
    evictFor(made.pcm.size());
    const auto held = m_held.insert(key, made);
    return held->pcm.isEmpty() ? nullptr : &held->pcm;
}

void SoundCache::evictFor(qint64 bytes)
{
    qint64 total = heldBytes() + bytes;
    while (!m_held.isEmpty() && (m_held.size() >= m_maxSounds || total > m_maxBytes)) {
        const auto oldest = std::min_element(m_held.cbegin(), m_held.cend(),
            [](const Held& a, const Held& b) { return a.lastUse < b.lastUse; });
        total -= oldest->pcm.size();
        m_held.erase(oldest);
    }
}

const QByteArray& SoundCache::ding()
{
    if (m_ding.isEmpty())
        m_ding = Ding::tone().convert(m_format);
    return m_ding;
}

bool SoundCache::holds(const QString& path) const
{
    return m_held.contains(QFileInfo(path).absoluteFilePath());
}

qint64 SoundCache::heldBytes() const
{
    qint64 total = 0;
    for (const Held& held : m_held)
        total += held.pcm.size();
    return total;
}

void SoundCache::clear()
{
    m_held.clear();
    m_ding.clear();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
