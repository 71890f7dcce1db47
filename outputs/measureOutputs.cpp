#include "outputs/measureOutputs.h"

#include <algorithm>

#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include "engine/aggregation.h"
#include "outputs/csvField.h"
#include "outputs/resultGridOutputs.h"
#include "outputs/runProducts.h"
#include "raster/fixedNotation.h"
#include "raster/gdalOutputFile.h"
#include "raster/gdalSession.h"

namespace {
constexpr int percentDecimals = 1;
constexpr int energyDecimals = 1;

// One barrier's figures, as the table and the layer give them.
struct barrierFigures
{
    uint64_t reached;
    uint64_t stopped;
    double shareStopped;  // percent
    double largestEnergy;
    double energy95;
    uint64_t startCells;
};

barrierFigures figuresOf(const barrierTotals& totals, std::size_t b)
{
    const uint64_t reached = b < totals.reached.size() ? totals.reached[b] : 0;
    const uint64_t stopped = b < totals.stopped.size() ? totals.stopped[b] : 0;
    return {reached,
            stopped,
            reached > 0 ? static_cast<double>(stopped) / static_cast<double>(reached) * 100.0 : 0.0,
            b < totals.largestEnergy.size() ? totals.largestEnergy[b] : 0.0,
            b < totals.energyCounts.size() ? totals.energyPercentile(b, 95.0) : 0.0,
            b < totals.startCells.size() ? totals.startCells[b] : 0};
}

bool addField(OGRLayer& layer, const char* name, OGRFieldType type)
{
    OGRFieldDefn field(name, type);
    return layer.CreateField(&field) == OGRERR_NONE;
}

bool writeBarrierLayer(GDALDataset& file, const runResultGrids& grids, const coordinateSystem& system)
{
    OGRSpatialReference layerSystem;
    if (!system.isEmpty() && !spatialReferenceOf(system, layerSystem))
        return false;
    OGRLayer* layer =
        file.CreateLayer("barriers", system.isEmpty() ? nullptr : &layerSystem, wkbMultiLineString, nullptr);
    if (!layer)
        return false;
    for (const auto& [name, type] :
         {std::pair{"barrier_id", OFTInteger64}, std::pair{"name", OFTString}, std::pair{"capacity_kJ", OFTReal},
          std::pair{"trajectories", OFTInteger64}, std::pair{"stopped", OFTInteger64},
          std::pair{"passed", OFTInteger64}, std::pair{"share_stopped", OFTReal}, std::pair{"energy_max_kJ", OFTReal},
          std::pair{"energy_p95_kJ", OFTReal}, std::pair{"start_cells", OFTInteger64}})
        if (!addField(*layer, name, type))
            return false;
    if (file.StartTransaction() != OGRERR_NONE)
        return false;
    for (std::size_t b = 0; b < grids.barrierLines.size(); ++b) {
        const barrierLine& barrier = grids.barrierLines[b];
        const barrierFigures f = figuresOf(grids.barriers, b);
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("barrier_id", static_cast<GIntBig>(barrier.id));
        feature.SetField("name", barrier.name.toUtf8().constData());
        feature.SetField("capacity_kJ", barrier.capacity);
        feature.SetField("trajectories", static_cast<GIntBig>(f.reached));
        feature.SetField("stopped", static_cast<GIntBig>(f.stopped));
        feature.SetField("passed", static_cast<GIntBig>(f.reached - f.stopped));
        feature.SetField("share_stopped", f.shareStopped);
        feature.SetField("energy_max_kJ", f.largestEnergy);
        feature.SetField("energy_p95_kJ", f.energy95);
        feature.SetField("start_cells", static_cast<GIntBig>(f.startCells));
        OGRMultiLineString lines;
        for (const auto& vertices : barrier.lines) {
            OGRLineString line;
            for (const auto& [x, y] : vertices)
                line.addPoint(x, y);
            lines.addGeometry(&line);
        }
        feature.SetGeometry(&lines);
        if (layer->CreateFeature(&feature) != OGRERR_NONE)
            return false;
    }
    return file.CommitTransaction() == OGRERR_NONE;
}
}  // namespace

writeOutcome writeReachUnprotected(const outputTarget& target, const runProducts& products, const plannedOutput& output,
                                   messageSink& sink, const rowProgress& progress)
{
    const runResultGrids& grids = products.grids;
    const auto rows = [&grids](int row, double* values) {
        reachProbabilityRow(grids.unprotected.passageCounts, grids.unprotected.reachingStartCells,
                            grids.numberOfSimulations, row, values);
    };
    return writeRealGridOutput(target, products, output, rows, percentDecimals, sink, progress);
}

writeOutcome writeEnergyUnprotected(const outputTarget& target, const runProducts& products,
                                    const plannedOutput& output, messageSink& sink, const rowProgress& progress)
{
    const grid<double>& energies = products.grids.unprotected.energyMax;
    const auto rows = [&energies](int row, double* values) {
        std::copy(energies.row(row), energies.row(row) + energies.cols(), values);
    };
    return writeRealGridOutput(target, products, output, rows, energyDecimals, sink, progress);
}

QByteArray barriersTableText(const runResultGrids& grids)
{
    QByteArray text = "id,name,capacity (kJ),trajectories (count),stopped (count),passed (count),stopped (%),"
                      "largest energy (kJ),95th percentile energy (kJ),start cells (count)\r\n";
    for (std::size_t b = 0; b < grids.barrierLines.size(); ++b) {
        const barrierLine& barrier = grids.barrierLines[b];
        const barrierFigures f = figuresOf(grids.barriers, b);
        text += QByteArray::number(static_cast<qlonglong>(barrier.id)) + ',' + csvField(barrier.name) + ','
                + QByteArray::number(barrier.capacity, 'g', 12) + ',' + QByteArray::number(qulonglong(f.reached)) + ','
                + QByteArray::number(qulonglong(f.stopped)) + ','
                + QByteArray::number(qulonglong(f.reached - f.stopped)) + ','
                + fixedText(f.shareStopped, percentDecimals) + ',' + fixedText(f.largestEnergy, energyDecimals) + ','
                + fixedText(f.energy95, 0) + ',' + QByteArray::number(qulonglong(f.startCells)) + "\r\n";
    }
    return text;
}

writeOutcome writeBarriersTable(const outputTarget& target, const runProducts& products, const plannedOutput&,
                                messageSink& sink, const rowProgress&)
{
    return writeWholeFile(target, barriersTableText(products.grids), sink);
}

writeOutcome writeBarriersGeoPackage(const outputTarget& target, const runProducts& products, const plannedOutput&,
                                     messageSink& sink, const rowProgress&)
{
    return writeGeoPackageFile(
        target, [&](GDALDataset& file) { return writeBarrierLayer(file, products.grids, products.system); }, sink);
}
