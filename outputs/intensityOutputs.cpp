#include "outputs/intensityOutputs.h"

#include "raster/asciiGridProjection.h"

#include <QFile>
#include <QLocale>
#include <QFileInfo>

#include "raster/outputFiles.h"

namespace {
constexpr int heightDecimals = 2;
constexpr int energyDecimals = 1;

QStringList baseNamesOf(const intensitySettings& settings)
{
    QStringList names{QStringLiteral("Height_max"), QStringLiteral("Height_mean"), QStringLiteral("Velocity_max")};
    if (!settings.energiesWanted())
        return names;
    names << QStringLiteral("Energy_max");
    for (const double limit : settings.energyClassLimits)
        names << classProbabilityBaseName(limit);
    return names;
}

struct intensityGrid
{
    int decimals;
    probabilityRowSource rowValues;
};

// In the order of baseNamesOf.
std::vector<intensityGrid> gridsOf(const intensityResult& result)
{
    std::vector<intensityGrid> list{
        {heightDecimals, [&result](int row, double* v) { heightMaxRow(result.grids, row, v); }},
        {heightDecimals, [&result](int row, double* v) { heightMeanRow(result.grids, result.passageCounts, row, v); }},
        {heightDecimals, [&result](int row, double* v) { velocityMaxRow(result.grids, row, v); }},
    };
    if (!result.settings.energiesWanted())
        return list;
    list.push_back(
        {energyDecimals, [&result](int row, double* v) { energyMaxRow(result.grids, result.settings, row, v); }});
    for (std::size_t k = 0; k < result.settings.energyClassLimits.size(); ++k)
        list.push_back({energyDecimals, [&result, k](int row, double* v) {
                            classProbabilityRow(result.grids, k, result.reachingStartCells, result.numberOfSimulations,
                                                row, v);
                        }});
    return list;
}

QString suffixOf(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral(".tif") : QStringLiteral(".asc");
}
}  // namespace

QString classProbabilityBaseName(double limit)
{
    return QStringLiteral("Reach_prob_%1kJ").arg(QString::number(limit, 'f', QLocale::FloatingPointShortest));
}

QStringList intensityGridNames(const intensitySettings& settings, outputFormat format)
{
    QStringList names;
    if (!settings.enabled)
        return names;
    for (const QString& base : baseNamesOf(settings))
        names << base + suffixOf(format);
    return names;
}

void writeIntensityGrids(const intensityResult& result, const intensityTarget& target, messageSink& sink,
                         const std::function<void(const QString& fileName, writeOutcome outcome)>& written)
{
    if (!result.settings.enabled || result.grids.empty())
        return;
    const int rows = result.grids.heightMax.rows();
    const int cols = result.grids.heightMax.cols();
    const QStringList baseNames = baseNamesOf(result.settings);
    const std::vector<intensityGrid> grids = gridsOf(result);
    for (std::size_t i = 0; i < grids.size(); ++i) {
        const intensityGrid& grid = grids[i];
        const QString& baseName = baseNames.at(static_cast<qsizetype>(i));
        const QString name = baseName + suffixOf(target.format);
        const outputTarget file(target.folder, name);
        if (target.format == outputFormat::geoTiff) {
            written(name, writeProbabilityGeoTiff(file, target.header, target.georeference, rows, cols, grid.rowValues,
                                                  target.elevations, sink));
            continue;
        }
        written(name, writeRealGrid(file, target.header, rows, cols, grid.rowValues, grid.decimals, sink));
        const QString prjName = projectionFileName(name);
        if (const auto outcome = writeProjectionBesideGrid(outputTarget(target.folder, prjName), target.system, sink))
            written(prjName, *outcome);
    }
}
