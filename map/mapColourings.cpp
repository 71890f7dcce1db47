#include "map/mapColourings.h"

#include <QCoreApplication>

const QList<mapColouringRow>& mapColourings()
{
    static const QList<mapColouringRow> rows = {
        {mapColouring::reachProbability, "probability", "Reach probability map",
         QT_TRANSLATE_NOOP("resultMapPanel", "Reach probability"), colouringNeeds::nothing},
        {mapColouring::passageShare, "share", "Passage share map",
         QT_TRANSLATE_NOOP("resultMapPanel", "Passage share of the run"), colouringNeeds::nothing},
        {mapColouring::energyClass, "energy", "Largest energy map",
         QT_TRANSLATE_NOOP("resultMapPanel", "Largest energy (classes)"), colouringNeeds::energies},
        {mapColouring::energyLineHeight, "height", "Energy-line height map",
         QT_TRANSLATE_NOOP("resultMapPanel", "Energy-line height"), colouringNeeds::intensity},
        {mapColouring::sourceShare, "source",
         "Source share map: each start cell's share of trajectories that reached an object",
         QT_TRANSLATE_NOOP("resultMapPanel", "Source share"), colouringNeeds::objects},
        {mapColouring::hazardLevel, "hazard", "Hazard map", QT_TRANSLATE_NOOP("resultMapPanel", "Hazard level"),
         colouringNeeds::hazard},
    };
    return rows;
}

// A value outside the enumeration (a cast from a stored number) is taken as the first row's.
const mapColouringRow& mapColouringRowOf(mapColouring colouring)
{
    for (const mapColouringRow& row : mapColourings())
        if (row.colouring == colouring)
            return row;
    return mapColourings().front();
}

QString mapColouringName(mapColouring colouring) { return QLatin1String(mapColouringRowOf(colouring).name); }

bool mapColouringFromName(const QString& name, mapColouring& colouring)
{
    for (const mapColouringRow& row : mapColourings()) {
        if (name == QLatin1String(row.name)) {
            colouring = row.colouring;
            return true;
        }
    }
    return false;
}

QString resultMapCaption(mapColouring shown) { return QString::fromUtf8(mapColouringRowOf(shown).caption); }
