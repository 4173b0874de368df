#pragma once

#include "core/chimes/SoundOutput.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QTimer>

class QAudioSink;
class QIODevice;

// Plays chimes through a Qt Multimedia audio sink fed in push mode. Each file is decoded once
// and converted to the output device's own format; the sink holds only a short buffer, so the
// sound server plays every stroke as it comes whatever latency its other clients ask for, and a
// stroke ends when the sink has run out of it. Made at the first chime so that a ticking clock
// never loads the audio stack; without a sound device chimes are the desktop's beeps.
class QtSoundOutput : public SoundOutput {
    Q_OBJECT

public:
    // What the sink holds ahead of the server, and how often it is asked for room.
    static constexpr int bufferMs = 50;
    static constexpr int feedMs = 5;
    // A stroke is over this long before the sink has played its last sample, so the next one
    // follows without a gap: longer than the feeder's lateness on a loaded machine plus the
    // steps in which a server reports what it played (PipeWire's are up to some 20 ms).
    static constexpr int leadMs = 40;
    // A fresh stream's lead of silence.
    static constexpr int primeMs = 50;
    // A sound whose end the sink never reports is over after its length and this: a server
    // working in blocks of two seconds takes up to one of them to follow a fresh stream.
    static constexpr int endMarginMs = 2500;
    // The stream goes back to the server this long after the last sound.
    static constexpr int idleCloseMs = 2000;
    // A stream opened ahead of a chime waits this much longer for it.
    static constexpr int prepareMs = 5000;
    // Decoded sounds kept, the least recently played dropped first.
    static constexpr int maxSounds = 16;
    static constexpr qint64 maxSoundBytes = 64LL << 20;

    explicit QtSoundOutput(QObject* parent = nullptr);
    ~QtSoundOutput() override;

    void play(const QString& path) override;
    void playStroke(const QString& path) override;
    void stop() override;
    void beep() override;
    void prepare() override;

    // Earlier versions kept padded copies of the sounds in the cache; their folder goes.
    static void removeOldCopies();

protected:
    void setVolume(double volume) override;
    // Asked at each play; tests without a sound server say there is none.
    virtual bool hasAudioOutput() const;

private:
    struct Held {
        QByteArray pcm; // in m_format
        qint64 fileBytes = 0;
        QDateTime modified;
        quint64 lastUse = 0;
    };

    // The file's sound in the output's format, decoded at its first play or when it changed on
    // disk; null when it cannot be decoded (logged).
    const QByteArray* sound(const QString& path);
    // Starts the sound, cutting what plays; without a sink a beep that lasts as long.
    void start(const QByteArray& pcm, bool stroke);
    bool openSink();
    void prime(bool silenceFirst);
    QByteArray silence(qint64 bytes) const;
    void feed();
    void finish();
    // Silences the current sound at once; its stroke reports no end.
    void cut();
    void closeSink();

    QAudioFormat m_format;
    QAudioSink* m_sink = nullptr;
    QIODevice* m_io = nullptr;
    QByteArray m_sound; // the sound out now
    QByteArray m_playing; // and what the sink is fed of it
    bool m_fresh = false; // the sink has played nothing yet
    qint64 m_written = 0;
    qint64 m_startUs = 0; // the sink's played time when the sound began
    bool m_stroke = false;
    bool m_busy = false; // a sound is out and its end not yet seen
    bool m_prepared = false; // opened for a chime to come, and fed silence till then
    QTimer m_feeder;
    QTimer m_deadline;
    QTimer m_idle;
    QHash<QString, Held> m_held; // by absolute path
    quint64 m_uses = 0;
    QByteArray m_beep;
    bool m_noDeviceLogged = false;
};
