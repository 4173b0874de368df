#pragma once

#include <QObject>
#include <QString>

// Where chimes sound. Production plays through Qt Multimedia, made at the first chime so that a
// ticking clock does not pay for the audio stack; tests record the calls.
class SoundOutput : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts a sound at once, cutting any still playing; a file that cannot be played beeps, as
    // the desktop's default sound would. An empty path only silences.
    virtual void play(const QString& path) = 0;
    // One stroke of a counting chime: strokeEnded() follows once it is out in full, or at once,
    // without a beep, when the file cannot be played. A stroke asked for soon after that is heard
    // as long after this one's end as it was asked for after the signal; any other sound still
    // playing is cut.
    virtual void playStroke(const QString& path) = 0;
    // Silences whatever plays; a stroke cut this way reports no end.
    virtual void stop() = 0;
    // The desktop's beep.
    virtual void beep() = 0;
    // A chime is due in a few seconds: whatever must start early to strike it on time starts.
    virtual void prepare() { }
    // The chimes' own volume, 0 to 1 (linear), for every sound from now on.
    virtual void setVolume(double volume) { m_volume = volume; }
    double volume() const { return m_volume; }

signals:
    void strokeEnded();

protected:
    double m_volume = 1;
};
