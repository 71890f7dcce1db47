#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/gridReader.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// A GeoTIFF input raster read through GDAL: band 1, any numeric type, read
// as 32-bit floats. Its header comes from the geotransform and always says
// `corner`, as the geotransform gives the outer corner of the grid.
class geoTiffInput
{
public:
    geoTiffInput();
    ~geoTiffInput();
    geoTiffInput(const geoTiffInput&) = delete;
    geoTiffInput& operator=(const geoTiffInput&) = delete;

    // Opens the file and forms its header; refuses (with a message naming
    // the file and what to do) what cannot be read as a grid of square cells.
    bool open(const QString& fileName, rasterHeader& header, messageSink& sink);
    bool isOpen() const;
    void close();

    const coordinateSystem& system() const { return system_; }
    // GDAL's geotransform: x of the west edge, cell width, 0, y of the north
    // edge, 0, minus the cell height.
    const double* geoTransform() const { return geoTransform_; }

    // Reads all rows straight into the grid, row 0 northernmost.
    bool readElevations(elevationGrid& elevation, messageSink& sink, const readProgress& progress = {});
    // Appends the cells holding a value greater than 0, rows top to bottom.
    bool readStartCells(std::vector<startCell>& cells, messageSink& sink);

private:
    struct dataset;
    bool readRows(int first, int count, float* values, messageSink& sink);

    std::unique_ptr<dataset> dataset_;
    QString fileName_;
    coordinateSystem system_;
    double geoTransform_[6] = {0, 1, 0, 0, 0, -1};
    bool southUp_ = false;
    bool nanNodata_ = false;
    bool hasNodata_ = false;
    float nodata_ = 0.0f;
    int rows_ = 0;
    int cols_ = 0;
    int chunkRows_ = 1;
};
