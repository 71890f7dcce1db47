#include "raster/coordinateSystem.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include "raster/gdalSession.h"

namespace {

QString epsgName(const OGRSpatialReference& reference)
{
    const char* authority = reference.GetAuthorityName(nullptr);
    const char* code = reference.GetAuthorityCode(nullptr);
    if (authority && code && EQUAL(authority, "EPSG"))
        return QStringLiteral("EPSG:%1").arg(QString::fromLatin1(code));
    return QString();
}

QByteArray wktOf(const OGRSpatialReference& reference)
{
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT2_2018", nullptr};
    QByteArray text;
    if (reference.exportToWkt(&wkt, options) == OGRERR_NONE && wkt)
        text = QByteArray(wkt);
    CPLFree(wkt);
    return text;
}

}  // namespace

coordinateSystem coordinateSystemOf(const OGRSpatialReference* reference)
{
    coordinateSystem system;
    if (!reference || reference->IsEmpty())
        return system;
    gdalErrorCapture quiet;
    system.wkt = wktOf(*reference);
    if (system.wkt.isEmpty())
        return system;
    system.name = epsgName(*reference);
    // A .prj in ESRI's form names no authority: GDAL looks the system up, and
    // an equivalent EPSG system is carried on, so the outputs name their code.
    if (system.name.isEmpty()) {
        if (OGRSpatialReference* match = reference->FindBestMatch(90, "EPSG")) {
            const QByteArray matchWkt = wktOf(*match);
            system.name = epsgName(*match);
            if (!system.name.isEmpty() && !matchWkt.isEmpty())
                system.wkt = matchWkt;
            match->Release();
        }
    }
    if (system.name.isEmpty())
        system.name = QString::fromUtf8(reference->GetName() ? reference->GetName() : "unnamed");
    system.geographic = reference->IsGeographic() != 0;
    if (reference->IsProjected()) {
        const char* unit = nullptr;
        system.metresPerUnit = reference->GetLinearUnits(&unit);
        system.unitName = QString::fromUtf8(unit ? unit : "");
    }
    return system;
}

bool spatialReferenceOf(const coordinateSystem& system, OGRSpatialReference& reference)
{
    if (system.isEmpty())
        return false;
    reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return reference.importFromWkt(system.wkt.constData()) == OGRERR_NONE;
}

namespace {

// A round cell size near `metres`: the nearest of 1, 2, 2.5 and 5 times a
// power of ten, measured by ratio.
double roundCellSize(double metres)
{
    const double decade = std::pow(10.0, std::floor(std::log10(metres)));
    double best = decade;
    for (const double step : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        const double candidate = step * decade;
        if (std::fabs(std::log(candidate / metres)) < std::fabs(std::log(best / metres)))
            best = candidate;
    }
    return best;
}

// What a geographic DEM's cells measure on the ground at its middle
// latitude (a degree of latitude about 110.6 km, of longitude 111.3 km times
// the cosine of the latitude, on the WGS 84 ellipsoid), and a round metre
// cell size near them for the reprojection.
QString metreResolutionHint(const rasterHeader& dem)
{
    const double degrees = dem.cellsize;
    const double half = dem.spatialReference == rasterHeader::center ? degrees / 2.0 : 0.0;
    const double latitude = std::clamp(double(dem.yll) - half + dem.nrows * degrees / 2.0, -89.0, 89.0);
    const double pi = 3.14159265358979323846;
    const double eastWest = degrees * 111320.0 * std::cos(latitude * pi / 180.0);
    const double northSouth = degrees * 110574.0;
    if (!(eastWest > 0.0) || !std::isfinite(northSouth))
        return QStringLiteral("-tr <size> <size>");
    const QString size = QString::number(roundCellSize(std::sqrt(eastWest * northSouth)));
    return QStringLiteral("-tr %1 %1 (its cells of %2° are about %3 x %4 m at latitude %5°)")
        .arg(size, QString::number(degrees, 'g', 6), QString::number(eastWest, 'f', 0),
             QString::number(northSouth, 'f', 0), QString::number(latitude, 'f', 1));
}

}  // namespace

bool checkElevationCoordinateSystem(const coordinateSystem& system, const rasterHeader& dem, const QString& demFile,
                                    messageSink& sink)
{
    if (system.isEmpty())
        return true;
    if (system.geographic) {
        sink.error(QStringLiteral("The DEM %1 is in a geographic coordinate system (%2): its cell size is in degrees, "
                                  "not metres. Reproject it to a projected coordinate system in metres, for example "
                                  "with gdalwarp -t_srs EPSG:<code> %3.")
                       .arg(demFile, system.name, metreResolutionHint(dem)));
        return false;
    }
    // The unit of a projected system is given to ten digits at most.
    if (std::fabs(system.metresPerUnit - 1.0) > 1e-9) {
        sink.warning(QStringLiteral("The coordinate system of the DEM %1 (%2) measures in %3 (%4 m), not metres: the "
                                    "cell size, segment length, profile step and fall height are all taken in %3.")
                         .arg(demFile, system.name, system.unitName)
                         .arg(system.metresPerUnit, 0, 'g', 10));
    }
    return true;
}

bool sameCoordinateSystem(const coordinateSystem& a, const coordinateSystem& b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty();
    if (a.wkt == b.wkt)
        return true;
    gdalErrorCapture quiet;
    OGRSpatialReference first;
    OGRSpatialReference second;
    if (!spatialReferenceOf(a, first) || !spatialReferenceOf(b, second))
        return false;
    // A .prj in ESRI's form and the EPSG system it stands for are the same.
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                   "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    return first.IsSame(&second, options) != 0;
}

QString coordinateSystemLogLine(const coordinateSystem& system)
{
    if (system.isEmpty())
        return QStringLiteral("Coordinate system: none (the DEM has none, so the outputs have none)");
    return QStringLiteral("Coordinate system: %1").arg(system.name);
}
