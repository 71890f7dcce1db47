#pragma once

#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>

#include <algorithm>
#include <vector>

#include "map/mapColourings.h"

struct runResultGrids;

struct legendEntry
{
    QString label;
    QRgb colour;
    // The highest value the entry stands for, itself included, in percent: of reach
    // probability, or of all the run's trajectories for the passage share.
    // 0 for the unreached cells. In kJ or m for the intensity colourings;
    // infinite for their top class.
    double upTo = 0.0;
};

struct mapLegend
{
    QString caption;
    QList<legendEntry> entries;  // from rarely to often reached, then the unreached cells
};

// The energy colouring's classes are those of the run's limits (kJ).
mapLegend resultMapLegend(mapColouring colouring, const std::vector<double>& energyClassLimits = {});

// The colouring a run's map shows when `wanted` is asked for: reach
// probability where the run has no grids for it (no intensity, or no block
// volume for energies, or no objects at risk for source shares).
mapColouring shownColouring(const runResultGrids& result, mapColouring wanted);

// The class of a start cell's source share (percent): 0 for none of its
// trajectories, 1 up to 1 %, 2 up to 10 %, 3 up to 50 %, 4 above 50 %.
int sourceShareClass(double percent);

// One pixel per cell; unreached cells show the relief's grey.
QImage resultMapImage(const runResultGrids& result, mapColouring colouring);

// The map's colours row by row, as resultMapImage has them.
class resultMapRows
{
public:
    resultMapRows(const runResultGrids& result, mapColouring wanted);
    mapColouring colouring() const { return colouring_; }
    // Row `row` of the grid, one 0xffRRGGBB pixel per cell. Safe from
    // several threads at once.
    void fill(int row, QRgb* pixels) const;

private:
    const runResultGrids& result_;
    mapColouring colouring_;
    bool byProbability_;
    bool byShare_;
};

// The legend on its own, as the window shows it beside the map and as the
// map picture's -legend.png beside its file.
QImage resultMapLegendImage(mapColouring colouring, const std::vector<double>& energyClassLimits = {});
