#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/geoTiffWriter.h"
#include "raster/gridReader.h"
#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// An input raster, whatever its format: its header, its coordinate system
// and its rows, row 0 northernmost. One implementation per format; the file's
// suffix picks it (rasterInputFor). A DEM and a start-cells raster are read
// through the same interface.
class rasterInput
{
public:
    virtual ~rasterInput() = default;

    // Opens the file and forms its header; refuses, with a message naming the
    // file and the cause, what cannot be read as a grid of square cells.
    bool open(const QString& fileName, rasterHeader& header, messageSink& sink);
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    const QString& fileName() const { return fileName_; }
    // The raster's coordinate system; empty when it has none.
    virtual const coordinateSystem& system() const = 0;
    // Where output grids of this raster's shape lie: a north-up geotransform
    // in double, whatever the row order of the file.
    virtual outputGeoreference georeference() const = 0;

    // Reads all rows as elevations. Refuses a file with fewer complete rows
    // than its header announces, and one without any elevation.
    bool readElevations(elevationGrid& elevation, messageSink& sink, const readProgress& progress = {});
    // Appends the cells holding a value greater than 0, rows top to bottom.
    virtual bool readStartCells(std::vector<startCell>& cells, messageSink& sink) = 0;

protected:
    virtual bool openFile(const QString& fileName, rasterHeader& header, messageSink& sink) = 0;
    virtual bool readRows(elevationGrid& elevation, messageSink& sink, const readProgress& progress) = 0;

private:
    QString fileName_;
    rasterHeader header_;
};

// The reader the file's suffix names (.asc and .txt: ESRI ASCII grid, .tif and
// .tiff: GeoTIFF, in any case); none for another suffix.
std::unique_ptr<rasterInput> rasterInputFor(const QString& fileName);

// "ESRI ASCII grids with the suffix .asc or .txt and GeoTIFF files with the
// suffix .tif or .tiff": what rasterInputFor takes.
QString supportedRasterInputs();
