#include "raster/asciiGridProjection.h"

#include <vector>

#include <QFile>
#include <QFileInfo>

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include "raster/gdalSession.h"

coordinateSystem coordinateSystemBesideGrid(const QString& gridFile, messageSink& sink)
{
    const QFileInfo grid(gridFile);
    QString prjFile;
    for (const char* suffix : {".prj", ".PRJ"}) {
        const QString candidate = grid.path() + u'/' + grid.completeBaseName() + QLatin1String(suffix);
        if (QFileInfo(candidate).isFile()) {
            prjFile = candidate;
            break;
        }
    }
    if (prjFile.isEmpty())
        return {};

    gdalErrorCapture errors;
    QFile file(prjFile);
    std::vector<QByteArray> lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QByteArray text = line.trimmed();
            if (!text.isEmpty())
                lines.push_back(text);
        }
    }
    std::vector<char*> lineList;
    for (QByteArray& line : lines)
        lineList.push_back(line.data());
    lineList.push_back(nullptr);
    OGRSpatialReference reference;
    if (lines.empty() || reference.importFromESRI(lineList.data()) != OGRERR_NONE) {
        const QString reason = !file.isOpen()  ? QStringLiteral(": ") + file.errorString()
                               : lines.empty() ? QStringLiteral(": it is empty")
                                               : errors.reason();
        sink.warning(QStringLiteral("The coordinate system in %1 could not be read%2; the outputs get none.")
                         .arg(prjFile, reason));
        return {};
    }
    return coordinateSystemOf(&reference);
}

QByteArray esriProjectionText(const coordinateSystem& system)
{
    gdalErrorCapture quiet;
    OGRSpatialReference reference;
    if (!spatialReferenceOf(system, reference))
        return {};
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT1_ESRI", nullptr};
    QByteArray text;
    if (reference.exportToWkt(&wkt, options) == OGRERR_NONE && wkt)
        text = QByteArray(wkt);
    CPLFree(wkt);
    return text;
}

QString projectionFileName(const QString& gridFileName)
{
    return QFileInfo(gridFileName).completeBaseName() + QStringLiteral(".prj");
}

std::optional<writeOutcome> writeProjectionBesideGrid(const outputTarget& projectionTarget,
                                                      const coordinateSystem& system, messageSink& sink)
{
    const QByteArray projection = esriProjectionText(system);
    if (!projection.isEmpty())
        return writeProjectionFile(projectionTarget, projection, sink);
    if (QFileInfo::exists(projectionTarget.path))
        QFile::remove(projectionTarget.path);
    return std::nullopt;
}
