#include "outputs/hazardOutputs.h"

#include <vector>

#include "outputs/resultGridOutputs.h"
#include "outputs/runProducts.h"
#include "raster/geoTiffWriter.h"

namespace {
// Frequencies are counted in steps of 10^-12 per year: every step is written.
constexpr int frequencyDecimals = 12;

// The hazard grids' rows, one field of each cell's hazardCell.
template <uint8_t hazardCell::*field>
writeOutcome writeHazardField(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& run = products.grids;
    const auto rows = [&run](int row, double* values) {
        std::vector<hazardCell> cells(static_cast<std::size_t>(run.header.ncols));
        hazardRow(run.hazard, run.frequencies, run.passageCounts, run.numberOfSimulations, row, cells.data());
        for (std::size_t c = 0; c < cells.size(); ++c)
            values[c] = cells[c].*field;
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
    return writeRealGridOutput(target, products, output, rows, frequencyDecimals, sink, progress);
}

writeOutcome writeHazardLevel(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress)
{
    return writeHazardField<&hazardCell::level>(target, products, output, sink, progress);
}

writeOutcome writeHazardMatrixCell(const outputTarget& target, const runProducts& products,
                                   const plannedOutput& output, messageSink& sink, const rowProgress& progress)
{
    return writeHazardField<&hazardCell::matrixCell>(target, products, output, sink, progress);
}
