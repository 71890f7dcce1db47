#include "raster/geoTiffWriter.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include <gdal_priv.h>

#include "raster/geoTiffFile.h"

namespace {

// Rows handed to GDAL at a time: one row of 256 x 256 tiles.
constexpr int tileSize = 256;

// Fills `count` rows from `first` into `values` (count x cols).
template <typename T>
using rowBlockSource = std::function<void(int first, int count, T* values)>;

template <typename T>
constexpr GDALDataType gdalType()
{
    return std::is_same<T, float>::value ? GDT_Float32 : std::is_same<T, uint8_t>::value ? GDT_Byte : GDT_Int32;
}

// Levels as bytes take 255, which no level reaches.
constexpr double byteNodataValue = 255.0;

// The DEM's NODATA value where the band can hold it and no result can take
// it (counts and percentages are never negative); otherwise -9999.
template <typename T>
double bandNodataValue(const rasterHeader& header)
{
    if (gdalType<T>() == GDT_Byte)
        return byteNodataValue;
    const double nodata = header.nodataValue;
    const bool representable = gdalType<T>() == GDT_Float32
                               || (std::floor(nodata) == nodata && nodata >= std::numeric_limits<int32_t>::min()
                                   && nodata <= std::numeric_limits<int32_t>::max());
    return representable && nodata < 0.0 ? nodata : -9999.0;
}

// Cells where the DEM has no elevation get the band's NODATA value, so that
// a GIS leaves them out instead of showing them as unreached.
template <typename T>
void markCellsWithoutElevation(const elevationGrid& elevations, const rasterHeader& header, int first, int count,
                               int cols, T* values)
{
    if (elevations.cols() != cols)
        return;
    const T nodata = static_cast<T>(bandNodataValue<T>(header));
    for (int r = first; r < std::min(first + count, elevations.rows()); ++r) {
        const float* row = elevations.row(r);
        T* out = values + std::size_t(r - first) * std::size_t(cols);
        for (int c = 0; c < cols; ++c)
            if (row[c] == header.nodataValue)
                out[c] = nodata;
    }
}

template <typename T>
bool writeBands(GDALDataset& file, const rasterHeader& header, int rows, int cols, const rowBlockSource<T>& rowBlock)
{
    GDALRasterBand* band = file.GetRasterBand(1);
    if (band->SetNoDataValue(bandNodataValue<T>(header)) != CE_None)
        return false;
    std::vector<T> block(static_cast<std::size_t>(std::min(rows, tileSize)) * static_cast<std::size_t>(cols));
    for (int first = 0; first < rows; first += tileSize) {
        const int count = std::min(tileSize, rows - first);
        rowBlock(first, count, block.data());
        if (band->RasterIO(GF_Write, 0, first, cols, count, block.data(), cols, count, gdalType<T>(), 0, 0, nullptr)
            != CE_None)
            return false;
    }
    return true;
}

template <typename T>
writeOutcome writeGeoTiff(const outputTarget& target, const rasterHeader& header,
                          const outputGeoreference& georeference, int rows, int cols, const rowBlockSource<T>& rowBlock,
                          messageSink& sink)
{
    // Horizontal differencing for whole numbers, the floating-point predictor for reals.
    const char* const options[] = {"TILED=YES",
                                   "BLOCKXSIZE=256",
                                   "BLOCKYSIZE=256",
                                   "COMPRESS=DEFLATE",
                                   gdalType<T>() == GDT_Float32 ? "PREDICTOR=3" : "PREDICTOR=2",
                                   "BIGTIFF=IF_SAFER",
                                   nullptr};
    return writePlacedGeoTiff(
        target, std::max(cols, 1), std::max(rows, 1), 1, gdalType<T>(), options, georeference,
        [&](GDALDataset& file) { return writeBands<T>(file, header, rows, cols, rowBlock); }, sink);
}

}  // namespace

outputGeoreference georeferenceOfHeader(const rasterHeader& header, const coordinateSystem& system)
{
    outputGeoreference georeference;
    const double cellsize = header.cellsize;
    const double halfCell = header.spatialReference == rasterHeader::center ? cellsize / 2.0 : 0.0;
    const double west = double(header.xll) - halfCell;
    const double south = double(header.yll) - halfCell;
    const double transform[6] = {west, cellsize, 0.0, south + header.nrows * cellsize, 0.0, -cellsize};
    std::copy(transform, transform + 6, georeference.geoTransform);
    georeference.system = system;
    return georeference;
}

writeOutcome writeCountGeoTiff(const outputTarget& target, const rasterHeader& header,
                               const outputGeoreference& georeference, const grid<int32_t>& counts,
                               const elevationGrid& elevations, messageSink& sink)
{
    const rowBlockSource<int32_t> rowBlock = [&](int first, int count, int32_t* values) {
        std::copy(counts.row(first), counts.row(first) + std::size_t(count) * std::size_t(counts.cols()), values);
        markCellsWithoutElevation(elevations, header, first, count, counts.cols(), values);
    };
    return writeGeoTiff<int32_t>(target, header, georeference, counts.rows(), counts.cols(), rowBlock, sink);
}

writeOutcome writeProbabilityGeoTiff(const outputTarget& target, const rasterHeader& header,
                                     const outputGeoreference& georeference, int rows, int cols,
                                     const probabilityRowSource& rowValues, const elevationGrid& elevations,
                                     messageSink& sink)
{
    std::vector<double> row(static_cast<std::size_t>(std::max(cols, 0)));
    const rowBlockSource<float> rowBlock = [&](int first, int count, float* values) {
        for (int r = 0; r < count; ++r) {
            rowValues(first + r, row.data());
            // Stored as 32-bit floats: the percentages keep seven digits.
            std::transform(row.begin(), row.end(), values + std::size_t(r) * std::size_t(cols),
                           [](double percent) { return static_cast<float>(percent); });
        }
        markCellsWithoutElevation(elevations, header, first, count, cols, values);
    };
    return writeGeoTiff<float>(target, header, georeference, rows, cols, rowBlock, sink);
}

writeOutcome writeLevelGeoTiff(const outputTarget& target, const rasterHeader& header,
                               const outputGeoreference& georeference, int rows, int cols,
                               const probabilityRowSource& rowValues, const elevationGrid& elevations,
                               messageSink& sink)
{
    std::vector<double> row(static_cast<std::size_t>(std::max(cols, 0)));
    const rowBlockSource<uint8_t> rowBlock = [&](int first, int count, uint8_t* values) {
        for (int r = 0; r < count; ++r) {
            rowValues(first + r, row.data());
            std::transform(row.begin(), row.end(), values + std::size_t(r) * std::size_t(cols),
                           [](double level) { return static_cast<uint8_t>(std::clamp(level, 0.0, 254.0)); });
        }
        markCellsWithoutElevation(elevations, header, first, count, cols, values);
    };
    return writeGeoTiff<uint8_t>(target, header, georeference, rows, cols, rowBlock, sink);
}
