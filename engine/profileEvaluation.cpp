// The terrain profile between a trajectory's release point and its current
// position: its lowest point, the area under it and the energy-line angle.
#include "engine/profileEvaluation.h"

#include <cmath>
#include <cstddef>

#include "engine/profileLanes.h"
#include "engine/profileWork.h"
#include "engine/simdPath.h"

namespace {
// Profiles longer than this many samples grow their buffer as they go
// instead of reserving it all up front.
constexpr double largestReservedProfile = 16777216.0;

void reserveSamples(std::vector<float>& samples, double length, double profileStep)
{
    const double expected = std::ceil(length / profileStep);
    if (expected <= largestReservedProfile && expected > static_cast<double>(samples.capacity()))
        samples.reserve(static_cast<std::size_t>(expected));
}

// Elevations along the line from the start towards the current point at
// profileStep, 2 x profileStep, ... short of its end. Returns the lowest of
// them and the start elevation; NaN samples never lower it. The vector paths
// give the loop's samples bit for bit; the loop stays as their reference and
// for the surfaces they cannot read.
float sampleProfile(const gridPosition& start, double dRow, double dCol, double length, const terrainSurface& surface,
                    double profileStep, float zStart, std::vector<float>& samples)
{
    samples.clear();
    if (!(profileStep > 0.0))
        return zStart;
    // Never finer than the cell size allows, so that a profile's samples
    // stay proportional to its length in cells, whatever the cell size.
    const double step = boundedProfileStep(profileStep, start.cellSize);
    reserveSamples(samples, length, step);
    const double aStart = distanceFromNorthEdge(start);
    const double bStart = distanceFromWestEdge(start);
    const double unitRow = dRow / length;
    const double unitCol = dCol / length;
    return sampleProfileLine(profileLine{aStart, bStart, unitRow, unitCol, length, step, start.cellSize}, surface,
                             zStart, samples);
}

// Trapezoids between the profile and the level zMin, scaled by the chord
// slope; each bracket in float, each sum in double stored back as float.
// A sample without elevation (a gap in the DEM the line crosses) adds no
// trapezoid: the next valid sample joins the last valid one, so one hole
// cannot turn the whole area, and with it every later stop test, into NaN.
// Kept out of line: both paths then run the same instructions, so a NaN area
// carries the same sign bit whichever path computed it (x86 passes on the
// first operand's NaN, and an inlined copy may order the operands otherwise).
[[gnu::noinline]] float profileArea(const std::vector<float>& samples, float zStart, float zEnd, float zMin,
                                    float slope)
{
    float area = 0.0f;
    float previous = zStart;
    for (const float z : samples) {
        if (std::isnan(z))
            continue;
        area = static_cast<float>(area + 0.5 * ((previous + z - 2.0f * zMin) * slope));
        previous = z;
    }
    return static_cast<float>(area + 0.5 * ((previous + zEnd - 2.0f * zMin) * slope));
}

// The half trapezoid 0.5 x bracket, when float holds it exactly.
bool halfInFloat(float bracket, float& half)
{
    half = 0.5f * bracket;
    return half * 2.0f == bracket;
}

// profileArea by float sums. Rounding a double sum of two floats to float
// gives the float sum: double has more than 2 x 24 + 2 bits, so rounding
// twice is innocuous (Figueroa, "When is double rounding innocuous?", 1995).
// Each half trapezoid is a float but for brackets in the lowest binade, NaN
// or a gap; then it returns false and profileArea decides. The chain of
// sums, the only part done in order, costs one float addition per sample
// instead of three steps.
bool profileAreaByFloatSums(const std::vector<float>& samples, float zStart, float zEnd, float zMin, float slope,
                            float& result)
{
    float area = 0.0f;
    float previous = zStart;
    bool exact = true;
    for (const float z : samples) {
        float half;
        exact &= halfInFloat((previous + z - 2.0f * zMin) * slope, half);
        area = area + half;
        previous = z;
    }
    float half;
    exact &= halfInFloat((previous + zEnd - 2.0f * zMin) * slope, half);
    if (!exact)
        return false;
    result = area + half;
    return true;
}
}  // namespace

profileEvaluation evaluateProfile(const gridPosition& start, const gridPosition& current, const terrainSurface& surface,
                                  double initialFallHeight, double profileStep, std::vector<float>& samples)
{
    const double dRow = distanceFromNorthEdge(current) - distanceFromNorthEdge(start);
    const double dCol = distanceFromWestEdge(current) - distanceFromWestEdge(start);
    const double length = std::sqrt(dRow * dRow + dCol * dCol);
    const float zStart = static_cast<float>(interpolateElevation(start, surface) + initialFallHeight);
    const float zEnd = interpolateElevation(current, surface);
    const float drop = zStart - zEnd;

    profileEvaluation result;
    result.elevation = zEnd;
    result.startElevation = zStart;
    result.length = length;
    if (length == 0.0) {
        // Back on the start point: no profile, and the energy line is
        // vertical (or level when there is no drop) instead of 0/0.
        samples.clear();
        result.shapeFactor = 0.0f;
        result.energyLineAngle = static_cast<float>(std::atan2(static_cast<double>(drop), 0.0));
        return result;
    }

    const float slope = static_cast<float>(drop / length);
    const float zMin = sampleProfile(start, dRow, dCol, length, surface, profileStep, zStart, samples);
    // profileArea is called from this one place: a NaN's sign then comes out
    // of the same instructions on every path.
    float area = 0.0f;
    if (activeSimdPath() == simdPath::scalar || !profileAreaByFloatSums(samples, zStart, zEnd, zMin, slope, area))
        area = profileArea(samples, zStart, zEnd, zMin, slope);
    const double depth = static_cast<double>(zStart - zMin);
    const double squaredDepth = depth * depth;
    result.shapeFactor = static_cast<float>(area / (squaredDepth > 1.0 ? squaredDepth : 1.0));
    result.energyLineAngle = static_cast<float>(std::atan(drop / length));
    return result;
}
