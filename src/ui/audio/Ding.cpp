#include "ui/audio/Ding.h"

#include <cmath>
#include <numbers>

DecodedSound Ding::tone()
{
    DecodedSound tone;
    tone.sampleRate = 44100;
    tone.channels = 1;
    const int frames = tone.sampleRate * durationMs / 1000;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / tone.sampleRate;
        tone.samples.push_back(
            float(0.5 * std::sin(2 * std::numbers::pi * 1000 * t) * std::exp(-t / 0.06)));
    }
    return tone;
}
