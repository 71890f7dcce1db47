#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <QBuffer>
#include <QFile>

#include <cpl_vsi.h>

#include "raster/gdalSession.h"
#include "raster/geoTiffReader.h"
#include "raster/gridReader.h"
#include "raster/rasterInput.h"

// Feeds one input through the grid readers as a run does (header and
// elevation rows of a DEM, header and start cells of a start-cells raster,
// both from a file) and checks what must hold whatever the bytes. Shared by
// the fuzz target and tst_fuzzRegressions. An empty result: every check held.
namespace readerExercise {

inline QString checkElevationRows(const QString& path)
{
    silentSink sink;
    rasterHeader header;
    asciiGridStream stream;
    elevationGrid elevation;
    if (!readGridHeader(path, header, stream, sink))
        return {};
    const bool stored = readElevationRows(stream, elevation, header.nrows, header.ncols);
    const bool sound = stored == (elevation.rows() > 0) && elevation.rows() <= std::max(header.nrows, 0)
                       && (!stored || elevation.cols() == header.ncols)
                       && elevation.size() == std::size_t(elevation.rows()) * std::size_t(elevation.cols());
    return sound ? QString()
                 : QString::asprintf("readElevationRows: %d rows of %d values (%zu stored) for %d x %d",
                                     elevation.rows(), elevation.cols(), elevation.size(), header.nrows, header.ncols);
}

// Start cells inside the grid, in row order.
inline QString checkCells(const std::vector<startCell>& cells, const rasterHeader& header, const char* reader)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const startCell& cell = cells[i];
        const bool ordered =
            i == 0 || cell.row > cells[i - 1].row || (cell.row == cells[i - 1].row && cell.col > cells[i - 1].col);
        if (cell.row < 0 || cell.row >= header.nrows || cell.col < 0 || cell.col >= header.ncols || !ordered)
            return QString::asprintf("%s: cell (%d, %d) outside %d x %d or out of order", reader, cell.row, cell.col,
                                     header.nrows, header.ncols);
    }
    return {};
}

// Start cells lie inside the grid and come in file order.
inline QString checkStartCells(const QString& path)
{
    silentSink sink;
    rasterHeader header;
    asciiGridStream stream;
    std::vector<startCell> cells;
    if (!readGridHeader(path, header, stream, sink))
        return {};
    readStartCells(stream, cells, header.nrows, header.ncols, sink);
    return checkCells(cells, header, "readStartCells");
}

// Grids larger than this are opened but not read: the check is about the
// reader, not about the memory a header may ask for.
constexpr qint64 largestReadCells = qint64(1) << 22;

// Through the raster input a run uses (rasterInputFor picks it by suffix):
// a header that opens is finite and positive in size, a grid that reads has
// exactly the header's rows, and its start cells lie inside it.
inline QString checkRasterInput(const QString& path)
{
    silentSink sink;
    rasterHeader header;
    const std::unique_ptr<rasterInput> input = rasterInputFor(path);
    if (!input || !input->open(path, header, sink))
        return {};
    if (!std::isfinite(header.xll) || !std::isfinite(header.yll) || !std::isfinite(header.cellsize))
        return QStringLiteral("rasterInput: a non-finite origin or cell size was accepted");
    if (header.nrows <= 0 || header.ncols <= 0 || qint64(header.nrows) * header.ncols > largestReadCells)
        return {};
    elevationGrid elevation;
    if (input->readElevations(elevation, sink)
        && (elevation.rows() != header.nrows || elevation.cols() != header.ncols))
        return QString::asprintf("rasterInput: %d x %d read for a header of %d x %d", elevation.rows(),
                                 elevation.cols(), header.nrows, header.ncols);
    std::vector<startCell> cells;
    if (!input->open(path, header, sink))
        return QStringLiteral("rasterInput: the file opened once, not twice");
    input->readStartCells(cells, sink);
    return checkCells(cells, header, "rasterInput");
}

// The bytes as a GeoTIFF in GDAL's in-memory file system, read as a run
// reads a GeoTIFF input.
inline QString exerciseGeoTiff(const QByteArray& bytes)
{
    initialiseGdal();
    static int files = 0;
    const QString path = QStringLiteral("/vsimem/tumbra-fuzz-%1.tif").arg(++files);
    VSIFCloseL(VSIFileFromMemBuffer(path.toUtf8().constData(),
                                    reinterpret_cast<GByte*>(const_cast<char*>(bytes.constData())),
                                    static_cast<vsi_l_offset>(bytes.size()), FALSE));
    const QString failure = checkRasterInput(path);
    VSIUnlink(path.toUtf8().constData());
    return failure;
}

// Read in one large chunk and in tiny ones, the same bytes give the same
// lines, values, positions and status.
inline QString checkChunking(const QByteArray& bytes)
{
    asciiGridStream whole;
    asciiGridStream pieces;
    for (asciiGridStream* stream : {&whole, &pieces}) {
        auto device = std::make_unique<QBuffer>();
        device->setData(bytes);
        const qsizetype tiny = bytes.isEmpty() ? 1 : 1 + static_cast<unsigned char>(bytes.back()) % 16;
        if (!stream->open(std::move(device), stream == &whole ? asciiGridStream::defaultChunkSize : tiny))
            return QStringLiteral("cannot open a buffer");
    }
    // A failed number leaves its character unread: the loop is bounded.
    for (qsizetype step = 0; step < 2 * bytes.size() + 8 && !(whole.atEnd() && pieces.atEnd()); ++step) {
        const int choice = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes.at(step % bytes.size())) % 4;
        bool same = true;
        if (choice == 0) {
            QString a;
            QString b;
            same = whole.peekLineStart(16) == pieces.peekLineStart(16) && whole.readLine(a) == pieces.readLine(b)
                   && a == b;
        } else {
            float a[3] = {-1.0f, -1.0f, -1.0f};
            float b[3] = {-1.0f, -1.0f, -1.0f};
            if (choice == 1)
                same = whole.readFloats(a, 3) == pieces.readFloats(b, 3);
            else
                same = whole.readFloat(a[0]) == pieces.readFloat(b[0]);
            same = same && std::memcmp(a, b, sizeof a) == 0;
        }
        if (!same || whole.status() != pieces.status() || whole.pos() != pieces.pos() || whole.atEnd() != pieces.atEnd()
            || whole.pos() > whole.size())
            return QStringLiteral("the streams differ at step %1 (choice %2)").arg(step).arg(choice);
    }
    return {};
}

// Writes the bytes to `path` and runs every check.
inline QString exerciseReaders(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QStringLiteral("cannot write %1").arg(path);
    file.close();
    QString failure = checkElevationRows(path);
    if (failure.isEmpty())
        failure = checkStartCells(path);
    if (failure.isEmpty())
        failure = checkRasterInput(path);
    return failure.isEmpty() ? checkChunking(bytes) : failure;
}

}  // namespace readerExercise
