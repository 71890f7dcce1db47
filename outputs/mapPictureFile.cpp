#include "outputs/mapPictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <vector>

#include "map/runResultGrids.h"
#include "outputs/pngPicture.h"
#include "raster/pictureGeoreference.h"
#include "raster/smallOutputFile.h"

namespace {

// The file `file` of mapPictureFiles beside `picture`, named in messages
// as the picture is.
outputTarget besidePicture(const outputTarget& picture, int file)
{
    outputTarget target(mapPictureFiles(picture.path)[file]);
    target.name = mapPictureFiles(picture.name)[file];
    return target;
}

// Beside a picture, the world file and the system; an earlier auxiliary file
// of another system would misplace the new picture, so it goes.
bool writePlacementFiles(const outputTarget& picture, const outputGeoreference& placement, messageSink& sink)
{
    const QStringList paths = mapPictureFiles(picture.path);
    const auto side = [&](int file) { return besidePicture(picture, file); };
    if (writeSmallOutputFile(side(1), worldFileText(placement.geoTransform), sink) != writeOutcome::written)
        return false;
    const QByteArray system = auxiliarySystemText(placement.system);
    if (system.isEmpty())
        return !QFileInfo::exists(paths[2]) || QFile::remove(paths[2]);
    return writeSmallOutputFile(side(2), system, sink) == writeOutcome::written;
}

// The legend the picture leaves out, as a PNG of its own beside it.
bool writeLegendFile(const outputTarget& picture, const runResultGrids& result, mapColouring colouring,
                     messageSink& sink)
{
    const QImage legend =
        resultMapLegendImage(shownColouring(result, colouring), result.intensityOptions.energyClassLimits);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!legend.save(&buffer, "png")) {
        sink.error(QStringLiteral("Failed to write the map's legend %1.").arg(mapPictureFiles(picture.name).last()));
        return false;
    }
    return writeSmallOutputFile(besidePicture(picture, int(mapPictureFiles(picture.path).size()) - 1), bytes, sink)
           == writeOutcome::written;
}

// The picture as 8-bit RGB, one pixel per cell, made row by row without a second copy.
QImage pictureRgb(const resultMapRows& rows, int width, int height)
{
    QImage rgb(width, height, QImage::Format_RGB888);
    if (rgb.isNull())
        return rgb;
    uchar* const bits = rgb.bits();
    const qsizetype stride = rgb.bytesPerLine();
#pragma omp parallel
    {
        std::vector<QRgb> pixels(static_cast<std::size_t>(width));
#pragma omp for schedule(dynamic, 64)
        for (int y = 0; y < height; ++y) {
            rows.fill(y, pixels.data());
            uchar* line = bits + y * stride;
            for (const QRgb pixel : pixels) {
                *line++ = static_cast<uchar>(qRed(pixel));
                *line++ = static_cast<uchar>(qGreen(pixel));
                *line++ = static_cast<uchar>(qBlue(pixel));
            }
        }
    }
    return rgb;
}

}  // namespace

std::optional<mapPictureFormat> mapPictureFormatOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return mapPictureFormat::png;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return mapPictureFormat::jpeg;
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return mapPictureFormat::geoTiff;
    return std::nullopt;
}

QString mapSuffixProblem(const QString& fileName)
{
    if (mapPictureFormatOf(fileName))
        return QString();
    return QStringLiteral(
               "The map %1 has no picture suffix that Tumbra writes: name it .png, .jpg or .tif (a GeoTIFF).")
        .arg(fileName);
}

QStringList mapPictureFiles(const QString& fileName)
{
    const QFileInfo picture(fileName);
    const QString folder = fileName.contains(u'/') ? picture.path() + u'/' : QString();
    const QString legend = folder + picture.completeBaseName() + QStringLiteral("-legend.png");
    if (mapPictureFormatOf(fileName) == mapPictureFormat::geoTiff)
        return {fileName, legend};
    return {fileName, folder + picture.completeBaseName() + u'.' + worldFileSuffix(picture.suffix().toLower()),
            fileName + QStringLiteral(".aux.xml"), legend};
}

QString writeResultMap(const outputTarget& target, const runResultGrids& result, mapColouring colouring)
{
    const QString& fileName = target.name;
    const std::optional<mapPictureFormat> format = mapPictureFormatOf(fileName);
    if (!format)
        return mapSuffixProblem(fileName);
    // One pixel per cell: the picture lies exactly where the DEM's grid does.
    const outputGeoreference& placement = result.placement;
    const int width = result.displayGrid.cols();
    const int height = result.displayGrid.rows();
    const resultMapRows rows(result, colouring);
    firstProblemSink problem;
    QByteArray bytes;
    if (*format == mapPictureFormat::geoTiff) {
        const QImage rgb = pictureRgb(rows, width, height);
        if (rgb.isNull())
            return QStringLiteral("Failed to write the map %1: not enough memory for its picture.").arg(fileName);
        if (writePictureGeoTiff(target, rgb.width(), rgb.height(), rgb.constBits(), int(rgb.bytesPerLine()), placement,
                                problem)
            == writeOutcome::written)
            writeLegendFile(target, result, colouring, problem);
        return problem.text;
    }
    if (*format == mapPictureFormat::png) {
        bytes = pngPictureBytes(width, height, [&rows](int y, QRgb* pixels) { rows.fill(y, pixels); });
        if (bytes.isEmpty())
            return QStringLiteral("Failed to write the map %1: not enough memory to compress it.").arg(fileName);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        if (!writer.write(resultMapImage(result, colouring)))
            return QStringLiteral("Failed to write the map %1: %2").arg(fileName, writer.errorString());
    }
    if (writeSmallOutputFile(target, bytes, problem) == writeOutcome::written
        && writePlacementFiles(target, placement, problem))
        writeLegendFile(target, result, colouring, problem);
    return problem.text;
}
