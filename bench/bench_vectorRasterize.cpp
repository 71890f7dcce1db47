// Placing polygons on the DEM's grid against reading that DEM: start cells
// (all polygons burnt at once) and objects (each polygon on its own), beside
// the grid reader on the same grid.
//
//   bench_vectorRasterize [rows [cols [polygons]]]     (default 10000 x 10000 and 10000 polygons)
//
// Each step is given in wall-clock and processor seconds: on a machine shared
// with other work the processor time is the fairer comparison.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "bench/printingSink.h"
#include "bench/syntheticGrid.h"
#include "raster/gdalSession.h"
#include "raster/gridReader.h"
#include "raster/objectsAtRisk.h"
#include "raster/vectorStartCells.h"

namespace {

// Wall-clock and processor time since the last lap.
class stopwatch
{
public:
    stopwatch() { lap(); }
    void lap(double* wall = nullptr, double* processor = nullptr)
    {
        const std::clock_t now = std::clock();
        if (wall)
            *wall = timer_.isValid() ? timer_.nsecsElapsed() / 1e9 : 0.0;
        if (processor)
            *processor = double(now - clock_) / CLOCKS_PER_SEC;
        timer_.start();
        clock_ = now;
    }

private:
    QElapsedTimer timer_;
    std::clock_t clock_ = 0;
};

constexpr double west = 600000.0;
constexpr double south = 5100000.0;
constexpr int cellSize = 2;

// Octagons of 5 to 30 cells' radius scattered over the grid, in one GeoPackage.
bool writePolygons(const QString& path, int rows, int cols, int count)
{
    initialiseGdal();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    GDALDataset* file = driver ? driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr) : nullptr;
    if (!file)
        return false;
    OGRLayer* layer = file->CreateLayer("areas", nullptr, wkbPolygon, nullptr);
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> x(west, west + cols * cellSize);
    std::uniform_real_distribution<double> y(south, south + rows * cellSize);
    std::uniform_real_distribution<double> radius(5.0 * cellSize, 30.0 * cellSize);
    bool written = layer && layer->StartTransaction() == OGRERR_NONE;
    for (int i = 0; written && i < count; ++i) {
        const double cx = x(random);
        const double cy = y(random);
        const double r = radius(random);
        OGRLinearRing ring;
        for (int k = 0; k <= 8; ++k)
            ring.addPoint(cx + r * std::cos(k * M_PI / 4.0), cy + r * std::sin(k * M_PI / 4.0));
        OGRPolygon polygon;
        polygon.addRing(&ring);
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetGeometry(&polygon);
        written = layer->CreateFeature(&feature) == OGRERR_NONE;
    }
    written = written && layer->CommitTransaction() == OGRERR_NONE;
    GDALClose(file);
    return written;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int cols = argc > 2 ? std::atoi(argv[2]) : rows;
    const int polygons = argc > 3 ? std::atoi(argv[3]) : 10000;
    QTemporaryDir dir;
    const QString demPath = dir.filePath(QStringLiteral("dem.asc"));
    const QString layerPath = dir.filePath(QStringLiteral("areas.gpkg"));
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> noise(0, 99999);
    if (!writeSyntheticGrid(demPath, rows, cols, cellSize,
                            [&](int r, int c, char* value) {
                                return std::snprintf(value, 32, "%.3f",
                                                     500.0 + 0.3 * r + 0.2 * c + noise(random) / 1e3);
                            })
        || !writePolygons(layerPath, rows, cols, polygons)) {
        std::fprintf(stderr, "cannot write the inputs in %s\n", qPrintable(dir.path()));
        return 1;
    }

    printingSink sink;
    stopwatch watch;
    asciiGridStream stream;
    rasterHeader dem;
    elevationGrid elevation;
    if (!readGridHeader(demPath, dem, stream, sink) || !readElevationRows(stream, elevation, dem.nrows, dem.ncols))
        return 1;
    double read[2];
    watch.lap(&read[0], &read[1]);

    const double geoTransform[6] = {west, double(cellSize), 0.0, south + rows * double(cellSize),
                                    0.0,  -double(cellSize)};
    watch.lap();
    const auto startCells = readStartCellsLayer({layerPath, {}, {}}, dem, geoTransform, coordinateSystem(), sink);
    double start[2];
    watch.lap(&start[0], &start[1]);
    const auto objects = readObjectsLayer({layerPath, {}, {}}, QString(), dem, geoTransform, coordinateSystem(), sink);
    double object[2];
    watch.lap(&object[0], &object[1]);
    if (!startCells || !objects)
        return 1;

    std::printf("grid %d x %d, %d polygons\n", rows, cols, polygons);
    std::printf("                          wall s   processor s\n");
    std::printf("reading the DEM:         %7.2f   %7.2f\n", read[0], read[1]);
    std::printf("polygons as start cells: %7.2f   %7.2f   (%zu cells; %.0f%% of reading the DEM's processor time)\n",
                start[0], start[1], startCells->size(), 100.0 * start[1] / read[1]);
    std::printf("polygons as objects:     %7.2f   %7.2f   (%zu cells; %.0f%% of reading the DEM's processor time)\n",
                object[0], object[1], objects->cells().size(), 100.0 * object[1] / read[1]);
    return 0;
}
