#include "outputs/resultGridOutputs.h"

#include "outputs/runProducts.h"
#include "raster/asciiGridProjection.h"
#include "raster/geoTiffWriter.h"

namespace {
// Percentages are written with one decimal.
constexpr int percentDecimals = 1;
}  // namespace

writeOutcome writeRealGridOutput(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                 const probabilityRowSource& rows, int decimals, messageSink& sink,
                                 const rowProgress& progress)
{
    const runResultGrids& grids = products.grids;
    const int nrows = grids.header.nrows;
    const int ncols = grids.header.ncols;
    if (output.format == outputFormat::geoTiff)
        return writeProbabilityGeoTiff(target, grids.header, grids.placement, nrows, ncols, rows, grids.elevations,
                                       sink);
    return writeRealGrid(target, grids.header, nrows, ncols, rows, decimals, sink, progress);
}

writeOutcome writePassageCounts(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& grids = products.grids;
    if (output.format == outputFormat::geoTiff)
        return writeCountGeoTiff(target, grids.header, grids.placement, grids.passageCounts, grids.elevations, sink);
    return writeCountGrid(target, grids.header, grids.passageCounts, sink, progress);
}

writeOutcome writeReachProbability(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& grids = products.grids;
    const auto rows = [&grids](int row, double* values) {
        reachProbabilityRow(grids.passageCounts, grids.reachingStartCells, grids.numberOfSimulations, row, values);
    };
    return writeRealGridOutput(target, products, output, rows, percentDecimals, sink, progress);
}

writeOutcome writeSourceShare(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                              messageSink& sink, const rowProgress& progress)
{
    const sourceShareRows& shares = *products.grids.sourceShares;
    const auto rows = [&shares](int row, double* values) { shares.fill(row, values); };
    return writeRealGridOutput(target, products, output, rows, percentDecimals, sink, progress);
}

writeOutcome writeGridProjection(const outputTarget& target, const runProducts& products, const plannedOutput&,
                                 messageSink& sink, const rowProgress&)
{
    return writeProjectionBesideGrid(target, products.system, sink).value_or(writeOutcome::notNeeded);
}

writeOutcome writeGridStyle(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress&)
{
    resultStyleInputs run;
    run.trajectories = products.grids.trajectories;
    run.intensity = products.grids.intensityOptions;
    run.objects = products.grids.sourceShares.has_value();
    run.returnPeriods = products.grids.hazard.returnPeriods;
    run.hazardMatrix = products.grids.hazard.matrix;
    return writeQgisStyle(target, output.row->style(run), sink);
}
