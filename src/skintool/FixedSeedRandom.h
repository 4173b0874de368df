#pragma once

#include "core/base/Random.h"

#include <cstdint>
#include <random>

// The generator with every reseeding fixed to one number instead of the time of day, so that a
// random background is the same on every run: after each reseed the first number drawn is the
// first output of std::mt19937 seeded with that number, mapped to [0, 1).
class FixedSeedRandom final : public Random {
public:
    explicit FixedSeedRandom(std::uint32_t seed)
        : m_seed(seed)
        , m_engine(seed)
    { }

    void seed(double /*secondsSinceMidnight*/) override { m_engine.seed(m_seed); }
    double next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine); }

private:
    std::uint32_t m_seed;
    std::mt19937 m_engine;
};
