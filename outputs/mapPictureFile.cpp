#include "outputs/mapPictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include "map/runResultGrids.h"
#include "raster/pictureGeoreference.h"
#include "raster/smallOutputFile.h"

namespace {

// Keeps the first problem a writer reports, for the one message of a failed map.
class firstProblem final : public messageSink
{
public:
    void error(const QString& text) override { keep(text); }
    void warning(const QString&) override {}
    void message(const QString&) override {}
    void warningBox(const QString& text) override { keep(text); }
    QString text;

private:
    void keep(const QString& problem)
    {
        if (text.isEmpty())
            text = problem;
    }
};

// The grid's placement with the picture's pixels: a small grid is drawn
// enlarged by a whole factor.
outputGeoreference picturePlacement(const runResultGrids& result, mapColouring colouring)
{
    outputGeoreference placement = result.placement;
    const double factor = resultMapPictureScale(result, colouring);
    for (const int term : {1, 2, 4, 5})
        placement.geoTransform[term] /= factor;
    return placement;
}

// Beside a picture, the world file and the system; an earlier auxiliary file
// of another system would misplace the new picture, so it goes.
bool writePlacementFiles(const outputTarget& picture, const outputGeoreference& placement, messageSink& sink)
{
    const QStringList paths = mapPictureFiles(picture.path);
    const QStringList names = mapPictureFiles(picture.name);
    const auto side = [&](int file) {
        outputTarget target(paths[file]);
        target.name = names[file];
        return target;
    };
    if (writeSmallOutputFile(side(1), worldFileText(placement.geoTransform), sink) != writeOutcome::written)
        return false;
    const QByteArray system = auxiliarySystemText(placement.system);
    if (system.isEmpty())
        return !QFileInfo::exists(paths[2]) || QFile::remove(paths[2]);
    return writeSmallOutputFile(side(2), system, sink) == writeOutcome::written;
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
    if (mapPictureFormatOf(fileName) == mapPictureFormat::geoTiff)
        return {fileName};
    const QFileInfo picture(fileName);
    const QString folder = fileName.contains(u'/') ? picture.path() + u'/' : QString();
    return {fileName, folder + picture.completeBaseName() + u'.' + worldFileSuffix(picture.suffix().toLower()),
            fileName + QStringLiteral(".aux.xml")};
}

QString writeResultMap(const outputTarget& target, const runResultGrids& result, mapColouring colouring)
{
    const QString& fileName = target.name;
    const std::optional<mapPictureFormat> format = mapPictureFormatOf(fileName);
    if (!format)
        return mapSuffixProblem(fileName);
    const QImage picture = resultMapPicture(result, colouring);
    const outputGeoreference placement = picturePlacement(result, colouring);
    firstProblem problem;
    if (*format == mapPictureFormat::geoTiff) {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        writePictureGeoTiff(target, rgb.width(), rgb.height(), rgb.constBits(), int(rgb.bytesPerLine()), placement,
                            problem);
        return problem.text;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, *format == mapPictureFormat::png ? "png" : "jpeg");
    if (!writer.write(picture))
        return QStringLiteral("Failed to write the map %1: %2").arg(fileName, writer.errorString());
    if (writeSmallOutputFile(target, bytes, problem) == writeOutcome::written)
        writePlacementFiles(target, placement, problem);
    return problem.text;
}
