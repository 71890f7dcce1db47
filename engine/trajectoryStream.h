#pragma once

#include <cstdint>

#include <Random123/philox.h>

// The random numbers of one trajectory in a seeded run. Every trajectory
// has a stream of its own, fixed by the seed and by the trajectory's place
// in the run: (start cell index in file order, simulation index). A draw
// depends on nothing else, so a seeded run gives the same outputs on any
// number of threads and processes.
//
// Generator: Philox4x32-10 (Salmon et al., "Parallel random numbers: as easy
// as 1, 2, 3", SC11; Random123), a counter-based generator:
//   key     = (seed bits 0-31, seed bits 32-63)
//   counter = (block bits 0-31, block bits 32-63, simulation index, start cell index)
// One block gives four 32-bit words w0..w3 and serves two draws. Draw d of
// the trajectory (d = 0, 1, 2, ...) is taken from block d / 2, from the word
// pair (w0, w1) when d is even and (w2, w3) when it is odd:
//   x = w_high * 2^32 + w_low    (w1 resp. w3 is the high word)
//   m = x >> 12                  (the top 52 bits)
//   u = (2m + 1) / 2^53
// Both steps are exact in double precision, so u is the centre of one of 2^52
// equal intervals of (0, 1): the smallest draw is 2^-53, the largest
// 1 - 2^-53, never 0 or 1.
//
// Draws 0 and 1 place the start point (column then row offset), every later
// draw is one heading deviation, as with the run's shared generator.
class trajectoryStream
{
public:
    trajectoryStream(uint64_t seed, uint32_t startCellIndex, uint32_t simulationIndex)
    {
        key_ = {{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32)}};
        counter_ = {{0u, 0u, simulationIndex, startCellIndex}};
    }

    // The next draw, in (0, 1).
    double draw()
    {
        const uint64_t block = drawIndex_ >> 1;
        if ((drawIndex_ & 1u) == 0) {
            counter_.v[0] = static_cast<uint32_t>(block);
            counter_.v[1] = static_cast<uint32_t>(block >> 32);
            words_ = philox_(counter_, key_);
            ++drawIndex_;
            return unitInterval(words_.v[0], words_.v[1]);
        }
        ++drawIndex_;
        return unitInterval(words_.v[2], words_.v[3]);
    }

    static double unitInterval(uint32_t low, uint32_t high)
    {
        const uint64_t x = (static_cast<uint64_t>(high) << 32) | low;
        const uint64_t m = x >> 12;
        return static_cast<double>(2 * m + 1) * 0x1.0p-53;
    }

private:
    r123::Philox4x32 philox_;
    r123::Philox4x32::key_type key_;
    r123::Philox4x32::ctr_type counter_;
    r123::Philox4x32::ctr_type words_;
    uint64_t drawIndex_ = 0;
};
