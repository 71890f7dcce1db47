#include "raster/consistencyChecks.h"

#include <cmath>

namespace {

// Both differing dimensions are reported, columns first.
bool sameDimensions(const rasterHeader& dem, const rasterHeader& startCells, messageSink& sink)
{
    bool same = true;
    if (dem.ncols != startCells.ncols) {
        sink.error(QStringLiteral("Inconsistent number of columns in data!"));
        same = false;
    }
    if (dem.nrows != startCells.nrows) {
        sink.error(QStringLiteral("Inconsistent number of rows in data!"));
        same = false;
    }
    return same;
}

// Two rasters that both leave the reference open are taken as `corner`; the
// DEM header is changed so that the engine and the outputs agree on it.
bool sameSpatialReference(rasterHeader& dem, const rasterHeader& startCells, const QString& demFileName,
                          const QString& startCellsFileName, messageSink& sink)
{
    if (dem.spatialReference != startCells.spatialReference) {
        QString text = QStringLiteral("Digital models don't use the same spatial reference!");
        if (!startCellsFileName.isEmpty())
            text += QStringLiteral(" %1 gives '%2', %3 gives '%4'.")
                        .arg(demFileName, QLatin1String(spatialReferenceName(dem.spatialReference)), startCellsFileName,
                             QLatin1String(spatialReferenceName(startCells.spatialReference)));
        sink.error(text);
        return false;
    }
    if (dem.spatialReference == rasterHeader::undefined) {
        sink.warning(QStringLiteral("Undefined or unknown spatial reference in file %1! Using 'corner' as default.")
                         .arg(demFileName));
        dem.spatialReference = rasterHeader::corner;
    }
    return true;
}

// Compared after rounding to whole map units, halves away from zero, in
// float: lower-left points less than half a unit apart pass.
bool sameCoordinates(const rasterHeader& dem, const rasterHeader& startCells, messageSink& sink)
{
    const bool same =
        std::round(dem.xll) == std::round(startCells.xll) && std::round(dem.yll) == std::round(startCells.yll);
    if (!same)
        sink.error(QStringLiteral("Digital models don't use the same coordinates!"));
    return same;
}

bool sameCellsize(const rasterHeader& dem, const rasterHeader& startCells, messageSink& sink)
{
    const bool same = dem.cellsize == startCells.cellsize;
    if (!same)
        sink.error(QStringLiteral("Digital models don't use the same cellsize!"));
    return same;
}

}  // namespace

bool checkRasterConsistency(rasterHeader& dem, const rasterHeader& startCells, const QString& demFileName,
                            messageSink& sink, const QString& startCellsFileName)
{
    return sameDimensions(dem, startCells, sink)
           && sameSpatialReference(dem, startCells, demFileName, startCellsFileName, sink)
           && sameCoordinates(dem, startCells, sink) && sameCellsize(dem, startCells, sink);
}

bool checkSameCoordinateSystem(const coordinateSystem& dem, const coordinateSystem& other, const QString& demFileName,
                               const QString& otherFileName, messageSink& sink)
{
    if (dem.isEmpty() || other.isEmpty() || sameCoordinateSystem(dem, other))
        return true;
    const QString target = dem.name.startsWith(QLatin1String("EPSG:")) ? dem.name : QStringLiteral("<DEM's system>");
    sink.error(QStringLiteral("File %1 is in the coordinate system %2, but the DEM %3 is in %4. Reproject it onto the "
                              "DEM's grid, for example with gdalwarp -t_srs %5.")
                   .arg(otherFileName, other.name, demFileName, dem.name, target));
    return false;
}
