#pragma once

#include <atomic>
#include <cstdint>

// The run's single source of random numbers: a minimal-standard (Park-Miller)
// engine, multiplier 16807, modulus 2^31 - 1, always starting from state 1.
// A draw takes two engine steps and is atomic, so one thread reproduces the
// sequence exactly and many threads never corrupt it.
class randomGenerator
{
public:
    randomGenerator() = default;

    // A uniform double in [0, 1).
    double draw();

    static uint32_t step(uint32_t state);

    // The value in [0, 1) that a draw forms from two successive engine
    // outputs; 1.0 after rounding becomes the largest double below it.
    static double canonical(uint32_t first, uint32_t second);

private:
    std::atomic<uint32_t> state_{1};
    double a_ = 0.0;
    double b_ = 1.0;
};
