#include "engine/nearestStartCell.h"

#include <cmath>
#include <limits>

namespace {

constexpr double unreachable = std::numeric_limits<double>::infinity();

// One line of squared distances f (infinite where there is no site) with
// their labels: afterwards f[q] = min over p of (q - p)^2 + f[p] and label[q]
// that p's label. v, z: the envelope's parabolas and their boundaries.
void transformLine(std::vector<double>& f, std::vector<int32_t>& label, std::vector<int>& v, std::vector<double>& z,
                   std::vector<double>& d, std::vector<int32_t>& l)
{
    const int n = static_cast<int>(f.size());
    int k = -1;
    for (int q = 0; q < n; ++q) {
        if (f[q] == unreachable)
            continue;
        for (;;) {
            if (k < 0) {
                v[0] = q;
                z[0] = -unreachable;
                z[1] = unreachable;
                k = 0;
                break;
            }
            const int p = v[k];
            const double s = ((f[q] + double(q) * q) - (f[p] + double(p) * p)) / (2.0 * q - 2.0 * p);
            if (s <= z[k]) {
                --k;
                continue;
            }
            ++k;
            v[k] = q;
            z[k] = s;
            z[k + 1] = unreachable;
            break;
        }
    }
    if (k < 0)
        return;
    int j = 0;
    for (int q = 0; q < n; ++q) {
        while (z[j + 1] < q)
            ++j;
        const int p = v[j];
        d[q] = double(q - p) * (q - p) + f[p];
        l[q] = label[p];
    }
    f.swap(d);
    label.swap(l);
}

}  // namespace

nearestStartCells nearestStartCellsOf(const std::vector<startCell>& startCells, int rows, int cols, double cellSize)
{
    grid<double> squared(rows, cols, unreachable);
    grid<int32_t> label(rows, cols, -1);
    for (std::size_t i = 0; i < startCells.size(); ++i) {
        const startCell& cell = startCells[i];
        if (cell.row < 0 || cell.row >= rows || cell.col < 0 || cell.col >= cols)
            continue;
        squared(cell.row, cell.col) = 0.0;
        label(cell.row, cell.col) = static_cast<int32_t>(i);
    }
    const int longest = std::max(rows, cols);
    std::vector<double> f, d(static_cast<std::size_t>(longest)), z(static_cast<std::size_t>(longest) + 1);
    std::vector<int32_t> l(static_cast<std::size_t>(longest)), labels;
    std::vector<int> v(static_cast<std::size_t>(longest));
    for (int c = 0; c < cols; ++c) {
        f.resize(static_cast<std::size_t>(rows));
        labels.resize(static_cast<std::size_t>(rows));
        d.resize(static_cast<std::size_t>(rows));
        l.resize(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            f[static_cast<std::size_t>(r)] = squared(r, c);
            labels[static_cast<std::size_t>(r)] = label(r, c);
        }
        transformLine(f, labels, v, z, d, l);
        for (int r = 0; r < rows; ++r) {
            squared(r, c) = f[static_cast<std::size_t>(r)];
            label(r, c) = labels[static_cast<std::size_t>(r)];
        }
    }
    nearestStartCells result{grid<float>(rows, cols, 0.0f), grid<int32_t>(rows, cols, -1)};
    for (int r = 0; r < rows; ++r) {
        f.assign(squared.row(r), squared.row(r) + cols);
        labels.assign(label.row(r), label.row(r) + cols);
        d.resize(static_cast<std::size_t>(cols));
        l.resize(static_cast<std::size_t>(cols));
        transformLine(f, labels, v, z, d, l);
        for (int c = 0; c < cols; ++c) {
            result.distance(r, c) = static_cast<float>(std::sqrt(f[static_cast<std::size_t>(c)]) * cellSize);
            result.nearest(r, c) = labels[static_cast<std::size_t>(c)];
        }
    }
    return result;
}

std::vector<int32_t> releaseAreasOf(const std::vector<startCell>& startCells, int rows, int cols, int32_t& count)
{
    grid<int32_t> index(rows, cols, -1);
    for (std::size_t i = 0; i < startCells.size(); ++i) {
        const startCell& cell = startCells[i];
        if (cell.row >= 0 && cell.row < rows && cell.col >= 0 && cell.col < cols)
            index(cell.row, cell.col) = static_cast<int32_t>(i);
    }
    std::vector<int32_t> area(startCells.size(), -1);
    std::vector<std::size_t> pending;
    count = 0;
    for (std::size_t i = 0; i < startCells.size(); ++i) {
        if (area[i] >= 0)
            continue;
        area[i] = count;
        pending.assign(1, i);
        while (!pending.empty()) {
            const startCell cell = startCells[pending.back()];
            pending.pop_back();
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int r = cell.row + dr;
                    const int c = cell.col + dc;
                    if (r < 0 || r >= rows || c < 0 || c >= cols || index(r, c) < 0)
                        continue;
                    const auto neighbour = static_cast<std::size_t>(index(r, c));
                    if (area[neighbour] < 0) {
                        area[neighbour] = count;
                        pending.push_back(neighbour);
                    }
                }
        }
        ++count;
    }
    return area;
}
