#include "raster/asciiGridInput.h"

#include "raster/asciiGridProjection.h"

bool asciiGridInput::openFile(const QString& fileName, rasterHeader& header, messageSink& sink)
{
    system_ = coordinateSystem();
    if (!readGridHeader(fileName, header_, stream_, sink))
        return false;
    system_ = coordinateSystemBesideGrid(fileName, sink);
    header = header_;
    return true;
}

bool asciiGridInput::readRows(elevationGrid& elevation, messageSink& sink, const readProgress& progress)
{
    if (!readElevationRows(stream_, elevation, header_.nrows, header_.ncols, progress)) {
        sink.error(QStringLiteral("No complete data row could be read from file %1.").arg(fileName()));
        return false;
    }
    return true;
}

bool asciiGridInput::readStartCells(std::vector<startCell>& cells, messageSink& sink)
{
    return ::readStartCells(stream_, cells, header_.nrows, header_.ncols, sink);
}
