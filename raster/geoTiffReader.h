#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/gridReader.h"
#include "raster/messageSink.h"
#include "raster/rasterInput.h"
#include "raster/rasterTypes.h"

// A GeoTIFF input raster read through GDAL: band 1, any numeric type, read
// as 32-bit floats (the real part of complex values), with the band's scale
// and offset applied. Cells the band's mask leaves out (a mask band, an
// alpha band, a mask of the whole file) are NODATA, as are those holding
// the NODATA value. Its header comes from
// the geotransform and always says `corner`, as the geotransform gives the
// outer corner of the grid. A south-up file is read with its rows turned
// round, so its grid and georeference are north-up like any other.
class geoTiffInput : public rasterInput
{
public:
    geoTiffInput();
    ~geoTiffInput() override;
    geoTiffInput(const geoTiffInput&) = delete;
    geoTiffInput& operator=(const geoTiffInput&) = delete;

    bool isOpen() const override;
    void close() override;

    const coordinateSystem& system() const override { return system_; }
    // GDAL's geotransform as the file gives it: x of the west edge, cell
    // width, 0, y of the first row's edge, 0, minus the cell height (plus
    // the cell height in a south-up file).
    const double* geoTransform() const { return geoTransform_; }
    outputGeoreference georeference() const override;

    bool readStartCells(std::vector<startCell>& cells, messageSink& sink) override;

protected:
    bool openFile(const QString& fileName, rasterHeader& header, messageSink& sink) override;
    // Reads all rows straight into the grid, row 0 northernmost.
    bool readRows(elevationGrid& elevation, messageSink& sink, const readProgress& progress) override;

private:
    struct dataset;
    bool readRowBlock(int first, int count, float* values, messageSink& sink);

    std::unique_ptr<dataset> dataset_;
    QString fileName_;
    coordinateSystem system_;
    double geoTransform_[6] = {0, 1, 0, 0, 0, -1};
    bool southUp_ = false;
    bool nanNodata_ = false;
    bool hasNodata_ = false;
    float nodata_ = 0.0f;
    bool scaled_ = false;  // a scale other than 1 or an offset other than 0
    double scale_ = 1.0;
    double offset_ = 0.0;
    int rows_ = 0;
    int cols_ = 0;
    int chunkRows_ = 1;
};
