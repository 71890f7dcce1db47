#pragma once

#include "raster/asciiGridStream.h"
#include "raster/rasterInput.h"

// An ESRI ASCII grid: the header read by keyword, rows parsed from the text,
// the coordinate system from the .prj file beside it.
class asciiGridInput : public rasterInput
{
public:
    bool isOpen() const override { return stream_.isOpen(); }
    void close() override { stream_.close(); }
    const coordinateSystem& system() const override { return system_; }
    outputGeoreference georeference() const override { return georeferenceOfHeader(header_, system_); }
    bool readStartCells(std::vector<startCell>& cells, messageSink& sink) override;

protected:
    bool openFile(const QString& fileName, rasterHeader& header, messageSink& sink) override;
    bool readRows(elevationGrid& elevation, messageSink& sink, const readProgress& progress) override;

private:
    asciiGridStream stream_;
    rasterHeader header_;
    coordinateSystem system_;
};
