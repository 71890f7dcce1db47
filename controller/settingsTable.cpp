#include "controller/settingsTable.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "controller/propagationProbability.h"
#include "controller/runRequest.h"
#include "raster/outputFiles.h"
#include "raster/vectorLayer.h"

namespace {

QString number(double value) { return QString::number(value, 'g', 12); }

bool intensityOn(const runRequest& request) { return request.intensity.enabled; }

// "30,300": the class limits as the option takes them.
QString classLimitsText(const std::vector<double>& limits)
{
    QStringList parts;
    for (const double limit : limits)
        parts << number(limit);
    return parts.join(QLatin1Char(','));
}

// Positive, finite and strictly increasing numbers separated by commas; none
// when the text is not such a list.
// Each limit names a grid (Reach_prob_<limit>kJ) in its shortest form, so a
// limit far outside any block's energy would make a file name no system takes.
constexpr double lowestClassLimit = 0.001;
constexpr double highestClassLimit = 1e9;

std::optional<std::vector<double>> classLimitsOf(const QString& text)
{
    std::vector<double> limits;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const double limit = part.trimmed().toDouble(&ok);
        if (!ok || !(limit >= lowestClassLimit && limit <= highestClassLimit)
            || (!limits.empty() && limit <= limits.back()))
            return std::nullopt;
        limits.push_back(limit);
    }
    return limits;
}

QString classLimitsProblem(const QString& text)
{
    return classLimitsOf(text) ? QString()
                               : QStringLiteral("must be numbers from 0.001 to 1000000000 kJ, increasing and separated "
                                                "by commas (such as 30,300)");
}

// The intensity: the energy-line height per cell, and with a block volume the
// block's energy and the share of trajectories in each energy class.
void appendIntensityRows(QList<settingRow>& rows)
{
    const QString cubed = QString(QChar(0x00B3));

    settingRow intensity;
    intensity.name = QStringLiteral("intensity");
    intensity.label = QStringLiteral("Intensity");
    intensity.type = settingType::yesNo;
    intensity.defaultValue = false;
    intensity.tooltip = QStringLiteral("Also write the energy-line height (m) and the velocity (m/s) of every reached "
                                       "cell, and with a block volume its energy (kJ) and the reach probability of "
                                       "each energy class (%), without one heights and velocities only. The files "
                                       "are Height_max, Height_mean, Velocity_max, Energy_max and "
                                       "Reach_prob_<limit>kJ.");
    intensity.option = QStringLiteral("intensity");
    intensity.storeKey = QStringLiteral("intensity");
    intensity.logLabel = QStringLiteral("Intensity");
    intensity.read = [](const runRequest& r) { return QVariant(r.intensity.enabled); };
    intensity.write = [](runRequest& r, const QVariant& v) { r.intensity.enabled = v.toBool(); };
    intensity.inUse = intensityOn;
    rows << intensity;

    settingRow volume;
    volume.name = QStringLiteral("blockVolume");
    volume.label = QStringLiteral("Block volume");
    volume.unit = QStringLiteral("m") + cubed;
    volume.minimum = 0.001;
    volume.maximum = 100000.0;
    volume.decimals = 3;
    volume.tooltip = QStringLiteral("Volume of the falling block, in cubic metres (") + volume.rangeText()
                     + QStringLiteral("). With it the intensity gives energies and energy classes; without it, "
                                      "energy-line heights and velocities only.");
    volume.option = QStringLiteral("block-volume");
    volume.storeKey = QStringLiteral("blockVolume");
    volume.logLabel = QStringLiteral("Block volume (m") + cubed + QLatin1Char(')');
    volume.notGivenText = QStringLiteral("not given");
    volume.read = [](const runRequest& r) {
        return r.intensity.blockVolume > 0.0 ? QVariant(r.intensity.blockVolume) : QVariant();
    };
    volume.write = [](runRequest& r, const QVariant& v) { r.intensity.blockVolume = v.toDouble(); };
    volume.inUse = intensityOn;
    volume.usedWithOption = QStringLiteral("intensity");
    rows << volume;

    settingRow density;
    density.name = QStringLiteral("rockDensity");
    density.label = QStringLiteral("Rock density");
    density.unit = QStringLiteral("kg/m") + cubed;
    density.defaultValue = 2700.0;
    density.minimum = 1.0;
    density.maximum = 20000.0;
    density.tooltip = QStringLiteral("Density of the rock, in kilograms per cubic metre (") + density.rangeText()
                      + QStringLiteral("); the block's mass is its volume times this.");
    density.option = QStringLiteral("rock-density");
    density.storeKey = QStringLiteral("rockDensity");
    density.logLabel = QStringLiteral("Rock density (kg/m") + cubed + QLatin1Char(')');
    density.read = [](const runRequest& r) { return QVariant(r.intensity.rockDensity); };
    density.write = [](runRequest& r, const QVariant& v) { r.intensity.rockDensity = v.toDouble(); };
    density.inUse = intensityOn;
    density.usedWithOption = QStringLiteral("intensity");
    rows << density;

    settingRow classes;
    classes.name = QStringLiteral("energyClasses");
    classes.label = QStringLiteral("Energy class limits");
    classes.unit = QStringLiteral("kJ");
    classes.type = settingType::text;
    classes.defaultValue = QStringLiteral("30,300");
    classes.tooltip = QStringLiteral("Limits between the energy classes in kJ, positive, increasing and separated by "
                                     "commas (default 30,300: below 30 kJ, 30 to 300 kJ, 300 kJ and more). Each limit "
                                     "gives a grid Reach_prob_<limit>kJ; used with a block volume.");
    classes.option = QStringLiteral("energy-classes");
    classes.storeKey = QStringLiteral("energyClassLimits");
    classes.logLabel = QStringLiteral("Energy class limits (kJ)");
    classes.read = [](const runRequest& r) { return QVariant(classLimitsText(r.intensity.energyClassLimits)); };
    // A text that is not a list of limits is kept as no limits, which the check refuses.
    classes.write = [](runRequest& r, const QVariant& v) {
        r.intensity.energyClassLimits = classLimitsOf(v.toString()).value_or(std::vector<double>{});
    };
    classes.textProblem = classLimitsProblem;
    classes.inUse = intensityOn;
    classes.usedWithOption = QStringLiteral("intensity");
    rows << classes;
}

// "30,100,300": three increasing return periods in years.
std::optional<std::array<double, 3>> returnPeriodsOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return std::nullopt;
    std::array<double, 3> periods{};
    for (int k = 0; k < 3; ++k) {
        bool ok = false;
        const double years = parts[k].trimmed().toDouble(&ok);
        if (!ok || !(years >= 1.0 && years <= 1000000.0) || (k > 0 && years <= periods[k - 1]))
            return std::nullopt;
        periods[static_cast<std::size_t>(k)] = years;
    }
    return periods;
}

QString returnPeriodsText(const std::array<double, 3>& periods)
{
    return QStringLiteral("%1,%2,%3").arg(number(periods[0]), number(periods[1]), number(periods[2]));
}

// "333,322,211": rows strong, medium, weak; a digit per probability class
// high, medium, low; 1 yellow, 2 blue, 3 red.
std::optional<std::array<std::array<int, 3>, 3>> hazardMatrixOf(const QString& text)
{
    const QStringList rows = text.split(QLatin1Char(','));
    if (rows.size() != 3)
        return std::nullopt;
    std::array<std::array<int, 3>, 3> matrix{};
    for (int r = 0; r < 3; ++r) {
        const QString row = rows[r].trimmed();
        if (row.size() != 3)
            return std::nullopt;
        for (int c = 0; c < 3; ++c) {
            const int level = row[c].digitValue();
            if (level < 1 || level > 3)
                return std::nullopt;
            matrix[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = level;
        }
    }
    return matrix;
}

QString hazardMatrixText(const std::array<std::array<int, 3>, 3>& matrix)
{
    QStringList rows;
    for (const auto& row : matrix)
        rows << QStringLiteral("%1%2%3").arg(row[0]).arg(row[1]).arg(row[2]);
    return rows.join(QLatin1Char(','));
}

bool hazardOn(const runRequest& request) { return request.hazard.enabled; }
bool vectorStart(const runRequest& request) { return isVectorFileName(request.startCellsFile); }

// A field of a vector start layer that gives each release a value of its
// own: in use, checked and logged once it is named; a block's fields only
// with intensity.
template <QString releaseFieldNames::*field>
QVariant readReleaseField(const runRequest& r)
{
    return QVariant(r.releaseFields.*field);
}

// A block of its own per release once either of its fields is named.
template <QString releaseFieldNames::*field>
void writeReleaseField(runRequest& r, const QVariant& v)
{
    r.releaseFields.*field = v.toString();
    r.intensity.blocksPerRelease = !r.releaseFields.volume.isEmpty() || !r.releaseFields.density.isEmpty();
}

template <QString releaseFieldNames::*field, bool withIntensity>
bool releaseFieldInUse(const runRequest& r)
{
    return vectorStart(r) && !(r.releaseFields.*field).isEmpty() && (!withIntensity || r.intensity.enabled);
}

void appendReleaseFieldRows(QList<settingRow>& rows)
{
    struct fieldRow
    {
        const char* name;
        const char* label;
        const char* option;
        const char* tooltip;
        QVariant (*read)(const runRequest&);
        void (*write)(runRequest&, const QVariant&);
        bool (*inUse)(const runRequest&);
        bool needsIntensity;
    };
    using names = releaseFieldNames;
    const fieldRow fields[] = {
        {"frequencyField", "Frequency field", "frequency-field",
         "Field of the start layer giving each release area's frequency in events per year, shared out equally over "
         "its start cells.",
         readReleaseField<&names::frequency>, writeReleaseField<&names::frequency>,
         releaseFieldInUse<&names::frequency, false>, false},
        {"frequencyPerHaField", "Frequency per hectare field", "frequency-per-ha-field",
         "Field of the start layer giving each release area's frequency in events per year and hectare; each start "
         "cell takes it times its area.",
         readReleaseField<&names::frequencyPerHectare>, writeReleaseField<&names::frequencyPerHectare>,
         releaseFieldInUse<&names::frequencyPerHectare, false>, false},
        {"volumeField", "Volume field", "volume-field",
         "Field of the start layer giving each release area's block volume in cubic metres, in place of the block "
         "volume.",
         readReleaseField<&names::volume>, writeReleaseField<&names::volume>, releaseFieldInUse<&names::volume, true>,
         true},
        {"densityField", "Density field", "density-field",
         "Field of the start layer giving each release area's rock density in kilograms per cubic metre, in place of "
         "the rock density.",
         readReleaseField<&names::density>, writeReleaseField<&names::density>,
         releaseFieldInUse<&names::density, true>, true},
        {"fallHeightField", "Fall height field", "fall-height-field",
         "Field of the start layer giving each release area's initial fall height in metres, in place of the initial "
         "fall height.",
         readReleaseField<&names::fallHeight>, writeReleaseField<&names::fallHeight>,
         releaseFieldInUse<&names::fallHeight, false>, false},
    };
    for (const fieldRow& field : fields) {
        settingRow row;
        row.name = QLatin1String(field.name);
        row.label = QLatin1String(field.label);
        row.type = settingType::text;
        row.defaultValue = QString();
        row.option = QLatin1String(field.option);
        row.tooltip = QLatin1String(field.tooltip);
        row.storeKey = row.name;
        row.logLabel = row.label;
        row.read = field.read;
        row.write = field.write;
        row.inUse = field.inUse;
        if (field.needsIntensity)
            row.usedWithOption = QStringLiteral("intensity");
        rows << row;
    }
}

// How often releases happen and the hazard levels made from it.
void appendHazardRows(QList<settingRow>& rows)
{
    settingRow frequency;
    frequency.name = QStringLiteral("releaseFrequency");
    frequency.label = QStringLiteral("Release frequency");
    frequency.unit = QStringLiteral("1/year");
    frequency.minimum = 1e-9;
    frequency.maximum = 1000000.0;
    frequency.decimals = 6;
    frequency.tooltip = QStringLiteral("Events per year released from every start cell (") + frequency.rangeText()
                        + QStringLiteral("), for raster start cells or a start layer without a frequency field. "
                                         "With it the run writes Freq_any, and with energies Freq_<limit>kJ.");
    frequency.option = QStringLiteral("release-frequency");
    frequency.storeKey = QStringLiteral("releaseFrequency");
    frequency.logLabel = QStringLiteral("Release frequency (1/year)");
    frequency.notGivenText = QStringLiteral("not given");
    frequency.read = [](const runRequest& r) {
        return r.releaseFrequency ? QVariant(*r.releaseFrequency) : QVariant();
    };
    // The window's field shows "not given" at 0.
    frequency.write = [](runRequest& r, const QVariant& v) {
        r.releaseFrequency = v.isValid() && v.toDouble() > 0.0 ? std::optional<double>(v.toDouble()) : std::nullopt;
    };
    frequency.inUse = [](const runRequest& r) { return r.releaseFrequency.has_value(); };
    rows << frequency;

    settingRow hazard;
    hazard.name = QStringLiteral("hazard");
    hazard.label = QStringLiteral("Hazard map");
    hazard.type = settingType::yesNo;
    hazard.defaultValue = false;
    hazard.tooltip = QStringLiteral("Also write Hazard_level (0 not reached, 1 residual, 2 yellow, 3 blue, 4 red) and "
                                    "Hazard_matrix_cell, from the frequencies of strong, medium and weak intensity "
                                    "and the hazard matrix. Needs intensity, a block volume, a release frequency "
                                    "and two energy class limits.");
    hazard.option = QStringLiteral("hazard");
    hazard.storeKey = QStringLiteral("hazard");
    hazard.logLabel = QStringLiteral("Hazard map");
    hazard.read = [](const runRequest& r) { return QVariant(r.hazard.enabled); };
    hazard.write = [](runRequest& r, const QVariant& v) { r.hazard.enabled = v.toBool(); };
    hazard.inUse = hazardOn;
    rows << hazard;

    settingRow periods;
    periods.name = QStringLiteral("returnPeriods");
    periods.label = QStringLiteral("Return periods");
    periods.unit = QStringLiteral("years");
    periods.type = settingType::text;
    periods.defaultValue = QStringLiteral("30,100,300");
    periods.tooltip = QStringLiteral("Return periods bounding the probability classes, three increasing numbers of "
                                     "years separated by commas (default 30,100,300: high at least once in 30 "
                                     "years, medium in 100, low in 300, below that very low).");
    periods.option = QStringLiteral("return-periods");
    periods.storeKey = QStringLiteral("returnPeriods");
    periods.logLabel = QStringLiteral("Return periods (years)");
    periods.read = [](const runRequest& r) { return QVariant(returnPeriodsText(r.hazard.returnPeriods)); };
    periods.write = [](runRequest& r, const QVariant& v) {
        r.hazard.returnPeriods = returnPeriodsOf(v.toString()).value_or(std::array<double, 3>{0.0, 0.0, 0.0});
    };
    periods.textProblem = [](const QString& text) {
        return returnPeriodsOf(text) ? QString()
                                     : QStringLiteral("must be three increasing numbers of years from 1 to 1000000, "
                                                      "separated by commas (such as 30,100,300)");
    };
    periods.inUse = hazardOn;
    periods.usedWithOption = QStringLiteral("hazard");
    rows << periods;

    settingRow matrix;
    matrix.name = QStringLiteral("hazardMatrix");
    matrix.label = QStringLiteral("Hazard matrix");
    matrix.type = settingType::text;
    matrix.defaultValue = QStringLiteral("333,322,211");
    matrix.tooltip = QStringLiteral("The hazard level of each intensity and probability: three rows (strong, medium, "
                                    "weak intensity) of three digits (high, medium, low probability), 1 yellow, 2 "
                                    "blue, 3 red, separated by commas (default 333,322,211).");
    matrix.option = QStringLiteral("hazard-matrix");
    matrix.storeKey = QStringLiteral("hazardMatrix");
    matrix.logLabel = QStringLiteral("Hazard matrix");
    matrix.read = [](const runRequest& r) { return QVariant(hazardMatrixText(r.hazard.matrix)); };
    matrix.write = [](runRequest& r, const QVariant& v) {
        r.hazard.matrix = hazardMatrixOf(v.toString()).value_or(std::array<std::array<int, 3>, 3>{});
    };
    matrix.textProblem = [](const QString& text) {
        return hazardMatrixOf(text) ? QString()
                                    : QStringLiteral("must be three rows of three digits from 1 (yellow) to 3 "
                                                     "(red), separated by commas (such as 333,322,211)");
    };
    matrix.inUse = hazardOn;
    matrix.usedWithOption = QStringLiteral("hazard");
    rows << matrix;
}

// The field evidence's layer and the calibration against it.
void appendCalibrationRows(QList<settingRow>& rows)
{
    settingRow layer;
    layer.name = QStringLiteral("observedLayer");
    layer.label = QStringLiteral("Observed layer");
    layer.type = settingType::text;
    layer.defaultValue = QString();
    layer.option = QStringLiteral("observed-layer");
    layer.tooltip = QStringLiteral("Layer of the observed run-out file; the first when not given.");
    layer.storeKey = layer.name;
    layer.logLabel = QStringLiteral("Observed layer");
    layer.read = [](const runRequest& r) { return QVariant(r.observedLayer); };
    layer.write = [](runRequest& r, const QVariant& v) { r.observedLayer = v.toString(); };
    layer.inUse = [](const runRequest& r) { return !r.observedFile.isEmpty() && !r.observedLayer.isEmpty(); };
    rows << layer;

    settingRow calibrate;
    calibrate.name = QStringLiteral("calibrate");
    calibrate.label = QStringLiteral("Calibrate");
    calibrate.type = settingType::yesNo;
    calibrate.defaultValue = false;
    calibrate.option = QStringLiteral("calibrate");
    calibrate.tooltip = QStringLiteral("Run every combination of the settings given as lists (such as --max-angle "
                                       "15,22,30), seeded alike, score each against the observed run-out and write "
                                       "the best one's files with calibration.csv ranking them all.");
    calibrate.logLabel = QStringLiteral("Calibration");
    calibrate.read = [](const runRequest& r) { return QVariant(r.calibrate); };
    calibrate.write = [](runRequest& r, const QVariant& v) { r.calibrate = v.toBool(); };
    calibrate.inUse = [](const runRequest& r) { return r.calibrate; };
    rows << calibrate;

    settingRow criterion;
    criterion.name = QStringLiteral("calibrateBy");
    criterion.label = QStringLiteral("Calibrate by");
    criterion.type = settingType::choice;
    criterion.defaultValue = static_cast<int>(calibrationCriterion::balanced);
    criterion.minimum = 0;
    criterion.maximum = 2;
    criterion.choices = {QStringLiteral("Area under the ROC curve"), QStringLiteral("Hit rate"),
                         QStringLiteral("Hit rate less over-reach")};
    criterion.choiceValues = {QStringLiteral("auc"), QStringLiteral("hit-rate"), QStringLiteral("balanced")};
    criterion.option = QStringLiteral("calibrate-by");
    criterion.tooltip = QStringLiteral("What ranks the calibration's runs: the area under the ROC curve of the reach "
                                       "probability, the hit rate of the mapped reach, or the hit rate less the "
                                       "over-reach's share of the study area (balanced, the default).");
    criterion.storeKey = criterion.name;
    criterion.logLabel = QStringLiteral("Calibrated by");
    criterion.read = [](const runRequest& r) { return QVariant(static_cast<int>(r.calibrateBy)); };
    criterion.write = [](runRequest& r, const QVariant& v) {
        r.calibrateBy = static_cast<calibrationCriterion>(std::clamp(v.toInt(), 0, 2));
    };
    criterion.inUse = [](const runRequest& r) { return r.calibrate; };
    criterion.usedWithOption = QStringLiteral("calibrate");
    rows << criterion;
}

bool forestOn(const runRequest& request) { return !request.forestFile.isEmpty(); }

// A number of the forest's friction, in use with a forest file.
template <double forestSettings::*member>
settingRow forestNumberRow(const char* name, const char* label, const char* unit, double value, double maximum,
                           const char* option, const QString& tooltip)
{
    settingRow row;
    row.name = QLatin1String(name);
    row.label = QLatin1String(label);
    row.unit = QString::fromUtf8(unit);
    row.defaultValue = value;
    row.minimum = 0.0;
    row.maximum = maximum;
    row.decimals = 1;
    row.option = QLatin1String(option);
    row.tooltip = tooltip;
    row.storeKey = row.name;
    row.logLabel = row.labelWithUnit();
    row.read = [](const runRequest& r) { return QVariant(r.forest.*member); };
    row.write = [](runRequest& r, const QVariant& v) { r.forest.*member = v.toDouble(); };
    row.inUse = forestOn;
    row.usedWithOption = QStringLiteral("forest");
    return row;
}

// Forest and barriers: their fields and the forest's friction.
void appendMeasureRows(QList<settingRow>& rows)
{
    settingRow field;
    field.name = QStringLiteral("forestField");
    field.label = QStringLiteral("Forest field");
    field.type = settingType::text;
    field.defaultValue = QStringLiteral("forest");
    field.option = QStringLiteral("forest-field");
    field.tooltip = QStringLiteral("Field of a forest polygon layer holding the forest index, from 0 (none) to 1 "
                                   "(dense).");
    field.storeKey = field.name;
    field.logLabel = field.label;
    field.read = [](const runRequest& r) { return QVariant(r.forestField); };
    field.write = [](runRequest& r, const QVariant& v) { r.forestField = v.toString(); };
    field.inUse = [](const runRequest& r) { return isVectorFileName(r.forestFile); };
    field.usedWithOption = QStringLiteral("forest");
    rows << field;

    const QString degree = QString(QChar(0x00B0));
    rows << forestNumberRow<&forestSettings::angleMax>(
        "forestAngleMax", "Forest angle, largest", "°", 10.0, 45.0, "forest-angle-max",
        QStringLiteral("Largest angle dense forest adds to the energy line's threshold, for slow blocks (0 to 45") +
            degree + QStringLiteral(")."));
    rows << forestNumberRow<&forestSettings::angleMin>(
        "forestAngleMin", "Forest angle, least", "°", 2.0, 45.0, "forest-angle-min",
        QStringLiteral("Angle forest adds at least, for fast blocks (0 to 45") + degree + QStringLiteral(")."));
    rows << forestNumberRow<&forestSettings::speed>(
        "forestSpeed", "Forest speed", "m/s", 30.0, 100.0, "forest-speed",
        QStringLiteral("Speed above which trees barely slow a block (0.1 to 100 m/s)."));
    rows.last().minimum = 0.1;  // a speed height of 0 divides by 0
    rows << forestNumberRow<&forestSettings::skip>(
        "forestSkip", "Forest skip", "m", 0.0, 1000.0, "forest-skip",
        QStringLiteral("The first metres of every path take no loss from forest: releases inside or just above a "
                       "stand (0 to 1000 m)."));

    settingRow capacity;
    capacity.name = QStringLiteral("barrierCapacityField");
    capacity.label = QStringLiteral("Barrier capacity field");
    capacity.type = settingType::text;
    capacity.defaultValue = QStringLiteral("capacity_kJ");
    capacity.option = QStringLiteral("barrier-capacity-field");
    capacity.tooltip = QStringLiteral("Field of the barriers layer holding the energy each structure stops, in kJ.");
    capacity.storeKey = capacity.name;
    capacity.logLabel = capacity.label;
    capacity.read = [](const runRequest& r) { return QVariant(r.barrierCapacityField); };
    capacity.write = [](runRequest& r, const QVariant& v) { r.barrierCapacityField = v.toString(); };
    capacity.inUse = [](const runRequest& r) { return !r.barriersFile.isEmpty(); };
    capacity.usedWithOption = QStringLiteral("barriers");
    rows << capacity;
}

QList<settingRow> makeTable()
{
    const QString degree = QString(QChar(0x00B0));
    QList<settingRow> rows;

    settingRow simulations;
    simulations.name = QStringLiteral("numberOfSimulations");
    simulations.label = QStringLiteral("Number of simulations");
    simulations.type = settingType::wholeNumber;
    simulations.defaultValue = 100;
    simulations.minimum = 1;
    simulations.maximum = 1000000;
    simulations.tooltip = QStringLiteral("Trajectories simulated from random points of every start cell. More give "
                                         "steadier reach probabilities and take longer. A whole number from ")
                          + simulations.rangeText() + QStringLiteral("; the list holds suggestions.");
    simulations.option = QStringLiteral("simulations");
    simulations.storeKey = QStringLiteral("numberOfSimulations");
    simulations.logLabel = QStringLiteral("Number of simulations");
    simulations.read = [](const runRequest& r) { return QVariant(r.settings.numberOfSimulations); };
    simulations.write = [](runRequest& r, const QVariant& v) { r.settings.numberOfSimulations = v.toInt(); };
    rows << simulations;

    settingRow segment;
    segment.name = QStringLiteral("segmentLength");
    segment.label = QStringLiteral("Segment length");
    segment.unit = QStringLiteral("m");
    segment.defaultValue = 5.0;
    segment.minimum = 0.1;
    segment.maximum = 100.0;
    segment.decimals = 1;
    segment.tooltip =
        QStringLiteral("Length of the straight segments a trajectory advances by, in metres (") + segment.rangeText()
        + QStringLiteral("). Shorter segments follow the terrain more closely and take longer; under a quarter of "
                         "the DEM's cell size most trajectories never leave their start cell.");
    segment.option = QStringLiteral("segment-length");
    segment.storeKey = QStringLiteral("straightDistance");
    segment.logLabel = QStringLiteral("Segment length (m)");
    segment.read = [](const runRequest& r) { return QVariant(r.settings.segmentLength); };
    segment.write = [](runRequest& r, const QVariant& v) { r.settings.segmentLength = v.toDouble(); };
    rows << segment;

    settingRow step;
    step.name = QStringLiteral("profileStep");
    step.label = QStringLiteral("Profile step");
    step.unit = QStringLiteral("m");
    step.defaultValue = 1.0;
    step.minimum = 0.01;  // a step of 0 never ends the profile
    step.maximum = 99.99;
    step.decimals = 2;
    step.tooltip = QStringLiteral("Distance between the points at which the terrain profile under a trajectory is "
                                  "sampled for the stop criterion, in metres (")
                   + step.rangeText()
                   + QStringLiteral("; 0 cannot run). Larger steps run faster and see less of the terrain's detail.");
    step.option = QStringLiteral("profile-step");
    step.storeKey = QStringLiteral("profileStep");
    step.logLabel = QStringLiteral("Profile step (m)");
    step.read = [](const runRequest& r) { return QVariant(r.settings.profileStep); };
    step.write = [](runRequest& r, const QVariant& v) { r.settings.profileStep = v.toDouble(); };
    rows << step;

    settingRow angle;
    angle.name = QStringLiteral("maxDeviationAngle");
    angle.label = QStringLiteral("Max deviation angle");
    angle.unit = degree;
    angle.type = settingType::wholeNumber;
    angle.defaultValue = 22;
    angle.minimum = 0;
    angle.maximum = 90;
    angle.tooltip = QStringLiteral(
        "Largest turn of a trajectory's heading towards the local downslope direction "
        "before each segment, in whole degrees from 0 to 90; the list holds suggestions. Larger angles spread "
        "the trajectories wider across the slope.");
    angle.option = QStringLiteral("max-angle");
    angle.storeKey = QStringLiteral("maxDeviationAngle");
    angle.logLabel = QStringLiteral("Max deviation angle (") + degree + QLatin1Char(')');
    angle.read = [](const runRequest& r) { return QVariant(r.settings.maxDeviationAngle); };
    angle.write = [](runRequest& r, const QVariant& v) { r.settings.maxDeviationAngle = v.toInt(); };
    rows << angle;

    settingRow height;
    height.name = QStringLiteral("initialFallHeight");
    height.label = QStringLiteral("Initial fall height");
    height.unit = QStringLiteral("m");
    height.defaultValue = 0.0;
    height.minimum = 0.0;
    height.maximum = 1000.0;
    height.decimals = 2;
    height.tooltip = QStringLiteral("Height from which the rocks fall at their start cell, in metres (")
                     + height.rangeText() + QStringLiteral("). A greater height gives longer run-outs.");
    height.option = QStringLiteral("fall-height");
    height.storeKey = QStringLiteral("initialFallHeight");
    height.logLabel = QStringLiteral("Initial fall height (m)");
    height.read = [](const runRequest& r) { return QVariant(r.settings.initialFallHeight); };
    height.write = [](runRequest& r, const QVariant& v) { r.settings.initialFallHeight = v.toDouble(); };
    rows << height;

    settingRow probability;
    probability.name = QStringLiteral("probabilityClass");
    // One name wherever the user meets it: log.txt has always said "Risk acceptance".
    probability.label = QStringLiteral("Risk acceptance");
    probability.type = settingType::choice;
    probability.defaultValue = 0;
    probability.minimum = 0;
    probability.maximum = 2;
    probability.choices = propagationProbabilityLabels();
    probability.choiceValues = {QStringLiteral("high"), QStringLiteral("medium"), QStringLiteral("low")};
    probability.tooltip =
        QStringLiteral("How far trajectories run before the energy-line criterion stops them: High gives the longest "
                       "run-outs, Low the shortest.");
    probability.option = QStringLiteral("probability");
    probability.storeKey = QStringLiteral("riskIntensity");
    probability.logLabel = QStringLiteral("Risk acceptance");
    probability.read = [](const runRequest& r) { return QVariant(r.settings.probabilityClass); };
    probability.write = [](runRequest& r, const QVariant& v) { r.settings.probabilityClass = v.toInt(); };
    rows << probability;

    settingRow trajectories;
    trajectories.name = QStringLiteral("saveTrajectories");
    trajectories.label = QStringLiteral("Save trajectory points");
    trajectories.type = settingType::yesNo;
    trajectories.defaultValue = false;
    trajectories.tooltip = QStringLiteral("Also write trajectory_points.txt: every point of every trajectory (x, y "
                                          "in map units, z in metres), and trajectories.gpkg with GeoTIFF output. "
                                          "The files can be large.");
    trajectories.option = QStringLiteral("save-trajectories");
    trajectories.storeKey = QStringLiteral("saveTrajectories");
    trajectories.read = [](const runRequest& r) { return QVariant(r.settings.saveTrajectories); };
    trajectories.write = [](runRequest& r, const QVariant& v) { r.settings.saveTrajectories = v.toBool(); };
    rows << trajectories;

    // Runs before crossed cells were counted wrote no line for it, so a run
    // counting points keeps their log.txt to the byte: the row is in use
    // (checked, written to log.txt) only when it counts crossed cells.
    settingRow counting;
    counting.name = QStringLiteral("countCells");
    counting.label = QStringLiteral("Cells counted");
    counting.type = settingType::choice;
    counting.defaultValue = 0;
    counting.minimum = 0;
    counting.maximum = 1;
    counting.choices = {QStringLiteral("Every cell a segment crosses"), QStringLiteral("Recorded points only")};
    counting.choiceValues = {QStringLiteral("crossed"), QStringLiteral("points")};
    counting.tooltip = QStringLiteral("Which cells a trajectory passes: every cell the straight segment between "
                                      "two of its points crosses, or only the cells of its points, as runs before "
                                      "crossed cells were counted (segments longer than the cell then leave gaps "
                                      "that read 0).");
    counting.option = QStringLiteral("count-cells");
    counting.logLabel = QStringLiteral("Cells counted");
    counting.read = [](const runRequest& r) {
        return QVariant(r.settings.counting == cellCounting::recordedPoints ? 1 : 0);
    };
    counting.write = [](runRequest& r, const QVariant& v) {
        r.settings.counting = v.toInt() == 1 ? cellCounting::recordedPoints : cellCounting::crossedCells;
    };
    counting.inUse = [](const runRequest& r) { return r.settings.counting == cellCounting::crossedCells; };
    rows << counting;

    settingRow report;
    report.name = QStringLiteral("report");
    report.label = QStringLiteral("Write the run report");
    report.type = settingType::yesNo;
    report.defaultValue = false;
    report.tooltip = QStringLiteral("Also write report.pdf: two A4 pages with the map at a stated scale, its legend, "
                                    "a scale bar, a north arrow and the coordinate system, the run-out and travel "
                                    "angle charts, the inputs, the settings, the run summary and the objects table.");
    report.option = QStringLiteral("report");
    report.read = [](const runRequest& r) { return QVariant(r.report); };
    report.write = [](runRequest& r, const QVariant& v) { r.report = v.toBool(); };
    rows << report;

    // More threads than this only exhaust the OpenMP runtime's stacks.
    settingRow threads;
    threads.name = QStringLiteral("threads");
    threads.label = QStringLiteral("Threads");
    threads.type = settingType::wholeNumber;
    threads.defaultValue = 0;
    threads.minimum = 0;
    threads.maximum = 1024;
    threads.tooltip = QStringLiteral("Number of simulation threads, 0 for all cores.");
    threads.option = QStringLiteral("threads");
    threads.read = [](const runRequest& r) { return QVariant(r.threads); };
    threads.write = [](runRequest& r, const QVariant& v) { r.threads = v.toInt(); };
    rows << threads;
    appendIntensityRows(rows);

    // The layer options of vector inputs: free text. The window's fields for
    // them apply only while their file is a vector file; log.txt names the
    // start cells' layer and filter when they are given (the objects' layer
    // is in the objects' lines of the run summary).
    const auto textRow = [](const char* name, const char* label, const char* option, const char* tooltip) {
        settingRow row;
        row.name = QLatin1String(name);
        row.label = QLatin1String(label);
        row.type = settingType::text;
        row.defaultValue = QString();
        row.option = QLatin1String(option);
        row.tooltip = QLatin1String(tooltip);
        row.storeKey = QLatin1String(name);
        return row;
    };
    settingRow startLayer = textRow("startLayer", "Start layer", "start-layer",
                                    "Layer of a vector start-cells file; the first when not given.");
    startLayer.read = [](const runRequest& r) { return QVariant(r.startLayer); };
    startLayer.write = [](runRequest& r, const QVariant& v) { r.startLayer = v.toString(); };
    startLayer.logLabel = QStringLiteral("Start cells layer");
    startLayer.inUse = [](const runRequest& r) {
        return isVectorFileName(r.startCellsFile) && !r.startLayer.isEmpty();
    };
    rows << startLayer;
    settingRow startWhere =
        textRow("startWhere", "Start filter", "start-where",
                "OGR SQL attribute filter on a vector start-cells layer, for example \"type = 'cliff'\".");
    startWhere.read = [](const runRequest& r) { return QVariant(r.startWhere); };
    startWhere.write = [](runRequest& r, const QVariant& v) { r.startWhere = v.toString(); };
    startWhere.logLabel = QStringLiteral("Start cells filter");
    startWhere.inUse = [](const runRequest& r) {
        return isVectorFileName(r.startCellsFile) && !r.startWhere.isEmpty();
    };
    rows << startWhere;
    settingRow objectsLayer = textRow("objectsLayer", "Objects layer", "objects-layer",
                                      "Layer of a vector objects file; the first when not given.");
    objectsLayer.read = [](const runRequest& r) { return QVariant(r.objectsLayer); };
    objectsLayer.write = [](runRequest& r, const QVariant& v) { r.objectsLayer = v.toString(); };
    rows << objectsLayer;
    settingRow objectsId = textRow("objectsIdField", "Objects id field", "objects-id",
                                   "Integer field of a vector objects layer that gives each object's id; the feature "
                                   "id when not given.");
    objectsId.read = [](const runRequest& r) { return QVariant(r.objectsIdField); };
    objectsId.write = [](runRequest& r, const QVariant& v) { r.objectsIdField = v.toString(); };
    rows << objectsId;
    appendReleaseFieldRows(rows);
    appendHazardRows(rows);
    appendCalibrationRows(rows);
    appendMeasureRows(rows);
    return rows;
}

QString typeName(settingType type)
{
    switch (type) {
    case settingType::wholeNumber:
        return QStringLiteral("int");
    case settingType::number:
        return QStringLiteral("double");
    case settingType::yesNo:
        return QStringLiteral("bool");
    case settingType::choice:
        return QStringLiteral("choice");
    case settingType::text:
        break;
    }
    return QStringLiteral("text");
}

}  // namespace

const QList<settingRow>& settingsTable()
{
    static const QList<settingRow> table = makeTable();
    return table;
}

const settingRow& settingNamed(const QString& name)
{
    for (const settingRow& row : settingsTable())
        if (row.name == name)
            return row;
    qFatal("No setting is called %s", qPrintable(name));
    std::abort();
}

QString settingRow::labelWithUnit() const
{
    return unit.isEmpty() ? label : QStringLiteral("%1 (%2)").arg(label, unit);
}

QString settingRow::rangeText() const
{
    const QString unitText = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    return QStringLiteral("%1 to %2%3").arg(number(minimum), number(maximum), unitText);
}

QString settingRow::rangeProblem(double value) const
{
    if (type != settingType::wholeNumber && type != settingType::number && type != settingType::choice)
        return QString();
    if (value >= minimum && value <= maximum)
        return QString();
    const QString unitText = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    return QStringLiteral("must lie between %1 and %2%3").arg(number(minimum), number(maximum), unitText);
}

QString settingRow::helpText() const
{
    if (type == settingType::yesNo || type == settingType::text) {
        const QString sentence = tooltip.section(QStringLiteral(". "), 0, 0);
        return sentence.endsWith(QLatin1Char('.')) ? sentence : sentence + QLatin1Char('.');
    }
    if (type == settingType::choice)
        return QStringLiteral("%1: %2 (default %3).")
            .arg(label, choiceValues.join(QStringLiteral(", ")), choiceValues.value(defaultValue.toInt()));
    return QStringLiteral("%1 (%2, default %3).")
        .arg(label, rangeText(), notGivenText.isEmpty() ? number(defaultValue.toDouble()) : notGivenText);
}

QString settingValueText(const settingRow& row, const runRequest& request)
{
    const QVariant value = row.read(request);
    if (!value.isValid())
        return row.notGivenText;
    if (row.type == settingType::yesNo)
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (row.type == settingType::number)
        return logValueText(value.toDouble());
    if (row.type == settingType::choice)
        return row.choices.value(value.toInt());  // empty for a class beyond the list
    return value.toString();
}

QList<QPair<QString, QString>> settingLogLines(const runRequest& request)
{
    QList<QPair<QString, QString>> lines;
    for (const settingRow& row : settingsTable())
        if (!row.logLabel.isEmpty() && (!row.inUse || row.inUse(request)))
            lines.append({row.logLabel, settingValueText(row, request)});
    return lines;
}

QByteArray settingsTableJson()
{
    QJsonArray settings;
    for (const settingRow& row : settingsTable()) {
        QJsonObject entry{{QStringLiteral("name"), row.name},
                          {QStringLiteral("label"), row.label},
                          {QStringLiteral("unit"), row.unit},
                          {QStringLiteral("type"), typeName(row.type)},
                          {QStringLiteral("default"), QJsonValue::fromVariant(row.defaultValue)},
                          {QStringLiteral("option"), QStringLiteral("--") + row.option},
                          {QStringLiteral("tooltip"), row.tooltip}};
        if (row.type == settingType::wholeNumber || row.type == settingType::number) {
            entry.insert(QStringLiteral("minimum"), row.minimum);
            entry.insert(QStringLiteral("maximum"), row.maximum);
            entry.insert(QStringLiteral("decimals"), row.decimals);
        }
        if (!row.notGivenText.isEmpty())
            entry.insert(QStringLiteral("optional"), true);
        if (row.type == settingType::choice) {
            entry.insert(QStringLiteral("choices"), QJsonArray::fromStringList(row.choices));
            entry.insert(QStringLiteral("values"), QJsonArray::fromStringList(row.choiceValues));
        }
        settings.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("settings"), settings}}).toJson(QJsonDocument::Indented);
}
