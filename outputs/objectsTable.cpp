#include "outputs/objectsTable.h"

#include <algorithm>

#include "outputs/csvField.h"
#include "outputs/intensityOutputs.h"
#include "raster/fixedNotation.h"

namespace {

constexpr int shareDecimals = 3;
constexpr int probabilityDecimals = 1;  // as the Reach_prob grid
constexpr int frequencyDigits = 6;      // significant: frequencies span many orders of magnitude
constexpr int velocityDecimals = 2;     // as the Velocity_max grid
constexpr int energyDecimals = 1;       // as the Energy_max grid

QString integerText(uint64_t value) { return QString::number(static_cast<qulonglong>(value)); }
QString integerText(int64_t value) { return QString::number(static_cast<qlonglong>(value)); }
QString fixedField(double value, int decimals) { return QString::fromLatin1(fixedText(value, decimals)); }

// Builds the header and the rows column by column, so that a column's
// header and its values are written side by side.
class tableBuilder
{
public:
    explicit tableBuilder(std::size_t rows) : table_{{}, {}, std::vector<QStringList>(rows)} {}
    template <class Value>
    void column(const QString& header, objectsColumn kind, Value value)
    {
        table_.headers << header;
        table_.columns.push_back(kind);
        for (std::size_t i = 0; i < table_.rows.size(); ++i)
            table_.rows[i] << value(i);
    }
    objectsTable take() { return std::move(table_); }

private:
    objectsTable table_;
};

}  // namespace

objectsTable objectsTableRows(const std::vector<objectReport>& reports, uint64_t totalTrajectories,
                              const std::vector<double>& energyClassLimits, const objectIntensityTable* intensity)
{
    tableBuilder table(reports.size());
    const auto of = [&reports](auto field) { return [&reports, field](std::size_t i) { return field(reports[i]); }; };
    table.column(QStringLiteral("id"), objectsColumn::id, of([](const objectReport& r) { return integerText(r.id); }));
    table.column(QStringLiteral("name"), objectsColumn::name, of([](const objectReport& r) { return r.name; }));
    table.column(QStringLiteral("cells (count)"), objectsColumn::cells,
                 of([](const objectReport& r) { return integerText(r.cells); }));
    table.column(QStringLiteral("trajectories (count)"), objectsColumn::trajectories,
                 of([](const objectReport& r) { return integerText(r.trajectories); }));
    table.column(QStringLiteral("share of all trajectories (%)"), objectsColumn::share,
                 of([totalTrajectories](const objectReport& r) {
                     const double share = totalTrajectories > 0
                                              ? static_cast<double>(r.trajectories) / totalTrajectories * 100.0
                                              : 0.0;
                     return fixedField(share, shareDecimals);
                 }));
    table.column(QStringLiteral("largest reach probability (%)"), objectsColumn::largestReachProbability,
                 of([](const objectReport& r) { return fixedField(r.largestReachProbability, probabilityDecimals); }));
    table.column(QStringLiteral("start cells (count)"), objectsColumn::startCells,
                 of([](const objectReport& r) { return integerText(r.startCells); }));

    const std::size_t frequencies = reports.empty() ? 0 : reports.front().largestFrequencies.size();
    for (std::size_t k = 0; k < frequencies; ++k) {
        const QString header =
            k == 0 ? QStringLiteral("largest frequency (1/year)")
                   : QStringLiteral("largest frequency at least %1 kJ (1/year)")
                         .arg(QString::number(k - 1 < energyClassLimits.size() ? energyClassLimits[k - 1] : 0.0,
                                              'g', 12));
        table.column(header, objectsColumn::other, of([k](const objectReport& r) {
                         return QString::number(r.largestFrequencies[k], 'g', frequencyDigits);
                     }));
    }
    const bool hazard = !reports.empty() && reports.front().highestHazardLevel >= 0;
    if (hazard)
        table.column(QStringLiteral("highest hazard level (0 to 4)"), objectsColumn::other,
                     of([](const objectReport& r) { return QString::number(r.highestHazardLevel); }));
    const bool measures = !reports.empty() && reports.front().trajectoriesUnprotected >= 0;
    if (measures) {
        table.column(QStringLiteral("trajectories without measures (count)"), objectsColumn::other,
                     of([](const objectReport& r) { return integerText(r.trajectoriesUnprotected); }));
        table.column(QStringLiteral("largest reach probability without measures (%)"), objectsColumn::other,
                     of([](const objectReport& r) {
                         return fixedField(r.largestReachProbabilityUnprotected, probabilityDecimals);
                     }));
        if (hazard)
            table.column(QStringLiteral("highest hazard level without measures (0 to 4)"), objectsColumn::other,
                         of([](const objectReport& r) { return QString::number(r.highestHazardLevelUnprotected); }));
    }
    if (intensity && intensity->objects.size() == reports.size()) {
        const auto figure = [intensity](double objectIntensity::*member, int decimals) {
            return [intensity, member, decimals](std::size_t i) {
                return fixedField(intensity->objects[i].*member, decimals);
            };
        };
        table.column(QStringLiteral("largest energy-line height (m)"), objectsColumn::heightMax,
                     figure(&objectIntensity::heightMax, intensityHeightDecimals));
        table.column(QStringLiteral("95th percentile energy-line height (m)"), objectsColumn::heightPercentile95,
                     figure(&objectIntensity::heightPercentile95, intensityHeightDecimals));
        table.column(QStringLiteral("largest velocity (m/s)"), objectsColumn::velocityMax,
                     figure(&objectIntensity::velocityMax, velocityDecimals));
        table.column(QStringLiteral("95th percentile velocity (m/s)"), objectsColumn::velocityPercentile95,
                     figure(&objectIntensity::velocityPercentile95, velocityDecimals));
        if (intensity->energies) {
            table.column(QStringLiteral("largest energy (kJ)"), objectsColumn::energyMax,
                         figure(&objectIntensity::energyMax, energyDecimals));
            table.column(QStringLiteral("95th percentile energy (kJ)"), objectsColumn::energyPercentile95,
                         figure(&objectIntensity::energyPercentile95, energyDecimals));
        }
    }
    return table.take();
}

QByteArray objectsTableText(const std::vector<objectReport>& reports, uint64_t totalTrajectories,
                            const std::vector<double>& energyClassLimits, const objectIntensityTable* intensity)
{
    return objectsTableText(objectsTableRows(reports, totalTrajectories, energyClassLimits, intensity));
}

QByteArray objectsTableText(const objectsTable& table)
{
    const auto line = [](const QStringList& fields) {
        QByteArray text;
        for (qsizetype k = 0; k < fields.size(); ++k)
            text += (k > 0 ? "," : "") + csvField(fields[k]);
        return text + "\r\n";
    };
    QByteArray text = line(table.headers);
    for (const QStringList& row : table.rows)
        text += line(row);
    return text;
}

QStringList objectsLogLines(const QString& objectsFile, const QString& layerName,
                            const std::vector<objectReport>& reports)
{
    const auto reached = std::count_if(reports.begin(), reports.end(),
                                       [](const objectReport& report) { return report.trajectories > 0; });
    return {QStringLiteral("Objects at risk: %1%2")
                .arg(objectsFile, layerName.isEmpty() ? QString() : QStringLiteral(" (layer %1)").arg(layerName)),
            QStringLiteral("Objects: %1, reached: %2").arg(reports.size()).arg(reached)};
}
