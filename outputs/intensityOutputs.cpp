#include "outputs/intensityOutputs.h"

#include "outputs/resultGridOutputs.h"
#include "outputs/runProducts.h"

namespace {
constexpr int energyDecimals = 1;
}  // namespace

writeOutcome writeHeightMean(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                             messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& run = products.grids;
    const auto rows = [&run](int row, double* values) { heightMeanRow(run.intensity, run.passageCounts, row, values); };
    return writeRealGridOutput(target, products, output, rows, intensityHeightDecimals, sink, progress);
}

writeOutcome writeEnergyMax(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                            messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& run = products.grids;
    const auto rows = [&run](int row, double* values) {
        energyMaxRow(run.intensity, run.intensityOptions, row, values);
    };
    return writeRealGridOutput(target, products, output, rows, energyDecimals, sink, progress);
}

writeOutcome writeClassProbability(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& run = products.grids;
    const auto energyClass = static_cast<std::size_t>(output.energyClass);
    const auto rows = [&run, energyClass](int row, double* values) {
        classProbabilityRow(run.intensity, energyClass, run.reachingStartCells, run.numberOfSimulations, row, values);
    };
    return writeRealGridOutput(target, products, output, rows, energyDecimals, sink, progress);
}
