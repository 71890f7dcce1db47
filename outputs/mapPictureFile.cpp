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

// The picture as 8-bit RGB, made row by row without a second copy.
QImage pictureRgb(const resultMapPictureRows& rows)
{
    QImage rgb(rows.width(), rows.height(), QImage::Format_RGB888);
    if (rgb.isNull())
        return rgb;
    uchar* const bits = rgb.bits();
    const qsizetype stride = rgb.bytesPerLine();
#pragma omp parallel
    {
        std::vector<QRgb> pixels(static_cast<std::size_t>(rows.width()));
#pragma omp for schedule(dynamic, 64)
        for (int y = 0; y < rows.height(); ++y) {
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
    const outputGeoreference placement = picturePlacement(result, colouring);
    firstProblem problem;
    QByteArray bytes;
    if (*format == mapPictureFormat::geoTiff) {
        const QImage rgb = pictureRgb(resultMapPictureRows(result, colouring));
        if (rgb.isNull())
            return QStringLiteral("Failed to write the map %1: not enough memory for its picture.").arg(fileName);
        writePictureGeoTiff(target, rgb.width(), rgb.height(), rgb.constBits(), int(rgb.bytesPerLine()), placement,
                            problem);
        return problem.text;
    }
    if (*format == mapPictureFormat::png) {
        const resultMapPictureRows rows(result, colouring);
        bytes = pngPictureBytes(rows.width(), rows.height(), [&rows](int y, QRgb* pixels) { rows.fill(y, pixels); });
        if (bytes.isEmpty())
            return QStringLiteral("Failed to write the map %1: not enough memory to compress it.").arg(fileName);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        if (!writer.write(resultMapPicture(result, colouring)))
            return QStringLiteral("Failed to write the map %1: %2").arg(fileName, writer.errorString());
    }
    if (writeSmallOutputFile(target, bytes, problem) == writeOutcome::written)
        writePlacementFiles(target, placement, problem);
    return problem.text;
}
