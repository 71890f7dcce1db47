#include "engine/barrierIndex.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/cellWalk.h"

barrierIndex::barrierIndex(int rows, int cols) : rows_(rows), cols_(cols) {}

void barrierIndex::add(uint32_t barrier, double x0, double y0, double x1, double y1)
{
    const auto index = static_cast<uint32_t>(pieces_.size());
    pieces_.push_back({x0, y0, x1, y1, barrier});
    walkCells(x0, y0, x1, y1, [&](int64_t row, int64_t col) {
        if (row >= 0 && row < rows_ && col >= 0 && col < cols_)
            pending_.emplace_back(static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) + col, index);
        return true;
    });
    built_ = false;
}

void barrierIndex::finish()
{
    std::sort(pending_.begin(), pending_.end());
    pending_.erase(std::unique(pending_.begin(), pending_.end()), pending_.end());
    offsets_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_) + 1, 0);
    for (const auto& entry : pending_)
        ++offsets_[entry.first + 1];
    for (std::size_t k = 1; k < offsets_.size(); ++k)
        offsets_[k] += offsets_[k - 1];
    pieceOf_.resize(pending_.size());
    for (std::size_t k = 0; k < pending_.size(); ++k)
        pieceOf_[k] = pending_[k].second;
    pending_.clear();
    pending_.shrink_to_fit();
    built_ = true;
}

std::optional<barrierIndex::crossing> barrierIndex::firstCrossing(double x0, double y0, double x1, double y1) const
{
    if (!built_)
        throw std::logic_error("barrierIndex queried before finish()");
    std::optional<crossing> first;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    walkCells(x0, y0, x1, y1, [&](int64_t row, int64_t col) {
        if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
            return true;
        const std::size_t cell = static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) + col;
        for (uint32_t k = offsets_[cell]; k < offsets_[cell + 1]; ++k) {
            const piece& p = pieces_[pieceOf_[k]];
            // Segment-segment intersection by Cramer's rule (O'Rourke,
            // "Computational Geometry in C", 1998): t along the trajectory, u along the barrier.
            const double ex = p.x1 - p.x0;
            const double ey = p.y1 - p.y0;
            const double denominator = dx * ey - dy * ex;
            if (denominator == 0.0)
                continue;  // parallel: a block running along a barrier does not cross it
            const double t = ((p.x0 - x0) * ey - (p.y0 - y0) * ex) / denominator;
            const double u = ((p.x0 - x0) * dy - (p.y0 - y0) * dx) / denominator;
            if (t < 0.0 || t > 1.0 || u < 0.0 || u > 1.0)
                continue;
            if (!first || t < first->along)
                first = crossing{t, p.barrier};
        }
        return true;
    });
    return first;
}
