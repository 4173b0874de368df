#pragma once

#include "core/chimes/SoundOutput.h"
#include "ui/audio/SoundCache.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

class QAudioSink;
class QIODevice;

// Plays chimes through a Qt Multimedia audio sink fed in push mode. Each file is decoded once
// and converted to the output device's own format (SoundCache); the sink holds only a short buffer,
// so the sound server plays every stroke as it comes whatever latency its other clients ask for.
// Between sounds the open stream runs on silence, which keeps the server working in short blocks
// and places the strokes of a count: a stroke is over when it is all written, and the next one
// starts in the stream exactly as long after it as it was asked for after that. Made at the first
// chime so that a ticking clock never loads the audio stack; without a sound device chimes are the
// desktop's beeps.
class QtSoundOutput : public SoundOutput {
    Q_OBJECT

public:
    // What the sink holds ahead of the server, and how often it is asked for room.
    static constexpr int bufferMs = 50;
    static constexpr int feedMs = 5;
    // A fresh stream's lead of silence.
    static constexpr int primeMs = 50;
    // A sound the sink never takes in full is given up after its length and this: a server
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

signals:
    // The stream has gone back to the server and the decoded sounds are dropped: nothing plays.
    void quiet();

protected:
    void setVolume(double volume) override;
    // The desktop's own beep, where there is no sound device.
    virtual void desktopBeep();
    // Asked at each play; tests without a sound server say there is none.
    virtual bool hasAudioOutput() const;

private:
    // What is written to the sink (or, without one, stands in for it).
    //   any         --start-->  Sound or Stroke, cutting what plays
    //   Sound       --finish--> Silence
    //   Stroke      --finish--> AfterStroke on an open stream; Silence without one
    //   AfterStroke --start of a stroke--> Stroke, after the silence asked for since the last
    //   AfterStroke --closeSink--> Silence
    //   any         --cut-->    Silence
    enum class State {
        Silence, // nothing to play: an open stream is fed silence
        Sound, // a sound is written; without a sink, its beep lasts as long
        Stroke, // the same for a stroke of a count
        AfterStroke, // a stroke was written: silence only as long as the time since its end
    };
    bool playing() const { return m_state == State::Sound || m_state == State::Stroke; }

    // The device's format now (it may have changed), or CD stereo without one; a new format
    // drops the decoded sounds.
    void useDeviceFormat();
    // Starts the sound, cutting what plays, or right after the silence that follows a stroke;
    // without a sink a beep that lasts as long.
    void start(const QByteArray& pcm, bool stroke);
    bool openSink();
    QByteArray silence(qint64 bytes) const;
    qint64 bytesFor(qint64 us) const;
    qint64 usFor(qint64 bytes) const;
    void write(const QByteArray& bytes);
    void feed();
    // The sound is all written, or given up.
    void finish();
    // Silences the current sound at once; its stroke reports no end.
    void cut();
    void closeSink();

    State m_state = State::Silence;
    SoundCache m_sounds { maxSounds, maxSoundBytes };
    QAudioSink* m_sink = nullptr;
    QIODevice* m_io = nullptr;
    qint64 m_streamBytes = 0; // written to the sink since it opened
    qint64 m_soundEnd = 0; // where in the stream the last sound ends
    QByteArray m_playing; // the sound out now, after its lead of silence
    qint64 m_written = 0; // of m_playing
    qint64 m_strokeEnd = 0; // where in the stream the last stroke ended,
    QElapsedTimer m_sinceStroke; // and since when (in AfterStroke)
    QTimer m_feeder;
    QTimer m_deadline;
    QTimer m_idle;
    bool m_noDeviceLogged = false;
};
