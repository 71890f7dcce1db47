#include <vector>

#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <omp.h>

#include "controllerRecorder.h"
#include "raster/gdalSession.h"
#include "raster/geoTiffWriter.h"
#include "raster/rasterInput.h"
#include "recordingSink.h"
#include "testPlatform.h"

namespace {
const QString slopeDem = QStringLiteral(TEST_DATA_DIR "/golden/slope/dem.asc");
const QString slopeStart = QStringLiteral(TEST_DATA_DIR "/golden/slope/start_cells.asc");

// The slope DEM's grid: 60 x 100 cells of 2 m, north-west corner (600200, 150560).
const std::vector<double> slopeTransform = {600200.0, 2.0, 0.0, 150560.0, 0.0, -2.0};

struct raster
{
    int cols = 0;
    int rows = 0;
    std::vector<float> values;
};  // rows as stored in the file

raster readWithGdal(const QString& fileName)
{
    GDALDatasetUniquePtr file(GDALDataset::Open(fileName.toUtf8().constData(), GDAL_OF_RASTER));
    raster grid{file->GetRasterXSize(), file->GetRasterYSize(), {}};
    grid.values.resize(std::size_t(grid.cols) * std::size_t(grid.rows));
    if (file->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, grid.cols, grid.rows, grid.values.data(), grid.cols, grid.rows,
                                         GDT_Float32, 0, 0, nullptr)
        != CE_None)
        grid.values.clear();
    return grid;
}

// A GeoTIFF through GDAL, the values in band 1; an empty transform leaves it without one.
void writeGeoTiff(const QString& fileName, const raster& grid, const std::vector<double>& transform,
                  const char* system = "EPSG:21781", GDALDataType type = GDT_Float32, int bands = 1)
{
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDatasetUniquePtr file(
        driver->Create(fileName.toUtf8().constData(), grid.cols, grid.rows, bands, type, nullptr));
    if (!transform.empty())
        file->SetGeoTransform(const_cast<double*>(transform.data()));
    OGRSpatialReference reference;
    if (system && reference.SetFromUserInput(system) == OGRERR_NONE)
        file->SetSpatialRef(&reference);
    float* values = const_cast<float*>(grid.values.data());
    QVERIFY(file->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, grid.cols, grid.rows, values, grid.cols, grid.rows,
                                             GDT_Float32, 0, 0, nullptr)
            == CE_None);
}

// Rows south first, with a geotransform that says so.
void writeSouthUp(const QString& fileName, const raster& grid)
{
    raster flipped = grid;
    for (int r = 0; r < grid.rows; ++r)
        std::copy_n(grid.values.begin() + std::ptrdiff_t(r) * grid.cols, grid.cols,
                    flipped.values.begin() + std::ptrdiff_t(grid.rows - 1 - r) * grid.cols);
    writeGeoTiff(fileName, flipped, {600200.0, 2.0, 0.0, 150360.0, 0.0, 2.0});
}

// Band 1 stored as (value - offset) / scale in `type`, with that scale and
// offset; the cells where `valid` is 0 hold `hidden` and are left out by a mask of
// the whole file or, with `alpha`, by an alpha band.
void writeStored(const QString& fileName, const raster& grid, GDALDataType type, double scale, double offset,
                 const std::vector<unsigned char>& valid = {}, bool alpha = false, double hidden = 0.0)
{
    std::vector<double> stored(grid.values.size());
    for (std::size_t i = 0; i < stored.size(); ++i)
        stored[i] = valid.empty() || valid[i] ? (double(grid.values[i]) - offset) / scale : hidden;
    GDALDatasetUniquePtr file(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        fileName.toUtf8().constData(), grid.cols, grid.rows, alpha ? 2 : 1, type, nullptr));
    file->SetGeoTransform(const_cast<double*>(slopeTransform.data()));
    GDALRasterBand* band = file->GetRasterBand(1);
    QVERIFY(band->SetScale(scale) == CE_None && band->SetOffset(offset) == CE_None);
    QVERIFY(band->RasterIO(GF_Write, 0, 0, grid.cols, grid.rows, stored.data(), grid.cols, grid.rows, GDT_Float64, 0, 0,
                           nullptr)
            == CE_None);
    if (valid.empty())
        return;
    if (alpha)
        file->GetRasterBand(2)->SetColorInterpretation(GCI_AlphaBand);
    else
        QVERIFY(file->CreateMaskBand(GMF_PER_DATASET) == CE_None);
    GDALRasterBand* mask = alpha ? file->GetRasterBand(2) : band->GetMaskBand();
    QVERIFY(mask->RasterIO(GF_Write, 0, 0, grid.cols, grid.rows, const_cast<unsigned char*>(valid.data()), grid.cols,
                           grid.rows, GDT_Byte, 0, 0, nullptr)
            == CE_None);
}

QByteArray esriText(const char* system)
{
    OGRSpatialReference reference;
    reference.SetFromUserInput(system);
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT1_ESRI", nullptr};
    reference.exportToWkt(&wkt, options);
    const QByteArray text(wkt);
    CPLFree(wkt);
    return text;
}

bool isSystem(const OGRSpatialReference* reference, const char* system)
{
    OGRSpatialReference expected;
    expected.SetFromUserInput(system);
    return reference && reference->IsSame(&expected);
}

}  // namespace

class geoTiffTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder_;
    QString path(const QString& name) const { return folder_.filePath(name); }

    QStringList run(const QString& dem, const QString& start, const QString& out, outputFormat format,
                    bool saveTrajectories = false, bool intensity = false)
    {
        tumbraController controller;
        controllerRecorder recorder(controller);
        runRequest request;
        request.demFile = dem;
        request.startCellsFile = start;
        request.outputFolder = path(out);
        request.settings.numberOfSimulations = 4;
        request.settings.saveTrajectories = saveTrajectories;
        request.intensity = intensitySettings{intensity, 1.0, 2700.0, {30.0, 300.0}};
        request.format = format;
        QDir().mkpath(path(out));
        controller.run(request);
        return recorder.events;
    }

private slots:
    void initTestCase()
    {
        omp_set_num_threads(1);
        initialiseGdal();
        const raster dem = readWithGdal(slopeDem);
        QVERIFY(QFile::copy(slopeDem, path("dem.asc")));
        QVERIFY(writeTextFile(path("dem.prj"), esriText("EPSG:21781")));
        writeGeoTiff(path("dem.tif"), dem, slopeTransform);
        writeSouthUp(path("south.tif"), dem);
        writeGeoTiff(path("start.TIFF"), readWithGdal(slopeStart), slopeTransform, nullptr, GDT_Byte);
        QVERIFY(run(path("dem.asc"), slopeStart, "reference", outputFormat::esriAscii, false, true).contains("done:0"));
        // The slope without elevation in its first five columns, and the same left out by masks.
        QList<QByteArray> lines = readTextFile(slopeDem).split('\n');
        for (int r = 6; r < lines.size(); ++r)
            lines[r] = "-9999 -9999 -9999 -9999 -9999 " + lines[r].split(' ').mid(5).join(' ');
        QVERIFY(writeTextFile(path("holes.asc"), lines.join('\n')));
        std::vector<unsigned char> valid(dem.values.size());
        for (std::size_t i = 0; i < valid.size(); ++i)
            valid[i] = i % std::size_t(dem.cols) < 5 ? 0 : 255;
        writeStored(path("scaled.tif"), dem, GDT_Float64, 0.5, 100.0);
        writeStored(path("masked.tif"), dem, GDT_Float32, 1.0, 0.0, valid);
        writeStored(path("alpha.tif"), dem, GDT_UInt16, 0.01, 1000.0, valid, true);
        writeStored(path("alphaNodata.tif"), dem, GDT_Float32, 1.0, 0.0, valid, true);
        GDALDatasetUniquePtr(GDALDataset::Open(path("alphaNodata.tif").toUtf8().constData(), GDAL_OF_UPDATE))
            ->GetRasterBand(1)
            ->SetNoDataValue(-9999.0);
        const raster start = readWithGdal(slopeStart);
        for (std::size_t i = 0; i < valid.size(); ++i)
            valid[i] = start.values[i] > 0.0f ? 255 : 0;
        writeStored(path("maskedStart.tif"), raster{start.cols, start.rows, std::vector<float>(valid.size(), 1.0f)},
                    GDT_Byte, 1.0, 0.0, valid, false, 1.0);
    }

    // Scaled values and cells left out by a mask read as the ASCII grid of the same cells, bit for bit.
    void readsAsTheAsciiTwin_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("twin");
        QTest::newRow("scale 0.5, offset 100") << path("scaled.tif") << slopeDem;
        QTest::newRow("mask of the file") << path("masked.tif") << path("holes.asc");
        QTest::newRow("alpha band, UInt16 scaled") << path("alpha.tif") << path("holes.asc");
        QTest::newRow("alpha band beside NODATA") << path("alphaNodata.tif") << path("holes.asc");
        QTest::newRow("start cells under a mask") << path("maskedStart.tif") << slopeStart;
    }

    void readsAsTheAsciiTwin()
    {
        QFETCH(QString, file);
        QFETCH(QString, twin);
        QList<QByteArray> read;
        for (const QString& name : {file, twin}) {
            recordingSink sink;
            rasterHeader header;
            elevationGrid elevation;
            std::vector<startCell> cells;
            const std::unique_ptr<rasterInput> input = rasterInputFor(name);
            QVERIFY(input->open(name, header, sink));
            QVERIFY(twin == slopeStart ? input->readStartCells(cells, sink) : input->readElevations(elevation, sink));
            read << (twin == slopeStart ? QByteArray(reinterpret_cast<const char*>(cells.data()),
                                                     qsizetype(cells.size() * sizeof(startCell)))
                                        : QByteArray(reinterpret_cast<const char*>(elevation.data()),
                                                     qsizetype(elevation.size() * sizeof(float))));
            QCOMPARE(sink.log, QStringList());
        }
        QVERIFY(!read[0].isEmpty());
        QCOMPARE(read[0], read[1]);
    }

    // Where the DEM has no elevation (its first five columns here) the GeoTIFF grids hold NODATA.
    void cellsWithoutElevationAreNodata()
    {
        QVERIFY(run(path("holes.asc"), slopeStart, "holes", outputFormat::geoTiff).contains("done:0"));
        for (const char* name : {"holes/N.tif", "holes/Reach_prob.tif"}) {
            GDALDatasetUniquePtr file(GDALDataset::Open(path(name).toUtf8().constData(), GDAL_OF_RASTER));
            int hasNodata = 0;
            QCOMPARE(file->GetRasterBand(1)->GetNoDataValue(&hasNodata), -9999.0);
            QVERIFY(hasNodata);
            const raster grid = readWithGdal(path(name));
            for (std::size_t i = 0; i < grid.values.size(); ++i)
                QCOMPARE(grid.values[i] == -9999.0f, int(i % 60) < 5);
        }
    }

    void everyInputFormGivesTheSameResults_data()
    {
        QTest::addColumn<QString>("dem");
        QTest::addColumn<QString>("start");
        const QString startTiff = QStringLiteral("start.TIFF");
        QTest::newRow("GeoTIFF DEM and start cells") << "dem.tif" << startTiff;
        QTest::newRow("ASCII DEM, GeoTIFF start cells") << "dem.asc" << startTiff;
        QTest::newRow("GeoTIFF DEM, ASCII start cells") << "dem.tif" << slopeStart;
        QTest::newRow("south-up GeoTIFF DEM") << "south.tif" << slopeStart;
    }

    void everyInputFormGivesTheSameResults()
    {
        QFETCH(QString, dem);
        QFETCH(QString, start);
        const QString out = QTest::currentDataTag();
        QVERIFY(run(path(dem), QDir(folder_.path()).absoluteFilePath(start), out, outputFormat::esriAscii)
                    .contains("done:0"));
        for (const char* name : {"/N.asc", "/Reach_prob.asc"})
            QCOMPARE(readTextFile(path(out + name)), readTextFile(path(QStringLiteral("reference") + name)));
    }

    // A south-up DEM gives north-up outputs; the files get the umask's mode.
    void outputsCarryTheGridAndSystemOfTheDem_data()
    {
        QTest::addColumn<QString>("dem");
        QTest::newRow("ASCII DEM") << "dem.asc";
        QTest::newRow("south-up GeoTIFF DEM") << "south.tif";
    }

    void outputsCarryTheGridAndSystemOfTheDem()
    {
        QFETCH(QString, dem);
        const mode_t umask = ::umask(027);
        const bool done = run(path(dem), slopeStart, "tif", outputFormat::geoTiff, true, true).contains("done:0");
        ::umask(umask);
        QVERIFY(done);
        const raster counts = readWithGdal(path("tif/N.tif"));
        const raster probability = readWithGdal(path("tif/Reach_prob.tif"));
        const raster asciiCounts = readWithGdal(path("reference/N.asc"));
        const raster asciiProbability = readWithGdal(path("reference/Reach_prob.asc"));
        QCOMPARE(counts.values, asciiCounts.values);
        for (std::size_t i = 0; i < probability.values.size(); ++i)
            QVERIFY(std::fabs(probability.values[i] - asciiProbability.values.at(i)) <= 0.05f + 1e-4f);
        const raster heights = readWithGdal(path("tif/Height_max.tif"));
        const raster asciiHeights = readWithGdal(path("reference/Height_max.asc"));
        for (std::size_t i = 0; i < heights.values.size(); ++i)
            QVERIFY(std::fabs(heights.values[i] - asciiHeights.values.at(i)) <= 0.005f + 1e-4f);

        for (const char* name : {"tif/N.tif", "tif/Reach_prob.tif", "tif/Height_max.tif", "tif/Reach_prob_300kJ.tif",
                                 "reference/N.asc", "reference/Reach_prob.asc", "reference/Velocity_max.asc"}) {
            GDALDatasetUniquePtr file(GDALDataset::Open(path(name).toUtf8().constData(), GDAL_OF_RASTER));
            double transform[6];
            QVERIFY(file->GetGeoTransform(transform) == CE_None);
            QCOMPARE(std::vector<double>(transform, transform + 6), slopeTransform);
            QVERIFY2(isSystem(file->GetSpatialRef(), "EPSG:21781"), name);
            struct stat status;
            QVERIFY(::stat(QFile::encodeName(path(name)).constData(), &status) == 0);
            if (QByteArray(name).startsWith("tif/"))
                QCOMPARE(status.st_mode & 0777, 0640u);
        }
        QVERIFY(readTextFile(path("tif/log.txt")).split('\n').contains("Coordinate system: EPSG:21781"));

        // Every trajectory once, as a line or, where it never left its start point, as a point; all valid.
        // Each vertex carries its energy-line height as M: none at the release point, some further on.
        GDALDatasetUniquePtr paths(GDALDataset::Open(path("tif/trajectories.gpkg").toUtf8().constData(), 0));
        QSet<int> numbers;
        int stoppedAtStart = 0;
        bool rises = false;
        for (const char* name : {"trajectories", "trajectories_stopped_at_start"}) {
            OGRLayer* layer = paths->GetLayerByName(name);
            QVERIFY(isSystem(layer->GetSpatialRef(), "EPSG:21781"));
            for (const auto& feature : *layer) {
                const OGRGeometry* geometry = feature->GetGeometryRef();
                QVERIFY2(geometry->IsValid() && geometry->IsMeasured(), name);
                numbers.insert(feature->GetFieldAsInteger("trajectory"));
                if (wkbFlatten(geometry->getGeometryType()) == wkbPoint) {
                    ++stoppedAtStart;
                    continue;
                }
                const OGRLineString* line = geometry->toLineString();
                QVERIFY(line->getM(0) == 0.0);
                rises = rises || line->getM(1) > 0.0;
            }
        }
        const QByteArray lastPoint = readTextFile(path("tif/trajectory_points.txt")).split('\n').last();
        QCOMPARE(numbers.size(), lastPoint.split('\t').first().toInt());
        QVERIFY(stoppedAtStart > 0 && stoppedAtStart < numbers.size());
        QVERIFY(rises);
    }

    // Each row is named by the file it writes; start cells are the slope's unless "start" names others.
    void refusesWhatCannotBeRunAsMetres_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("start");
        const raster dem = readWithGdal(slopeDem);
        writeGeoTiff(path("start2056.tif"), readWithGdal(slopeStart), slopeTransform, "EPSG:2056", GDT_Byte);
        QTest::newRow("dem.tif") << "error:File %2 is in the coordinate system EPSG:2056, but the DEM %1 is in "
                                    "EPSG:21781."
                                 << "start2056.tif";
        writeGeoTiff(path("bands.tif"), dem, slopeTransform, "EPSG:21781", GDT_Float32, 3);
        QTest::newRow("bands.tif") << "warning:File %1 has 3 bands: band 1 is used." << QString();
        writeGeoTiff(path("complex.tif"), dem, slopeTransform, "EPSG:21781", GDT_CFloat32);
        QTest::newRow("complex.tif") << "warning:File %1 holds complex values: the real part of band 1 is used."
                                     << QString();
        writeGeoTiff(path("nodata.tif"), raster{dem.cols, dem.rows, std::vector<float>(dem.values.size(), -9999.0f)},
                     slopeTransform);
        QTest::newRow("nodata.tif") << "error:File %1 holds no elevation: every cell is NODATA (-9999)." << QString();
        writeGeoTiff(path("infinite.tif"), dem, {-INFINITY, 2.0, 0.0, 150560.0, 0.0, -2.0});
        QTest::newRow("infinite.tif") << "error:File %1 has a geotransform that is not finite (-inf, 150560, -2)"
                                      << QString();
        QVERIFY(QFile::copy(slopeDem, path("blank-led.asc")));
        QVERIFY(writeTextFile(path("blank-led.prj"), "\n  " + esriText("EPSG:4326") + "  \n\n"));
        QTest::newRow("blank-led.asc") << "error:The DEM %1 is in a geographic coordinate system (EPSG:4326)"
                                       << QString();
        writeStored(path("unscalable.tif"), dem, GDT_Float32, 1.0, INFINITY);
        QTest::newRow("unscalable.tif") << "error:File %1 gives band 1 a scale of 1 and an offset of inf: both must be "
                                           "finite numbers."
                                        << QString();
        writeGeoTiff(path("rotated.tif"), dem, {600200.0, 2.0, 0.5, 150560.0, 0.5, -2.0});
        QTest::newRow("rotated.tif") << "error:File %1 has a rotated geotransform." << QString();
        writeGeoTiff(path("oblong.tif"), dem, {600200.0, 2.0, 0.0, 150560.0, 0.0, -3.0});
        QTest::newRow("oblong.tif") << "error:File %1 has non-square cells (2 x 3): resample it" << QString();
        writeGeoTiff(path("unplaced.tif"), dem, {});
        QTest::newRow("unplaced.tif") << "error:File %1 has no geotransform" << QString();
        writeGeoTiff(path("degrees.tif"), dem, {7.0, 0.0001, 0.0, 47.0, 0.0, -0.0001}, "EPSG:4326");
        QTest::newRow("degrees.tif") << "error:The DEM %1 is in a geographic coordinate system (EPSG:4326): its cell "
                                        "size is in degrees, not metres. Reproject it to a projected coordinate "
                                        "system in metres, for example with gdalwarp -t_srs EPSG:<code> -tr 10 10 "
                                        "(its cells of 0.0001° are about 8 x 11 m at latitude 47.0°)."
                                     << QString();
        writeGeoTiff(path("feet.tif"), dem, slopeTransform, "EPSG:2249");
        QTest::newRow("feet.tif")
            << "warning:The coordinate system of the DEM %1 (EPSG:2249) measures in US survey foot" << QString();

        GDALDatasetUniquePtr memory(
            GetGDALDriverManager()->GetDriverByName("MEM")->Create("", 3, 2, 1, GDT_Byte, nullptr));
        GDALClose(GetGDALDriverManager()->GetDriverByName("PNG")->CreateCopy(
            path("image.tif").toUtf8().constData(), memory.get(), false, nullptr, nullptr, nullptr));
        QTest::newRow("image.tif") << "error:File %1 cannot be read as a GeoTIFF (GDAL: " << QString();
        QByteArray whole = readTextFile(path("dem.tif"));
        QVERIFY(writeTextFile(path("truncated.tif"), whole.left(whole.size() / 2)));
        QTest::newRow("truncated.tif") << "error:Failed to read rows 1 to 100 of file %1 (GDAL: " << QString();

        double oblongCells[6] = {600200.0, 2.0, 0.0, 150560.0, 0.0, -3.0};
        memory->SetGeoTransform(oblongCells);
        GDALClose(GetGDALDriverManager()->GetDriverByName("AAIGrid")->CreateCopy(
            path("dxdy.asc").toUtf8().constData(), memory.get(), false, nullptr, nullptr, nullptr));
        QTest::newRow("dxdy.asc") << "error:File %1 has non-square cells (dx and dy" << QString();
    }

    void refusesWhatCannotBeRunAsMetres()
    {
        QFETCH(QString, expected);
        QFETCH(QString, start);
        const QString dem = path(QTest::currentDataTag());
        const QString startCells = start.isEmpty() ? slopeStart : path(start);
        const QStringList events = run(dem, startCells, "refused", outputFormat::esriAscii);
        const QString text = expected.arg(dem, startCells);
        QVERIFY2(std::any_of(events.begin(), events.end(), [&](const QString& e) { return e.startsWith(text); }),
                 qPrintable(events.join('\n')));
        QCOMPARE(events.contains("done:0"), expected.startsWith("warning:"));
    }

    void failedGeoTiffWriteKeepsTheEarlierFile()
    {
        const QString fileName = path("write/N.tif");
        QVERIFY(QDir().mkpath(path("write")) && writeTextFile(fileName, "earlier"));
        grid<int32_t> counts(200, 200, 0);
        for (std::size_t i = 0; i < counts.size(); ++i)
            counts.data()[i] = int32_t((i * 2654435761u) >> 7);  // hardly compressible
        rasterHeader header;
        header.nrows = header.ncols = 200;
        header.cellsize = 2.0f;
        recordingSink sink;
        writeOutcome outcome;
        {
            const fileSizeLimit fullDisk(4096);
            outcome = writeCountGeoTiff(fileName, header, georeferenceOfHeader(header, {}), counts, {}, sink);
        }
        QCOMPARE(outcome, writeOutcome::failed);
        QCOMPARE(sink.log.size(), 1);
        QVERIFY2(sink.log[0].startsWith("error: Failed to write file " + fileName + ": "), qPrintable(sink.log[0]));
        QCOMPARE(readTextFile(fileName), QByteArray("earlier"));
        QCOMPARE(QDir(path("write")).entryList(QDir::Files), QStringList{"N.tif"});
    }
};

QTEST_GUILESS_MAIN(geoTiffTest)
#include "tst_geoTiff.moc"
