#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The barriers' line segments by the cells they pass through, so that a
// trajectory's segment is tested against the few barrier segments of its own
// cells. Coordinates are in cells from the grid's north-west corner (x the
// column, y the row), as walkCells takes them.
class barrierIndex
{
public:
    barrierIndex() = default;
    barrierIndex(int rows, int cols);

    // One straight piece of barrier `barrier`.
    void add(uint32_t barrier, double x0, double y0, double x1, double y1);
    // Called once all pieces are added, before the first query (queries may
    // then come from several threads at once).
    void finish();

    struct crossing
    {
        double along;  // 0..1 from the segment's start
        uint32_t barrier;
    };
    // The first crossing of the segment from (x0, y0) to (x1, y1) with a
    // barrier, in 2D; none when it crosses none. A touch at an end counts.
    std::optional<crossing> firstCrossing(double x0, double y0, double x1, double y1) const;

    bool empty() const { return pieces_.empty(); }

private:
    struct piece
    {
        double x0, y0, x1, y1;
        uint32_t barrier;
    };
    int rows_ = 0;
    int cols_ = 0;
    std::vector<piece> pieces_;
    // Cell by cell (flat, row-major) the pieces through it: offsets_[cell] to offsets_[cell + 1] in pieceOf_.
    std::vector<uint32_t> offsets_;
    std::vector<uint32_t> pieceOf_;
    std::vector<std::pair<std::size_t, uint32_t>> pending_;  // (cell, piece) until finish()
    bool built_ = false;
};
