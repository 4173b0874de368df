#include "Synth.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Synth {

Timbre bell()
{
    return { {
                 { 0.5, 0.30, 1.9, 0.4 },
                 { 1.0, 1.00, 2.4, 0.7 },
                 { 1.2, 0.22, 3.2 },
                 { 1.5, 0.14, 3.8 },
                 { 2.0, 0.42, 4.5, 1.1 },
                 { 2.52, 0.10, 7.0 },
                 { 3.01, 0.06, 9.0 },
                 { 4.08, 0.03, 13.0 },
             },
        2.5 };
}

Timbre chimeBar()
{
    return { {
                 { 1.0, 1.00, 3.0, 0.5 },
                 { 2.0, 0.28, 4.6 },
                 { 3.01, 0.10, 7.5 },
                 { 4.2, 0.04, 11.0 },
             },
        3.0 };
}

Timbre softBar()
{
    return { {
                 { 1.0, 1.00, 2.1, 0.3 },
                 { 2.0, 0.18, 3.5 },
                 { 3.0, 0.05, 6.0 },
             },
        22.0 };
}

double midiHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

Track::Track(double seconds)
    : m_samples(std::size_t(std::lround(seconds * sampleRate)), 0.0)
{ }

void Track::strike(double atSeconds, double frequencyHz, const Timbre& timbre, double gain)
{
    constexpr double twoPi = 2 * std::numbers::pi;
    const std::size_t first = std::size_t(std::lround(atSeconds * sampleRate));
    const double attackSamples = timbre.attackMs * sampleRate / 1000;
    for (const Partial& p : timbre.partials) {
        const double hz = frequencyHz * p.ratio;
        if (hz >= sampleRate / 2.5)
            continue;
        const double fall = std::exp(-p.decayPerSecond / sampleRate);
        double envelope = gain * p.amplitude;
        for (std::size_t i = first; i < m_samples.size() && envelope > 1e-6; ++i) {
            const double n = double(i - first);
            const double t = n / sampleRate;
            double v = std::sin(twoPi * hz * t);
            if (p.beatHz > 0)
                v = 0.5 * (v + std::sin(twoPi * (hz + p.beatHz) * t));
            const double onset = n < attackSamples
                ? 0.5 - 0.5 * std::cos(std::numbers::pi * n / attackSamples)
                : 1.0;
            m_samples[i] += envelope * onset * v;
            envelope *= fall;
        }
    }
}

void Track::finish(double peak, double fadeMs)
{
    double loudest = 0;
    for (double v : m_samples)
        loudest = std::max(loudest, std::abs(v));
    const double scale = loudest > 0 ? peak / loudest : 0;
    const auto samples = [](double ms) { return std::size_t(std::lround(ms * sampleRate / 1000)); };
    const std::size_t silent = std::min(m_samples.size(), samples(silentTailMs));
    const std::size_t end = m_samples.size() - silent;
    const std::size_t fade = std::min(end, samples(fadeMs));
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        if (i >= end)
            m_samples[i] = 0;
        else if (i + fade >= end)
            m_samples[i]
                *= scale * (0.5 - 0.5 * std::cos(std::numbers::pi * double(end - 1 - i) / fade));
        else
            m_samples[i] *= scale;
    }
}

QByteArray Track::wav() const
{
    const auto le = [](quint32 value, int bytes) {
        QByteArray out(4, '\0');
        qToLittleEndian(value, out.data());
        return out.left(bytes);
    };
    QByteArray data(qsizetype(m_samples.size() * 2), '\0');
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        const long v = std::clamp(std::lround(m_samples[i] * 32767), -32767L, 32767L);
        qToLittleEndian(qint16(v), data.data() + 2 * i);
    }
    return "RIFF" + le(quint32(36 + data.size()), 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) // PCM
        + le(1, 2) // mono
        + le(sampleRate, 4) + le(sampleRate * 2, 4) + le(2, 2) + le(16, 2) + "data"
        + le(quint32(data.size()), 4) + data;
}

} // namespace Synth
