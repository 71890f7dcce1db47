#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

// A raster of values in one flat, row-major array: row 0 is the northernmost
// row, column 0 the westernmost. Rows can be appended one at a time, which is
// how the grid reader fills it; a grid may therefore hold fewer rows than the
// header it was read for says.
template <typename T>
class grid
{
public:
    grid() = default;
    grid(int rows, int cols, T fill) { assign(rows, cols, fill); }

    void assign(int rows, int cols, T fill)
    {
        rowCount_ = rows;
        colCount_ = cols;
        values_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), fill);
    }

    void clear()
    {
        rowCount_ = 0;
        colCount_ = 0;
        values_.clear();
        values_.shrink_to_fit();
    }

    // Starts an empty grid whose rows will have `cols` values each.
    void startRows(int cols, std::size_t expectedRows = 0)
    {
        clear();
        colCount_ = cols;
        values_.reserve(expectedRows * static_cast<std::size_t>(cols));
        adviseHugePages();
    }

    // Appends `count` rows of zeros and returns the first, so that a reader
    // can fill them in place.
    T* appendRows(int count)
    {
        const std::size_t start = values_.size();
        values_.resize(start + static_cast<std::size_t>(count) * static_cast<std::size_t>(colCount_));
        rowCount_ += count;
        return values_.data() + start;
    }

    void appendRow(const T* rowValues)
    {
        values_.insert(values_.end(), rowValues, rowValues + colCount_);
        ++rowCount_;
    }

    int rows() const { return rowCount_; }
    int cols() const { return colCount_; }
    bool empty() const { return values_.empty(); }
    std::size_t size() const { return values_.size(); }

    std::size_t index(int row, int col) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount_) + static_cast<std::size_t>(col);
    }
    bool contains(int row, int col) const { return row >= 0 && row < rowCount_ && col >= 0 && col < colCount_; }

    T& operator()(int row, int col) { return values_[index(row, col)]; }
    const T& operator()(int row, int col) const { return values_[index(row, col)]; }

    // Range-checked access: a grid with fewer rows than expected raises
    // std::out_of_range instead of reading past its end.
    const T& at(int row, int col) const
    {
        if (!contains(row, col))
            throw std::out_of_range("grid cell out of range");
        return values_[index(row, col)];
    }
    T& at(int row, int col)
    {
        if (!contains(row, col))
            throw std::out_of_range("grid cell out of range");
        return values_[index(row, col)];
    }

    T* row(int r) { return values_.data() + index(r, 0); }
    const T* row(int r) const { return values_.data() + index(r, 0); }

    T* data() { return values_.data(); }
    const T* data() const { return values_.data(); }

private:
    // A grid of a gigabyte is a quarter of a million small pages to fault in
    // one by one; large pages cut that to hundreds where the system allows.
    void adviseHugePages()
    {
#ifdef __linux__
        constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;
        const auto begin = reinterpret_cast<std::uintptr_t>(values_.data());
        const std::uintptr_t end = begin + values_.capacity() * sizeof(T);
        const std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
        if (end > first + hugePage)
            madvise(reinterpret_cast<void*>(first), (end - first) & ~(hugePage - 1), MADV_HUGEPAGE);
#endif
    }

    int rowCount_ = 0;
    int colCount_ = 0;
    std::vector<T> values_;
};
