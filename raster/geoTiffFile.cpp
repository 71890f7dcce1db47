#include "raster/geoTiffFile.h"

#include <algorithm>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "raster/gdalOutputFile.h"
#include "raster/gdalSession.h"

namespace {

bool place(GDALDataset& file, const outputGeoreference& placement)
{
    double transform[6];
    std::copy(placement.geoTransform, placement.geoTransform + 6, transform);
    if (file.SetGeoTransform(transform) != CE_None)
        return false;
    if (placement.system.isEmpty())
        return true;
    OGRSpatialReference reference;
    return spatialReferenceOf(placement.system, reference) && file.SetSpatialRef(&reference) == CE_None;
}

}  // namespace

writeOutcome writePlacedGeoTiff(const outputTarget& target, int width, int height, int bands, GDALDataType type,
                                const char* const* options, const outputGeoreference& placement,
                                const std::function<bool(GDALDataset&)>& fill, messageSink& sink)
{
    QString temporaryName;
    if (!reserveTemporaryName(target, QString(), temporaryName, sink))
        return writeOutcome::notOpened;
    bool written = false;
    QString reason;
    {
        gdalErrorCapture errors;
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
        GDALDatasetUniquePtr file(driver ? driver->Create(temporaryName.toUtf8().constData(), width, height, bands,
                                                          type, const_cast<char**>(options))
                                         : nullptr);
        const bool filled = file && place(*file, placement) && fill(*file);
        // Closing writes the last tiles: its errors count too.
        file.reset();
        written = filled && !errors.failed();
        reason = errors.text();
    }
    return commitTemporaryFile(temporaryName, target, written, reason, sink);
}
