#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <signal.h>

#include <gdal_priv.h>

#include "raster/gdalSession.h"
#include "tests/controllerRecorder.h"
#include "tests/testPlatform.h"

// The headless runner as a user meets it: options, exit codes, refusals.
class tst_tumbraRun : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    // Exit code (-1: crashed or hung) and the standard error, then output.
    QPair<int, QString> run(const QStringList& options, const QString& out)
    {
        QProcess process;
        process.start(QStringLiteral(TUMBRA_RUN_EXECUTABLE),
                      QStringList{"--dem", dir_.filePath("dem.asc"), "--start", dir_.filePath("start.asc")} + options
                          + (out.isEmpty() ? QStringList() : QStringList{"--output", QDir(dir_.path()).filePath(out)}));
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return {-1, QString()};
        return {process.exitCode(),
                QString::fromUtf8(process.readAllStandardError() + "\n--\n" + process.readAllStandardOutput())};
    }

private slots:
    void initTestCase()
    {
        initialiseGdal();
        const QByteArray header =
            "ncols 5\nnrows 4\nxllcorner 600000\nyllcorner 150000\ncellsize 2\nNODATA_value -9999\n";
        QVERIFY(writeTextFile(dir_.filePath("dem.asc"), header + QByteArray("9 8 7 6 5\n").repeated(4)));
        const QByteArray zeros = "0 0 0 0 0\n";
        QVERIFY(writeTextFile(dir_.filePath("start.asc"), header + zeros + "0 1 0 0 0\n" + zeros + zeros));
        QVERIFY(writeTextFile(dir_.filePath("none.asc"), header + zeros.repeated(4)));
        QVERIFY(writeTextFile(dir_.filePath("objects.asc"), header + zeros + zeros + "0 0 0 4 4\n" + zeros));
        QVERIFY(writeTextFile(dir_.filePath("huge.asc"), QByteArray(header).replace("cellsize 2", "cellsize 1e37")
                                                             + QByteArray("9 8 7 6 5\n").repeated(4)));
        QVERIFY(writeTextFile(dir_.filePath("existing.png"), "an earlier map"));
        QVERIFY(writeTextFile(dir_.filePath("forest2.asc"), header + QByteArray("0 0 2 0 0\n").repeated(4)));
        const auto barrier = [](const char* capacity, const char* east) {
            return QByteArray("{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"properties\":"
                              "{\"capacity_kJ\":")
                   + capacity + "},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[600001,150004],[" + east
                   + ",150004]]}}]}";
        };
        QVERIFY(writeTextFile(dir_.filePath("barrier0.geojson"), barrier("0", "600009")));
        QVERIFY(writeTextFile(dir_.filePath("barrierOut.geojson"), barrier("10", "600090")));
        QVERIFY(writeTextFile(dir_.filePath("wide.asc"), QByteArray(header).replace("ncols 5", "ncols 6")
                                                             + QByteArray("0 1 0 0 0 0\n").repeated(4)));
    }

    // Refused options or inputs: code 1, and not even the output folder is made.
    void refusesInvalidOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no output") << QStringList() << "--output is required";
        QTest::newRow("zero simulations") << QStringList{"--simulations", "0"} << "--simulations";
        QTest::newRow("text simulations") << QStringList{"--simulations", "many"} << "--simulations";
        QTest::newRow("negative segment") << QStringList{"--segment-length", "-1"} << "--segment-length";
        QTest::newRow("segment the window cannot take")
            << QStringList{"--segment-length", "1000"} << "--segment-length must lie between 0.1 and 100 m, not 1000.";
        QTest::newRow("zero profile step") << QStringList{"--profile-step", "0"} << "--profile-step";
        QTest::newRow("angle above 90") << QStringList{"--max-angle", "91"} << "--max-angle";
        QTest::newRow("negative fall height") << QStringList{"--fall-height", "-0.5"} << "--fall-height";
        QTest::newRow("unknown class") << QStringList{"--probability", "extreme"} << "--probability";
        QTest::newRow("too many threads")
            << QStringList{"--threads", "100000"} << "--threads must lie between 0 and 1024, not 100000.";
        QTest::newRow("zero block volume")
            << QStringList{"--intensity", "--block-volume", "0"} << "--block-volume must lie between 0.001 and";
        QTest::newRow("negative block volume") << QStringList{"--block-volume", "-2"} << "--block-volume";
        QTest::newRow("block volume without intensity")
            << QStringList{"--block-volume", "2"} << "--block-volume is used only with --intensity: add --intensity";
        QTest::newRow("energy map without a volume")
            << QStringList{"--intensity", "--map-colour", "energy"} << "needs --intensity and --block-volume";
        QTest::newRow("source shares without objects") << QStringList{"--map-colour", "source"} << "needs --objects";
        QTest::newRow("zero rock density")
            << QStringList{"--intensity", "--rock-density", "0"} << "--rock-density must lie between 1 and";
        QTest::newRow("classes decreasing") << QStringList{"--energy-classes", "300,30"} << "--energy-classes must be";
        QTest::newRow("class not a number") << QStringList{"--energy-classes", "30,x"} << "--energy-classes must be";
        QTest::newRow("class not positive") << QStringList{"--energy-classes", "0,30"} << "--energy-classes must be";
        QTest::newRow("empty class") << QStringList{"--energy-classes", "30,,300"} << "--energy-classes must be";
        QTest::newRow("unknown map colouring") << QStringList{"--map-colour", "speed"} << "--map-colour takes";
        QTest::newRow("map in a missing folder")
            << QStringList{"--map", dir_.filePath("missing/map.png")} << "Choose a writable folder for --map";
        QTest::newRow("map as BMP") << QStringList{"--map", dir_.filePath("map.bmp")} << "name it .png, .jpg or .tif";
        QTest::newRow("unknown option") << QStringList{"--colour"} << "colour";
        QTest::newRow("grids differ") << QStringList{"--start", dir_.filePath("wide.asc")} << "Inconsistent number";
        QTest::newRow("no start cell") << QStringList{"--start", dir_.filePath("none.asc")} << "No start cells found";
        QTest::newRow("profile work beyond reach")
            << QStringList{"--dem", dir_.filePath("huge.asc"), "--start", dir_.filePath("huge.asc")}
            << "profile sampling is beyond reach";
        QTest::newRow("existing map") << QStringList{"--map", dir_.filePath("existing.png")} << "existing.png";
        QTest::newRow("output folder not writable")
            << QStringList{"--output", "/proc/self/fdinfo"} << "No file can be written into the output folder";
        QTest::newRow("start layer of a raster") << QStringList{"--start-layer", "cliffs"} << "--start-layer";
        QTest::newRow("objects id without objects") << QStringList{"--objects-id", "id"} << "give one with --objects";
        QTest::newRow("missing objects") << QStringList{"--objects", dir_.filePath("roads.gpkg")} << "roads.gpkg";
        QTest::newRow("objects layer of a raster")
            << QStringList{"--objects", dir_.filePath("start.asc"), "--objects-layer", "roads"} << "--objects-layer";
        QTest::newRow("release field of a raster")
            << QStringList{"--frequency-field", "f"} << "are read from a vector start layer, not from";
        QTest::newRow("zero release frequency")
            << QStringList{"--release-frequency", "0"} << "--release-frequency must lie between";
        const QStringList hazard{"--hazard", "--intensity", "--block-volume", "1"};
        QTest::newRow("hazard without intensity")
            << QStringList{"--hazard", "--release-frequency", "0.1"} << "--hazard needs --intensity";
        QTest::newRow("hazard without frequency") << hazard << "--release-frequency, --frequency-field or";
        QTest::newRow("hazard with three classes")
            << hazard + QStringList{"--release-frequency", "0.1", "--energy-classes", "1,10,100"}
            << "exactly two energy class limits";
        QTest::newRow("return periods decreasing")
            << hazard + QStringList{"--return-periods", "300,100,30"} << "--return-periods must be three increasing";
        QTest::newRow("matrix of four levels")
            << hazard + QStringList{"--hazard-matrix", "433,322,211"} << "--hazard-matrix must be three rows";
        QTest::newRow("hazard map without hazard") << QStringList{"--map-colour", "hazard"} << "needs --hazard";
        QTest::newRow("calibration without evidence") << QStringList{"--calibrate"} << "give it with --observed";
        QTest::newRow("list without calibration")
            << QStringList{"--max-angle", "15,22"} << "lists of values are for --calibrate";
        QTest::newRow("list with a bad value")
            << QStringList{"--calibrate", "--max-angle", "15,95"} << "--max-angle must lie between 0 and 90";
        QTest::newRow("evidence not a vector file")
            << QStringList{"--observed", dir_.filePath("start.asc")} << "is not a GeoPackage";
        QTest::newRow("evidence missing") << QStringList{"--observed", dir_.filePath("reach.gpkg")} << "reach.gpkg";
        const QStringList measures{"--seed", "1", "--intensity", "--block-volume", "1"};
        QTest::newRow("measures without a seed")
            << QStringList{"--forest", dir_.filePath("start.asc")} << "add --seed N";
        QTest::newRow("barriers without intensity")
            << QStringList{"--barriers", dir_.filePath("barrier0.geojson"), "--seed", "1"} << "add --intensity";
        QTest::newRow("forest angles crossed")
            << QStringList{"--forest", dir_.filePath("start.asc"), "--seed", "1", "--forest-angle-min", "12"}
            << "exceeds its largest";
        QTest::newRow("forest index above 1")
            << QStringList{"--forest", dir_.filePath("forest2.asc"), "--seed", "1"} << "forest indices lie from 0";
        QTest::newRow("forest setting without forest")
            << QStringList{"--forest-speed", "20"} << "--forest-speed is used only with --forest";
        QTest::newRow("barrier of no capacity")
            << measures + QStringList{"--barriers", dir_.filePath("barrier0.geojson")} << "has the capacity 0";
        QTest::newRow("barrier beyond the DEM")
            << measures + QStringList{"--barriers", dir_.filePath("barrierOut.geojson")} << "reaches beyond the DEM";
        QStringList angles;
        for (int angle = 0; angle <= 90; ++angle)
            angles << QString::number(angle);
        QTest::newRow("too many combinations")
            << QStringList{"--observed",    EXAMPLES_DIR "/observed_reach.gpkg", "--calibrate",
                           "--simulations", "1,2,3,4,5,6,7,8,9,10,11",           "--max-angle",
                           angles.join(',')}
            << "1001 combinations, more than the 1000";
    }

    void refusesInvalidOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, reason);
        // A row may name its own output folder (one that takes no file).
        const QString out = options.isEmpty()                              ? QString()
                            : options.first() == QLatin1String("--output") ? options.takeLast()
                                                                           : QStringLiteral("never");
        if (out != QLatin1String("never"))
            options.clear();
        const auto [code, text] = run(options, out);
        QCOMPARE(code, 1);
        QVERIFY2(text.section("\n--\n", 0, 0).contains(reason), qPrintable(text));
        QVERIFY(!QFileInfo::exists(dir_.filePath("never")));
    }

    // With one frequency for every start cell, Freq_any = lambda x N / simulations
    // (= lambda x R x Reach_prob / 100) cell by cell; a layer's frequencies are
    // shared out without loss, and its hazard map reaches every level.
    void frequenciesFollowTheReleases()
    {
        const QStringList example{"--dem", EXAMPLES_DIR "/dem.asc", "--simulations", "20", "--seed", "7", "--quiet"};
        QCOMPARE(run(example + QStringList{"--start", EXAMPLES_DIR "/start_cells.asc", "--release-frequency", "0.02"},
                     "frequencies")
                     .first,
                 0);
        const auto cells = [this](const QString& file) {
            return readTextFile(dir_.filePath("frequencies/" + file))
                .split('\n')
                .mid(6)
                .join(' ')
                .simplified()
                .split(' ');
        };
        const QList<QByteArray> passages = cells("N.asc");
        const QList<QByteArray> frequencies = cells("Freq_any.asc");
        QCOMPARE(frequencies.size(), passages.size());
        for (int k = 0; k < passages.size(); ++k)
            QVERIFY(qAbs(frequencies[k].toDouble() - 0.02 * passages[k].toDouble() / 20.0) <= 1e-12);

        const QStringList hazard{"--start",
                                 EXAMPLES_DIR "/release_areas.gpkg",
                                 "--frequency-field",
                                 "frequency",
                                 "--intensity",
                                 "--volume-field",
                                 "volume",
                                 "--hazard"};
        QCOMPARE(run(example + hazard, "hazard").first, 0);
        QVERIFY(readTextFile(dir_.filePath("hazard/log.txt"))
                    .contains("Release frequency of all start cells (1/year): 2.5\n"));
        const QList<QByteArray> levels =
            readTextFile(dir_.filePath("hazard/Hazard_level.asc")).mid(100).simplified().split(' ');
        for (const char* level : {"0", "1", "2", "3", "4"})
            QVERIFY2(levels.contains(level), level);
    }

    // A search over settings finds those that made the mapped reach (here:
    // the very cells a run reached), the same on one thread and on two.
    void calibrationFindsTheSettingsOfTheReach()
    {
        const QStringList example{"--dem",         EXAMPLES_DIR "/dem.asc",
                                  "--start",       EXAMPLES_DIR "/start_cells.asc",
                                  "--simulations", "10",
                                  "--seed",        "3",
                                  "--quiet"};
        QCOMPARE(run(example + QStringList{"--max-angle", "22", "--probability", "medium"}, "truth").first, 0);
        // Each row's runs of reached cells as rectangles through the cells' edges.
        const QList<QByteArray> lines = readTextFile(dir_.filePath("truth/N.asc")).split('\n');
        QStringList rectangles;
        for (int r = 0; r + 6 < lines.size(); ++r) {
            const QList<QByteArray> cells = lines[r + 6].simplified().split(' ');
            for (int c = 0, first = -1; c <= cells.size(); ++c) {
                const bool reached = c < cells.size() && cells[c].toInt() > 0;
                if (reached && first < 0)
                    first = c;
                if (!reached && first >= 0) {
                    const double west = 600000 + 2 * first, east = 600000 + 2 * c, north = 150640 - 2 * r;
                    rectangles << QStringLiteral("[[[%1,%2],[%3,%2],[%3,%4],[%1,%4],[%1,%2]]]")
                                      .arg(west)
                                      .arg(north)
                                      .arg(east)
                                      .arg(north - 2);
                    first = -1;
                }
            }
        }
        QVERIFY(writeTextFile(dir_.filePath("observed.geojson"),
                              QStringLiteral("{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\","
                                             "\"properties\":{},\"geometry\":{\"type\":\"MultiPolygon\","
                                             "\"coordinates\":[%1]}}]}")
                                  .arg(rectangles.join(','))
                                  .toUtf8()));
        QByteArray tables[2];
        for (const int threads : {1, 2}) {
            const QString out = QStringLiteral("search%1").arg(threads);
            QCOMPARE(run(example
                             + QStringList{"--observed", dir_.filePath("observed.geojson"), "--calibrate",
                                           "--max-angle", "15,22,30", "--probability", "high,medium,low", "--threads",
                                           QString::number(threads)},
                         out)
                         .first,
                     0);
            QList<QByteArray> rows = readTextFile(dir_.filePath(out + "/calibration.csv")).split('\n');
            QCOMPARE(rows.size(), 11);
            QVERIFY2(rows[1].startsWith("1,10,5.0,1.0,22,0.0,Medium (log10⁻⁴),100.00,,0.0000,0.00,"), rows[1]);
            for (QByteArray& row : rows)
                row.truncate(row.lastIndexOf(','));  // the duration
            tables[threads - 1] = rows.join('\n');
        }
        QCOMPARE(tables[0], tables[1]);
        QCOMPARE(readTextFile(dir_.filePath("search1/N.asc")), readTextFile(dir_.filePath("truth/N.asc")));
    }

    void runsAndWritesFilesMapAndTimings()
    {
        const QString map = dir_.filePath("map.png");
        const auto [code, text] =
            run({"--simulations", "20", "--map", map, "--save-trajectories", "--report", "--threads", "2"},
                "deep/new/folder");
        QCOMPARE(code, 0);
        // The start cells lie on flat ground: the run says its figures mean nothing, then runs its course.
        QVERIFY2(text.startsWith("Warning: 20 of 20 trajectories (100.0 %) never left their start cell")
                     && text.contains("\n\n--\n") && text.contains("Done."),
                 qPrintable(text));
        QCOMPARE(QDir(dir_.path()).entryList({".tumbra-staging*"}, QDir::Hidden | QDir::AllEntries), QStringList());
        QCOMPARE(QDir(dir_.filePath("deep/new/folder")).entryList(QDir::Files, QDir::Name),
                 QStringList({"N.asc", "N.qml", "Reach_prob.asc", "Reach_prob.qml", "log.txt", "report.pdf",
                              "trajectory_points.txt"}));
        // The map alone, one pixel per cell of the 5 x 4 grid: cell (1, 1) lies above 50 %. Its world file puts
        // the centre of its first pixel half a cell inside the grid's north-west corner (600000, 150008); the
        // legend lies beside it in a picture of its own.
        const QImage image(map);
        QCOMPARE(image.size(), QSize(5, 4));
        QCOMPARE(image.pixel(1, 1), qRgb(0xbd, 0x00, 0x26));
        QCOMPARE(readTextFile(dir_.filePath("map.pgw")),
                 "2.0000000000\n0.0000000000\n0.0000000000\n-2.0000000000\n600001.0000000000\n150007.0000000000\n");
        const QImage legend(dir_.filePath("map-legend.png"));
        QVERIFY(legend.width() > 50 && legend.height() > 50);
        // Two A4 pages (595 x 842 points) from Qt's own writer.
        const QByteArray report = readTextFile(dir_.filePath("deep/new/folder/report.pdf"));
        QVERIFY(report.startsWith("%PDF-") && report.size() > 10000);
        QCOMPARE(report.count("/MediaBox [0 0 595.000000 842.000000]"), 2);

        // Named .tif, the same picture as a GeoTIFF in place, no world file needed; its legend beside it.
        const QString geoTiff = dir_.filePath("map.tif");
        QCOMPARE(run({"--simulations", "20", "--map", geoTiff, "--overwrite", "--quiet"}, "deep/new/folder").first, 0);
        QVERIFY(QFileInfo(dir_.filePath("map-legend.png")).size() > 0);
        QVERIFY(!QFileInfo::exists(dir_.filePath("deep/new/folder/report.pdf")));  // not asked for: an earlier one goes
        GDALDatasetUniquePtr placed(GDALDataset::Open(geoTiff.toUtf8().constData(), GDAL_OF_RASTER));
        double transform[6];
        QVERIFY(placed && placed->GetRasterCount() == 3 && placed->GetGeoTransform(transform) == CE_None);
        QCOMPARE(QSize(placed->GetRasterXSize(), placed->GetRasterYSize()), QSize(5, 4));
        QCOMPARE(std::vector<double>(transform, transform + 6),
                 (std::vector<double>{600000.0, 2.0, 0.0, 150008.0, 0.0, -2.0}));
        unsigned char rgb[3];
        QVERIFY(placed->RasterIO(GF_Read, 1, 1, 1, 1, rgb, 1, 1, GDT_Byte, 3, nullptr, 3, 3, 1, nullptr) == CE_None);
        QCOMPARE(qRgb(rgb[0], rgb[1], rgb[2]), qRgb(0xbd, 0x00, 0x26));

        // Not a terminal: no progress line, and --quiet keeps the messages back.
        const auto [timedCode, timings] = run({"--simulations", "5", "--quiet", "--timings"}, "timed");
        QCOMPARE(timedCode, 0);
        // Warnings still show: the flat ground's, first.
        QVERIFY2(timings.startsWith("Warning: 5 of 5 trajectories")
                     && timings.mid(timings.indexOf("\n\n--\n") + 1).startsWith("\n--\nPhase timings:\n"),
                 qPrintable(timings));
        const QRegularExpression phases(
            "\n  Reading the elevation model +\\d+\\.\\d\\d s\n(.*\n)*  Simulating +\\d+\\.\\d\\d s"
            "\n(.*\n)*  Whole run +\\d+\\.\\d\\d s\n");
        QVERIFY2(phases.match(timings).hasMatch(), qPrintable(timings));
    }

    // The help, and the settings table as JSON (names, defaults, limits, options) that programs driving
    // tumbra-run read, as the files in tests/data/tumbra-run (TUMBRA_UPDATE_GOLDEN=1 writes them anew).
    void printsHelpAndSettingsTable_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("help") << "--help"
                              << "help.txt";
        QTest::newRow("settings table") << "--settings-table"
                                        << "settings-table.json";
    }

    void printsHelpAndSettingsTable()
    {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        QProcess process;
        process.start(QStringLiteral(TUMBRA_RUN_EXECUTABLE), {option});
        QVERIFY(process.waitForFinished(30000) && process.exitCode() == 0);
        const QByteArray text = process.readAllStandardOutput().replace(TUMBRA_RUN_EXECUTABLE, "tumbra-run");
        const QString file = QStringLiteral(TEST_DATA_DIR "/tumbra-run/") + expected;
        if (qEnvironmentVariableIntValue("TUMBRA_UPDATE_GOLDEN") == 1)
            QVERIFY(QDir().mkpath(TEST_DATA_DIR "/tumbra-run") && writeTextFile(file, text));
        QCOMPARE(text, readTextFile(file));
    }

    // Progress as one line per percent, then the files placed, for programs
    // that drive tumbra-run.
    void progressLines()
    {
        const auto [code, text] = run(
            {"--simulations", "5", "--quiet", "--progress-lines", "--format", "gtiff", "--save-trajectories"}, "lines");
        QCOMPARE(code, 0);
        const QStringList lines = text.section("\n--\n", 1).split('\n', Qt::SkipEmptyParts);
        const QRegularExpression line("^progress (\\d{1,3}) (.+)$");
        QStringList completed;
        QStringList files;
        for (const QString& printed : lines) {
            if (printed.startsWith("file ")) {
                files << QFileInfo(printed.mid(5)).fileName();
                continue;
            }
            const QRegularExpressionMatch match = line.match(printed);
            QVERIFY2(match.hasMatch(), qPrintable(printed));
            if (match.captured(1) == "100")
                completed << match.captured(2);
        }
        QCOMPARE(completed.mid(completed.indexOf("Aggregating results")),
                 (QStringList{"Aggregating results", "Writing N.tif", "Writing Reach_prob.tif",
                              "Writing trajectory_points.txt", "Writing trajectories.gpkg", "Writing log.txt"}));
        QCOMPARE(files, (QStringList{"N.tif", "N.qml", "Reach_prob.tif", "Reach_prob.qml", "trajectory_points.txt",
                                     "trajectories.gpkg", "log.txt"}));
    }

    // Existing files are kept unless overwriting is asked for; a file that
    // cannot be written fails the run.
    void refusesToOverwriteWithoutPermission()
    {
        QCOMPARE(run({"--simulations", "5", "--quiet"}, "again").first, 0);
        const QString counts = dir_.filePath("again/N.asc");
        const QByteArray first = readTextFile(counts);
        const auto [code, text] = run({"--simulations", "7"}, "again");
        QCOMPARE(code, 1);
        QVERIFY(text.section("\n--\n", 0, 0).contains("N.asc") && text.section("\n--\n", 0, 0).contains("log.txt"));
        QCOMPARE(readTextFile(counts), first);
        QCOMPARE(run({"--simulations", "7", "--overwrite"}, "again").first, 0);
        QVERIFY(readTextFile(counts).contains(" 7 "));
        QVERIFY(QFile::remove(counts) && QDir().mkdir(counts));  // a folder in the way of the file
        const auto [blockedCode, blocked] = run({"--overwrite"}, "again");
        QCOMPARE(blockedCode, 1);
        QVERIFY2(blocked.contains("N.asc is a folder"), qPrintable(blocked));
    }

    // A run leaves its complete set of files or none: a full disk or a refusal
    // leaves the earlier files byte for byte and nothing half-written, a
    // folder it made goes again, and --overwrite removes the earlier run's
    // files it does not write once its own are in place.
    void outputSetIsAllOrNothing_data()
    {
        QTest::addColumn<QStringList>("earlier");  // options of an earlier run into the folder; none: no folder
        QTest::addColumn<QString>("fault");        // what is put in the folder after it: kind:file
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("fileSizeLimit");  // bytes; 0: no limit
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("after");  // a completed run: the folder's entries; empty: the folder is gone
        const QStringList asc{"N.asc", "N.qml", "Reach_prob.asc", "Reach_prob.qml", "log.txt"};
        const QStringList plain{"--simulations", "3"};
        const QStringList again{"--overwrite", "--simulations", "7"};
        const QStringList intensity{"--intensity", "--block-volume", "2"};
        const QStringList objects{"--objects", dir_.filePath("objects.asc")};
        const QStringList gtiffLines{"--format", "gtiff", "--save-trajectories"};
        const auto folder = [this](const char* tag) {
            return dir_.filePath(QString::fromLatin1(tag).replace(' ', '_'));
        };
        QTest::newRow("full disk, overwrite") << plain << QString() << again << 700 << 1 << QStringList();
        QTest::newRow("full disk, new folder")
            << QStringList() << QString() << QStringList{"--simulations", "7"} << 700 << 1 << QStringList();
        QTest::newRow("full disk, intensity")
            << plain + intensity << QString() << again + intensity << 700 << 1 << QStringList();
        QTest::newRow("earlier N.prj kept")
            << QStringList{"prj"} << QString() << QStringList() << 0 << 1 << QStringList();
        QTest::newRow("overwrite drops the other format")
            << gtiffLines << QString() << QStringList{"--overwrite"} << 0 << 0 << asc;
        QTest::newRow("overwrite drops objects and other classes")
            << plain + intensity + objects + QStringList{"--energy-classes", "10,20"} << QString()
            << QStringList{"--overwrite"} << 0 << 0 << asc;
        QTest::newRow("intensity, folder in a grid's place")
            << plain + intensity << "folder:Velocity_max.asc" << again + intensity << 0 << 1 << QStringList();
        QTest::newRow("objects, read-only log")
            << plain + objects << "read-only:log.txt" << again + objects << 0 << 1 << QStringList();
        QTest::newRow("trajectories, folder in the layer's place")
            << gtiffLines << "folder:trajectories.gpkg" << again + gtiffLines << 0 << 1 << QStringList();
        QTest::newRow("input with an output's name")
            << plain << "input:N.asc" << again + QStringList{"--dem", folder("input with an output's name") + "/N.asc"}
            << 0 << 1 << QStringList();
        QTest::newRow("map naming a result grid")
            << QStringList{"--format", "gtiff"} << QString()
            << again + QStringList{"--format", "gtiff", "--map", folder("map naming a result grid") + "/N.tif"} << 0
            << 1 << QStringList();
        QTest::newRow("link in a file's place is replaced") << plain << "link:N.asc" << again << 0 << 0 << asc;
        QTest::newRow("unreadable lock taken over") << plain << "lock:.tumbra.lock" << again << 0 << 0 << asc;
        QTest::newRow("staging of a killed run removed")
            << plain << "staging:.tumbra-staging-Ab12Cd" << again << 0 << 0 << asc;
        // The map is one of the set: too large a picture leaves none of the run's files.
        const QStringList map{"--map", folder("map too large, overwrite") + "/map.png"};
        QTest::newRow("map too large, overwrite")
            << plain + map << QString() << again + map << 4000 << 1 << QStringList();
        QTest::newRow("report too large, overwrite")
            << plain << QString() << again + QStringList{"--report"} << 4000 << 1 << QStringList();
        QTest::newRow("map too large, new folder")
            << QStringList() << QString() << QStringList{"--map", folder("map too large, new folder") + "/m.png"}
            << 4000 << 1 << QStringList();
    }

    // What a fault row puts into the folder after the earlier run.
    void plantFault(const QString& out, const QString& fault)
    {
        const QString kind = fault.section(':', 0, 0);
        const QString file = out + '/' + fault.section(':', 1);
        if (kind == QLatin1String("folder"))
            QVERIFY(QFile::remove(file) && QDir().mkdir(file));
        else if (kind == QLatin1String("read-only"))
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
        else if (kind == QLatin1String("input"))
            QVERIFY(QFile::remove(file) && QFile::copy(dir_.filePath("dem.asc"), file));
        else if (kind == QLatin1String("link"))
            QVERIFY(writeTextFile(dir_.filePath("outside.txt"), "outside") && QFile::remove(file)
                    && QFile::link(dir_.filePath("outside.txt"), file));
        else if (kind == QLatin1String("lock"))
            QVERIFY(writeTextFile(file, ""));
        else if (kind == QLatin1String("staging"))
            QVERIFY(QDir().mkpath(file) && writeTextFile(file + "/N.asc", "half"));
    }

    void outputSetIsAllOrNothing()
    {
        QFETCH(QStringList, earlier);
        QFETCH(QString, fault);
        QFETCH(QStringList, options);
        QFETCH(int, fileSizeLimit);
        QFETCH(int, code);
        QFETCH(QStringList, after);
        const QString out = dir_.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
        if (earlier == QStringList{"prj"})
            QVERIFY(QDir().mkpath(out) && writeTextFile(out + "/N.prj", "earlier"));
        else if (!earlier.isEmpty())
            QCOMPARE(run(earlier + QStringList{"--quiet"}, QFileInfo(out).fileName()).first, 0);
        if (!fault.isEmpty())
            plantFault(out, fault);
        const auto entriesOf = [&out] {
            return QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                       QDir::Name);
        };
        const QStringList entriesBefore = entriesOf();
        QMap<QString, QByteArray> before;
        for (const QString& name : QDir(out).entryList(QDir::Files))
            before[name] = readTextFile(out + '/' + name);
        std::unique_ptr<::fileSizeLimit> limit(fileSizeLimit > 0 ? new ::fileSizeLimit(fileSizeLimit) : nullptr);
        const auto [exitCode, text] = run(options, QFileInfo(out).fileName());
        limit.reset();
        QVERIFY2(exitCode == code, qPrintable(text));
        after.sort();
        // A failed run leaves the earlier set as it was, entry for entry and byte for byte.
        QCOMPARE(entriesOf(), code == 0 ? after : entriesBefore);
        if (code != 0)
            for (auto file = before.cbegin(); file != before.cend(); ++file)
                QCOMPARE(readTextFile(out + '/' + file.key()), file.value());
        if (fault.startsWith(QLatin1String("link:")))
            QVERIFY(readTextFile(dir_.filePath("outside.txt")) == "outside" && !QFileInfo(out + "/N.asc").isSymLink());
    }

    // Interrupted as Ctrl-C, or a cancel's SIGTERM, would while it simulates:
    // code 2, no files, and the folder it made is gone.
    void interruptAbortsWithoutFiles_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("Ctrl-C") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }

    void interruptAbortsWithoutFiles()
    {
        QFETCH(int, signalNumber);
        const QString out = dir_.filePath(QStringLiteral("interrupted%1").arg(signalNumber));
        QProcess process;
        process.start(QStringLiteral(TUMBRA_RUN_EXECUTABLE),
                      {"--dem", EXAMPLES_DIR "/dem.asc", "--start", EXAMPLES_DIR "/start_cells.asc", "--output", out,
                       "--simulations", "1000", "--threads", "1"});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 20000);
        QTest::qWait(1500);
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(!QFileInfo::exists(out));
    }
};

QTEST_GUILESS_MAIN(tst_tumbraRun)
#include "tst_tumbraRun.moc"
