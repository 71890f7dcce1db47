#include "raster/vectorLayer.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QStringList>

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include "raster/gdalSession.h"

void geometryDeleter::operator()(OGRGeometry* geometry) const { delete geometry; }

namespace {

// The driver a suffix stands for; null for any other suffix.
const char* driverForSuffix(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("gpkg"))
        return "GPKG";
    if (suffix == QLatin1String("shp"))
        return "ESRI Shapefile";
    if (suffix == QLatin1String("geojson") || suffix == QLatin1String("json"))
        return "GeoJSON";
    if (suffix == QLatin1String("fgb"))
        return "FlatGeobuf";
    return nullptr;
}

struct datasetCloser
{
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using datasetPointer = std::unique_ptr<GDALDataset, datasetCloser>;

struct featureDeleter
{
    void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};

struct transformDeleter
{
    void operator()(OGRCoordinateTransformation* transform) const { OGRCoordinateTransformation::DestroyCT(transform); }
};
using transformPointer = std::unique_ptr<OGRCoordinateTransformation, transformDeleter>;

QString layerNames(GDALDataset& dataset)
{
    QStringList names;
    for (int i = 0; i < dataset.GetLayerCount(); ++i)
        names << QString::fromUtf8(dataset.GetLayer(i)->GetName());
    return names.join(QStringLiteral(", "));
}

// Splits a geometry into areas and tracks, curves made linear and heights
// dropped; anything else (surfaces of triangles, for one) is left out.
void splitGeometry(const OGRGeometry& geometry, layerFeature& feature)
{
    const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
    if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        for (const OGRGeometry* member : *geometry.toGeometryCollection())
            splitGeometry(*member, feature);
        return;
    }
    if (geometry.hasCurveGeometry()) {
        geometryPointer linear(geometry.getLinearGeometry());
        if (linear && !linear->hasCurveGeometry())
            splitGeometry(*linear, feature);
        return;
    }
    if (geometry.IsEmpty())
        return;
    geometryPointer part(geometry.clone());
    part->flattenTo2D();
    if (type == wkbPolygon)
        feature.areas.push_back(std::move(part));
    else if (type == wkbLineString || type == wkbPoint)
        feature.tracks.push_back(std::move(part));
}

// The transformation from the layer's system to the DEM's; null where none is
// needed. `failed` is set when one is needed and cannot be made.
transformPointer transformToDem(const OGRSpatialReference* layerSystem, const coordinateSystem& demSystem,
                                const QString& what, messageSink& sink, bool& failed)
{
    failed = false;
    if (!layerSystem || layerSystem->IsEmpty()) {
        if (!demSystem.isEmpty())
            sink.warning(QStringLiteral("The %1 has no coordinate system: it is taken as the DEM's (%2).")
                             .arg(what, demSystem.name));
        return nullptr;
    }
    const coordinateSystem layer = coordinateSystemOf(layerSystem);
    if (demSystem.isEmpty()) {
        sink.warning(QStringLiteral("The DEM has no coordinate system: the coordinates of the %1 (%2) are taken as "
                                    "they are.")
                         .arg(what, layer.name));
        return nullptr;
    }
    OGRSpatialReference source(*layerSystem);
    OGRSpatialReference target;
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    gdalErrorCapture errors;
    if (!spatialReferenceOf(demSystem, target)) {
        failed = true;
    } else {
        if (source.IsSame(&target))
            return nullptr;
        transformPointer transform(OGRCreateCoordinateTransformation(&source, &target));
        if (transform)
            return transform;
        failed = true;
    }
    sink.error(QStringLiteral("The %1 cannot be transformed from its coordinate system (%2) to the DEM's (%3)%4. "
                              "Reproject it, for example with ogr2ogr -t_srs.")
                   .arg(what, layer.name, demSystem.name, errors.reason()));
    return nullptr;
}

class layerReader
{
public:
    layerReader(const vectorLayerSource& source, const QString& role, const QString& idField, messageSink& sink,
                const QStringList& numberFields)
        : source_(source), idField_(idField), numberFields_(numberFields), sink_(sink),
          what_(QStringLiteral("%1 layer %2").arg(role, source.file))
    {
    }

    std::optional<layerFeatures> read(const coordinateSystem& demSystem)
    {
        OGRLayer* layer = openLayer();
        if (!layer || !selectFeatures(*layer) || !findFields(*layer) || !findNumberFields(*layer))
            return std::nullopt;
        const OGRSpatialReference* layerSystem = layer->GetSpatialRef();
        // A GeoPackage written without a system names its own placeholder, "Undefined geographic SRS".
        if (layerSystem && layerSystem->GetName()
            && QByteArray(layerSystem->GetName()).toLower().startsWith("undefined"))
            layerSystem = nullptr;
        if (layerSystem && layerSystem->IsGeographic() && !inDegreeRange(*layer)) {
            // GeoJSON without a "crs" member is read as WGS 84 whatever its coordinates.
            sink_.warning(QStringLiteral("The %1 gives its coordinates in degrees (%2), but they lie beyond any "
                                         "longitude and latitude: they are taken in the DEM's coordinate system%3.")
                              .arg(what_, coordinateSystemOf(layerSystem).name,
                                   demSystem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(demSystem.name)));
            return readFeatures(*layer, nullptr);
        }
        bool failed = false;
        const transformPointer transform = transformToDem(layerSystem, demSystem, what_, sink_, failed);
        if (failed)
            return std::nullopt;
        return readFeatures(*layer, transform.get());
    }

private:
    static bool inDegreeRange(OGRLayer& layer)
    {
        OGREnvelope extent;
        if (layer.GetExtent(&extent, TRUE) != OGRERR_NONE)
            return true;
        return extent.MinX >= -360.0 && extent.MaxX <= 360.0 && extent.MinY >= -90.0 && extent.MaxY <= 90.0;
    }

    // What keeps a file from opening as a vector file: missing, a folder,
    // unreadable, a GeoPackage of raster tiles or of nothing, or else what
    // GDAL says.
    QString unopenedReason(const char* driver, const QString& gdalReason) const
    {
        const QByteArray name = source_.file.toUtf8();
        VSIStatBufL status;
        if (VSIStatExL(name.constData(), &status, VSI_STAT_EXISTS_FLAG | VSI_STAT_NATURE_FLAG) != 0)
            return QStringLiteral("The %1 does not exist. Check its name and folder.").arg(what_);
        if (VSI_ISDIR(status.st_mode))
            return QStringLiteral("The %1 is a folder, not a vector file. Choose the file inside it.").arg(what_);
        const QFileInfo info(source_.file);
        if (info.exists() && !info.isReadable())
            return QStringLiteral("The %1 cannot be read: please check its permissions.").arg(what_);
        const char* const drivers[] = {driver, nullptr};
        if (QByteArray(driver) == "GPKG" && GDALIdentifyDriverEx(name.constData(), GDAL_OF_VECTOR, drivers, nullptr)) {
            gdalErrorCapture quiet;
            const datasetPointer raster(static_cast<GDALDataset*>(
                GDALOpenEx(name.constData(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr)));
            if (raster && raster->GetRasterCount() > 0)
                return QStringLiteral("The %1 holds raster tiles, not vector features: give it as a GeoTIFF (.tif), "
                                      "for example made with gdal_translate -of GTiff.")
                    .arg(what_);
            if (!raster && !quiet.failed())
                return QStringLiteral("The %1 holds no vector layer: it is an empty GeoPackage. Give a GeoPackage "
                                      "with a layer of polygons, lines or points.")
                    .arg(what_);
        }
        return QStringLiteral("The %1 could not be opened%2: please check that it is a complete vector file of its "
                              "kind.")
            .arg(what_, gdalReason);
    }

    OGRLayer* openLayer()
    {
        const char* driver = driverForSuffix(source_.file);
        if (!driver) {
            sink_.error(QStringLiteral("The %1 is not a GeoPackage (.gpkg), Shapefile (.shp), GeoJSON (.geojson) or "
                                       "FlatGeobuf (.fgb) file.")
                            .arg(what_));
            return nullptr;
        }
        gdalErrorCapture errors;
        const char* const drivers[] = {driver, nullptr};
        dataset_.reset(static_cast<GDALDataset*>(GDALOpenEx(
            source_.file.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr)));
        if (!dataset_) {
            sink_.error(unopenedReason(driver, errors.reason()));
            return nullptr;
        }
        OGRLayer* layer = source_.layerName.isEmpty()
                              ? dataset_->GetLayer(0)
                              : dataset_->GetLayerByName(source_.layerName.toUtf8().constData());
        if (!layer) {
            if (source_.layerName.isEmpty())
                sink_.error(QStringLiteral("The %1 has no layer.").arg(what_));
            else
                sink_.error(QStringLiteral("The file %1 has no layer named \"%2\"; its layers are: %3.")
                                .arg(source_.file, source_.layerName, layerNames(*dataset_)));
        }
        return layer;
    }

    bool selectFeatures(OGRLayer& layer)
    {
        if (!source_.where.isEmpty()) {
            gdalErrorCapture errors;
            if (layer.SetAttributeFilter(source_.where.toUtf8().constData()) != OGRERR_NONE) {
                sink_.error(QStringLiteral("The attribute filter \"%1\" cannot be applied to the %2%3.")
                                .arg(source_.where, what_, errors.reason()));
                return false;
            }
        }
        layer.ResetReading();
        return true;
    }

    bool findFields(OGRLayer& layer)
    {
        const OGRFeatureDefn* definition = layer.GetLayerDefn();
        const int nameIndex = definition->GetFieldIndex("name");
        nameField_ = nameIndex >= 0 && definition->GetFieldDefn(nameIndex)->GetType() == OFTString ? nameIndex : -1;
        if (idField_.isEmpty())
            return true;
        idIndex_ = definition->GetFieldIndex(idField_.toUtf8().constData());
        const OGRFieldType type = idIndex_ >= 0 ? definition->GetFieldDefn(idIndex_)->GetType() : OFTString;
        if (type == OFTInteger || type == OFTInteger64)
            return true;
        QStringList integerFields;
        for (int i = 0; i < definition->GetFieldCount(); ++i) {
            const OGRFieldDefn* field = definition->GetFieldDefn(i);
            if (field->GetType() == OFTInteger || field->GetType() == OFTInteger64)
                integerFields << QString::fromUtf8(field->GetNameRef());
        }
        sink_.error(
            QStringLiteral("The %1 has no integer field \"%2\" to take the ids from; its integer fields "
                           "are: %3.")
                .arg(what_, idField_,
                     integerFields.isEmpty() ? QStringLiteral("none") : integerFields.join(QStringLiteral(", "))));
        return false;
    }

    bool findNumberFields(OGRLayer& layer)
    {
        const OGRFeatureDefn* definition = layer.GetLayerDefn();
        numberIndices_.clear();
        for (const QString& name : numberFields_) {
            const int index = definition->GetFieldIndex(name.toUtf8().constData());
            if (index < 0) {
                QStringList fields;
                for (int i = 0; i < definition->GetFieldCount(); ++i)
                    fields << QString::fromUtf8(definition->GetFieldDefn(i)->GetNameRef());
                sink_.error(QStringLiteral("The %1 has no field \"%2\"; its fields are: %3.")
                                .arg(what_, name,
                                     fields.isEmpty() ? QStringLiteral("none") : fields.join(QStringLiteral(", "))));
                return false;
            }
            numberIndices_.push_back(index);
        }
        return true;
    }

    // A field's value as a number of at least 0; text fields are read as
    // numbers in the C locale, whole.
    bool takeNumbers(const OGRFeature& feature, layerFeature& part)
    {
        for (std::size_t k = 0; k < numberIndices_.size(); ++k) {
            const int index = numberIndices_[k];
            const QString field = numberFields_[static_cast<int>(k)];
            const auto refuse = [&](const QString& problem) {
                sink_.error(QStringLiteral("Feature %1 of the %2 %3 in field \"%4\"; give every feature a number "
                                           "of at least 0 there.")
                                .arg(feature.GetFID())
                                .arg(what_, problem, field));
                return false;
            };
            if (!feature.IsFieldSetAndNotNull(index))
                return refuse(QStringLiteral("has no value"));
            const QString text = QString::fromUtf8(feature.GetFieldAsString(index)).trimmed();
            bool ok = false;
            const double value = text.toDouble(&ok);
            if (!ok)
                return refuse(QStringLiteral("has \"%1\", which is no number,").arg(text));
            if (!std::isfinite(value) || value < 0.0)
                return refuse(QStringLiteral("has %1").arg(text));
            const OGRFieldType type = feature.GetFieldDefnRef(index)->GetType();
            part.numbers.push_back(type == OFTReal ? feature.GetFieldAsDouble(index) : value);
        }
        return true;
    }

    std::optional<layerFeatures> readFeatures(OGRLayer& layer, OGRCoordinateTransformation* transform)
    {
        layerFeatures result;
        std::size_t selected = 0;
        OGREnvelope extent;
        gdalErrorCapture errors;
        layer.ResetReading();
        for (;;) {
            std::unique_ptr<OGRFeature, featureDeleter> feature(layer.GetNextFeature());
            if (!feature)
                break;
            ++selected;
            OGRGeometry* geometry = feature->GetGeometryRef();
            if (!geometry)
                continue;
            if (transform && geometry->transform(transform) != OGRERR_NONE) {
                sink_.error(QStringLiteral("Feature %1 of the %2 cannot be transformed to the DEM's coordinate "
                                           "system%3.")
                                .arg(feature->GetFID())
                                .arg(what_, errors.reason()));
                return std::nullopt;
            }
            layerFeature part;
            splitGeometry(*geometry, part);
            if (part.areas.empty() && part.tracks.empty())
                continue;
            if (!takeAttributes(*feature, part) || !takeNumbers(*feature, part))
                return std::nullopt;
            for (const auto* parts : {&part.areas, &part.tracks})
                for (const geometryPointer& piece : *parts) {
                    OGREnvelope envelope;
                    piece->getEnvelope(&envelope);
                    extent.Merge(envelope);
                }
            result.features.push_back(std::move(part));
        }
        if (errors.failed()) {
            sink_.error(QStringLiteral("The %1 could not be read%2.").arg(what_, errors.reason()));
            return std::nullopt;
        }
        if (selected == 0) {
            sink_.error(source_.where.isEmpty()
                            ? QStringLiteral("The %1 is empty: it has no features.").arg(what_)
                            : QStringLiteral("The attribute filter \"%1\" selects no feature of the %2.")
                                  .arg(source_.where, what_));
            return std::nullopt;
        }
        if (result.features.empty()) {
            sink_.error(QStringLiteral("The %1 has no polygon, line or point%2.")
                            .arg(what_, source_.where.isEmpty() ? QString()
                                                                : QStringLiteral(" among the features "
                                                                                 "selected")));
            return std::nullopt;
        }
        result.minX = extent.MinX;
        result.minY = extent.MinY;
        result.maxX = extent.MaxX;
        result.maxY = extent.MaxY;
        return result;
    }

    bool takeAttributes(const OGRFeature& feature, layerFeature& part)
    {
        part.id = feature.GetFID();
        if (nameField_ >= 0 && feature.IsFieldSetAndNotNull(nameField_))
            part.name = QString::fromUtf8(feature.GetFieldAsString(nameField_));
        if (idIndex_ < 0)
            return true;
        if (!feature.IsFieldSetAndNotNull(idIndex_)) {
            sink_.error(QStringLiteral("Feature %1 of the %2 has no value in its id field \"%3\".")
                            .arg(feature.GetFID())
                            .arg(what_, idField_));
            return false;
        }
        part.id = feature.GetFieldAsInteger64(idIndex_);
        return true;
    }

    const vectorLayerSource& source_;
    const QString idField_;
    const QStringList numberFields_;
    messageSink& sink_;
    const QString what_;
    datasetPointer dataset_;
    int nameField_ = -1;
    int idIndex_ = -1;
    std::vector<int> numberIndices_;
};

}  // namespace

bool isVectorFileName(const QString& fileName) { return driverForSuffix(fileName) != nullptr; }

QStringList vectorLayerNames(const QString& file)
{
    const char* driver = driverForSuffix(file);
    if (!driver)
        return {};
    initialiseGdal();
    gdalErrorCapture errors;
    const char* const drivers[] = {driver, nullptr};
    const datasetPointer dataset(static_cast<GDALDataset*>(
        GDALOpenEx(file.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr)));
    QStringList names;
    for (int i = 0; dataset && i < dataset->GetLayerCount(); ++i)
        names << QString::fromUtf8(dataset->GetLayer(i)->GetName());
    return names;
}

std::optional<layerFeatures> readLayerFeatures(const vectorLayerSource& source, const coordinateSystem& demSystem,
                                               const QString& role, const QString& idField, messageSink& sink,
                                               const QStringList& numberFields)
{
    initialiseGdal();
    return layerReader(source, role, idField, sink, numberFields).read(demSystem);
}
