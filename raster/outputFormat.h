#pragma once

#include <QString>

// The format of the two result grids: ESRI ASCII grids (N.asc and
// Reach_prob.asc, with .prj files when the DEM has a coordinate system) or
// GeoTIFF (N.tif and Reach_prob.tif, and trajectories.gpkg with saved trajectories).
enum class outputFormat : int { esriAscii = 0, geoTiff = 1 };

// "N.asc" or "N.tif", "Reach_prob.asc" or "Reach_prob.tif".
inline QString countGridName(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral("N.tif") : QStringLiteral("N.asc");
}
inline QString probabilityGridName(outputFormat format)
{
    return format == outputFormat::geoTiff ? QStringLiteral("Reach_prob.tif") : QStringLiteral("Reach_prob.asc");
}
