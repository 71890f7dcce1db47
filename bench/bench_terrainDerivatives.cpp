// Speed of the terrain derivatives (relief grey levels and slope directions)
// on a rough synthetic slope, with one thread and with the default team.
//
//   bench_terrainDerivatives [rows [cols]]     (default 4000 x 4000)

#include <omp.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/terrainDerivatives.h"

namespace {
template <typename Work>
double secondsOf(const Work& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 4000;
    const int cols = argc > 2 ? std::atoi(argv[2]) : rows;
    elevationGrid elevation(rows, cols, 0.0f);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            elevation(r, c) =
                static_cast<float>(2000.0 - 0.3 * r + 8.0 * std::sin(c * 0.05) + ((r * 7 + c * 13) % 17) * 0.03);
    const double cells = double(rows) * double(cols);
    const int teamSize = omp_get_max_threads();
    for (const int threads : {1, teamSize}) {
        omp_set_num_threads(threads);
        grid<uint8_t> greys;
        grid<double> aspects;
        const double relief = secondsOf([&] { computeReliefGreyGrid(elevation, rows, cols, 1.0f, greys); });
        const double aspect = secondsOf([&] { computeAspectGrid(elevation, rows, cols, 1.0f, -9999.0f, aspects); });
        std::printf("%d thread(s): relief %.2f s (%.0f ns/cell), aspect %.2f s (%.0f ns/cell)\n", threads, relief,
                    relief * 1e9 / cells, aspect, aspect * 1e9 / cells);
    }
    return 0;
}
