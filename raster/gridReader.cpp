#include "raster/gridReader.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <memory>

#include <QBuffer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Enough of a line to see past its leading white space to its first word.
constexpr int headerTestBytes = 320;

// ESRI grids may leave out NODATA_value.
constexpr float defaultNodataValue = -9999.0f;

// Messages quote at most this much of a line.
constexpr int quotedLineLength = 80;

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

qsizetype leadingSpaces(const QString& text)
{
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin).isSpace())
        ++begin;
    return begin;
}

// Read exactly as a data value is read, before its narrowing to float. True
// only when the text holds that one number and white space.
bool realValue(const QString& valueText, double& value)
{
    // The value text starts with the white space after the keyword, so it
    // never starts with a byte order mark that the stream would drop.
    auto text = std::make_unique<QBuffer>();
    text->setData(valueText.toUtf8());
    asciiGridStream stream;
    value = 0.0;
    if (!stream.open(std::move(text)) || !stream.readDouble(value))
        return false;
    return stream.readAll().trimmed().isEmpty();
}

// How the header reading takes the line ahead.
struct peekedLine
{
    bool blank = false;   // white space only: passed over
    bool header = false;  // a header line
};

// A line that starts with two letters is a header line, as it always was,
// unless it follows a blank line. An indented line, or one after a blank
// line, is a header line when its first word is letter-led and is not a
// number ("nan", "inf"): such a line used to end the header, and the data
// reading then failed on its keyword, so no file that was read reads otherwise.
peekedLine judgeLine(const QString& start, bool afterBlankLine)
{
    const qsizetype indent = leadingSpaces(start);
    peekedLine line;
    // A whitespace line longer than the look is left to the data reading.
    line.blank = indent == start.size() && start.toUtf8().size() < headerTestBytes;
    if (line.blank)
        return line;
    if (indent == 0 && !afterBlankLine) {
        line.header = isHeaderLine(start);
        return line;
    }
    const QString rest = start.mid(indent);
    qsizetype wordEnd = 0;
    while (wordEnd < rest.size() && !rest.at(wordEnd).isSpace())
        ++wordEnd;
    double number = 0.0;
    line.header = isHeaderLine(rest) && !realValue(rest.left(wordEnd), number);
    return line;
}

// A header line is a keyword, white space, then the value.
struct keywordAndValue
{
    QString keyword;
    QString valueText;  // the rest of the line after the keyword
};

keywordAndValue splitHeaderLine(const QString& line)
{
    const qsizetype keywordBegin = leadingSpaces(line);
    qsizetype keywordEnd = keywordBegin;
    while (keywordEnd < line.size() && !line.at(keywordEnd).isSpace())
        ++keywordEnd;
    return {line.mid(keywordBegin, keywordEnd - keywordBegin), line.mid(keywordEnd)};
}

// The header's fields, each named by one keyword or, for the lower-left
// point, by any of three (xllcorner, xllcenter, a bare xll), in any case.
enum headerField { ncolsField, nrowsField, xField, yField, cellsizeField, nodataField, fieldCount };
constexpr int requiredFields = nodataField;

struct headerKeyword
{
    const char* keyword;
    headerField field;
    int32_t spatialReference;
};

constexpr headerKeyword headerKeywords[] = {
    {"ncols", ncolsField, rasterHeader::undefined},
    {"nrows", nrowsField, rasterHeader::undefined},
    {"xllcorner", xField, rasterHeader::corner},
    {"xllcenter", xField, rasterHeader::center},
    {"xll", xField, rasterHeader::undefined},
    {"yllcorner", yField, rasterHeader::corner},
    {"yllcenter", yField, rasterHeader::center},
    {"yll", yField, rasterHeader::undefined},
    {"cellsize", cellsizeField, rasterHeader::undefined},
    {"nodata_value", nodataField, rasterHeader::undefined},
    {"nodata", nodataField, rasterHeader::undefined},
};

const char* const fieldNames[fieldCount] = {
    "ncols", "nrows", "xllcorner (or xllcenter)", "yllcorner (or yllcenter)", "cellsize", "NODATA_value"};

const headerKeyword* findKeyword(const QString& keyword)
{
    for (const headerKeyword& known : headerKeywords) {
        if (keyword.compare(QLatin1String(known.keyword), Qt::CaseInsensitive) == 0)
            return &known;
    }
    return nullptr;
}

// The header lines gathered by keyword as they are read.
struct headerScan
{
    QString valueText[fieldCount];
    QString keywordUsed[fieldCount];
    QString lineText[fieldCount];
    int lineOf[fieldCount] = {};  // line number in the file, from 1; 0: not given
    int32_t spatialReference = rasterHeader::undefined;
    QStringList repeated;
    QStringList notUnderstood;
    bool cellWidthAndHeight = false;

    void add(const QString& line, int lineNumber)
    {
        const keywordAndValue parts = splitHeaderLine(line);
        // GDAL writes a grid of non-square cells with "dx" and "dy" lines
        // where the cell size goes.
        if (parts.keyword.compare(QLatin1String("dx"), Qt::CaseInsensitive) == 0
            || parts.keyword.compare(QLatin1String("dy"), Qt::CaseInsensitive) == 0) {
            cellWidthAndHeight = true;
            return;
        }
        const headerKeyword* known = findKeyword(parts.keyword);
        if (!known) {
            notUnderstood << parts.keyword;
            return;
        }
        const int field = known->field;
        if (lineOf[field] != 0) {
            repeated << QStringLiteral("%1 (lines %2 and %3)").arg(parts.keyword).arg(lineOf[field]).arg(lineNumber);
            return;
        }
        lineOf[field] = lineNumber;
        lineText[field] = line;
        keywordUsed[field] = parts.keyword;
        valueText[field] = parts.valueText;
        if (field == xField)
            spatialReference = known->spatialReference;
    }

    int requiredFound() const
    {
        return static_cast<int>(std::count_if(lineOf, lineOf + requiredFields, [](int line) { return line != 0; }));
    }

    QStringList missing() const
    {
        QStringList names;
        for (int field = 0; field < requiredFields; ++field) {
            if (lineOf[field] == 0)
                names << QLatin1String(fieldNames[field]);
        }
        return names;
    }
};

// Names the file and the cause: a folder, a missing file, one that cannot be read.
void reportUnopened(const QString& fileName, messageSink& sink)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        sink.error(QStringLiteral("File %1 does not exist. Check its name and folder.").arg(fileName));
    } else if (info.isDir()) {
        sink.error(QStringLiteral("%1 is a folder, not a grid file. Choose the grid file inside it.").arg(fileName));
    } else {
        sink.warningBox(permissionWarningText(true, fileName));
        sink.error(QStringLiteral("Unable to open file %1 for reading: please check permissions.").arg(fileName));
    }
}

// Control characters (a carriage return, the bytes of a binary file) are
// left out, so the quote prints on one line.
QString quotedLine(const QString& line)
{
    QString text;
    for (const QChar c : line) {
        if (!c.isNonCharacter() && c.category() != QChar::Other_Control)
            text += c;
    }
    return text.size() > quotedLineLength ? text.left(quotedLineLength) + QStringLiteral("...") : text;
}

// What is wrong with a header value, or nothing when it reads as one number
// alone (a whole number for ncols and nrows), which is then stored.
QString valueProblem(int field, const QString& keyword, const QString& text, double& real, int32_t& whole)
{
    if (text.isEmpty())
        return QStringLiteral("%1 has no value. Write the number after the keyword.").arg(keyword);
    const QString quoted = QLatin1Char('"') + quotedLine(text) + QLatin1Char('"');
    if (field == ncolsField || field == nrowsField) {
        bool ok = false;
        whole = text.toInt(&ok, 10);
        return ok ? QString() : QStringLiteral("%1 takes a whole number, not %2.").arg(keyword, quoted);
    }
    if (realValue(text, real))
        return {};
    QString pointed = text;
    pointed.replace(QLatin1Char(','), QLatin1Char('.'));
    double number = 0.0;
    if (text.count(QLatin1Char(',')) == 1 && realValue(pointed, number))
        return QStringLiteral("%1 has a decimal comma. Write it with a decimal point: %2.").arg(quoted, pointed);
    return QStringLiteral("%1 is not a number. Write the number alone after the keyword.").arg(quoted);
}

// The header's values, each read as one number; the first that is not is
// refused, naming the line and what is wrong with it.
bool readHeaderValues(const QString& fileName, const headerScan& scan, rasterHeader& header, messageSink& sink)
{
    double real[fieldCount] = {};
    int32_t whole[fieldCount] = {};
    for (int field = 0; field < fieldCount; ++field) {
        if (scan.lineOf[field] == 0)
            continue;
        const QString problem =
            valueProblem(field, scan.keywordUsed[field], scan.valueText[field].trimmed(), real[field], whole[field]);
        if (!problem.isEmpty()) {
            sink.error(
                QStringLiteral("File %1, line %2 (\"%3\"): %4")
                    .arg(fileName, QString::number(scan.lineOf[field]), quotedLine(scan.lineText[field]), problem));
            return false;
        }
    }
    header = rasterHeader{};
    header.ncols = whole[ncolsField];
    header.nrows = whole[nrowsField];
    header.xll = real[xField];
    header.yll = real[yField];
    header.cellsize = static_cast<float>(real[cellsizeField]);
    header.nodataValue = scan.lineOf[nodataField] != 0 ? static_cast<float>(real[nodataField]) : defaultNodataValue;
    header.spatialReference = scan.spatialReference;
    return true;
}

// The origin and cell size place every cell: a non-finite one places none.
bool headerValuesAreFinite(const QString& fileName, const rasterHeader& header, const headerScan& scan,
                           messageSink& sink)
{
    const std::pair<headerField, double> values[] = {
        {xField, header.xll}, {yField, header.yll}, {cellsizeField, double(header.cellsize)}};
    for (const auto& [field, value] : values) {
        if (!std::isfinite(value)) {
            sink.error(QStringLiteral("File %1 gives %2 as %3: the grid's position and cell size must be finite "
                                      "numbers.")
                           .arg(fileName, scan.keywordUsed[field], scan.valueText[field].trimmed()));
            return false;
        }
    }
    return true;
}

}  // namespace

bool readGridHeader(const QString& fileName, rasterHeader& header, asciiGridStream& stream, messageSink& sink)
{
    if (fileName.isEmpty()) {
        sink.error(QStringLiteral("No file name provided!"));
        return false;
    }
    if (!QFileInfo(fileName).isFile() || !stream.open(fileName)) {
        reportUnopened(fileName, sink);
        return false;
    }
    if (stream.atEnd()) {
        sink.error(QStringLiteral("File %1 is empty: it holds no ESRI ASCII grid.").arg(fileName));
        return false;
    }
    QString firstLine;  // the first that is not blank, for the message on a file of other text

    // Header lines run up to the first line that is not a header line (see
    // judgeLine); that line stays unread for the data readers. Blank lines
    // are passed over: the data reading skips white space anyway. Each header
    // line is taken by its keyword; lines of other keywords are ignored.
    headerScan scan;
    bool dataLineFound = false;
    bool afterBlankLine = false;
    int lineNumber = 0;
    QString dataLine;
    while (!stream.atEnd()) {
        const QString start = stream.peekLineStart(headerTestBytes);
        const peekedLine peeked = judgeLine(start, afterBlankLine);
        if (lineNumber == 0 || firstLine.trimmed().isEmpty())
            firstLine = start;
        if (!peeked.blank && !peeked.header) {
            dataLineFound = true;
            dataLine = start;
            break;
        }
        QString line;
        stream.readLine(line);
        ++lineNumber;
        afterBlankLine = peeked.blank;
        if (!peeked.blank)
            scan.add(line, lineNumber);
    }

    if (scan.requiredFound() == 0 && !scan.cellWidthAndHeight) {
        sink.error(QStringLiteral("File %1 is not an ESRI ASCII grid: its first line reads \"%2\", where a grid "
                                  "starts with \"ncols\". Give an ESRI ASCII grid (.asc) or a GeoTIFF (.tif).")
                       .arg(fileName, quotedLine(firstLine)));
        return false;
    }
    if (scan.cellWidthAndHeight) {
        sink.error(QStringLiteral("File %1 has non-square cells (dx and dy header lines): resample it to square "
                                  "cells, for example with gdalwarp -tr <size> <size>.")
                       .arg(fileName));
        return false;
    }
    if (!scan.repeated.isEmpty()) {
        sink.error(QStringLiteral("File %1 gives %2 more than once in its header: keep one line of each.")
                       .arg(fileName, scan.repeated.join(QStringLiteral(", "))));
        return false;
    }
    const QStringList missing = scan.missing();
    if (!missing.isEmpty()) {
        QString text = QStringLiteral("File %1 has an incomplete header: %2 missing.")
                           .arg(fileName, missing.join(QStringLiteral(", ")));
        if (!scan.notUnderstood.isEmpty())
            text +=
                QStringLiteral(" Header lines not understood: %1.").arg(scan.notUnderstood.join(QStringLiteral(", ")));
        if (dataLineFound)
            text += QStringLiteral(" The header ends before line %1, which reads \"%2\".")
                        .arg(QString::number(lineNumber + 1), quotedLine(dataLine));
        sink.error(text);
        return false;
    }
    if (!dataLineFound) {
        sink.error(QStringLiteral("File %1 contains no data.").arg(fileName));
        return false;
    }
    rasterHeader read;
    if (!readHeaderValues(fileName, scan, read, sink))
        return false;
    if (!headerValuesAreFinite(fileName, read, scan, sink))
        return false;
    header = read;
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
    // Every value takes at least one byte: a row wider than the rest of the
    // file cannot be complete, and must not make the reader allocate for it.
    const qsizetype rowCapacity = static_cast<qsizetype>(std::min<qint64>(ncols, stream.size() - stream.pos() + 1));
    std::vector<float> row(static_cast<std::size_t>(rowCapacity));
    for (int r = 0; r < nrows; ++r) {
        const qsizetype read = stream.readFloats(row.data(), rowCapacity);
        for (qsizetype c = 0; c < read; ++c) {
            if (row[std::size_t(c)] > 0.0f)
                cells.push_back(startCell{r, static_cast<int32_t>(c)});
        }
        if (read < ncols) {
            // Six header lines and one line per row, counted from 1.
            const QString file = stream.fileName().isEmpty() ? QString() : QLatin1Char(' ') + stream.fileName();
            sink.error(QStringLiteral("Failed to parse start cells file%1. Syntax error on line %2.")
                           .arg(file, QString::number(qint64(r) + 7)));
            return false;
        }
        if (stream.atEnd())
            return true;
    }
    return true;
}
