#pragma once

#include <QList>
#include <QString>

// What the result map's colours tell: the reach probability of each cell in
// the classes of a hazard map, or the older rule, the share of all the run's
// trajectories that passed the cell.
// With intensity: the largest energy in the run's energy classes, or the
// largest energy-line height. With objects at risk: at each start cell the
// share of its trajectories that reached an object.
// With the hazard map: each cell's hazard level.
enum class mapColouring { reachProbability, passageShare, energyClass, energyLineHeight, sourceShare, hazardLevel };

// The grids a colouring is drawn from beyond those of every run.
enum class colouringNeeds { nothing, intensity, energies, objects, hazard };

// One colouring with everything the front ends make of it. Adding a
// colouring is adding a row here and its colours to the map picture.
struct mapColouringRow
{
    mapColouring colouring;
    const char* name;         // tumbra-run's --map-colour and the window's settings store
    const char* caption;      // under the map, and in the map picture's file
    const char* choiceLabel;  // the window's list (translated in the resultMapPanel context)
    colouringNeeds needs;
};

// Every colouring, in the order the window lists them.
const QList<mapColouringRow>& mapColourings();

const mapColouringRow& mapColouringRowOf(mapColouring colouring);

// "probability", "share", "energy", "height", "source" and "hazard": the names on the command line and in the
// settings store.
QString mapColouringName(mapColouring colouring);
bool mapColouringFromName(const QString& name, mapColouring& colouring);

// "Reach probability map", after the colouring shown.
QString resultMapCaption(mapColouring shown);
