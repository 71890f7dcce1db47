#include "engine/hazardLevel.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {
constexpr double limitTolerance = 1e-9;
constexpr int veryLow = 3;
}  // namespace

const char* hazardLevelName(uint8_t level)
{
    static const char* const names[] = {"not reached", "residual", "yellow", "blue", "red"};
    return names[std::min<int>(level, redHazard)];
}

int probabilityClassOf(const hazardSettings& settings, double frequency)
{
    for (int k = 0; k < 3; ++k)
        if (frequency * settings.returnPeriods[static_cast<std::size_t>(k)] >= 1.0 - limitTolerance)
            return k;
    return veryLow;
}

hazardCell hazardOfCell(const hazardSettings& settings, double strong, double medium, double any, bool reached)
{
    hazardCell cell;
    if (!reached)
        return cell;
    cell.level = residualHazard;
    const double frequencies[3] = {strong, medium, any};
    for (int row = 0; row < 3; ++row) {
        if (!(frequencies[row] > 0.0))
            continue;
        const int column = probabilityClassOf(settings, frequencies[row]);
        if (column == veryLow)
            continue;
        const auto level =
            static_cast<uint8_t>(settings.matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] + 1);
        if (level > cell.level) {
            cell.level = level;
            cell.matrixCell = static_cast<uint8_t>(row * 3 + column + 1);
        }
    }
    return cell;
}

void hazardRow(const hazardSettings& settings, const frequencyGrids& frequencies, const grid<int32_t>& passages,
               int numberOfSimulations, int row, hazardCell* cells)
{
    if (frequencies.atLeast.size() != 2)
        throw std::invalid_argument("hazard levels need the frequencies of two energy class limits");
    const auto cols = static_cast<std::size_t>(passages.cols());
    std::vector<double> any(cols), medium(cols), strong(cols);
    frequencyRow(frequencies.any, numberOfSimulations, row, any.data());
    frequencyRow(frequencies.atLeast[0], numberOfSimulations, row, medium.data());
    frequencyRow(frequencies.atLeast[1], numberOfSimulations, row, strong.data());
    const int32_t* counts = passages.row(row);
    for (std::size_t c = 0; c < cols; ++c)
        cells[c] = hazardOfCell(settings, strong[c], medium[c], any[c], counts[c] > 0);
}

void hazardGrids(const hazardSettings& settings, const frequencyGrids& frequencies, const grid<int32_t>& passages,
                 int numberOfSimulations, grid<uint8_t>& levels, grid<uint8_t>& matrixCells)
{
    const int rows = passages.rows();
    const int cols = passages.cols();
    levels.assign(rows, cols, notReached);
    matrixCells.assign(rows, cols, 0);
#pragma omp parallel
    {
        std::vector<hazardCell> cells(static_cast<std::size_t>(cols));
#pragma omp for schedule(static)
        for (int r = 0; r < rows; ++r) {
            hazardRow(settings, frequencies, passages, numberOfSimulations, r, cells.data());
            for (int c = 0; c < cols; ++c) {
                levels(r, c) = cells[static_cast<std::size_t>(c)].level;
                matrixCells(r, c) = cells[static_cast<std::size_t>(c)].matrixCell;
            }
        }
    }
}
