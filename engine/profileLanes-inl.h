// The profile sampling of positionAtLocal and interpolateElevation run on
// several samples at once, one sample per lane. Each lane performs exactly the
// scalar code's operations in its precision and order: no fused
// multiply-add, no approximate division or square root, so that every path
// gives the scalar path's bits. A block of samples fills one float vector;
// its double steps run on two vectors, the block's lower and upper half.

// Included once per target by foreach_target.h; the guard toggles with it.
#if defined(TUMBRA_ENGINE_PROFILE_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TUMBRA_ENGINE_PROFILE_LANES_INL_H_
#undef TUMBRA_ENGINE_PROFILE_LANES_INL_H_
#else
#define TUMBRA_ENGINE_PROFILE_LANES_INL_H_
#endif

#include <cstddef>
#include <cstdint>
#include <vector>

#include <hwy/highway.h>

#include "engine/profileLanes.h"

HWY_BEFORE_NAMESPACE();
namespace tumbra {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Which target this copy was compiled for.
int64_t laneTarget() { return HWY_TARGET; }

// The one-lane and emulated targets, and any without doubles, run the scalar
// reference: the emulated one clamps infinities when it narrows doubles to
// floats, where the scalar code keeps them.
#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128 || !HWY_HAVE_FLOAT64
float sampleLine(const profileLine& line, const terrainSurface& surface, float zStart, std::vector<float>& samples)
{
    return sampleProfileLineInOrder(line, surface, zStart, samples);
}
#else
using laneDoubles = hn::ScalableTag<double>;
using laneFloats = hn::ScalableTag<float>;  // twice as many lanes
using halfFloats = hn::Rebind<float, laneDoubles>;
using laneInts = hn::Rebind<int32_t, laneFloats>;
using halfInts = hn::Rebind<int32_t, laneDoubles>;
using doubles = hn::Vec<laneDoubles>;
using floats = hn::Vec<laneFloats>;
using ints = hn::Vec<laneInts>;
using floatMask = hn::Mask<laneFloats>;

// A block's doubles are its lower and upper half. Vectors travel as
// arguments and results, never as members of a struct: the scalable vectors
// of SVE and RVV have no size a struct could hold.
HWY_INLINE doubles widenLower(floats v) { return hn::PromoteTo(laneDoubles(), hn::LowerHalf(halfFloats(), v)); }

HWY_INLINE doubles widenUpper(floats v) { return hn::PromoteTo(laneDoubles(), hn::UpperHalf(halfFloats(), v)); }

HWY_INLINE floats narrow(doubles lower, doubles upper)
{
    const halfFloats hf;
    return hn::Combine(laneFloats(), hn::DemoteTo(hf, upper), hn::DemoteTo(hf, lower));
}

// Floor(distance / cellSize), the whole cells of positionAtLocal's
// splitLocal, by a multiplication with the reciprocal where it provably
// floors to the same: the divider, shared with the square roots and the
// float divisions, bounds the sampling. With q the rounded quotient and e =
// distance x RN(1 / cellSize) rounded, |q - e| < |e| x 3 x 2^-53 (three
// roundings of at most 2^-53 each). Where e lies further than |e| x 2^-50
// from every whole number, no whole number lies between q and e, so both
// have one floor; for 2^-40 <= |e| <= 2^40 the fraction e - Floor(e) and 1
// minus it are exact or far above that margin (Sterbenz), and e has q's
// sign. A half with a lane outside that (a sample a hair from a cell edge, a
// zero, NaN or infinite distance) takes the division.
HWY_INLINE doubles wholeCells(doubles distance, doubles cellSize, doubles inverseCellSize)
{
    const laneDoubles dd;
    const doubles estimate = hn::Mul(distance, inverseCellSize);
    const doubles whole = hn::Floor(estimate);
    const doubles fraction = hn::Sub(estimate, whole);
    const doubles size = hn::Abs(estimate);
    const doubles margin = hn::Mul(size, hn::Set(dd, 0x1.0p-50));
    const auto inRange = hn::And(hn::Ge(size, hn::Set(dd, 0x1.0p-40)), hn::Le(size, hn::Set(dd, 0x1.0p40)));
    const auto clearOfWhole = hn::And(hn::Gt(fraction, margin), hn::Gt(hn::Sub(hn::Set(dd, 1.0), fraction), margin));
    if (HWY_LIKELY(hn::AllTrue(dd, hn::And(inRange, clearOfWhole))))
        return whole;
    return hn::Floor(hn::Div(distance, cellSize));
}

// One axis of positionAtLocal on one half of a block: whole cells (as a
// double, 0 west or north of the grid) and the offset inside the cell (a
// double holding a float).
HWY_INLINE void splitHalf(doubles distance, doubles cellSize, doubles inverseCellSize,
                          hn::Vec<halfFloats> cellSizeFloat, doubles& cells, doubles& offset)
{
    const laneDoubles dd;
    const halfFloats hf;
    const doubles quotient = wholeCells(distance, cellSize, inverseCellSize);
    const auto inside = hn::Ge(quotient, hn::Zero(dd));
    // Abs turns a quotient of -0 into the +0 the unsigned index would give.
    cells = hn::IfThenElseZero(inside, hn::Abs(hn::Min(quotient, hn::Set(dd, 4294967295.0))));
    // The cell's start: index x cellSize in single precision.
    const auto cellStart = hn::Mul(hn::DemoteTo(hf, cells), cellSizeFloat);
    offset = hn::IfThenElse(inside, hn::Sub(distance, hn::PromoteTo(dd, cellStart)), distance);
}

// One axis of positionAtLocal on a whole block: the cells of both halves and
// the offsets narrowed to float.
HWY_INLINE void splitLocal(doubles lowerDistance, doubles upperDistance, doubles cellSize, doubles inverseCellSize,
                           hn::Vec<halfFloats> cellSizeFloat, doubles& lowerCells, doubles& upperCells, floats& offset)
{
    doubles lowerOffset, upperOffset;
    splitHalf(lowerDistance, cellSize, inverseCellSize, cellSizeFloat, lowerCells, lowerOffset);
    splitHalf(upperDistance, cellSize, inverseCellSize, cellSizeFloat, upperCells, upperOffset);
    offset = narrow(lowerOffset, upperOffset);
}

// The cell index for the bounds test. An index past the grid is held at one
// past its end plus one, which keeps it outside after the block's shift of -1
// and within an int.
HWY_INLINE ints boundedIndex(doubles lowerCells, doubles upperCells, int32_t count)
{
    const laneDoubles dd;
    const halfInts hi;
    const doubles last = hn::Set(dd, static_cast<double>(count) + 1.0);
    return hn::Combine(laneInts(), hn::DemoteTo(hi, hn::Min(upperCells, last)),
                       hn::DemoteTo(hi, hn::Min(lowerCells, last)));
}

// The square of the offset from a cell's centre along one axis, in double:
// shift x cellSize + cellSize / 2 - offset, squared. `shift` is the cell's
// index less the point's (-1, 0 or 1).
HWY_INLINE doubles squaredFromCentre(doubles shift, doubles offset, doubles cellSize, doubles half)
{
    const doubles difference = hn::Sub(hn::Add(hn::Mul(shift, cellSize), half), offset);
    return hn::Mul(difference, difference);
}

// The distances to the centres of the block's four cells, narrowed to float,
// in its visiting order (see interpolate): each the root of the sum of its
// row's and its column's square, as interpolateElevation forms it. A row's
// and a column's square serve two cells each.
HWY_INLINE void centreDistances(floats rowShift, floats colShift, floats rowOffset, floats colOffset, doubles cellSize,
                                floats& d00, floats& d01, floats& d11, floats& d10)
{
    const laneDoubles dd;
    const doubles half = hn::Div(cellSize, hn::Set(dd, 2.0));
    const doubles one = hn::Set(dd, 1.0);
    const auto squares = [&](doubles shift, doubles offset, doubles& first, doubles& second) {
        first = squaredFromCentre(shift, offset, cellSize, half);
        // The second row (column) is one further: its shift, +1 in float, is exact.
        second = squaredFromCentre(hn::Add(shift, one), offset, cellSize, half);
    };
    doubles row0Lower, row1Lower, col0Lower, col1Lower, row0Upper, row1Upper, col0Upper, col1Upper;
    squares(widenLower(rowShift), widenLower(rowOffset), row0Lower, row1Lower);
    squares(widenLower(colShift), widenLower(colOffset), col0Lower, col1Lower);
    squares(widenUpper(rowShift), widenUpper(rowOffset), row0Upper, row1Upper);
    squares(widenUpper(colShift), widenUpper(colOffset), col0Upper, col1Upper);
    const auto root = [](doubles rowSquare, doubles colSquare) { return hn::Sqrt(hn::Add(rowSquare, colSquare)); };
    d00 = narrow(root(row0Lower, col0Lower), root(row0Upper, col0Upper));
    d01 = narrow(root(row0Lower, col1Lower), root(row0Upper, col1Upper));
    d11 = narrow(root(row1Lower, col1Lower), root(row1Upper, col1Upper));
    d10 = narrow(root(row1Lower, col0Lower), root(row1Upper, col0Upper));
}

// One cell of the 2 x 2 block, as the body of interpolateElevation's loop:
// `row` and `col` are its indices, `d` the distance of the point to its
// centre. The running state of every lane: the weighted sums, the elevation
// of a cell whose centre the point lies on, and whether such a cell was met
// (later cells then no longer count).
HWY_INLINE void addCell(ints row, ints col, floats d, const terrainSurface& surface, floats& sumZ, floats& sumW,
                        floats& centreZ, floatMask& onCentre)
{
    const laneFloats df;
    const laneInts di;
    const auto insideRows = hn::And(hn::Gt(row, hn::Set(di, -1)), hn::Lt(row, hn::Set(di, surface.dem.nrows)));
    const auto insideCols = hn::And(hn::Gt(col, hn::Set(di, -1)), hn::Lt(col, hn::Set(di, surface.dem.ncols)));
    const auto inside = hn::And(insideRows, insideCols);
    // Lanes outside the grid read its first cell and are dropped below.
    const ints flat = hn::Add(hn::Mul(hn::IfThenElseZero(inside, row), hn::Set(di, surface.dem.ncols)),
                              hn::IfThenElseZero(inside, col));
    // Gathered: once the block's squares were shared, faster than plain
    // loads into a lane buffer (bench_engine: AVX-512 by a sixth, AVX2 and
    // SSE4 by a little).
    const floats z = hn::GatherIndex(df, surface.elevation.data(), flat);
    // NODATA compared in float, as exact as comparing the widened values.
    // Not equal, rather than Ne: on some targets Ne is an ordered compare,
    // false for NaN, where a NaN elevation must count under a NaN NODATA.
    const auto isNodata = hn::Eq(z, hn::Set(df, surface.dem.nodataValue));
    const auto counted = hn::AndNot(onCentre, hn::AndNot(isNodata, hn::RebindMask(df, inside)));

    const auto centre = hn::And(counted, hn::Eq(d, hn::Zero(df)));
    centreZ = hn::IfThenElse(centre, z, centreZ);
    onCentre = hn::Or(onCentre, centre);
    const auto weighted = hn::AndNot(centre, counted);
    sumZ = hn::IfThenElse(weighted, hn::Add(sumZ, hn::Div(z, d)), sumZ);
    sumW = hn::IfThenElse(weighted, hn::Add(sumW, hn::Div(hn::Set(df, 1.0f), d)), sumW);
}

// interpolateElevation at the positions of the lanes: the cells along the
// rows and columns of both halves of the block, and the offsets.
HWY_INLINE floats interpolate(doubles lowerRows, doubles upperRows, floats rowOffset, doubles lowerCols,
                              doubles upperCols, floats colOffset, float cellSizeFloat, const terrainSurface& surface)
{
    const laneFloats df;
    const laneInts di;
    const floats half = hn::Set(df, cellSizeFloat / 2.0f);
    const auto north = hn::Lt(rowOffset, half);
    const auto west = hn::Lt(colOffset, half);
    // The block's first row and column: one back in the northern or western
    // half of the cell.
    const floats rowShift = hn::IfThenElseZero(north, hn::Set(df, -1.0f));
    const floats colShift = hn::IfThenElseZero(west, hn::Set(df, -1.0f));
    const ints r0 = hn::Sub(boundedIndex(lowerRows, upperRows, surface.dem.nrows),
                            hn::IfThenElseZero(hn::RebindMask(di, north), hn::Set(di, 1)));
    const ints c0 = hn::Sub(boundedIndex(lowerCols, upperCols, surface.dem.ncols),
                            hn::IfThenElseZero(hn::RebindMask(di, west), hn::Set(di, 1)));
    const ints r1 = hn::Add(r0, hn::Set(di, 1));
    const ints c1 = hn::Add(c0, hn::Set(di, 1));

    const doubles cellSize = hn::Set(laneDoubles(), static_cast<double>(cellSizeFloat));
    floats d00, d01, d11, d10;
    centreDistances(rowShift, colShift, rowOffset, colOffset, cellSize, d00, d01, d11, d10);
    floats sumZ = hn::Zero(df);
    floats sumW = hn::Zero(df);
    floats centreZ = hn::Zero(df);
    floatMask onCentre = hn::FirstN(df, 0);
    // The block's visiting order: (r0, c0), (r0, c0+1), (r0+1, c0+1), (r0+1, c0).
    addCell(r0, c0, d00, surface, sumZ, sumW, centreZ, onCentre);
    addCell(r0, c1, d01, surface, sumZ, sumW, centreZ, onCentre);
    addCell(r1, c1, d11, surface, sumZ, sumW, centreZ, onCentre);
    addCell(r1, c0, d10, surface, sumZ, sumW, centreZ, onCentre);
    return hn::IfThenElse(onCentre, centreZ, hn::Div(sumZ, sumW));
}

// Appends the elevations of the line's samples, a float vector of them at a
// time, and returns the lowest of them and zStart as the scalar loop finds it.
// The sample distance t = k x step grows with k, so the samples short of the
// line's end are the leading lanes of the last block.
float sampleLine(const profileLine& line, const terrainSurface& surface, float zStart, std::vector<float>& samples)
{
    const laneDoubles dd;
    const laneFloats df;
    const std::size_t half = hn::Lanes(dd);
    const std::size_t first = samples.size();
    const doubles firstK = hn::Iota(dd, 1.0);
    const doubles step = hn::Set(dd, line.step);
    const doubles length = hn::Set(dd, line.length);
    const doubles cellSize = hn::Set(dd, static_cast<double>(line.cellSize));
    const doubles inverseCellSize = hn::Set(dd, 1.0 / static_cast<double>(line.cellSize));
    const auto cellSizeFloat = hn::Set(halfFloats(), line.cellSize);
    const auto along = [&](doubles t, double start, double unit) {
        return hn::Add(hn::Set(dd, start), hn::Mul(t, hn::Set(dd, unit)));
    };
    // Each lane keeps the first of its samples below all before it, as the
    // scalar loop does over all samples; NaN never replaces a value.
    floats lowest = hn::Set(df, zStart);
    for (double k = 0.0;; k += static_cast<double>(2 * half)) {
        const doubles lowerT = hn::Mul(hn::Add(hn::Set(dd, k), firstK), step);
        const doubles upperT = hn::Mul(hn::Add(hn::Set(dd, k + static_cast<double>(half)), firstK), step);
        const std::size_t count = hn::CountTrue(dd, hn::Lt(lowerT, length)) + hn::CountTrue(dd, hn::Lt(upperT, length));
        if (count == 0)
            break;
        doubles lowerRows, upperRows, lowerCols, upperCols;
        floats rowOffset, colOffset;
        splitLocal(along(lowerT, line.aStart, line.unitRow), along(upperT, line.aStart, line.unitRow), cellSize,
                   inverseCellSize, cellSizeFloat, lowerRows, upperRows, rowOffset);
        splitLocal(along(lowerT, line.bStart, line.unitCol), along(upperT, line.bStart, line.unitCol), cellSize,
                   inverseCellSize, cellSizeFloat, lowerCols, upperCols, colOffset);
        const floats z =
            interpolate(lowerRows, upperRows, rowOffset, lowerCols, upperCols, colOffset, line.cellSize, surface);
        lowest = hn::IfThenElse(hn::And(hn::FirstN(df, count), hn::Lt(z, lowest)), z, lowest);
        HWY_ALIGN float elevations[hn::MaxLanes(df)];
        hn::Store(z, df, elevations);
        samples.insert(samples.end(), elevations, elevations + count);
        if (count < 2 * half)
            break;
    }

    HWY_ALIGN float lowestOfLane[hn::MaxLanes(df)];
    hn::Store(lowest, df, lowestOfLane);
    float zMin = zStart;
    for (std::size_t i = 0; i < 2 * half; ++i) {
        if (lowestOfLane[i] < zMin)
            zMin = lowestOfLane[i];
    }
    // Equal values have equal bits except the zeros: which zero the scalar
    // loop meets first only a pass in order can tell.
    if (zMin == 0.0f) {
        zMin = zStart;
        for (std::size_t i = first; i < samples.size(); ++i) {
            if (samples[i] < zMin)
                zMin = samples[i];
        }
    }
    return zMin;
}
#endif
}  // namespace HWY_NAMESPACE
}  // namespace tumbra
HWY_AFTER_NAMESPACE();

#endif
