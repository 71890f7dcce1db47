#include <cmath>
#include <numeric>
#include <tuple>

#include <QTemporaryDir>
#include <QtTest>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "engine/objectReach.h"
#include "outputs/objectIntensity.h"
#include "outputs/objectsTable.h"
#include "raster/asciiGridProjection.h"
#include "raster/gdalSession.h"
#include "raster/objectOutlines.h"
#include "raster/objectsAtRisk.h"
#include "raster/vectorStartCells.h"
#include "tests/recordingSink.h"

namespace {

// A grid of 6 x 6 cells of 10 m from (0, 0): the centre of cell (r, c) lies
// at x = 10c + 5, y = 55 - 10r.
const rasterHeader dem{6, 6, 0.0f, 0.0f, 10.0f, -9999.0f, rasterHeader::corner};
const double geoTransform[6] = {0.0, 10.0, 0.0, 60.0, 0.0, -10.0};

QString number(double value) { return QString::number(value, 'g', 17); }

QString rectangle(double west, double south, double east, double north)
{
    return QStringLiteral("{\"type\":\"Polygon\",\"coordinates\":[[[%1,%2],[%3,%2],[%3,%4],[%1,%4],[%1,%2]]]}")
        .arg(number(west), number(south), number(east), number(north));
}

QString line(double x0, double y0, double x1, double y1)
{
    return QStringLiteral("{\"type\":\"LineString\",\"coordinates\":[[%1,%2],[%3,%4]]}")
        .arg(number(x0), number(y0), number(x1), number(y1));
}

QString point(double x, double y)
{
    return QStringLiteral("{\"type\":\"Point\",\"coordinates\":[%1,%2]}").arg(number(x), number(y));
}

// A GeoJSON layer of features "geometry" or "geometry|properties"; crs: an EPSG code or none.
QString layerText(const QStringList& features, int crs = 32632)
{
    QStringList parts;
    for (const QString& feature : features)
        parts << QStringLiteral("{\"type\":\"Feature\",\"properties\":%1,\"geometry\":%2}")
                     .arg(feature.contains('|') ? feature.section('|', 1) : QStringLiteral("{}"),
                          feature.section('|', 0, 0));
    const QString system =
        crs ? QStringLiteral("\"crs\":{\"type\":\"name\",\"properties\":{\"name\":\"EPSG:%1\"}},").arg(crs) : "";
    return QStringLiteral("{\"type\":\"FeatureCollection\",%1\"features\":[%2]}").arg(system, parts.join(','));
}

QString writeLayer(const QTemporaryDir& folder, const QString& text, const QString& name = "layer.geojson")
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return QString();
    return file.fileName();
}

// A GeoPackage of no layer or of raster tiles only ("<raster>"), or no file ("<missing>").
QString writeUnusual(const QTemporaryDir& folder, const QString& name, const QString& kind)
{
    initialiseGdal();
    const QString path = folder.filePath(name);
    const int size = kind == "<raster>" ? 4 : 0;
    if (kind != "<missing>") {
        GDALDataset* file = GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
            path.toUtf8().constData(), size, size, size ? 1 : 0, size ? GDT_Byte : GDT_Unknown, nullptr);
        double placement[6] = {0, 10, 0, 40, 0, -10};
        if (size)
            file->SetGeoTransform(placement);
        GDALClose(file);
    }
    return path;
}

// A point without a system: a Shapefile without .prj (GeoJSON without a
// "crs" member would be WGS 84), or a GeoPackage, which names a placeholder
// system, "Undefined geographic SRS".
QString pointWithoutSystem(const QTemporaryDir& folder, double x, double y, const QString& name = "point.shp")
{
    initialiseGdal();
    const QString path = folder.filePath(name);
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(name.endsWith(".gpkg") ? "GPKG" : "ESRI Shapefile");
    GDALDataset* file = driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
    OGRLayer* layer = file->CreateLayer("point", nullptr, wkbPoint, nullptr);
    OGRFeature feature(layer->GetLayerDefn());
    OGRPoint at(x, y);
    feature.SetGeometry(&at);
    const bool written = layer->CreateFeature(&feature) == OGRERR_NONE;
    GDALClose(file);
    return written ? path : QString();
}

coordinateSystem epsg(int code = 32632)
{
    OGRSpatialReference reference;
    reference.importFromEPSG(code);
    return coordinateSystemOf(&reference);
}

QString cellsText(const std::vector<startCell>& cells)
{
    QStringList text;
    for (const startCell& cell : cells)
        text << QStringLiteral("%1,%2").arg(cell.row).arg(cell.col);
    return text.join(' ');
}

}  // namespace

class tst_vectorLayers : public QObject
{
    Q_OBJECT

private slots:
    void startCells_data()
    {
        QTest::addColumn<QStringList>("features");
        QTest::addColumn<QString>("cells");
        QTest::newRow("centres on all four edges: the west edge's out")
            << QStringList{rectangle(5, 35, 25, 55)} << "0,1 0,2 1,1 1,2 2,1 2,2";
        QTest::newRow("edges between centres") << QStringList{rectangle(10, 30, 30, 50)} << "1,1 1,2 2,1 2,2";
        QTest::newRow("two polygons sharing an edge through centres leave no gap")
            << QStringList{rectangle(5, 45, 25, 55), rectangle(25, 45, 45, 55)} << "0,1 0,2 0,3 0,4 1,1 1,2 1,3 1,4";
        QTest::newRow("point at a centre") << QStringList{point(15, 45)} << "1,1";
        QTest::newRow("point on a corner takes the south-east cell") << QStringList{point(10, 50)} << "1,1";
        QTest::newRow("point outside beside one inside") << QStringList{point(75, 45), point(15, 45)} << "1,1";
        QTest::newRow("line inside one row") << QStringList{line(2, 45, 28, 45)} << "1,0 1,1 1,2";
        QTest::newRow("line along a cell border") << QStringList{line(5, 40, 25, 40)} << "2,0 2,1 2,2";
        QTest::newRow("diagonal line through a corner: not the cells of that corner alone")
            << QStringList{line(1, 59, 19, 41)} << "0,0 1,1";
        QTest::newRow("polygon too small for a centre beside a point")
            << QStringList{rectangle(1, 1, 4, 4), point(55, 5)} << "5,5";
        QTest::newRow("polygon reaching beyond the grid is cut to it")
            << QStringList{rectangle(40, -20, 90, 20)} << "4,4 4,5 5,4 5,5";
    }

    void startCells()
    {
        QFETCH(QStringList, features);
        QFETCH(QString, cells);
        QTemporaryDir folder;
        recordingSink sink;
        const auto read =
            readStartCellsLayer({writeLayer(folder, layerText(features)), {}, {}}, dem, geoTransform, epsg(), sink);
        QVERIFY2(read, qPrintable(sink.log.join('\n')));
        QCOMPARE(cellsText(*read), cells);
        QCOMPARE(sink.log, QStringList());
    }

    // (500000, 5000000) in UTM zone 33 is (971622.97, 5017540.25) in zone 32.
    void layerInAnotherSystemIsTransformed_data()
    {
        QTest::addColumn<int>("crs");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("warning");
        QTest::newRow("zone 33 to zone 32") << 33 << 500000.0 << 5000000.0 << "";
        QTest::newRow("no system: the DEM's") << 0 << 971622.97 << 5017540.25 << "has no coordinate system";
        QTest::newRow("GeoPackage's placeholder: no system")
            << 1 << 971622.97 << 5017540.25 << "has no coordinate system";
        QTest::newRow("GeoJSON read as WGS 84 with metres: the DEM's")
            << 4326 << 971622.97 << 5017540.25 << "beyond any longitude";
    }

    void layerInAnotherSystemIsTransformed()
    {
        QFETCH(int, crs);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, warning);
        const rasterHeader utm{10, 10, 971600.0f, 5017500.0f, 10.0f, -9999.0f, rasterHeader::corner};
        const double utmTransform[6] = {971600.0, 10.0, 0.0, 5017600.0, 0.0, -10.0};
        QTemporaryDir folder;
        const QString input = crs == 0   ? pointWithoutSystem(folder, x, y)
                              : crs == 1 ? pointWithoutSystem(folder, x, y, "point.gpkg")
                                         : writeLayer(folder, layerText({point(x, y)}, crs == 4326 ? 0 : 32600 + crs));
        recordingSink sink;
        const auto read = readStartCellsLayer({input, {}, {}}, utm, utmTransform, epsg(), sink);
        QVERIFY2(read, qPrintable(sink.log.join('\n')));
        QCOMPARE(cellsText(*read), QString("5,2"));
        QCOMPARE(sink.log.join('\n').contains(warning), true);
        QCOMPARE(sink.log.size(), warning.isEmpty() ? 0 : 1);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("error");
        const QString one = layerText({point(15, 45) + "|{\"kind\":\"cliff\"}"});
        QTest::newRow("empty layer") << "a.geojson" << layerText({}) << ""
                                     << ""
                                     << "is empty: it has no features";
        QTest::newRow("empty selection") << "a.geojson" << one << ""
                                         << "kind = 'scree'"
                                         << "selects no feature";
        QTest::newRow("filter naming no field") << "a.geojson" << one << ""
                                                << "colour = 1"
                                                << "cannot be applied";
        QTest::newRow("no polygon, line or point") << "a.geojson" << layerText({"null|{}"}) << ""
                                                   << ""
                                                   << "has no polygon, line or point";
        QTest::newRow("wholly outside") << "a.geojson" << layerText({point(75, 45), rectangle(65, 0, 80, 20)}) << ""
                                        << ""
                                        << "lies wholly outside the DEM";
        QTest::newRow("no cell centre") << "a.geojson" << layerText({rectangle(1, 1, 4, 4)}) << ""
                                        << ""
                                        << "gives no start cell";
        QTest::newRow("unknown layer") << "a.geojson" << one << "cliffs"
                                       << ""
                                       << "has no layer named \"cliffs\"";
        QTest::newRow("other suffix") << "a.csv" << one << ""
                                      << ""
                                      << "is not a GeoPackage";
        QTest::newRow("unreadable") << "a.gpkg" << one << ""
                                    << ""
                                    << "could not be opened";
        QTest::newRow("empty GeoPackage") << "a.gpkg"
                                          << "<none>"
                                          << ""
                                          << ""
                                          << "holds no vector layer";
        QTest::newRow("raster GeoPackage") << "a.gpkg"
                                           << "<raster>"
                                           << ""
                                           << ""
                                           << "holds raster tiles, not vector features: give it as a GeoTIFF";
        QTest::newRow("no file") << "a.shp"
                                 << "<missing>"
                                 << ""
                                 << ""
                                 << "does not exist. Check its name";
    }

    void refusals()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, text);
        QFETCH(QString, layer);
        QFETCH(QString, where);
        QFETCH(QString, error);
        QTemporaryDir folder;
        const QString file =
            text.startsWith('<') ? writeUnusual(folder, fileName, text) : writeLayer(folder, text, fileName);
        recordingSink sink;
        QVERIFY(!readStartCellsLayer({file, layer, where}, dem, geoTransform, epsg(), sink));
        QCOMPARE(sink.log.size(), 1);
        QVERIFY2(sink.log.first().startsWith("error: ") && sink.log.first().contains(error)
                     && sink.log.first().contains(file),
                 qPrintable(sink.log.first()));
    }

    // A feature's frequency is shared out over its cells, a cell in two
    // features takes both parts; volumes take the larger; unusable values are
    // refused naming the feature, the field and the value.
    void releaseFields_data()
    {
        QTest::addColumn<QString>("properties");  // of the second feature; the first: {"f":0.3,"v":2}
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("values");  // start cell: frequency/volume, or the error
        const QString half = "1,1:0.2/5 1,2:0.05/5 2,1:0.2/5 2,2:0.05/5";
        QTest::newRow("shared out, overlapping") << "{\"f\":0.2,\"v\":5}"
                                                 << "f" << half;
        QTest::newRow("text holding a number") << "{\"f\":\"0.2\",\"v\":5}"
                                               << "f" << half;
        QTest::newRow("missing") << "{\"v\":5}"
                                 << "f"
                                 << "Feature 1 of the start cells layer";
        QTest::newRow("null") << "{\"f\":null,\"v\":5}"
                              << "f"
                              << "has no value in field \"f\"";
        QTest::newRow("negative") << "{\"f\":-1,\"v\":5}"
                                  << "f"
                                  << "has -1 in field \"f\"";
        QTest::newRow("not finite") << "{\"f\":\"inf\",\"v\":5}"
                                    << "f"
                                    << "has inf in field \"f\"";
        QTest::newRow("no number") << "{\"f\":\"often\",\"v\":5}"
                                   << "f"
                                   << "has \"often\", which is no number";
        QTest::newRow("no such field") << "{\"f\":0.2,\"v\":5}"
                                       << "rate"
                                       << "no field \"rate\"; its fields are: f, v";
    }

    void releaseFields()
    {
        QFETCH(QString, properties);
        QFETCH(QString, field);
        QFETCH(QString, values);
        QTemporaryDir folder;
        const QString file = writeLayer(folder, layerText({rectangle(10, 30, 20, 50) + "|{\"f\":0.3,\"v\":2}",
                                                           rectangle(10, 30, 30, 50) + "|" + properties}));
        recordingSink sink;
        const auto read =
            readStartCellsLayer({file, {}, {}}, dem, geoTransform, epsg(),
                                {{field, featureValueSpread::sharedOut}, {"v", featureValueSpread::largest}}, sink);
        if (!read) {
            QVERIFY2(sink.log.size() == 1 && sink.log.first().contains(values) && sink.log.first().contains(file),
                     qPrintable(sink.log.join('\n')));
            return;
        }
        QStringList found;
        for (std::size_t k = 0; k < read->cells.size(); ++k)
            found << QStringLiteral("%1,%2:%3/%4")
                         .arg(read->cells[k].row)
                         .arg(read->cells[k].col)
                         .arg(read->values[0][k], 0, 'g', 12)
                         .arg(read->values[1][k]);
        QCOMPARE(found.join(' '), values);
    }

    // Overlapping objects keep each their cells; features sharing an id are
    // one object; a polygon between centres takes the cells it touches.
    void objectsOfALayer()
    {
        QTemporaryDir folder;
        const QString file = writeLayer(folder, layerText({rectangle(10, 30, 30, 50) + "|{\"oid\":7,\"name\":\"Barn\"}",
                                                           rectangle(20, 30, 40, 50) + "|{\"oid\":3,\"name\":\"Shed\"}",
                                                           line(2, 15, 58, 15) + "|{\"oid\":9,\"name\":\"Road\"}",
                                                           rectangle(51, 51, 54, 54) + "|{\"oid\":9}"}));
        recordingSink sink;
        std::vector<objectOutline> outlines;
        const auto objects = readObjectsLayer({file, {}, {}}, "oid", dem, geoTransform, epsg(), sink, &outlines);
        QVERIFY2(objects, qPrintable(sink.log.join('\n')));
        // The two features of object 9 are one outline, named by the one with a name.
        QStringList shapes;
        for (const objectOutline& outline : outlines)
            shapes << QStringLiteral("%1 %2 %3 rings %4 lines, first vertex %5,%6")
                          .arg(outline.id)
                          .arg(outline.name)
                          .arg(outline.rings.size())
                          .arg(outline.lines.size())
                          .arg(outline.rings.empty() ? outline.lines[0][0].first : outline.rings[0][0].first)
                          .arg(outline.rings.empty() ? outline.lines[0][0].second : outline.rings[0][0].second);
        QCOMPARE(shapes, QStringList({"3 Shed 1 rings 0 lines, first vertex 20,30",
                                      "7 Barn 1 rings 0 lines, first vertex 10,30",
                                      "9 Road 1 rings 1 lines, first vertex 51,51"}));
        QStringList table;
        for (const objectAtRisk& object : objects->objects())
            table << QStringLiteral("%1 %2 %3").arg(object.id).arg(object.name).arg(object.cells);
        QCOMPARE(table, QStringList({"3 Shed 4", "7 Barn 4", "9 Road 7"}));
        QStringList cells;
        for (std::size_t k = 0; k < objects->cells().size(); ++k)
            cells << QString::number(objects->cells()[k]) + ':'
                         + QString::number(objects->objectsEnd(k) - objects->objectsBegin(k));
        QCOMPARE(cells.join(' '), QString("5:1 7:1 8:2 9:1 13:1 14:2 15:1 24:1 25:1 26:1 27:1 28:1 29:1"));
        QCOMPARE(readObjectsLayer({file, {}, {}}, "name", dem, geoTransform, epsg(), sink).has_value(), false);
        QVERIFY(sink.log.last().contains("no integer field \"name\"") && sink.log.last().contains("oid"));
    }

    // The example's layers lie in the system of its DEM's .prj: read with no warning, untransformed.
    void exampleObjectsReadCleanly()
    {
        const rasterHeader example{320, 260, 600000.0f, 150000.0f, 2.0f, -9999.0f, rasterHeader::corner};
        const double exampleTransform[6] = {600000.0, 2.0, 0.0, 150640.0, 0.0, -2.0};
        recordingSink sink;
        const coordinateSystem system = coordinateSystemBesideGrid(EXAMPLES_DIR "/dem.asc", sink);
        QCOMPARE(system.name, QString("EPSG:21781"));
        const auto objects = readObjectsLayer({EXAMPLES_DIR "/objects.gpkg", {}, {}}, QString(), example,
                                              exampleTransform, system, sink);
        QVERIFY2(objects && sink.log.isEmpty(), qPrintable(sink.log.join('\n')));
        QStringList table;
        for (const objectAtRisk& object : objects->objects())
            table << QStringLiteral("%1 %2 %3").arg(object.id).arg(object.name).arg(object.cells);
        QCOMPARE(table, QStringList({"1 Valley road 649", "2 Barn 96", "3 House 68"}));
        QCOMPARE(vectorLayerNames(EXAMPLES_DIR "/objects.gpkg"), QStringList{"objects"});
        QCOMPARE(vectorLayerNames(EXAMPLES_DIR "/dem.asc"), QStringList());
    }

    // Cells beyond 2^32 (a grid of 70000 x 70000) keep their place and their objects.
    void objectCellsOfAHugeGrid()
    {
        const std::size_t far = (std::size_t(1) << 33) + 1;
        const objectCells objects({{1, {}, 0}, {2, {}, 0}, {3, {}, 0}}, {{far, 2}, {5, 1}, {far, 0}, {5, 1}, {far, 2}});
        QCOMPARE(objects.cells(), (std::vector<std::size_t>{5, far}));
        QCOMPARE(std::vector<uint32_t>(objects.objectsBegin(1), objects.objectsEnd(1)), (std::vector<uint32_t>{0, 2}));
        QCOMPARE(objects.objects()[1].cells, 1);
    }

    void objectsRasterNeedsWholeIds()
    {
        elevationGrid values(2, 2, 0.0f);
        values(0, 1) = 4.0f;
        values(1, 0) = -9999.0f;
        recordingSink sink;
        QCOMPARE(objectsFromGrid(values, -9999.0f, "o.asc", sink)->objects().at(0).cells, 1);
        values(1, 1) = 2.5f;
        QVERIFY(!objectsFromGrid(values, -9999.0f, "o.asc", sink));
        QCOMPARE(sink.log, QStringList{"error: The objects raster o.asc holds 2.5 at row 2, column 2: object ids must "
                                       "be whole numbers from 1 to 16777216."});
    }

    // Objects 3 (cells 2 and 5) and 7 (cells 1 and 2) on a row of 8 cells;
    // two start cells of two trajectories each, one process per start cell.
    // The border of an L of three cells: eight cell edges in seven lines,
    // the two top edges along the first row joined.
    void objectsRasterOutlinesFollowTheCells()
    {
        const objectCells objects({{4, "", 0}}, {{0, 0}, {1, 0}, {6, 0}});
        const std::vector<objectOutline> outlines = objectOutlinesOfCells(objects, 6, geoTransform);
        QCOMPARE(outlines.size(), std::size_t(1));
        QCOMPARE(outlines[0].id, int64_t(4));
        double length = 0.0;
        for (const objectOutline::vertices& line : outlines[0].lines)
            length += std::hypot(line.back().first - line.front().first, line.back().second - line.front().second);
        QCOMPARE(outlines[0].lines.size(), std::size_t(7));
        QCOMPARE(length, 80.0);
        QCOMPARE(outlines[0].lines[0], (objectOutline::vertices{{0.0, 60.0}, {20.0, 60.0}}));
    }

    void nearestRankPercentile_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<int>("percent");
        QTest::addColumn<double>("expected");
        std::vector<double> twenty(20);
        std::iota(twenty.rbegin(), twenty.rend(), 1.0);
        std::vector<double> hundred(100);
        std::iota(hundred.begin(), hundred.end(), 1.0);
        QTest::newRow("none") << std::vector<double>{} << 95 << 0.0;
        QTest::newRow("one value") << std::vector<double>{4.5} << 95 << 4.5;
        QTest::newRow("ten: the largest") << std::vector<double>{3, 9, 1, 7, 5, 2, 8, 4, 6, 10} << 95 << 10.0;
        QTest::newRow("twenty, reversed: the 19th") << twenty << 95 << 19.0;
        QTest::newRow("hundred: the 95th") << hundred << 95 << 95.0;
        QTest::newRow("ties") << std::vector<double>{2, 2, 2, 1} << 50 << 2.0;
    }

    void nearestRankPercentile()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(int, percent);
        QFETCH(double, expected);
        QCOMPARE(::nearestRankPercentile(values, percent), expected);
    }

    // Only the cells a trajectory reached count: a height left at an
    // unreached cell, or an object no trajectory reached, gives nothing.
    void objectIntensityOverReachedCells()
    {
        const objectCells objects({{3, "Road", 0}, {7, "Barn", 0}, {8, "Shed", 0}},
                                  {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {3, 1}, {5, 2}});
        grid<int32_t> passages(1, 6, 0);
        intensitySettings settings;
        settings.enabled = true;
        settings.blockVolume = 1.0;
        intensityGrids grids;
        grids.assign(1, 6, settings);
        for (const auto& [cell, count, height] :
             {std::tuple{0, 2, 1.0}, {1, 1, 4.0}, {2, 3, 9.0}, {3, 0, 50.0}, {5, 0, 0.0}})
            passages(0, cell) = count, grids.heightMax(0, cell) = height;
        const objectIntensityTable table = objectIntensities(objects, grids, settings, passages);
        const std::vector<objectReport> reports{{3, "Road", 3, 6, 2, 10.0, {}, -1, -1, 0.0, -1},
                                                {7, "Barn", 2, 3, 1, 5.0, {}, -1, -1, 0.0, -1},
                                                {8, "Shed", 1, 0, 0, 0.0, {}, -1, -1, 0.0, -1}};
        QCOMPARE(objectsTableText(reports, 12, {}, &table).split('\n').mid(1),
                 QList<QByteArray>({"3,Road,3,6,50.000,10.0,2,9.00,9.00,13.29,13.29,238.4,238.4\r",
                                    "7,Barn,2,3,25.000,5.0,1,9.00,9.00,13.29,13.29,238.4,238.4\r",
                                    "8,Shed,1,0,0.000,0.0,0,0.00,0.00,0.00,0.00,0.0,0.0\r", ""}));
        settings.blockVolume = 0.0;
        const objectIntensityTable heightsOnly = objectIntensities(objects, grids, settings, passages);
        QVERIFY(objectsTableText(reports, 12, {}, &heightsOnly)
                    .startsWith("id,name,cells (count),trajectories (count),share of all trajectories (%),largest "
                                "reach probability (%),start cells (count),largest energy-line height (m),95th "
                                "percentile energy-line height (m),largest velocity (m/s),95th percentile velocity "
                                "(m/s)\r\n"));
    }

    void objectsTableCountsEachTrajectoryOncePerObject()
    {
        const objectCells objects({{3, "Road", 0}, {7, "Barn, \"old\"", 0}}, {{2, 0}, {5, 0}, {1, 1}, {2, 1}});
        objectReach first(objects, 2);
        objectReach second(objects, 2);
        second.addTrajectory(1, {2, 5});
        first.addTrajectory(0, {0, 1, 2});
        second.addTrajectory(1, {5, 6});
        first.addTrajectory(0, {4});
        objectReachTotals totals = first.totals();
        totals.add(second.totals());
        grid<int32_t> passages(1, 8, 0);
        grid<int32_t> reaching(1, 8, 0);
        for (const auto& [cell, count, starts] :
             {std::tuple{0, 1, 1}, {1, 1, 1}, {2, 2, 2}, {4, 1, 1}, {5, 2, 1}, {6, 1, 1}})
            passages(0, cell) = count, reaching(0, cell) = starts;
        QCOMPARE(objectsTableText(objectReports(objects, totals, passages, reaching, 2), 4),
                 QByteArray("id,name,cells (count),trajectories (count),share of all trajectories (%),largest reach "
                            "probability (%),start cells (count)\r\n3,Road,2,3,75.000,100.0,2\r\n"
                            "7,\"Barn, \"\"old\"\"\",2,2,50.000,50.0,2\r\n"));
        const sourceShareRows shares({{0, 3}, {0, 0}}, totals, 2, 8, -9999.0f);
        std::vector<double> row(8, 0.0);
        shares.fill(0, row.data());
        QCOMPARE(row, (std::vector<double>{100.0, -9999, -9999, 50.0, -9999, -9999, -9999, -9999}));
        QCOMPARE(shares.share(0, 3), std::optional<double>(50.0));
        QCOMPARE(shares.share(0, 1), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(tst_vectorLayers)
#include "tst_vectorLayers.moc"
