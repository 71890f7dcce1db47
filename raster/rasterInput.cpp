#include "raster/rasterInput.h"

#include <algorithm>
#include <cmath>

#include "raster/asciiGridInput.h"
#include "raster/geoTiffReader.h"

namespace {

bool holdsElevation(const elevationGrid& elevation, float nodata)
{
    const float* values = elevation.data();
    return std::any_of(values, values + elevation.size(),
                       [nodata](float value) { return value != nodata && !std::isnan(value); });
}

}  // namespace

bool rasterInput::open(const QString& fileName, rasterHeader& header, messageSink& sink)
{
    close();
    fileName_ = fileName;
    header_ = rasterHeader{};
    if (fileName.isEmpty()) {
        sink.error(QStringLiteral("No file name provided!"));
        return false;
    }
    if (!openFile(fileName, header_, sink))
        return false;
    header = header_;
    return true;
}

bool rasterInput::readElevations(elevationGrid& elevation, messageSink& sink, const readProgress& progress)
{
    elevation.clear();
    const bool read = readRows(elevation, sink, progress);
    close();
    if (!read)
        return false;
    if (elevation.rows() < header_.nrows) {
        sink.error(QStringLiteral("File %1 holds %2 complete data rows, but its header announces %3.")
                       .arg(fileName_)
                       .arg(elevation.rows())
                       .arg(header_.nrows));
        return false;
    }
    // Every trajectory would stop where it starts, and the outputs would be empty.
    if (!holdsElevation(elevation, header_.nodataValue)) {
        sink.error(QStringLiteral("File %1 holds no elevation: every cell is NODATA (%2). Give a DEM with "
                                  "elevations.")
                       .arg(fileName_)
                       .arg(double(header_.nodataValue)));
        return false;
    }
    return true;
}

std::unique_ptr<rasterInput> rasterInputFor(const QString& fileName)
{
    switch (inputFileTypeFromName(fileName)) {
    case esriAsciiGrid:
        return std::make_unique<asciiGridInput>();
    case geoTiff:
        return std::make_unique<geoTiffInput>();
    default:
        return nullptr;
    }
}

QString supportedRasterInputs()
{
    return QStringLiteral("ESRI ASCII grids with the suffix .asc or .txt and GeoTIFF files with the suffix .tif or "
                          ".tiff");
}
