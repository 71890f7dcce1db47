#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/readerExercise.h"

// Each input is a GeoTIFF file held in GDAL's in-memory file system, read
// through the raster input as a run reads a GeoTIFF DEM and start cells.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString failure =
        readerExercise::exerciseGeoTiff(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "GeoTIFF reader check failed: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
