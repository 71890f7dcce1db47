#include "outputs/trajectoryGeoPackage.h"

#include <algorithm>

#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include "raster/gdalOutputFile.h"
#include "raster/gdalSession.h"

namespace {

bool addField(OGRLayer& layer, const char* name)
{
    OGRFieldDefn field(name, OFTInteger);
    return layer.CreateField(&field) == OGRERR_NONE;
}

OGRLayer* createLayer(GDALDataset& file, const char* name, OGRwkbGeometryType type, OGRSpatialReference* reference)
{
    OGRLayer* layer = file.CreateLayer(name, reference, type, nullptr);
    if (!layer || !addField(*layer, "trajectory") || !addField(*layer, "start_row") || !addField(*layer, "start_col")
        || !addField(*layer, "simulation"))
        return nullptr;
    return layer;
}

// A line needs two distinct places: one that never left its start point
// would be an invalid geometry (GEOS, and so QGIS and PostGIS, reject it).
bool leftItsStartPoint(const std::vector<trajectoryPoint>& points)
{
    return std::any_of(points.begin(), points.end(), [&points](const trajectoryPoint& point) {
        return point.x != points.front().x || point.y != points.front().y;
    });
}

bool writeLayers(GDALDataset& file, const trajectoryList& trajectories, const std::vector<trajectoryOrigin>& origins,
                 const coordinateSystem& system, bool heightsAsM)
{
    // The layers take copies of the system.
    OGRSpatialReference layerSystem;
    if (!system.isEmpty() && !spatialReferenceOf(system, layerSystem))
        return false;
    OGRSpatialReference* reference = system.isEmpty() ? nullptr : &layerSystem;
    OGRLayer* lines = createLayer(file, "trajectories", heightsAsM ? wkbLineStringZM : wkbLineString25D, reference);
    OGRLayer* points =
        lines ? createLayer(file, "trajectories_stopped_at_start", heightsAsM ? wkbPointZM : wkbPoint25D, reference)
              : nullptr;
    // One transaction: a GeoPackage writes row by row otherwise.
    if (!points || file.StartTransaction() != OGRERR_NONE)
        return false;
    for (std::size_t i = 0; i < trajectories.size(); ++i) {
        const std::vector<trajectoryPoint>& path = trajectories[i];
        if (path.empty())
            continue;  // nothing to place; trajectory_points.txt holds no point of it either
        const bool moved = leftItsStartPoint(path);
        OGRLayer& layer = moved ? *lines : *points;
        OGRFeature feature(layer.GetLayerDefn());
        const trajectoryOrigin origin = i < origins.size() ? origins[i] : trajectoryOrigin();
        feature.SetField("trajectory", static_cast<int>(i + 1));
        feature.SetField("start_row", origin.row);
        feature.SetField("start_col", origin.col);
        feature.SetField("simulation", origin.simulation);
        if (moved) {
            OGRLineString line;
            line.setNumPoints(static_cast<int>(path.size()));
            for (std::size_t p = 0; p < path.size(); ++p) {
                if (heightsAsM)
                    line.setPoint(static_cast<int>(p), path[p].x, path[p].y, path[p].z, path[p].h);
                else
                    line.setPoint(static_cast<int>(p), path[p].x, path[p].y, path[p].z);
            }
            feature.SetGeometry(&line);
        } else {
            OGRPoint start(path.front().x, path.front().y, path.front().z);
            if (heightsAsM)
                start.setM(path.front().h);
            feature.SetGeometry(&start);
        }
        if (layer.CreateFeature(&feature) != OGRERR_NONE)
            return false;
    }
    return file.CommitTransaction() == OGRERR_NONE;
}

}  // namespace

writeOutcome writeTrajectoryGeoPackage(const outputTarget& target, const trajectoryList& trajectories,
                                       const std::vector<trajectoryOrigin>& origins, const coordinateSystem& system,
                                       messageSink& sink, bool heightsAsM)
{
    return writeGeoPackageFile(
        target, [&](GDALDataset& file) { return writeLayers(file, trajectories, origins, system, heightsAsM); }, sink);
}
