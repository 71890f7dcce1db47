#include "raster/outputFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>

#include "raster/fixedNotation.h"
#include "raster/helperThread.h"
#include "raster/numberParser.h"
#include "raster/textOutputFile.h"

outputTarget::outputTarget(const QString& folder, const QString& fileName)
    : path(QDir(folder).filePath(fileName)), name(fileName)
{
}

namespace {

constexpr int gridHeaderDecimals = 6;
constexpr int valueDecimals = 1;

QByteArray integerText(std::int64_t value)
{
    char text[integerTextCapacity];
    const char* const end = writeInteger(text, value);
    return QByteArray(text, end - text);
}

char* writePercent(char* out, double percent) { return writeFixed(out, percent, valueDecimals); }

QString valueText(double value) { return QString::fromLatin1(fixedText(value, valueDecimals)); }

// At least gridHeaderDecimals decimals, and as many more as the value needs
// to read back as itself (a cell size of 1e-7 must not become 0.000000); as
// a float for the cell size, which the reader narrows to float.
QByteArray roundTripText(double value, bool asFloat)
{
    const auto readsBack = [&](const QByteArray& text) {
        double read = 0.0;
        if (!realTokenToDouble(text.constData(), static_cast<int>(text.size()), read))
            return false;
        return asFloat ? static_cast<float>(read) == static_cast<float>(value) : read == value;
    };
    for (int decimals = gridHeaderDecimals; decimals <= maxFixedDecimals; ++decimals) {
        const QByteArray text = fixedText(value, decimals);
        if (!std::isfinite(value) || readsBack(text))
            return text;
    }
    // Too small for fixed notation: the fewest significant digits that read back.
    const int mostDigits = asFloat ? 9 : 17;
    for (int digits = 1; digits < mostDigits; ++digits) {
        const QByteArray text = QByteArray::number(value, 'g', digits);
        if (readsBack(text))
            return text;
    }
    return QByteArray::number(value, 'g', mostDigits);
}

// The six header lines of an ESRI ASCII grid, without a line break after
// the last; the keywords of the lower-left corner carry the spatial
// reference's name ("xllcenter", "yllcorner", "xllundefined").
QByteArray gridHeaderText(const rasterHeader& header)
{
    const QByteArray reference(spatialReferenceName(header.spatialReference));
    QByteArray text;
    text += "ncols " + integerText(header.ncols);
    text += "\nnrows " + integerText(header.nrows);
    text += "\nxll" + reference + ' ' + roundTripText(header.xll, false);
    text += "\nyll" + reference + ' ' + roundTripText(header.yll, false);
    text += "\ncellsize " + roundTripText(header.cellsize, true);
    text += "\nNODATA_value " + fixedText(header.nodataValue, gridHeaderDecimals);
    return text;
}

// Text of whole grid rows, grown as needed: room for the longest possible
// value is made before each value, so values are written straight into place.
class rowText
{
public:
    void clear() { used_ = 0; }

    // Room for at least `bytes` more at the returned position.
    char* reserve(std::size_t bytes)
    {
        if (capacity_ - used_ < bytes) {
            const std::size_t capacity = std::max(2 * capacity_, used_ + bytes);
            auto grown = std::make_unique<char[]>(capacity);
            if (used_ > 0)
                std::memcpy(grown.get(), bytes_.get(), used_);
            bytes_ = std::move(grown);
            capacity_ = capacity;
        }
        return bytes_.get() + used_;
    }

    const char* capacityEnd() const { return bytes_.get() + capacity_; }
    void advanceTo(const char* end) { used_ = static_cast<std::size_t>(end - bytes_.get()); }
    QByteArrayView view() const { return QByteArrayView(bytes_.get(), static_cast<qsizetype>(used_)); }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
};

// Formats rows [first, last) into `text`: each row starts with a line break
// and holds its values separated by one blank. rowAt(r, scratch) gives the
// values of row r, in `scratch` or elsewhere.
template <typename T, typename RowAt, typename WriteValue>
void formatRows(int first, int last, int cols, std::size_t longestValue, const RowAt& rowAt,
                const WriteValue& writeValue, std::vector<T>& scratch, rowText& text)
{
    constexpr std::size_t growth = std::size_t{1} << 20;
    const std::size_t room = longestValue + 1;  // a separator and a value
    text.clear();
    scratch.resize(static_cast<std::size_t>(cols));
    char* out = text.reserve(growth);
    for (int r = first; r < last; ++r) {
        const T* values = rowAt(r, scratch.data());
        if (cols == 0) {
            // A row without values is still a line.
            text.advanceTo(out);
            out = text.reserve(1);
            *out++ = '\n';
        }
        for (int c = 0; c < cols; ++c) {
            if (static_cast<std::size_t>(text.capacityEnd() - out) < room) {
                text.advanceTo(out);
                out = text.reserve(growth);
            }
            *out++ = c == 0 ? '\n' : ' ';
            out = writeValue(out, values[c]);
        }
    }
    text.advanceTo(out);
}

// About this much text is formatted at a time by each thread.
constexpr std::size_t formattingBlockBytes = std::size_t{2} << 20;
// Below this many cells a second thread is not worth starting.
constexpr std::int64_t parallelFormattingCells = std::int64_t{1} << 20;

// The grid is formatted in blocks of rows: on large grids two blocks at a
// time, one by a helper thread, then both are written in order. The file
// ends after the last value.
template <typename T, typename RowAt, typename WriteValue>
writeOutcome writeGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols, const RowAt& rowAt,
                       std::size_t longestValue, const WriteValue& writeValue, messageSink& sink,
                       const rowProgress& progress)
{
    textOutputFile file(target);
    if (!file.open(sink))
        return writeOutcome::notOpened;
    blockWriter& writer = file.writer();
    writer.append(gridHeaderText(header));
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    const int blockRows = static_cast<int>(
        std::clamp<std::size_t>(formattingBlockBytes / (static_cast<std::size_t>(cols) * 4 + 1), 1, 1 << 20));
    const bool twoThreads = std::int64_t{rows} * cols >= parallelFormattingCells;
    std::vector<T> scratch[2];
    rowText text[2];
    for (int first = 0; first < rows && !writer.failed();) {
        const int middle = std::min(rows, first + blockRows);
        const int last = twoThreads ? std::min(rows, middle + blockRows) : middle;
        if (middle < last) {
            helperThread helper(
                [&] { formatRows(middle, last, cols, longestValue, rowAt, writeValue, scratch[1], text[1]); });
            formatRows(first, middle, cols, longestValue, rowAt, writeValue, scratch[0], text[0]);
            helper.join();
            writer.append(text[0].view());
            writer.append(text[1].view());
        } else {
            formatRows(first, middle, cols, longestValue, rowAt, writeValue, scratch[0], text[0]);
            writer.append(text[0].view());
        }
        first = last;
        if (progress && last < rows)
            progress(last, rows);
    }
    // The last rows count as written once the file is complete on disk.
    const writeOutcome outcome = file.commit(sink);
    if (progress && outcome == writeOutcome::written)
        progress(rows, rows);
    return outcome;
}

}  // namespace

QString logValueText(double value) { return valueText(value); }

writeOutcome writeCountGrid(const outputTarget& target, const rasterHeader& header, const grid<int32_t>& counts,
                            messageSink& sink, const rowProgress& progress)
{
    const auto writeCount = [](char* out, int32_t count) { return writeInteger(out, count); };
    const auto rowAt = [&counts](int r, int32_t*) { return counts.row(r); };
    return writeGrid<int32_t>(target, header, counts.rows(), counts.cols(), rowAt, integerTextCapacity, writeCount,
                              sink, progress);
}

writeOutcome writeProbabilityGrid(const outputTarget& target, const rasterHeader& header,
                                  const grid<double>& probability, messageSink& sink, const rowProgress& progress)
{
    const auto rowAt = [&probability](int r, double*) { return probability.row(r); };
    return writeGrid<double>(target, header, probability.rows(), probability.cols(), rowAt, fixedTextCapacity,
                             writePercent, sink, progress);
}

writeOutcome writeProbabilityGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols,
                                  const probabilityRowSource& rowValues, messageSink& sink, const rowProgress& progress)
{
    const auto rowAt = [&rowValues](int r, double* scratch) {
        rowValues(r, scratch);
        return static_cast<const double*>(scratch);
    };
    return writeGrid<double>(target, header, rows, cols, rowAt, fixedTextCapacity, writePercent, sink, progress);
}

writeOutcome writeRealGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols,
                           const probabilityRowSource& rowValues, int decimals, messageSink& sink,
                           const rowProgress& progress)
{
    const auto rowAt = [&rowValues](int r, double* scratch) {
        rowValues(r, scratch);
        return static_cast<const double*>(scratch);
    };
    const auto writeValue = [decimals](char* out, double value) { return writeFixed(out, value, decimals); };
    return writeGrid<double>(target, header, rows, cols, rowAt, fixedTextCapacity, writeValue, sink, progress);
}

writeOutcome writeSignificantGrid(const outputTarget& target, const rasterHeader& header, int rows, int cols,
                                  const probabilityRowSource& rowValues, int digits, messageSink& sink,
                                  const rowProgress& progress)
{
    const auto rowAt = [&rowValues](int r, double* scratch) {
        rowValues(r, scratch);
        return static_cast<const double*>(scratch);
    };
    // to_chars does not follow the process's locale, unlike printf.
    const auto writeValue = [digits](char* out, double value) {
        return std::to_chars(out, out + fixedTextCapacity, value, std::chars_format::general, digits).ptr;
    };
    return writeGrid<double>(target, header, rows, cols, rowAt, fixedTextCapacity, writeValue, sink, progress);
}

writeOutcome writeWholeFile(const outputTarget& target, const QByteArray& contents, messageSink& sink)
{
    textOutputFile file(target);
    if (!file.open(sink))
        return writeOutcome::notOpened;
    file.writer().append(contents);
    return file.commit(sink);
}

writeOutcome writeProjectionFile(const outputTarget& target, const QByteArray& projectionText, messageSink& sink)
{
    return writeWholeFile(target, projectionText, sink);
}
