#include "outputs/hazardOutputs.h"

#include <algorithm>

#include "outputs/resultGridOutputs.h"
#include "outputs/runProducts.h"
#include "raster/geoTiffWriter.h"

namespace {
// Frequencies span many orders of magnitude: nine significant digits keep
// them to one part in 10^9 without a dozen zeros in every cell.
constexpr int frequencyDigits = 9;

// A hazard grid of the run, as whole numbers.
writeOutcome writeHazardGrid(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                             const grid<uint8_t>& values, messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& run = products.grids;
    const auto rows = [&values](int row, double* out) {
        std::copy(values.row(row), values.row(row) + values.cols(), out);
    };
    if (output.format == outputFormat::geoTiff)
        return writeLevelGeoTiff(target, run.header, run.placement, run.header.nrows, run.header.ncols, rows,
                                 run.elevations, sink);
    return writeRealGrid(target, run.header, run.header.nrows, run.header.ncols, rows, 0, sink, progress);
}
}  // namespace

writeOutcome writeFrequency(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& run = products.grids;
    const grid<int64_t>& sums = output.energyClass < 0
                                    ? run.frequencies.any
                                    : run.frequencies.atLeast.at(static_cast<std::size_t>(output.energyClass));
    const auto rows = [&run, &sums](int row, double* values) {
        frequencyRow(sums, run.numberOfSimulations, row, values);
    };
    if (output.format == outputFormat::geoTiff)
        return writeRealGridOutput(target, products, output, rows, 0, sink, progress);
    return writeSignificantGrid(target, run.header, run.header.nrows, run.header.ncols, rows, frequencyDigits, sink,
                                progress);
}

writeOutcome writeHazardLevel(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress)
{
    return writeHazardGrid(target, products, output, products.grids.hazardLevels, sink, progress);
}

writeOutcome writeHazardMatrixCell(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress)
{
    return writeHazardGrid(target, products, output, products.grids.hazardMatrixCells, sink, progress);
}
