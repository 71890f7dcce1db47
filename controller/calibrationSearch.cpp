#include "controller/calibrationSearch.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "controller/settingsTable.h"

std::vector<settingValues> calibrationCombinations(const runRequest& request)
{
    std::vector<settingValues> combinations{settingValues{}};
    for (const auto& [name, values] : request.calibrationLists) {
        std::vector<settingValues> grown;
        grown.reserve(combinations.size() * static_cast<std::size_t>(values.size()));
        for (const settingValues& combination : combinations)
            for (const QVariant& value : values)
                grown.push_back(combination + settingValues{{name, value}});
        combinations = std::move(grown);
    }
    return combinations;
}

void applySettingValues(runRequest& request, const settingValues& values)
{
    for (const auto& [name, value] : values)
        settingNamed(name).write(request, value);
}

QStringList calibrationSettingRows(const runRequest& request)
{
    QStringList rows{QStringLiteral("numberOfSimulations"), QStringLiteral("segmentLength"),
                     QStringLiteral("profileStep"),         QStringLiteral("maxDeviationAngle"),
                     QStringLiteral("initialFallHeight"),   QStringLiteral("probabilityClass")};
    for (const auto& list : request.calibrationLists)
        if (!rows.contains(list.first))
            rows << list.first;
    return rows;
}

double criterionValue(const runScores& scores, calibrationCriterion criterion)
{
    switch (criterion) {
    case calibrationCriterion::auc:
        return scores.auc;
    case calibrationCriterion::hitRate:
        return scores.evidenceHitRate();
    case calibrationCriterion::balanced:
        break;
    }
    return scores.balanced();
}

QString criterionName(calibrationCriterion criterion)
{
    return settingNamed(QStringLiteral("calibrateBy")).choiceValues.value(static_cast<int>(criterion));
}

std::vector<std::size_t> rankedRuns(const std::vector<runScores>& scores, calibrationCriterion criterion)
{
    std::vector<std::size_t> order(scores.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    const auto figure = [&](std::size_t k) {
        const double value = criterionValue(scores[k], criterion);
        return std::isnan(value) ? -INFINITY : value;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return figure(a) > figure(b); });
    return order;
}
