#include "raster/pictureGeoreference.h"

#include <QXmlStreamWriter>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "raster/geoTiffFile.h"
#include "raster/gdalSession.h"

QString worldFileSuffix(const QString& pictureSuffix)
{
    if (pictureSuffix.size() < 2)
        return pictureSuffix + u'w';
    return QString(pictureSuffix.front()) + pictureSuffix.back() + u'w';
}

QByteArray worldFileText(const double geoTransform[6])
{
    const double* g = geoTransform;
    const double centre[2] = {g[0] + 0.5 * g[1] + 0.5 * g[2], g[3] + 0.5 * g[4] + 0.5 * g[5]};
    QByteArray text;
    for (const double value : {g[1], g[4], g[2], g[5], centre[0], centre[1]})
        text += QByteArray::number(value, 'f', 10) + '\n';
    return text;
}

QByteArray auxiliarySystemText(const coordinateSystem& system)
{
    gdalErrorCapture quiet;
    OGRSpatialReference reference;
    // Pictures list x (east) before y, whatever order the system's own axes have.
    if (!spatialReferenceOf(system, reference))
        return {};
    QStringList mapping;
    for (const int axis : reference.GetDataAxisToSRSAxisMapping())
        mapping << QString::number(axis);
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartElement(QStringLiteral("PAMDataset"));
    xml.writeStartElement(QStringLiteral("SRS"));
    xml.writeAttribute(QStringLiteral("dataAxisToSRSAxisMapping"), mapping.join(u','));
    xml.writeCharacters(QString::fromUtf8(system.wkt));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return text;
}

writeOutcome writePictureGeoTiff(const outputTarget& target, int width, int height, const unsigned char* rgb,
                                 int lineBytes, const outputGeoreference& placement, messageSink& sink)
{
    const char* const options[] = {"PHOTOMETRIC=RGB", "COMPRESS=DEFLATE", "TILED=YES", nullptr};
    return writePlacedGeoTiff(
        target, width, height, 3, GDT_Byte, options, placement,
        [&](GDALDataset& file) {
            int bands[3] = {1, 2, 3};
            return file.RasterIO(GF_Write, 0, 0, width, height, const_cast<unsigned char*>(rgb), width, height,
                                 GDT_Byte, 3, bands, 3, lineBytes, 1, nullptr)
                   == CE_None;
        },
        sink);
}
