#include "map/resultMapPicture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "engine/aggregation.h"
#include "map/hazardColours.h"
#include "map/runResultGrids.h"

namespace {

// ColorBrewer's six-class YlOrRd ramp (Brewer, colorbrewer2.org): readable
// for colour-blind readers and in grey-scale print, light for rare cells.
constexpr std::array<QRgb, 6> probabilityColours = {0xffffffb2, 0xfffed976, 0xfffeb24c,
                                                    0xfffd8d3c, 0xfff03b20, 0xffbd0026};

constexpr QRgb unreachedSwatch = 0xffa0a0a0;

// How many percentage points the measures take off the reach probability:
// none, then up to 10, 25, 50 and 100.
constexpr std::array<double, 5> reductionUpperBounds = {0.0, 10.0, 25.0, 50.0, 100.0};
constexpr std::array<QRgb, 5> reductionColours = {0xffd9d9d9, 0xffc7e9c0, 0xff74c476, 0xff31a354, 0xff006d2c};

std::size_t reductionClassOf(double points)
{
    std::size_t k = 0;
    while (k + 1 < reductionUpperBounds.size() && points > reductionUpperBounds[k])
        ++k;
    return k;
}

// Upper bounds of the energy-line height classes in metres; with 1 m3 of
// rock at 2700 kg/m3 a height of 1.1 m gives 30 kJ, 11 m 300 kJ.
constexpr std::array<double, 6> heightUpperBounds = {1.0,  2.0,  5.0,
                                                     10.0, 20.0, std::numeric_limits<double>::infinity()};

// Class k of `classes` on the probability ramp, spread over its whole length.
QRgb rampColour(std::size_t k, std::size_t classes)
{
    if (classes <= 1)
        return probabilityColours.back();
    const double position = static_cast<double>(k) * (probabilityColours.size() - 1) / (classes - 1);
    const std::size_t low = std::min(static_cast<std::size_t>(position), probabilityColours.size() - 2);
    const double t = position - static_cast<double>(low);
    const auto mix = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
    const QRgb a = probabilityColours[low];
    const QRgb b = probabilityColours[low + 1];
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

// The class of an energy: below the first limit 0, from limit i on i + 1.
std::size_t energyClassOf(const std::vector<double>& limits, double energy)
{
    return static_cast<std::size_t>(std::upper_bound(limits.begin(), limits.end(), energy) - limits.begin());
}

std::size_t heightClassOf(double height)
{
    std::size_t k = 0;
    while (k + 1 < heightUpperBounds.size() && height > heightUpperBounds[k])
        ++k;
    return k;
}

QString numberText(double value) { return QString::number(value, 'g', 12); }

void appendEnergyEntries(mapLegend& legend, const std::vector<double>& limits)
{
    legend.caption = QStringLiteral("Largest energy");
    const std::size_t classes = limits.size() + 1;
    for (std::size_t k = 0; k < classes; ++k) {
        QString label;
        if (limits.empty())
            label = QStringLiteral("reached");
        else if (k == 0)
            label = QStringLiteral("below %1 kJ").arg(numberText(limits.front()));
        else if (k == limits.size())
            label = QStringLiteral("%1 kJ and more").arg(numberText(limits.back()));
        else
            label = QStringLiteral("%1 – %2 kJ").arg(numberText(limits[k - 1]), numberText(limits[k]));
        // A cell at a limit is in the class above, as Reach_prob_<E>kJ counts it
        // (energy >= E): the class below ends at the largest value under the limit.
        const double upTo = k < limits.size() ? std::nextafter(limits[k], -std::numeric_limits<double>::infinity())
                                              : std::numeric_limits<double>::infinity();
        legend.entries.append({label, rampColour(k, classes), upTo});
    }
}

void appendHeightEntries(mapLegend& legend)
{
    legend.caption = QStringLiteral("Largest energy-line height");
    double lower = 0.0;
    for (std::size_t k = 0; k < heightUpperBounds.size(); ++k) {
        const QString label = k + 1 < heightUpperBounds.size()
                                  ? QStringLiteral("%1 – %2 m").arg(lower).arg(heightUpperBounds[k])
                                  : QStringLiteral("above %1 m").arg(lower);
        legend.entries.append({label, probabilityColours[k], heightUpperBounds[k]});
        lower = heightUpperBounds[k];
    }
}

// Upper bounds of the passage-share classes in percent of all the run's
// trajectories: decades, since with many start cells most reached cells see
// a tiny share of them and equal steps would paint them all alike.
constexpr std::array<double, 5> shareUpperBounds = {0.01, 0.1, 1.0, 10.0, 100.0};

// ColorBrewer's five-class YlGnBu ramp (Brewer, colorbrewer2.org), apart
// from the reach probability's reds so the two maps are not mistaken.
constexpr std::array<QRgb, 5> shareColours = {0xffffffcc, 0xffa1dab4, 0xff41b6c4, 0xff2c7fb8, 0xff253494};

int passageShareClass(double percent)
{
    for (std::size_t i = 0; i + 1 < shareUpperBounds.size(); ++i)
        if (percent <= shareUpperBounds[i])
            return static_cast<int>(i);
    return static_cast<int>(shareUpperBounds.size()) - 1;
}

// Without the run's trajectory count: the display grid's value, -1 (a
// passage or two) to -255 (every trajectory), stands for the share.
double displayedSharePercent(int32_t value) { return -static_cast<double>(value) * 100.0 / 255.0; }

// Upper bounds of the source-share classes in percent of a start cell's
// trajectories; the first class holds the start cells that endanger no object.
constexpr std::array<double, 5> sourceUpperBounds = {0.0, 1.0, 10.0, 50.0, 100.0};

// ColorBrewer's five-class PuRd ramp (Brewer, colorbrewer2.org), apart from
// the other maps' reds and blues.
constexpr std::array<QRgb, 5> sourceColours = {0xfff1eef6, 0xffd7b5d8, 0xffdf65b0, 0xffdd1c77, 0xff980043};

// Cells that are no start cell but were passed: their relief grey is not
// kept, so they show one flat grey.
constexpr QRgb passedSwatch = 0xffc8c8c8;

void appendSourceEntries(mapLegend& legend)
{
    legend.caption = QStringLiteral("Source share");
    legend.entries.append({QStringLiteral("0 %: reaches no object"), sourceColours[0], 0.0});
    legend.entries.append({QStringLiteral("up to 1 %"), sourceColours[1], sourceUpperBounds[1]});
    for (std::size_t i = 2; i < sourceUpperBounds.size(); ++i)
        legend.entries.append({QStringLiteral("%1 – %2 %").arg(sourceUpperBounds[i - 1]).arg(sourceUpperBounds[i]),
                               sourceColours[i], sourceUpperBounds[i]});
    legend.entries.append({QStringLiteral("not a start cell, passed"), passedSwatch});
}

QRgb reliefColour(int32_t grey)
{
    const int level = grey & 0xFF;
    return qRgb(level, level, level);
}

QFont legendFont(bool bold)
{
    QFont font;
    font.setPixelSize(13);
    font.setBold(bold);
    return font;
}

// The first class whose upper bound holds the percentage; the last holds the rest.
template <std::size_t N>
int classOf(double percent, const std::array<double, N>& upperBounds)
{
    for (std::size_t i = 0; i + 1 < N; ++i)
        if (percent <= upperBounds[i])
            return static_cast<int>(i);
    return static_cast<int>(N) - 1;
}

// A hazard level's colour; residual hazard hatched yellow and white in
// diagonal stripes two cells wide, as printed hazard maps show it.
QRgb hazardPixel(uint8_t level, int row, int col)
{
    for (const hazardLegendEntry& entry : hazardLegend())
        if (entry.level == level)
            return level == residualHazard && (row + col) % 4 >= 2 ? qRgb(255, 255, 255) : entry.colour;
    return unreachedSwatch;
}

constexpr int legendMargin = 8;
constexpr int swatchWidth = 22;
constexpr int rowHeight = 20;

}  // namespace

int sourceShareClass(double percent) { return classOf(percent, sourceUpperBounds); }

mapColouring shownColouring(const runResultGrids& result, mapColouring wanted)
{
    const auto& heights = result.intensity.heightMax;
    const bool heightsKept =
        !heights.empty() && heights.rows() == result.displayGrid.rows() && heights.cols() == result.displayGrid.cols();
    bool drawable = true;
    switch (mapColouringRowOf(wanted).needs) {
    case colouringNeeds::intensity:
        drawable = heightsKept;
        break;
    case colouringNeeds::energies:
        drawable = heightsKept && result.intensityOptions.energiesWanted();
        break;
    case colouringNeeds::objects:
        drawable = result.sourceShares.has_value();
        break;
    case colouringNeeds::measures:
        drawable = result.unprotected.passageCounts.rows() == result.displayGrid.rows()
                   && result.unprotected.passageCounts.cols() == result.displayGrid.cols()
                   && !result.unprotected.passageCounts.empty();
        break;
    case colouringNeeds::hazard:
        drawable = result.hazardLevels.rows() == result.displayGrid.rows()
                   && result.hazardLevels.cols() == result.displayGrid.cols() && !result.hazardLevels.empty();
        break;
    case colouringNeeds::nothing:
        break;
    }
    return drawable ? wanted : mapColouring::reachProbability;
}

mapLegend resultMapLegend(mapColouring colouring, const std::vector<double>& energyClassLimits)
{
    mapLegend legend;
    if (colouring == mapColouring::energyClass) {
        appendEnergyEntries(legend, energyClassLimits);
    } else if (colouring == mapColouring::energyLineHeight) {
        appendHeightEntries(legend);
    } else if (colouring == mapColouring::sourceShare) {
        appendSourceEntries(legend);
    } else if (colouring == mapColouring::reachReduction) {
        legend.caption = QStringLiteral("Reach probability reduction");
        legend.entries.append({QStringLiteral("no reduction"), reductionColours[0], 0.0});
        for (std::size_t i = 1; i < reductionUpperBounds.size(); ++i)
            legend.entries.append({QStringLiteral("%1 – %2 percentage points")
                                       .arg(reductionUpperBounds[i - 1])
                                       .arg(reductionUpperBounds[i]),
                                   reductionColours[i], reductionUpperBounds[i]});
    } else if (colouring == mapColouring::hazardLevel) {
        legend.caption = QStringLiteral("Hazard level");
        for (const hazardLegendEntry& entry : hazardLegend())
            legend.entries.append({entry.label, entry.colour, static_cast<double>(entry.level)});
    } else if (colouring == mapColouring::reachProbability || colouring == mapColouring::reachUnprotected) {
        legend.caption = colouring == mapColouring::reachProbability
                             ? QStringLiteral("Reach probability")
                             : QStringLiteral("Reach probability without measures");
        double lower = 0.0;
        for (std::size_t i = 0; i < reachProbabilityClassBounds.size(); ++i) {
            legend.entries.append({QStringLiteral("%1 – %2 %").arg(lower).arg(reachProbabilityClassBounds[i]),
                                   probabilityColours[i], reachProbabilityClassBounds[i]});
            lower = reachProbabilityClassBounds[i];
        }
    } else {
        legend.caption = QStringLiteral("Passage share of the run");
        legend.entries.append({QStringLiteral("up to %1 % of all trajectories").arg(shareUpperBounds[0]),
                               shareColours[0], shareUpperBounds[0]});
        for (std::size_t i = 1; i < shareUpperBounds.size(); ++i)
            legend.entries.append({QStringLiteral("%1 – %2 %").arg(shareUpperBounds[i - 1]).arg(shareUpperBounds[i]),
                                   shareColours[i], shareUpperBounds[i]});
    }
    legend.entries.append({colouring == mapColouring::sourceShare ? QStringLiteral("other cells (shaded relief)")
                                                                  : QStringLiteral("not reached (shaded relief)"),
                           unreachedSwatch});
    return legend;
}

resultMapRows::resultMapRows(const runResultGrids& result, mapColouring wanted)
    : result_(result), colouring_(shownColouring(result, wanted))
{
    const grid<int32_t>& shown = result.displayGrid;
    const auto sameShape = [&shown](const grid<int32_t>& other) {
        return other.rows() == shown.rows() && other.cols() == shown.cols();
    };
    byProbability_ = colouring_ == mapColouring::reachProbability && sameShape(result.passageCounts)
                     && sameShape(result.reachingStartCells);
    byShare_ = colouring_ == mapColouring::passageShare && result.trajectories > 0 && sameShape(result.passageCounts);
}

void resultMapRows::fill(int r, QRgb* pixels) const
{
    const runResultGrids& result = result_;
    const grid<int32_t>& shown = result.displayGrid;
    const std::vector<double>& limits = result.intensityOptions.energyClassLimits;
    const bool byMeasures =
        colouring_ == mapColouring::reachUnprotected || colouring_ == mapColouring::reachReduction;
    const int32_t* values = shown.row(r);
    for (int c = 0; c < shown.cols(); ++c) {
        const int32_t v = values[c];
        if (byMeasures && result.unprotected.passageCounts(r, c) > 0)
            pixels[c] = colouring_ == mapColouring::reachUnprotected
                            ? probabilityColours[reachProbabilityClass(result.reachProbabilityUnprotected(r, c))]
                            : reductionColours[reductionClassOf(result.reachProbabilityUnprotected(r, c)
                                                                - result.reachProbability(r, c))];
        else if (v >= 0)
            pixels[c] = reliefColour(v);
        else if (colouring_ == mapColouring::sourceShare)
            pixels[c] = passedSwatch;
        else if (colouring_ == mapColouring::hazardLevel)
            pixels[c] = hazardPixel(result.hazardLevels(r, c), r, c);
        else if (colouring_ == mapColouring::energyClass)
            pixels[c] =
                rampColour(energyClassOf(limits, largestEnergy(result.intensity, result.intensityOptions, r, c)),
                           limits.size() + 1);
        else if (colouring_ == mapColouring::energyLineHeight)
            pixels[c] = probabilityColours[heightClassOf(result.intensity.heightMax(r, c))];
        else if (byProbability_)
            pixels[c] = probabilityColours[reachProbabilityClass(result.reachProbability(r, c))];
        else if (byShare_)
            pixels[c] = shareColours[passageShareClass(static_cast<double>(result.passageCounts(r, c)) * 100.0
                                                       / static_cast<double>(result.trajectories))];
        else
            pixels[c] = shareColours[passageShareClass(displayedSharePercent(v))];
    }
    if (colouring_ != mapColouring::sourceShare)
        return;
    // The start cells of this row, sorted by row and column: a cell listed
    // twice shows its last share.
    const std::vector<sourceShareRows::shareCell>& cells = result.sourceShares->cells();
    const auto first = std::lower_bound(cells.begin(), cells.end(), r,
                                        [](const sourceShareRows::shareCell& cell, int row) { return cell.row < row; });
    for (auto cell = first; cell != cells.end() && cell->row == r; ++cell)
        if (cell->col >= 0 && cell->col < shown.cols())
            pixels[cell->col] = sourceColours[sourceShareClass(cell->share)];
}

QImage resultMapImage(const runResultGrids& result, mapColouring wanted)
{
    const resultMapRows colours(result, wanted);
    const grid<int32_t>& shown = result.displayGrid;
    QImage image(shown.cols(), shown.rows(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
#pragma omp parallel for schedule(dynamic, 64)
    for (int r = 0; r < shown.rows(); ++r)
        colours.fill(r, reinterpret_cast<QRgb*>(bits + r * stride));
    return image;
}

QImage resultMapLegendImage(mapColouring colouring, const std::vector<double>& energyClassLimits)
{
    const mapLegend legend = resultMapLegend(colouring, energyClassLimits);
    const QFont captionFont = legendFont(true);
    const QFont entryFont = legendFont(false);
    int textWidth = QFontMetrics(captionFont).horizontalAdvance(legend.caption);
    for (const legendEntry& entry : legend.entries)
        textWidth = std::max(textWidth, swatchWidth + 6 + QFontMetrics(entryFont).horizontalAdvance(entry.label));
    const int width = textWidth + 2 * legendMargin;
    const int height = 2 * legendMargin + rowHeight * (1 + static_cast<int>(legend.entries.size()));

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.setFont(captionFont);
    painter.drawText(QRect(legendMargin, legendMargin, textWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     legend.caption);
    painter.setFont(entryFont);
    int top = legendMargin + rowHeight;
    for (const legendEntry& entry : legend.entries) {
        const QRect swatch(legendMargin, top + 3, swatchWidth, rowHeight - 6);
        painter.fillRect(swatch, QColor::fromRgb(entry.colour));
        painter.setPen(QColor(90, 90, 90));
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(QRect(swatch.right() + 7, top, textWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         entry.label);
        top += rowHeight;
    }
    return image;
}
