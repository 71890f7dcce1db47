#include "raster/rasterTypes.h"

#include <QFileInfo>

const char* spatialReferenceName(int32_t spatialReference)
{
    static const char* const names[] = {"undefined", "corner", "center"};
    if (spatialReference < 0 || spatialReference > 2)
        return names[0];
    return names[spatialReference];
}

int32_t inputFileTypeFromName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("asc"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
        return esriAsciiGrid;
    if (suffix.compare(QLatin1String("tif"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("tiff"), Qt::CaseInsensitive) == 0)
        return geoTiff;
    return unsupportedFile;
}
