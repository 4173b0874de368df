#pragma once

#include <random>

// The one random number generator: numbers in [0, 1), reseeded from the seconds since midnight
// where the clock's choices reseed. Tests hand in a fixed sequence.
class Random {
public:
    virtual ~Random() = default;
    virtual void seed(double secondsSinceMidnight)
    {
        m_engine.seed(static_cast<std::mt19937::result_type>(secondsSinceMidnight * 1000.0));
    }
    virtual double next() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine); }

private:
    std::mt19937 m_engine;
};
