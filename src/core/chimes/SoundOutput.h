#pragma once

#include <QString>

// Where chimes go. Production plays through Qt Multimedia, made at the first chime so that a
// ticking clock does not pay for the audio stack; tests record the calls.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;

    // Starts a sound and returns at once, cutting any sound still playing.
    virtual void playAsync(const QString& path) = 0;
    // Plays a sound and returns when it has ended or stop() was called; the event loop keeps
    // running meanwhile, so the stop key is seen. False when the file could not be played.
    virtual bool playSync(const QString& path) = 0;
    // Silences whatever plays and ends a playSync() that is waiting.
    virtual void stop() = 0;
    // The desktop's beep.
    virtual void beep() = 0;
};
