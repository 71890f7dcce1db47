#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QString>

#include "raster/gridReader.h"

// Feeds one input through the grid readers the way a run does (the header
// and elevation rows of a DEM, the header and start cells of a start-cells
// raster, both from a file) and checks what must hold whatever the bytes.
// Shared by the fuzz target and the regression test, so every input the
// fuzzer ever broke on is checked the same way again.
namespace readerExercise {

class quietSink final : public messageSink
{
public:
    void error(const QString&) override {}
    void warning(const QString&) override {}
    void message(const QString&) override {}
    void warningBox(const QString&) override {}
};

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline QString checkElevationRows(const QString& path)
{
    quietSink sink;
    rasterHeader header;
    asciiGridStream stream;
    if (!readGridHeader(path, header, stream, sink))
        return {};
    elevationGrid elevation;
    const bool stored = readElevationRows(stream, elevation, header.nrows, header.ncols);
    if (stored != (elevation.rows() > 0))
        return QStringLiteral("readElevationRows: result %1 with %2 rows stored").arg(stored).arg(elevation.rows());
    if (elevation.rows() > std::max(header.nrows, 0))
        return QStringLiteral("readElevationRows: %1 rows for a header of %2").arg(elevation.rows()).arg(header.nrows);
    if (stored && elevation.cols() != header.ncols)
        return QStringLiteral("readElevationRows: rows of %1 values for ncols %2").arg(elevation.cols()).arg(header.ncols);
    if (elevation.size() != static_cast<std::size_t>(elevation.rows()) * static_cast<std::size_t>(elevation.cols()))
        return QStringLiteral("readElevationRows: %1 values in %2 rows").arg(elevation.size()).arg(elevation.rows());
    return {};
}

inline QString checkStartCells(const QString& path)
{
    quietSink sink;
    rasterHeader header;
    asciiGridStream stream;
    if (!readGridHeader(path, header, stream, sink))
        return {};
    std::vector<startCell> cells;
    readStartCells(stream, cells, header.nrows, header.ncols, sink);
    const startCell* previous = nullptr;
    for (const startCell& cell : cells) {
        if (cell.row < 0 || cell.row >= header.nrows || cell.col < 0 || cell.col >= header.ncols)
            return QStringLiteral("readStartCells: cell (%1, %2) outside %3 x %4")
                .arg(cell.row)
                .arg(cell.col)
                .arg(header.nrows)
                .arg(header.ncols);
        if (previous && (cell.row < previous->row || (cell.row == previous->row && cell.col <= previous->col)))
            return QStringLiteral("readStartCells: cell (%1, %2) out of file order").arg(cell.row).arg(cell.col);
        previous = &cell;
    }
    return {};
}

inline bool openBuffer(asciiGridStream& stream, const QByteArray& bytes, qsizetype chunkSize)
{
    auto device = std::make_unique<QBuffer>();
    device->setData(bytes);
    return stream.open(std::move(device), chunkSize);
}

// The stream refills its buffer chunk by chunk; reading the same bytes with
// one large chunk and with tiny ones must give the same lines, values,
// positions and status.
inline QString checkChunking(const QByteArray& bytes)
{
    const qsizetype tinyChunk = bytes.isEmpty() ? 1 : 1 + static_cast<unsigned char>(bytes.back()) % 16;
    asciiGridStream whole;
    asciiGridStream pieces;
    if (!openBuffer(whole, bytes, asciiGridStream::defaultChunkSize) || !openBuffer(pieces, bytes, tinyChunk))
        return QStringLiteral("cannot open a buffer");
    // A failed number leaves its character unread, so the loop is bounded
    // rather than run to the end.
    const qsizetype steps = 2 * bytes.size() + 8;
    for (qsizetype step = 0; step < steps && !(whole.atEnd() && pieces.atEnd()); ++step) {
        const auto choice = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes.at(step % bytes.size())) % 4;
        if (choice == 0) {
            if (whole.peekLineStart(16) != pieces.peekLineStart(16))
                return QStringLiteral("peekLineStart differs at step %1").arg(step);
            QString a;
            QString b;
            if (whole.readLine(a) != pieces.readLine(b) || a != b)
                return QStringLiteral("readLine differs at step %1").arg(step);
        } else if (choice == 1) {
            float a[3] = {-1.0f, -1.0f, -1.0f};
            float b[3] = {-1.0f, -1.0f, -1.0f};
            const qsizetype readA = whole.readFloats(a, 3);
            if (readA != pieces.readFloats(b, 3))
                return QStringLiteral("readFloats count differs at step %1").arg(step);
            for (qsizetype i = 0; i < readA; ++i)
                if (!sameBits(a[i], b[i]))
                    return QStringLiteral("readFloats value differs at step %1").arg(step);
        } else {
            float a = -1.0f;
            float b = -1.0f;
            if (whole.readFloat(a) != pieces.readFloat(b) || !sameBits(a, b))
                return QStringLiteral("readFloat differs at step %1").arg(step);
        }
        if (whole.status() != pieces.status() || whole.pos() != pieces.pos() || whole.atEnd() != pieces.atEnd())
            return QStringLiteral("stream state differs at step %1").arg(step);
        if (whole.pos() > whole.size())
            return QStringLiteral("position %1 beyond size %2").arg(whole.pos()).arg(whole.size());
    }
    return {};
}

// Writes the bytes to `path` and runs every check; an empty result means
// they all held.
inline QString exerciseReaders(const QString& path, const QByteArray& bytes)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return QStringLiteral("cannot write %1").arg(path);
    }
    QString failure = checkElevationRows(path);
    if (failure.isEmpty())
        failure = checkStartCells(path);
    if (failure.isEmpty())
        failure = checkChunking(bytes);
    return failure;
}

}  // namespace readerExercise
