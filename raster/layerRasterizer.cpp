#include "raster/layerRasterizer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <cpl_conv.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>

#include "raster/gdalSession.h"

namespace {

struct cellCoordinates
{
    double west;
    double north;
    double cellWidth;
    double cellHeight;
    int row0;
    int col0;
};

// GDAL's transformer callback: world coordinates to the window's cell
// coordinates (and back, when GDAL asks for the inverse).
int toCellCoordinates(void* argument, int inverse, int count, double* x, double* y, double*, int* success)
{
    const auto& to = *static_cast<const cellCoordinates*>(argument);
    for (int i = 0; i < count; ++i) {
        if (inverse) {
            x[i] = to.west + (x[i] + to.col0) * to.cellWidth;
            y[i] = to.north - (y[i] + to.row0) * to.cellHeight;
        } else {
            x[i] = (x[i] - to.west) / to.cellWidth - to.col0;
            y[i] = (to.north - y[i]) / to.cellHeight - to.row0;
        }
        success[i] = TRUE;
    }
    return TRUE;
}

struct datasetCloser
{
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

// A MEM dataset whose one band is the caller's mask, so that GDAL burns into
// it in place.
std::unique_ptr<GDALDataset, datasetCloser> maskDataset(const cellWindow& window, uint8_t* mask)
{
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    if (!memory)
        return nullptr;
    std::unique_ptr<GDALDataset, datasetCloser> dataset(
        memory->Create("", window.cols, window.rows, 0, GDT_Byte, nullptr));
    if (!dataset)
        return nullptr;
    char pointer[64] = {};
    const int length = CPLPrintPointer(pointer, mask, static_cast<int>(sizeof(pointer) - 1));
    pointer[length] = '\0';
    const std::string option = std::string("DATAPOINTER=") + pointer;
    const char* const options[] = {option.c_str(), nullptr};
    if (dataset->AddBand(GDT_Byte, const_cast<char**>(options)) != CE_None)
        return nullptr;
    return dataset;
}

bool burnGroup(GDALDataset& dataset, const std::vector<const OGRGeometry*>& geometries, bool allTouched,
               cellCoordinates& coordinates)
{
    if (geometries.empty())
        return true;
    std::vector<OGRGeometryH> handles;
    handles.reserve(geometries.size());
    for (const OGRGeometry* geometry : geometries)
        handles.push_back(OGRGeometry::ToHandle(const_cast<OGRGeometry*>(geometry)));
    const std::vector<double> burnValues(geometries.size(), 1.0);
    int band = 1;
    const char* const options[] = {allTouched ? "ALL_TOUCHED=TRUE" : "ALL_TOUCHED=FALSE", nullptr};
    return GDALRasterizeGeometries(GDALDataset::ToHandle(&dataset), 1, &band, static_cast<int>(handles.size()),
                                   handles.data(), toCellCoordinates, &coordinates, burnValues.data(),
                                   const_cast<char**>(options), nullptr, nullptr)
           == CE_None;
}

}  // namespace

layerRasterizer::layerRasterizer(int rows, int cols, const double geoTransform[6])
    : rows_(rows), cols_(cols), west_(geoTransform[0]), north_(geoTransform[3]), cellWidth_(geoTransform[1]),
      cellHeight_(-geoTransform[5])
{
}

cellWindow layerRasterizer::windowOf(double minX, double minY, double maxX, double maxY) const
{
    const double firstCol = std::floor((minX - west_) / cellWidth_) - 1.0;
    const double lastCol = std::floor((maxX - west_) / cellWidth_) + 1.0;
    const double firstRow = std::floor((north_ - maxY) / cellHeight_) - 1.0;
    const double lastRow = std::floor((north_ - minY) / cellHeight_) + 1.0;
    if (!(lastCol >= 0.0 && firstCol < cols_ && lastRow >= 0.0 && firstRow < rows_))
        return {};
    cellWindow window;
    window.col0 = static_cast<int>(std::max(firstCol, 0.0));
    window.row0 = static_cast<int>(std::max(firstRow, 0.0));
    window.cols = static_cast<int>(std::min(lastCol, cols_ - 1.0)) - window.col0 + 1;
    window.rows = static_cast<int>(std::min(lastRow, rows_ - 1.0)) - window.row0 + 1;
    return window;
}

bool layerRasterizer::burn(const std::vector<const OGRGeometry*>& areas, const std::vector<const OGRGeometry*>& tracks,
                           const cellWindow& window, uint8_t* mask) const
{
    if (window.empty())
        return true;
    initialiseGdal();
    const auto dataset = maskDataset(window, mask);
    if (!dataset)
        return false;
    cellCoordinates coordinates{west_, north_, cellWidth_, cellHeight_, window.row0, window.col0};
    return burnGroup(*dataset, areas, false, coordinates) && burnGroup(*dataset, tracks, true, coordinates);
}
