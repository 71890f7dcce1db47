// Reading speed of the grid reader on a synthetic DEM, against a plain
// QTextStream >> float loop over the same file.
//
//   bench_gridReader [rows [cols [file]]]     (default 5000 x 5000 in a temporary folder)
//   bench_gridReader --read FILE [repeats]    (the reader alone on an existing grid, best of repeats)
//
// The file is written first, so both readers see it in the page cache.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include "bench/printingSink.h"
#include "bench/syntheticGrid.h"
#include "raster/gridReader.h"

namespace {

// Elevations with three decimals on a smooth slope plus noise; one cell in
// fifty is NODATA.
bool writeNoisySlope(const QString& path, int rows, int cols)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> noise(0, 99999);
    return writeSyntheticGrid(path, rows, cols, 2, [&](int r, int c, char* value) {
        const int n = noise(random);
        if (n % 50 == 0)
            return std::snprintf(value, 32, "-9999");
        return std::snprintf(value, 32, "%.3f", 500.0 + 0.3 * r + 0.2 * c + n / 1000.0);
    });
}

}  // namespace

// Header and data rows of an existing grid, as the run reads them.
int readExistingGrid(const QString& path, int repeats)
{
    const double megabytes = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    double best = 0.0;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        printingSink sink;
        asciiGridStream stream;
        rasterHeader header;
        elevationGrid elevation;
        QElapsedTimer timer;
        timer.start();
        if (!readGridHeader(path, header, stream, sink)
            || !readElevationRows(stream, elevation, header.nrows, header.ncols))
            return 1;
        const double seconds = timer.nsecsElapsed() / 1e9;
        best = repeat == 0 ? seconds : std::min(best, seconds);
        if (elevation.rows() != header.nrows) {
            std::fprintf(stderr, "only %d of %d rows read\n", elevation.rows(), header.nrows);
            return 1;
        }
    }
    std::printf("grid reader: %.1f MB in %.2f s, %.1f MB/s (best of %d)\n", megabytes, best, megabytes / best, repeats);
    return 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], "--read") == 0)
        return readExistingGrid(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::max(1, std::atoi(argv[3])) : 1);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int cols = argc > 2 ? std::atoi(argv[2]) : rows;
    QTemporaryDir dir;
    const QString path = argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir.filePath(QStringLiteral("dem.asc"));

    QElapsedTimer timer;
    timer.start();
    if (!writeNoisySlope(path, rows, cols)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const double megabytes = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("grid %d x %d, %.1f MB, written in %.2f s\n", rows, cols, megabytes, timer.elapsed() / 1000.0);

    printingSink sink;
    asciiGridStream stream;
    rasterHeader header;
    elevationGrid elevation;
    timer.restart();
    if (!readGridHeader(path, header, stream, sink)
        || !readElevationRows(stream, elevation, header.nrows, header.ncols))
        return 1;
    const double readerSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("grid reader:          %7.2f s  %7.1f MB/s  (%d rows)\n", readerSeconds, megabytes / readerSeconds,
                elevation.rows());

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    timer.restart();
    QTextStream text(&file);
    for (int line = 0; line < 6; ++line)
        text.readLine();
    std::vector<float> values(static_cast<size_t>(rows) * static_cast<size_t>(cols));
    for (float& value : values)
        text >> value;
    const double streamSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("QTextStream >> float: %7.2f s  %7.1f MB/s\n", streamSeconds, megabytes / streamSeconds);

    const bool same = elevation.size() == values.size()
                      && std::memcmp(elevation.data(), values.data(), values.size() * sizeof(float)) == 0;
    std::printf("values identical: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
