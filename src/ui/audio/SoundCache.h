#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

// The chime files decoded and converted to the output's format, each once: a file is read again
// only when its size or time on disk changed. A file that cannot be played is remembered as such
// (and logged once). The least recently played go first when there are too many or too much.
class SoundCache {
public:
    SoundCache(int maxSounds, qint64 maxBytes);

    // The format sounds are converted to; a new one drops what is held. Returns whether it changed.
    bool setFormat(const QAudioFormat& format);
    const QAudioFormat& format() const { return m_format; }

    // The file's sound, decoded at its first play or when it changed on disk; null when it cannot
    // be decoded. Valid until the next call that changes the cache.
    const QByteArray* sound(const QString& path);
    // The clock's own short ding.
    const QByteArray& ding();

    bool holds(const QString& path) const;
    qint64 heldBytes() const;
    // Everything goes, the heap it held back to the system.
    void clear();

private:
    struct Held {
        QByteArray pcm; // in m_format; empty for a file that cannot be played
        qint64 fileBytes = 0;
        QDateTime modified;
        quint64 lastUse = 0;
    };

    // Makes room for a sound of this many bytes.
    void evictFor(qint64 bytes);

    const int m_maxSounds;
    const qint64 m_maxBytes;
    QAudioFormat m_format;
    QHash<QString, Held> m_held; // by absolute path
    quint64 m_uses = 0;
    QByteArray m_ding;
};
