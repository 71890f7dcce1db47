#include "map/cellReadout.h"

#include "map/countText.h"
#include "map/runResultGrids.h"

namespace {

// The centre of a cell in map units. xll and yll name the lower-left corner
// of the grid, or the centre of its lower-left cell; row 0 is the northernmost.
void cellCentre(const rasterHeader& header, int row, int col, double& x, double& y)
{
    const double offset = header.spatialReference == rasterHeader::center ? 0.0 : 0.5;
    const double size = header.cellsize;
    x = static_cast<double>(header.xll) + (col + offset) * size;
    y = static_cast<double>(header.yll) + (header.nrows - 1 - row + offset) * size;
}

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

// The cell's largest energy-line height, velocity and energy, as the
// intensity grids write them; empty for a run without intensity.
QString intensityReadout(const runResultGrids& result, int row, int col)
{
    if (!result.intensity.heightMax.contains(row, col))
        return QString();
    const double height = result.intensity.heightMax(row, col);
    QString text = QStringLiteral(" | energy-line height %1 m | velocity %2 m/s")
                       .arg(fixed(height, 2), fixed(velocityOfHeight(height), 2));
    if (result.intensityOptions.energiesWanted())
        text += QStringLiteral(" | energy %1 kJ")
                    .arg(fixed(largestEnergy(result.intensity, result.intensityOptions, row, col), 1));
    return text;
}

// The cell's frequencies (events per year) and hazard level; empty without them.
QString hazardReadout(const runResultGrids& result, int row, int col)
{
    const frequencyGrids& frequencies = result.frequencies;
    if (!frequencies.any.contains(row, col))
        return QString();
    const std::size_t cell = frequencies.any.index(row, col);
    const int simulations = result.numberOfSimulations;
    QString text =
        QStringLiteral(" | frequency %1 /year").arg(frequencyAt(frequencies.any, cell, simulations), 0, 'g', 4);
    const std::vector<double>& limits = result.intensityOptions.energyClassLimits;
    for (std::size_t k = 0; k < frequencies.atLeast.size() && k < limits.size(); ++k)
        text += QStringLiteral(", from %1 kJ %2")
                    .arg(limits[k], 0, 'g', 12)
                    .arg(frequencyAt(frequencies.atLeast[k], cell, simulations), 0, 'g', 4);
    if (!result.hazardLevels.contains(row, col))
        return text;
    text += QStringLiteral(" | hazard %1").arg(QLatin1String(hazardLevelName(result.hazardLevels(row, col))));
    if (result.hazardMatrixCells(row, col) > 0)
        text += QStringLiteral(" (matrix cell %1)").arg(result.hazardMatrixCells(row, col));
    return text;
}

}  // namespace

QString cellReadout(const runResultGrids& result, int row, int col)
{
    if (!result.displayGrid.contains(row, col))
        return QString();
    double x = 0.0;
    double y = 0.0;
    cellCentre(result.header, row, col, x, y);
    const QString place =
        QStringLiteral("Row %1, column %2 | x %3, y %4").arg(row).arg(col).arg(fixed(x, 1), fixed(y, 1));
    // No trajectory enters such a cell: its 0 passages would read as a result.
    if (!result.elevations.contains(row, col) || result.elevations(row, col) == result.header.nodataValue)
        return place + QStringLiteral(" | no elevation");
    const bool counted = result.passageCounts.contains(row, col) && result.reachingStartCells.contains(row, col);
    const int passages = counted ? result.passageCounts(row, col) : 0;
    const double probability = counted ? result.reachProbability(row, col) : 0.0;
    const QString passageWord = QStringLiteral("passage");
    const QString passagesWord = QStringLiteral("passages");
    const QString line = QStringLiteral("%1 | elevation %2 m | %3 | reach probability %4 %")
                             .arg(place, fixed(result.elevations(row, col), 1),
                                  countText(passages, passageWord, passagesWord), fixed(probability, 1));
    QString share;
    if (const std::optional<double> percent = result.sourceShares ? result.sourceShares->share(row, col) : std::nullopt)
        share = QStringLiteral(" | source share %1 %").arg(fixed(*percent, 1));
    QString unprotected;
    if (result.unprotected.passageCounts.contains(row, col))
        unprotected = QStringLiteral(" | without measures %1, reach probability %2 %")
                          .arg(countText(result.unprotected.passageCounts(row, col), passageWord, passagesWord),
                               fixed(result.reachProbabilityUnprotected(row, col), 1));
    return line + share + unprotected + intensityReadout(result, row, col) + hazardReadout(result, row, col);
}
