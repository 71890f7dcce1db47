#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include "bench/printingSink.h"
#include "raster/fixedNotation.h"
#include "raster/outputFiles.h"

// Times the grid writers against a plain QTextStream writer on a generated
// grid and checks both give the same bytes.
// Usage: bench_writers [rows [cols]]   (default 5000 x 5000)

namespace {

rasterHeader benchHeader(int rows, int cols)
{
    rasterHeader header;
    header.nrows = rows;
    header.ncols = cols;
    header.xll = 600012.25f;
    header.yll = 150000.0f;
    header.cellsize = 2.0f;
    header.nodataValue = -9999.0f;
    header.spatialReference = rasterHeader::corner;
    return header;
}

// Most cells unreached; the reached ones hold n / R / s * 100 as the
// aggregation forms it. With 100 simulations and up to four start cells
// quarters such as 12.25 and 0.75 (exact ties) are common.
void fillResults(grid<int32_t>& counts, grid<double>& probability)
{
    std::mt19937 engine(42);
    std::uniform_int_distribution<int> reached(0, 9);
    std::uniform_int_distribution<int> startCells(1, 4);
    const int simulations = 100;
    for (int r = 0; r < counts.rows(); ++r) {
        for (int c = 0; c < counts.cols(); ++c) {
            if (reached(engine) < 6)
                continue;
            const int reaching = startCells(engine);
            const int n = std::uniform_int_distribution<int>(1, reaching * simulations)(engine);
            counts(r, c) = n;
            probability(r, c) = static_cast<double>(n) / reaching / simulations * 100.0;
        }
    }
}

void writeHeaderPlainly(QTextStream& stream, const rasterHeader& header)
{
    const QString reference = QString::fromLatin1(spatialReferenceName(header.spatialReference));
    stream.setRealNumberNotation(QTextStream::FixedNotation);
    stream << "ncols " << header.ncols << "\nnrows " << header.nrows << "\nxll" << reference << ' ' << header.xll
           << "\nyll" << reference << ' ' << header.yll << "\ncellsize " << header.cellsize << "\nNODATA_value "
           << header.nodataValue;
    stream.setRealNumberPrecision(1);
}

template <typename T>
bool writePlainly(const QString& fileName, const rasterHeader& header, const grid<T>& values)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream stream(&file);
    writeHeaderPlainly(stream, header);
    for (int r = 0; r < values.rows(); ++r) {
        stream << '\n';
        for (int c = 0; c < values.cols(); ++c) {
            if (c > 0)
                stream << ' ';
            stream << values(r, c);
        }
    }
    stream.flush();
    return stream.status() == QTextStream::Ok;
}

bool sameBytes(const QString& first, const QString& second)
{
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd())
        if (a.read(1 << 22) != b.read(1 << 22))
            return false;
    return true;
}

double megabytesPerSecond(const QString& fileName, qint64 milliseconds)
{
    const double seconds = static_cast<double>(qMax<qint64>(milliseconds, 1)) / 1000.0;
    return static_cast<double>(QFile(fileName).size()) / 1.0e6 / seconds;
}

// The formatting alone, into a reused block: what the writers cost without
// the disk (the temporary file is synced to disk before it replaces the target).
double formattingMegabytesPerSecond(const grid<double>& values)
{
    std::vector<char> block(std::size_t{1} << 20);
    std::size_t bytes = 0;
    QElapsedTimer timer;
    timer.start();
    char* out = block.data();
    for (std::size_t i = 0; i < values.size(); ++i) {
        out = writeFixed(out, values.data()[i], 1);
        *out++ = ' ';
        if (out - block.data() > static_cast<std::ptrdiff_t>(block.size()) - fixedTextCapacity - 1) {
            bytes += static_cast<std::size_t>(out - block.data());
            out = block.data();
        }
    }
    bytes += static_cast<std::size_t>(out - block.data());
    const double seconds = static_cast<double>(qMax<qint64>(timer.nsecsElapsed(), 1)) / 1.0e9;
    return static_cast<double>(bytes) / 1.0e6 / seconds;
}

template <typename T, typename FastWriter>
bool compare(const char* name, const QTemporaryDir& folder, const rasterHeader& header, const grid<T>& values,
             FastWriter writeFast)
{
    const QString fastName = folder.filePath(QStringLiteral("fast.asc"));
    const QString plainName = folder.filePath(QStringLiteral("plain.asc"));
    printingSink sink;

    QElapsedTimer timer;
    timer.start();
    const bool fastWritten = writeFast(fastName, header, values, sink) == writeOutcome::written;
    const qint64 fastTime = timer.elapsed();
    timer.restart();
    const bool plainWritten = writePlainly(plainName, header, values);
    const qint64 plainTime = timer.elapsed();

    const bool identical = fastWritten && plainWritten && sameBytes(fastName, plainName);
    std::printf("%s: %.1f MB\n", name, static_cast<double>(QFile(fastName).size()) / 1.0e6);
    std::printf("  fast writer:       %6lld ms  %7.1f MB/s\n", static_cast<long long>(fastTime),
                megabytesPerSecond(fastName, fastTime));
    std::printf("  QTextStream writer: %6lld ms  %7.1f MB/s\n", static_cast<long long>(plainTime),
                megabytesPerSecond(plainName, plainTime));
    std::printf("  bytes identical: %s\n", identical ? "yes" : "NO");
    QFile::remove(fastName);
    QFile::remove(plainName);
    return identical;
}

}  // namespace

int main(int argc, char* argv[])
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int cols = argc > 2 ? std::atoi(argv[2]) : rows;
    if (rows <= 0 || cols <= 0) {
        std::fprintf(stderr, "usage: %s [rows [cols]]\n", argv[0]);
        return 2;
    }
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }

    std::printf("grid %d x %d\n", rows, cols);
    grid<int32_t> counts(rows, cols, 0);
    grid<double> probability(rows, cols, 0.0);
    fillResults(counts, probability);
    const rasterHeader header = benchHeader(rows, cols);

    const auto writeProbabilities = [](const QString& fileName, const rasterHeader& h, const grid<double>& values,
                                       messageSink& sink) { return writeProbabilityGrid(fileName, h, values, sink); };
    const auto writeCounts = [](const QString& fileName, const rasterHeader& h, const grid<int32_t>& values,
                                messageSink& sink) { return writeCountGrid(fileName, h, values, sink); };
    std::printf("formatting alone: %.1f MB/s\n", formattingMegabytesPerSecond(probability));
    const bool probabilitiesMatch = compare("Reach_prob.asc", folder, header, probability, writeProbabilities);
    const bool countsMatch = compare("N.asc", folder, header, counts, writeCounts);
    return probabilitiesMatch && countsMatch ? 0 : 1;
}
