#include "engine/randomGenerator.h"

namespace {
constexpr uint32_t modulus = 2147483647u;  // 2^31 - 1
constexpr uint32_t multiplier = 16807u;
constexpr uint32_t schrageQuotient = 127773u;           // modulus / multiplier
constexpr uint32_t schrageRemainder = 2836u;            // modulus % multiplier
constexpr double engineRange = 2147483646.0;            // distinct engine values 1 .. 2^31 - 2
constexpr double largestBelowOne = 0.9999999999999999;  // the largest double below 1.0
}  // namespace

// Schrage's method keeps every intermediate below 2^32, so the step needs no
// 64-bit product and gives the same sequence on every platform.
uint32_t randomGenerator::step(uint32_t state)
{
    const uint32_t hi = state / schrageQuotient;
    const uint32_t lo = state % schrageQuotient;
    const uint32_t t1 = multiplier * lo;
    const uint32_t t2 = schrageRemainder * hi;
    return t1 < t2 ? t1 + modulus - t2 : t1 - t2;
}

// Both engine steps of a draw are claimed in one compare-and-swap, so a draw
// never interleaves with another thread's and one thread sees the plain
// sequence.
double randomGenerator::draw()
{
    uint32_t current = state_.load(std::memory_order_relaxed);
    uint32_t first = 0;
    uint32_t second = 0;
    do {
        first = step(current);
        second = step(first);
    } while (!state_.compare_exchange_weak(current, second, std::memory_order_relaxed));
    return canonical(first, second) * (b_ - a_) + a_;
}

double randomGenerator::canonical(uint32_t first, uint32_t second)
{
    // 53 bits from two 31-bit values: the low value first, the high one
    // scaled by the range. Each product of two values below 2^31 is rounded
    // once to double, as an extended-precision product stored back would be.
    double sum = 0.0;
    double factor = 1.0;
    sum += static_cast<double>(first - 1u) * factor;
    factor *= engineRange;
    sum += static_cast<double>(second - 1u) * factor;
    factor *= engineRange;

    double u = sum / factor;
    if (u >= 1.0)
        u = largestBelowOne;
    return u;
}
