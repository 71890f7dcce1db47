#include "app/runnerOptions.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "map/mapColourings.h"
#include "controller/settingsTable.h"

namespace {

void printError(const QString& text) { std::fprintf(stderr, "Error: %s\n", qUtf8Printable(text)); }

// The option of a table row: a flag for a yes/no setting, else a value.
QCommandLineOption tableOption(const settingRow& row)
{
    if (row.type == settingType::yesNo)
        return QCommandLineOption(row.option, row.helpText());
    const QString valueName = row.type == settingType::choice        ? QStringLiteral("CHOICE")
                              : row.type == settingType::wholeNumber ? QStringLiteral("N")
                              : row.type == settingType::text        ? QStringLiteral("TEXT")
                                                                     : QStringLiteral("NUMBER");
    return QCommandLineOption(row.option, row.helpText(), valueName);
}

// One value of a table row's option, checked against the row's range; a
// refusal names the option and what it takes.
bool parseValue(const settingRow& row, const QString& text, QVariant& value)
{
    const QString name = QStringLiteral("--") + row.option;
    bool ok = true;
    switch (row.type) {
    case settingType::yesNo:
        value = true;
        break;
    case settingType::text:
        value = text;
        break;
    case settingType::choice: {
        const int index = row.choiceValues.indexOf(text.toLower());
        ok = index >= 0;
        if (!ok) {
            QStringList values = row.choiceValues;
            const QString last = values.takeLast();
            printError(QStringLiteral("%1 takes %2 or %3, not \"%4\".")
                           .arg(name, values.join(QStringLiteral(", ")), last, text));
            return false;
        }
        value = index;
        break;
    }
    case settingType::wholeNumber:
        value = text.toInt(&ok);
        if (!ok) {
            printError(QStringLiteral("%1 takes a whole number, not \"%2\".").arg(name, text));
            return false;
        }
        break;
    case settingType::number: {
        const double number = text.toDouble(&ok);
        if (!ok || !qIsFinite(number)) {
            printError(QStringLiteral("%1 takes a number, not \"%2\".").arg(name, text));
            return false;
        }
        value = number;
        break;
    }
    }
    const QString problem = row.textProblem ? row.textProblem(text) : row.rangeProblem(value.toDouble());
    if (!problem.isEmpty()) {
        printError(QStringLiteral("%1 %2, not %3.").arg(name, problem, text));
        return false;
    }
    return true;
}

// Reads one table row's option into the request. With a calibration a
// number or choice may be a list ("15,22,30"): the request takes its first
// value and the list goes to the calibration.
bool readTableOption(const QCommandLineParser& parser, const settingRow& row, runRequest& request, bool lists)
{
    if (!parser.isSet(row.option))
        return true;
    const QString text = parser.value(row.option);
    const bool listable =
        row.type == settingType::number || row.type == settingType::wholeNumber || row.type == settingType::choice;
    if (listable && text.contains(QLatin1Char(','))) {
        if (!lists) {
            printError(QStringLiteral("--%1 takes one value, not the list \"%2\": lists of values are for "
                                      "--calibrate.")
                           .arg(row.option, text));
            return false;
        }
        QVariantList values;
        for (const QString& piece : text.split(QLatin1Char(','))) {
            QVariant value;
            if (!parseValue(row, piece.trimmed(), value))
                return false;
            values << value;
        }
        request.calibrationLists.append({row.name, values});
        row.write(request, values.first());
        return true;
    }
    QVariant value;
    if (!parseValue(row, text, value))
        return false;
    row.write(request, value);
    return true;
}

// An option the run would not use is refused rather than silently ignored.
// One that needs a kind of input rather than another option (a layer name,
// which needs a vector file) is refused with the inputs, which names them.
bool refuseUnusedOption(const QCommandLineParser& parser, const settingRow& row, const runRequest& request)
{
    if (row.option.isEmpty() || !parser.isSet(row.option) || !row.inUse || row.inUse(request)
        || row.usedWithOption.isEmpty())
        return true;
    printError(QStringLiteral("--%1 is used only with --%2: add --%2, or leave --%1 out.")
                   .arg(row.option, row.usedWithOption));
    return false;
}

// The map's intensity and source-share colourings need the grids they are drawn from.
bool refuseColouringWithoutIntensity(const runRequest& request)
{
    mapColouring colouring = mapColouring::reachProbability;
    mapColouringFromName(request.mapColouring, colouring);
    QString needed;
    switch (mapColouringRowOf(colouring).needs) {
    case colouringNeeds::intensity:
        if (!request.intensity.enabled)
            needed = QStringLiteral("--intensity");
        break;
    case colouringNeeds::energies:
        if (!request.intensity.energiesWanted())
            needed = QStringLiteral("--intensity and --block-volume");
        break;
    case colouringNeeds::objects:
        if (request.objectsFile.isEmpty())
            needed = QStringLiteral("--objects");
        break;
    case colouringNeeds::hazard:
        if (!request.hazard.enabled)
            needed = QStringLiteral("--hazard");
        break;
    case colouringNeeds::measures:
        if (!request.measuresWanted())
            needed = QStringLiteral("--forest or --barriers");
        break;
    case colouringNeeds::nothing:
        break;
    }
    if (needed.isEmpty())
        return true;
    printError(QStringLiteral("--map-colour %1 needs %2: add them, or choose probability or share.")
                   .arg(request.mapColouring, needed));
    return false;
}

bool readOutputFormat(const QCommandLineParser& parser, outputFormat& value)
{
    if (!parser.isSet(QStringLiteral("format")))
        return true;
    const QString name = parser.value(QStringLiteral("format")).toLower();
    if (name == QLatin1String("asc"))
        value = outputFormat::esriAscii;
    else if (name == QLatin1String("gtiff"))
        value = outputFormat::geoTiff;
    else {
        printError(
            QStringLiteral("--format takes asc or gtiff, not \"%1\".").arg(parser.value(QStringLiteral("format"))));
        return false;
    }
    return true;
}

}  // namespace

parseOutcome parseRunnerOptions(const QStringList& arguments, runnerOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates rockfall trajectories over a DEM from its start cells (a raster or a vector layer) and writes "
        "N.asc, Reach_prob.asc (or N.tif and Reach_prob.tif), log.txt and optionally trajectory_points.txt into the "
        "output folder.\n\n"
        "Outputs:\n"
        "  N            trajectories that passed each cell (a count).\n"
        "  Reach_prob   reach probability in percent: of the trajectories from the start cells able to reach the\n"
        "               cell, the share that did.\n"
        "  .qml         QGIS style beside each grid, with the classes of the map.\n"
        "  log.txt      inputs, settings and the run summary: area reached in hectares per reach-probability\n"
        "               class, longest run-out in metres, travel-angle percentiles in degrees.\n"
        "  trajectory_points.txt (--save-trajectories) every point: x, y in map units, z in metres;\n"
        "               with --format gtiff also trajectories.gpkg (3D lines).\n"
        "  Height_max, Height_mean (m), Velocity_max (m/s), Energy_max (kJ), Reach_prob_<E>kJ (percent of\n"
        "               trajectories arriving with at least E kJ) (--intensity; energies with --block-volume).\n"
        "  objects.csv, Source_share (--objects) the reach of each object; at each start cell the percentage\n"
        "               of its trajectories that reached an object.\n"
        "  Freq_any, Freq_<E>kJ (1/year) how often a cell is reached, by any block or by one of at least E kJ\n"
        "               (--release-frequency or --frequency-field; the second with energies).\n"
        "  Hazard_level, Hazard_matrix_cell (--hazard) 0 not reached, 1 residual, 2 yellow, 3 blue, 4 red; the\n"
        "               cell (1 to 9) of the hazard matrix that decided.\n"
        "  calibration.csv (--observed) the run's scores against the mapped reach and observed blocks; with\n"
        "               --calibrate every combination of the settings given as lists, best first.\n"
        "  Reach_prob_unprotected, Energy_max_unprotected (--forest, --barriers) the run as if there were\n"
        "               none; barriers.csv and barriers.gpkg (--barriers) what each barrier met and stopped.\n\n"
        "Risk acceptance classes (--probability): high (log10^-6) gives the longest run-outs, a stop only\n"
        "where about one rock in a million would go further; medium (log10^-4); low (log10^-2) the shortest.\n\n"
        "Exit codes: 0 completed, 1 failed, 2 stopped by the user (Ctrl-C)."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("dem"),
         QStringLiteral("Digital elevation model (ESRI ASCII grid, .asc or .txt, or GeoTIFF, .tif or .tiff)."),
         QStringLiteral("FILE")},
        {QStringLiteral("start"),
         QStringLiteral("Start cells: a raster on the DEM's grid (cells > 0 are sources) or a vector layer "
                        "(GeoPackage, Shapefile, GeoJSON, FlatGeobuf; polygons give the cells whose centres lie "
                        "inside, lines and points the cells they touch)."),
         QStringLiteral("FILE")},
        {QStringLiteral("objects"),
         QStringLiteral("Objects at risk: a raster on the DEM's grid (cells > 0 hold the object's id) or a vector "
                        "layer; writes objects.csv and Source_share."),
         QStringLiteral("FILE")},
        {QStringLiteral("output"), QStringLiteral("Folder the files are written to (created if missing)."),
         QStringLiteral("DIR")},
        {QStringLiteral("observed"),
         QStringLiteral("Field evidence to score the run against: a vector layer of the mapped reach (polygons) "
                        "and/or of observed blocks or impacts (points); writes calibration.csv."),
         QStringLiteral("FILE")},
        {QStringLiteral("forest"),
         QStringLiteral("Forest as added friction on the energy line: a raster of forest indices (0 none to 1 "
                        "dense) on the DEM's grid, or a polygon layer with an index field (--forest-field); the "
                        "grids are then written with and without it."),
         QStringLiteral("FILE")},
        {QStringLiteral("barriers"),
         QStringLiteral("Barriers (nets, dams, walls): a line layer with the energy each stops (--barrier-capacity-"
                        "field, kJ) and an optional name; writes barriers.csv and barriers.gpkg."),
         QStringLiteral("FILE")},
        {QStringLiteral("study-area"),
         QStringLiteral("Polygons inside which the scores count misses; default: every cell a run reached or the "
                        "mapped reach holds."),
         QStringLiteral("FILE")},
    });
    for (const settingRow& row : settingsTable())
        if (!row.option.isEmpty())
            parser.addOption(tableOption(row));
    parser.addOptions({
        {QStringLiteral("format"),
         QStringLiteral("Format of the result grids: asc (ESRI ASCII grid, default) or gtiff (GeoTIFF)."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("overwrite"), QStringLiteral("Replace output files that already exist.")},
        {QStringLiteral("map"),
         QStringLiteral("Also write the result map with its legend, placed on the DEM's grid: FILE.png or FILE.jpg "
                        "with a world file (.pgw, .jgw) and the coordinate system in FILE.png.aux.xml, or FILE.tif "
                        "as a GeoTIFF."),
         QStringLiteral("FILE")},
        {QStringLiteral("map-colour"),
         QStringLiteral(
             "What the map's colours show: probability (reach probability classes, default), share "
             "(passage share of the run), energy (largest energy in the energy classes; with --intensity "
             "and --block-volume), height (largest energy-line height; with --intensity), source (each start "
             "cell's share of trajectories that reached an object; with --objects), hazard (hazard level; with "
             "--hazard), unprotected (reach probability without the measures) or reduction (what they take off "
             "it; both with --forest or --barriers)."),
         QStringLiteral("MODE")},
        {QStringLiteral("quiet"), QStringLiteral("Print only warnings and errors.")},
        {QStringLiteral("timings"), QStringLiteral("Print how long each phase of the run took.")},
        {QStringLiteral("seed"),
         QStringLiteral("Reproducible run: every trajectory draws from a random stream of its own, keyed by this "
                        "seed (0 to 18446744073709551615); the outputs are then the same for any number of threads "
                        "and processes. Needed to run under mpirun with more than one process."),
         QStringLiteral("N")},
        {QStringLiteral("progress-lines"),
         QStringLiteral("Print progress as lines \"progress <percent> <phase>\" on standard output, one per change "
                        "of a phase's whole percent, instead of the progress bar; once the files are in place, a "
                        "line \"file <path>\" for each.")},
        {QStringLiteral("files-written"),
         QStringLiteral("Once the run's files are in place, print the path of each on standard output, one per "
                        "line.")},
        {QStringLiteral("settings-table"),
         QStringLiteral("Print the settings (names, units, defaults, limits, options) as JSON and exit.")},
    });

    if (!parser.parse(arguments)) {
        printError(parser.errorText());
        return parseOutcome::exitFailure;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return parseOutcome::exitSuccess;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qUtf8Printable(QCoreApplication::applicationName()),
                    qUtf8Printable(QCoreApplication::applicationVersion()));
        return parseOutcome::exitSuccess;
    }
    if (parser.isSet(QStringLiteral("settings-table"))) {
        std::fputs(settingsTableJson().constData(), stdout);
        return parseOutcome::exitSuccess;
    }
    if (!parser.positionalArguments().isEmpty()) {
        printError(QStringLiteral("Unexpected argument \"%1\".").arg(parser.positionalArguments().constFirst()));
        return parseOutcome::exitFailure;
    }
    for (const char* required : {"dem", "start", "output"}) {
        if (parser.value(QLatin1String(required)).isEmpty()) {
            printError(QStringLiteral("--%1 is required (see --help).").arg(QLatin1String(required)));
            return parseOutcome::exitFailure;
        }
    }

    runRequest& request = options.request;
    for (const settingRow& row : settingsTable())
        row.write(request, row.defaultValue);
    request.demFile = parser.value(QStringLiteral("dem"));
    request.startCellsFile = parser.value(QStringLiteral("start"));
    request.outputFolder = parser.value(QStringLiteral("output"));
    request.mapFile = parser.value(QStringLiteral("map"));
    request.objectsFile = parser.value(QStringLiteral("objects"));
    request.observedFile = parser.value(QStringLiteral("observed"));
    request.studyAreaFile = parser.value(QStringLiteral("study-area"));
    request.forestFile = parser.value(QStringLiteral("forest"));
    request.barriersFile = parser.value(QStringLiteral("barriers"));
    if (parser.isSet(QStringLiteral("map-colour"))) {
        request.mapColouring = parser.value(QStringLiteral("map-colour")).toLower();
        mapColouring colouring = mapColouring::reachProbability;
        if (!mapColouringFromName(request.mapColouring, colouring)) {
            QStringList names;
            for (const mapColouringRow& row : mapColourings())
                names << QLatin1String(row.name);
            const QString last = names.takeLast();
            printError(QStringLiteral("--map-colour takes %1 or %2, not \"%3\".")
                           .arg(names.join(QStringLiteral(", ")), last, parser.value(QStringLiteral("map-colour"))));
            return parseOutcome::exitFailure;
        }
    }
    request.overwrite = parser.isSet(QStringLiteral("overwrite"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.timings = parser.isSet(QStringLiteral("timings"));
    options.progressLines = parser.isSet(QStringLiteral("progress-lines"));
    options.filesWritten = parser.isSet(QStringLiteral("files-written"));
    const bool lists = parser.isSet(QStringLiteral("calibrate"));
    for (const settingRow& row : settingsTable())
        if (!row.option.isEmpty() && !readTableOption(parser, row, request, lists))
            return parseOutcome::exitFailure;
    for (const settingRow& row : settingsTable())
        if (!refuseUnusedOption(parser, row, request))
            return parseOutcome::exitFailure;
    if (!refuseColouringWithoutIntensity(request))
        return parseOutcome::exitFailure;
    if (!readOutputFormat(parser, request.format))
        return parseOutcome::exitFailure;
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const qulonglong seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok) {
            printError(QStringLiteral("--seed takes a whole number from 0 to 18446744073709551615, not \"%1\".")
                           .arg(parser.value(QStringLiteral("seed"))));
            return parseOutcome::exitFailure;
        }
        request.seed = seed;
    }
    return parseOutcome::run;
}
