#include "raster/gridReader.h"

#include <algorithm>
#include <memory>

#include <QBuffer>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Two code points at most four bytes each decide whether a line is a header line.
constexpr int headerTestBytes = 16;

// The header is taken by position: ncols, nrows, xll, yll, cellsize, NODATA_value.
constexpr int parsedHeaderLines = 6;

// ESRI grids may leave out NODATA_value; such a grid has five header lines.
constexpr int requiredHeaderLines = 5;
constexpr float defaultNodataValue = -9999.0f;

// Reports reading progress about this often on large files.
constexpr qint64 progressStepBytes = qint64(16) << 20;

// Values read into one batch of rows: enough for several parallel blocks.
constexpr qint64 batchValues = qint64(4) << 20;

// Case-insensitive with Unicode case folding, as the pattern always was: a
// line starting with U+017F or the Kelvin sign counts as letter-led too.
bool isHeaderLine(const QString& lineStart)
{
    const QRegularExpression pattern(QStringLiteral("^[a-z]{2}.*"), QRegularExpression::CaseInsensitiveOption);
    return pattern.match(lineStart).hasMatch();
}

// A header line is a keyword, white space, then the value.
struct keywordAndValue
{
    QString keyword;
    QString valueText;  // the rest of the line after the keyword
};

keywordAndValue splitHeaderLine(const QString& line)
{
    qsizetype keywordEnd = 0;
    while (keywordEnd < line.size() && !line.at(keywordEnd).isSpace())
        ++keywordEnd;
    return {line.left(keywordEnd), line.mid(keywordEnd)};
}

// A decimal integer; anything else leaves the field at 0.
int32_t integerValue(const QString& line)
{
    const QString text = splitHeaderLine(line).valueText;
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin).isSpace())
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    bool ok = false;
    const int value = text.mid(begin, end - begin).toInt(&ok, 10);
    return ok ? value : 0;
}

// Read exactly as a data value is read; a value that fails to parse is 0.
float floatValue(const QString& line)
{
    // The value text starts with the white space after the keyword, so it
    // never starts with a byte order mark that the stream would drop.
    auto text = std::make_unique<QBuffer>();
    text->setData(splitHeaderLine(line).valueText.toUtf8());
    asciiGridStream stream;
    float value = 0.0f;
    if (stream.open(std::move(text)))
        stream.readFloat(value);
    return value;
}

int32_t spatialReferenceOf(const QString& xllLine)
{
    const QString keyword = splitHeaderLine(xllLine).keyword;
    if (keyword.contains(QLatin1String("corner"), Qt::CaseInsensitive))
        return rasterHeader::corner;
    if (keyword.contains(QLatin1String("center"), Qt::CaseInsensitive))
        return rasterHeader::center;
    return rasterHeader::undefined;
}

// GDAL writes a grid of non-square cells with "dx" and "dy" lines where the
// cell size goes; taken by position, dy would become the NODATA value.
bool hasCellWidthAndHeight(const QStringList& lines)
{
    for (const QString& line : lines) {
        const QString keyword = splitHeaderLine(line).keyword;
        if (keyword.compare(QLatin1String("dx"), Qt::CaseInsensitive) == 0
            || keyword.compare(QLatin1String("dy"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

rasterHeader parseHeader(const QStringList& lines)
{
    rasterHeader header;
    header.ncols = integerValue(lines.at(0));
    header.nrows = integerValue(lines.at(1));
    header.xll = floatValue(lines.at(2));
    header.yll = floatValue(lines.at(3));
    header.cellsize = floatValue(lines.at(4));
    header.nodataValue = lines.size() > 5 ? floatValue(lines.at(5)) : defaultNodataValue;
    header.spatialReference = spatialReferenceOf(lines.at(2));
    return header;
}

}  // namespace

bool readGridHeader(const QString& fileName, rasterHeader& header, asciiGridStream& stream, messageSink& sink)
{
    if (fileName.isEmpty()) {
        sink.error(QStringLiteral("No file name provided!"));
        return false;
    }
    if (!stream.open(fileName)) {
        sink.warningBox(permissionWarningText(true, fileName));
        sink.error(QStringLiteral("Unable to open file %1 for reading: please check permissions.").arg(fileName));
        return false;
    }

    // Header lines run up to the first line that is not letter-led; that line
    // stays unread for the data readers. Lines after the sixth are ignored.
    QStringList headerLines;
    int headerLineCount = 0;
    bool dataLineFound = false;
    while (!stream.atEnd()) {
        if (!isHeaderLine(stream.peekLineStart(headerTestBytes))) {
            dataLineFound = true;
            break;
        }
        QString line;
        stream.readLine(line);
        if (headerLines.size() < parsedHeaderLines)
            headerLines.append(line);
        ++headerLineCount;
    }

    if (!dataLineFound) {
        sink.error(QStringLiteral("File %1 contains no data.").arg(fileName));
        return false;
    }
    if (headerLineCount < requiredHeaderLines) {
        sink.error(QStringLiteral("File %1 has an incomplete header: expected at least %2 header lines, found %3.")
                       .arg(fileName)
                       .arg(requiredHeaderLines)
                       .arg(headerLineCount));
        return false;
    }
    if (hasCellWidthAndHeight(headerLines)) {
        sink.error(QStringLiteral("File %1 has non-square cells (dx and dy header lines): resample it to square "
                                  "cells, for example with gdalwarp -tr <size> <size>.")
                       .arg(fileName));
        return false;
    }
    header = parseHeader(headerLines);
    return true;
}

bool readElevationRows(asciiGridStream& stream, elevationGrid& elevation, int nrows, int ncols,
                       const readProgress& progress)
{
    // Every value takes at least one byte: a header that announces more
    // columns than the file has bytes cannot yield a row, and must not make
    // the reader allocate for it.
    const qint64 remainingBytes = stream.size() - stream.pos();
    if (nrows <= 0 || ncols <= 0 || remainingBytes < ncols)
        return false;
    const qint64 possibleRows = remainingBytes / ncols;
    elevation.startRows(ncols, static_cast<std::size_t>(std::min<qint64>(nrows, possibleRows)));

    // Rows are read a batch at a time, so that large grids are parsed in
    // blocks big enough for two threads. The values after a failure are
    // never used: the status stays bad once a value fails, so no later row
    // could be stored.
    const int batchRows = static_cast<int>(std::clamp<qint64>(batchValues / ncols, 1, nrows));
    std::vector<float> batch(static_cast<std::size_t>(batchRows) * static_cast<std::size_t>(ncols));
    qint64 reportedAt = stream.pos();
    while (!stream.atEnd() && elevation.rows() < nrows) {
        const int wantedRows = std::min(batchRows, nrows - elevation.rows());
        const qsizetype wanted = qsizetype(wantedRows) * ncols;
        const qsizetype read = stream.readFloats(batch.data(), wanted);
        const bool allRead = read == wanted && stream.status() == asciiGridStream::ok;
        const int completeRows = allRead ? wantedRows : static_cast<int>(read / ncols);
        for (int r = 0; r < completeRows; ++r)
            elevation.appendRow(batch.data() + std::size_t(r) * std::size_t(ncols));
        if (!allRead)
            break;
        if (progress && stream.pos() - reportedAt >= progressStepBytes) {
            reportedAt = stream.pos();
            progress(reportedAt, stream.size());
        }
    }
    if (progress)
        progress(stream.pos(), stream.size());
    return elevation.rows() > 0;
}

bool readStartCells(asciiGridStream& stream, std::vector<startCell>& cells, int nrows, int ncols, messageSink& sink)
{
    if (stream.atEnd() || ncols <= 0)
        return true;
    std::vector<float> row(static_cast<std::size_t>(ncols));
    for (int r = 0; r < nrows; ++r) {
        const qsizetype read = stream.readFloats(row.data(), ncols);
        for (qsizetype c = 0; c < read; ++c) {
            if (row[std::size_t(c)] > 0.0f)
                cells.push_back(startCell{r, static_cast<int32_t>(c)});
        }
        if (read < ncols) {
            // Six header lines and one line per row, counted from 1.
            sink.error(QStringLiteral("Failed to parse start cells file. Syntax error on line %1.").arg(qint64(r) + 7));
            return false;
        }
        if (stream.atEnd())
            return true;
    }
    return true;
}
