#include "raster/trajectoryGeoPackage.h"

#include <QFile>

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

bool writeLayer(GDALDataset& file, const trajectoryList& trajectories, const std::vector<trajectoryOrigin>& origins,
                const coordinateSystem& system, bool heightsAsM)
{
    OGRSpatialReference* reference = nullptr;
    if (!system.isEmpty()) {
        reference = new OGRSpatialReference();
        reference->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (reference->importFromWkt(system.wkt.constData()) != OGRERR_NONE) {
            reference->Release();
            return false;
        }
    }
    OGRLayer* layer =
        file.CreateLayer("trajectories", reference, heightsAsM ? wkbLineStringZM : wkbLineString25D, nullptr);
    if (reference)
        reference->Release();
    if (!layer || !addField(*layer, "trajectory") || !addField(*layer, "start_row") || !addField(*layer, "start_col")
        || !addField(*layer, "simulation"))
        return false;
    // One transaction: a GeoPackage writes row by row otherwise.
    if (layer->StartTransaction() != OGRERR_NONE)
        return false;
    for (std::size_t i = 0; i < trajectories.size(); ++i) {
        OGRFeature feature(layer->GetLayerDefn());
        const trajectoryOrigin origin = i < origins.size() ? origins[i] : trajectoryOrigin();
        feature.SetField("trajectory", static_cast<int>(i + 1));
        feature.SetField("start_row", origin.row);
        feature.SetField("start_col", origin.col);
        feature.SetField("simulation", origin.simulation);
        OGRLineString line;
        line.setNumPoints(static_cast<int>(trajectories[i].size()));
        for (std::size_t p = 0; p < trajectories[i].size(); ++p) {
            const trajectoryPoint& point = trajectories[i][p];
            if (heightsAsM)
                line.setPoint(static_cast<int>(p), point.x, point.y, point.z, point.h);
            else
                line.setPoint(static_cast<int>(p), point.x, point.y, point.z);
        }
        feature.SetGeometry(&line);
        if (layer->CreateFeature(&feature) != OGRERR_NONE)
            return false;
    }
    return layer->CommitTransaction() == OGRERR_NONE;
}

}  // namespace

writeOutcome writeTrajectoryGeoPackage(const outputTarget& target, const trajectoryList& trajectories,
                                       const std::vector<trajectoryOrigin>& origins, const coordinateSystem& system,
                                       messageSink& sink, bool heightsAsM)
{
    QString temporaryName;
    if (!reserveTemporaryName(target, QStringLiteral(".gpkg"), temporaryName, sink))
        return writeOutcome::notOpened;
    // The GeoPackage driver makes its file itself; the name stays reserved
    // only until then.
    QFile::remove(temporaryName);

    bool written = false;
    QString reason;
    {
        gdalErrorCapture errors;
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        GDALDatasetUniquePtr file(
            driver ? driver->Create(temporaryName.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
        const bool layerWritten = file && writeLayer(*file, trajectories, origins, system, heightsAsM);
        file.reset();
        written = layerWritten && !errors.failed();
        reason = errors.text();
    }
    return commitTemporaryFile(temporaryName, target, written, reason, sink);
}
