#include "app/runnerOptions.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

void printError(const QString& text) { std::fprintf(stderr, "Error: %s\n", qUtf8Printable(text)); }

bool readInt(const QCommandLineParser& parser, const QString& name, int& value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int parsed = parser.value(name).toInt(&ok);
    if (!ok) {
        printError(QStringLiteral("--%1 takes a whole number, not \"%2\".").arg(name, parser.value(name)));
        return false;
    }
    value = parsed;
    return true;
}

bool readDouble(const QCommandLineParser& parser, const QString& name, double& value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double parsed = parser.value(name).toDouble(&ok);
    if (!ok || !qIsFinite(parsed)) {
        printError(QStringLiteral("--%1 takes a number, not \"%2\".").arg(name, parser.value(name)));
        return false;
    }
    value = parsed;
    return true;
}

bool readProbabilityClass(const QCommandLineParser& parser, int& value)
{
    if (!parser.isSet(QStringLiteral("probability")))
        return true;
    static const QStringList classes = {QStringLiteral("high"), QStringLiteral("medium"), QStringLiteral("low")};
    const int index = classes.indexOf(parser.value(QStringLiteral("probability")).toLower());
    if (index < 0) {
        printError(QStringLiteral("--probability takes high, medium or low, not \"%1\".")
                       .arg(parser.value(QStringLiteral("probability"))));
        return false;
    }
    value = index;
    return true;
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

// Refuses values that would make a run meaningless or endless.
bool checkRanges(const runnerOptions& options)
{
    if (options.simulations <= 0)
        printError(QStringLiteral("--simulations must be greater than 0."));
    else if (!(options.segmentLength > 0.0))
        printError(QStringLiteral("--segment-length must be greater than 0."));
    else if (!(options.profileStep > 0.0))
        printError(QStringLiteral("--profile-step must be greater than 0."));
    else if (options.maxAngle < 0 || options.maxAngle > 90)
        printError(QStringLiteral("--max-angle must lie between 0 and 90 degrees."));
    else if (options.fallHeight < 0.0)
        printError(QStringLiteral("--fall-height must not be negative."));
    else
        return true;
    return false;
}

}  // namespace

parseOutcome parseRunnerOptions(const QStringList& arguments, runnerOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates rockfall trajectories over a DEM from the cells of a start-cells raster and writes N.asc, "
        "Reach_prob.asc (or N.tif and Reach_prob.tif), log.txt and optionally trajectory_points.txt into the output "
        "folder."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("dem"),
         QStringLiteral("Digital elevation model (ESRI ASCII grid, .asc or .txt, or GeoTIFF, .tif or .tiff)."),
         QStringLiteral("FILE")},
        {QStringLiteral("start"), QStringLiteral("Start-cells raster on the DEM's grid; cells > 0 are sources."),
         QStringLiteral("FILE")},
        {QStringLiteral("output"), QStringLiteral("Folder the files are written to (created if missing)."),
         QStringLiteral("DIR")},
        {QStringLiteral("simulations"), QStringLiteral("Simulations per start cell (default 100)."),
         QStringLiteral("N")},
        {QStringLiteral("segment-length"), QStringLiteral("Segment length in metres (default 10.0)."),
         QStringLiteral("M")},
        {QStringLiteral("profile-step"), QStringLiteral("Profile sampling step in metres (default 1.0)."),
         QStringLiteral("M")},
        {QStringLiteral("max-angle"), QStringLiteral("Maximum deviation angle in whole degrees (default 22)."),
         QStringLiteral("DEG")},
        {QStringLiteral("fall-height"), QStringLiteral("Initial fall height in metres (default 0.0)."),
         QStringLiteral("M")},
        {QStringLiteral("probability"),
         QStringLiteral("Propagation probability class: high, medium or low (default high)."), QStringLiteral("CLASS")},
        {QStringLiteral("save-trajectories"),
         QStringLiteral("Also write trajectory_points.txt (and trajectories.gpkg with --format gtiff).")},
        {QStringLiteral("format"),
         QStringLiteral("Format of the result grids: asc (ESRI ASCII grid, default) or gtiff (GeoTIFF)."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("threads"), QStringLiteral("Number of simulation threads (default: all cores)."),
         QStringLiteral("N")},
        {QStringLiteral("overwrite"), QStringLiteral("Replace output files that already exist.")},
        {QStringLiteral("map"),
         QStringLiteral("Also write the result map with its legend, placed on the DEM's grid: FILE.png or FILE.jpg "
                        "with a world file (.pgw, .jgw) and the coordinate system in FILE.png.aux.xml, or FILE.tif "
                        "as a GeoTIFF."),
         QStringLiteral("FILE")},
        {QStringLiteral("map-colour"),
         QStringLiteral("What the map's colours show: probability (reach probability classes, default) or share "
                        "(passage share of the run)."),
         QStringLiteral("MODE")},
        {QStringLiteral("quiet"), QStringLiteral("Print only warnings and errors.")},
        {QStringLiteral("timings"), QStringLiteral("Print how long each phase of the run took.")},
        {QStringLiteral("seed"),
         QStringLiteral("Reproducible run: every trajectory draws from a random stream of its own, keyed by this "
                        "seed (0 to 18446744073709551615); the outputs are then the same for any number of threads "
                        "and processes. Needed to run under mpirun with more than one process."),
         QStringLiteral("N")},
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

    options.demFile = parser.value(QStringLiteral("dem"));
    options.startCellsFile = parser.value(QStringLiteral("start"));
    options.outputDir = parser.value(QStringLiteral("output"));
    options.mapFile = parser.value(QStringLiteral("map"));
    if (parser.isSet(QStringLiteral("map-colour"))) {
        options.mapColouring = parser.value(QStringLiteral("map-colour")).toLower();
        if (options.mapColouring != QLatin1String("probability") && options.mapColouring != QLatin1String("share")) {
            printError(QStringLiteral("--map-colour takes probability or share, not \"%1\".")
                           .arg(parser.value(QStringLiteral("map-colour"))));
            return parseOutcome::exitFailure;
        }
    }
    options.saveTrajectories = parser.isSet(QStringLiteral("save-trajectories"));
    options.overwrite = parser.isSet(QStringLiteral("overwrite"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.timings = parser.isSet(QStringLiteral("timings"));
    const bool numbersRead = readInt(parser, QStringLiteral("simulations"), options.simulations)
                             && readDouble(parser, QStringLiteral("segment-length"), options.segmentLength)
                             && readDouble(parser, QStringLiteral("profile-step"), options.profileStep)
                             && readInt(parser, QStringLiteral("max-angle"), options.maxAngle)
                             && readDouble(parser, QStringLiteral("fall-height"), options.fallHeight)
                             && readInt(parser, QStringLiteral("threads"), options.threads)
                             && readProbabilityClass(parser, options.probabilityClass)
                             && readOutputFormat(parser, options.format);
    if (!numbersRead || !checkRanges(options))
        return parseOutcome::exitFailure;
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const qulonglong seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok) {
            printError(QStringLiteral("--seed takes a whole number from 0 to 18446744073709551615, not \"%1\".")
                           .arg(parser.value(QStringLiteral("seed"))));
            return parseOutcome::exitFailure;
        }
        options.seed = seed;
    }
    if (parser.isSet(QStringLiteral("threads")) && options.threads <= 0) {
        printError(QStringLiteral("--threads must be greater than 0."));
        return parseOutcome::exitFailure;
    }
    return parseOutcome::run;
}
