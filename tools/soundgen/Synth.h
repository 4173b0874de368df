#pragma once

#include <QByteArray>
#include <QList>

#include <vector>

// Additive synthesis of struck tones, and their writing as WAV files: enough for chimes that a
// clock can strike every hour without wearing on anyone.
namespace Synth {

inline constexpr int sampleRate = 44100;

struct Partial {
    double ratio; // of the struck note's frequency
    double amplitude;
    double decayPerSecond; // e^(-decay t)
    double beatHz = 0; // a twin this far above, as a real bell's slightly uneven rim gives
};

struct Timbre {
    QList<Partial> partials;
    double attackMs; // a raised-cosine onset, so no strike clicks
};

// A bell: hum an octave below, a minor third, a fifth and the nominal above.
Timbre bell();
// A small bright bell, near a music box: the hour tunes.
Timbre chimeBar();
// Soft mallet on a bar, nearly pure: the chords.
Timbre softBar();

// Equal-tempered pitch; 69 is A4 at 440 Hz.
double midiHz(int note);

// A mono sound being mixed, in seconds and full-scale units.
class Track {
public:
    explicit Track(double seconds);

    void strike(double atSeconds, double frequencyHz, const Timbre& timbre, double gain = 1);
    // Scales the peak to this level and fades out over fadeMs, to silence silentTailMs before
    // the end: Qt's sound effect may drop the last fifth of a second of a sound on PulseAudio.
    static constexpr double silentTailMs = 250;
    void finish(double peak, double fadeMs);
    // 16-bit PCM, mono, sampleRate.
    QByteArray wav() const;

private:
    std::vector<double> m_samples;
};

} // namespace Synth
