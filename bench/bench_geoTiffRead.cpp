// Reading speed of a DEM as GeoTIFF against the same grid as ESRI ASCII:
// a synthetic grid is written as text, read by the ASCII reader, and the
// grid read is written as a Float32 GeoTIFF (plain strips, and tiled with
// DEFLATE and the floating-point predictor). Each file is then read in turn,
// several times, each time right after its bytes were read through once, so
// that all see the page cache alike; the best wall and processor times of
// each count. The grids read must agree cell for cell.
//
//   bench_geoTiffRead [rows [cols [repeats [folder]]]]   (default 10000 x 10000, 3 repeats)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ctime>
#include <random>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gdal_priv.h>

#include "raster/gdalSession.h"
#include "raster/geoTiffReader.h"
#include "bench/printingSink.h"
#include "bench/syntheticGrid.h"
#include "raster/gridReader.h"

namespace {

// Elevations with two decimals, as lidar products give them, on a slope with noise.
bool writeAsciiGrid(const QString& path, int rows, int cols)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> noise(0, 9999);
    return writeSyntheticGrid(path, rows, cols, 1, [&](int r, int c, char* value) {
        const double elevation = 800.0 + 0.05 * r + 0.02 * c + noise(random) / 100.0;
        return std::snprintf(value, 32, "%.2f", elevation);
    });
}

bool readAscii(const QString& path, elevationGrid& elevation)
{
    printingSink sink;
    asciiGridStream stream;
    rasterHeader header;
    return readGridHeader(path, header, stream, sink)
           && readElevationRows(stream, elevation, header.nrows, header.ncols) && elevation.rows() == header.nrows;
}

bool readGeoTiff(const QString& path, elevationGrid& elevation)
{
    printingSink sink;
    geoTiffInput input;
    rasterHeader header;
    return input.open(path, header, sink) && input.readElevations(elevation, sink);
}

bool writeGeoTiff(const QString& path, const elevationGrid& elevation, const char* const* options)
{
    gdalErrorCapture errors;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDatasetUniquePtr file(driver->Create(path.toUtf8().constData(), elevation.cols(), elevation.rows(), 1,
                                             GDT_Float32, const_cast<char**>(options)));
    double transform[6] = {600000.0, 1.0, 0.0, 5100000.0 + elevation.rows(), 0.0, -1.0};
    return file && file->SetGeoTransform(transform) == CE_None
           && file->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, elevation.cols(), elevation.rows(),
                                               const_cast<float*>(elevation.data()), elevation.cols(), elevation.rows(),
                                               GDT_Float32, 0, 0, nullptr)
                  == CE_None;
}

// Brings the file into the page cache, as far as it fits.
void readThrough(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        while (!file.read(qint64(64) << 20).isEmpty()) {
        }
}

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct contender
{
    const char* name;
    QString path;
    std::function<bool(const QString&, elevationGrid&)> read;
    double best = 0.0;
    double bestProcessor = 0.0;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int cols = argc > 2 ? std::atoi(argv[2]) : rows;
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir temporary;
    const QString folder = argc > 4 ? QString::fromLocal8Bit(argv[4]) : temporary.path();
    initialiseGdal();

    contender contenders[] = {{"ESRI ASCII", folder + "/dem.asc", readAscii},
                              {"GeoTIFF, strips", folder + "/dem.tif", readGeoTiff},
                              {"GeoTIFF, tiled DEFLATE", folder + "/dem-deflate.tif", readGeoTiff}};
    elevationGrid reference;
    const char* const plain[] = {nullptr};
    const char* const deflate[] = {"TILED=YES", "COMPRESS=DEFLATE", "PREDICTOR=3", nullptr};
    if (!writeAsciiGrid(contenders[0].path, rows, cols) || !readAscii(contenders[0].path, reference)
        || !writeGeoTiff(contenders[1].path, reference, plain)
        || !writeGeoTiff(contenders[2].path, reference, deflate)) {
        std::fprintf(stderr, "cannot write the grids into %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("grid %d x %d, %d repeats, best times of each\n", rows, cols, repeats);

    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (contender& one : contenders) {
            elevationGrid elevation;
            readThrough(one.path);
            QElapsedTimer timer;
            timer.start();
            const double processorStart = processorSeconds();
            if (!one.read(one.path, elevation))
                return 1;
            const double seconds = timer.nsecsElapsed() / 1e9;
            const double processor = processorSeconds() - processorStart;
            one.best = repeat == 0 ? seconds : std::min(one.best, seconds);
            one.bestProcessor = repeat == 0 ? processor : std::min(one.bestProcessor, processor);
            if (elevation.size() != reference.size()
                || std::memcmp(elevation.data(), reference.data(), reference.size() * sizeof(float)) != 0) {
                std::fprintf(stderr, "%s: the grid read differs from the ASCII grid\n", one.name);
                return 1;
            }
        }
    }
    for (const contender& one : contenders) {
        const double megabytes = static_cast<double>(QFileInfo(one.path).size()) / (1024.0 * 1024.0);
        std::printf("%-24s %7.1f MB  wall %6.2f s (%5.1f x ASCII's speed)  processor %6.2f s (%5.1f x)\n", one.name,
                    megabytes, one.best, contenders[0].best / one.best, one.bestProcessor,
                    contenders[0].bestProcessor / one.bestProcessor);
    }
    return 0;
}
