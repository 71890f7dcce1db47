#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/profileEvaluation.h"
#include "engine/profileLanes.h"
#include "engine/simdPath.h"
#include "engineFixtures.h"

// Every vector path against the scalar path, bit for bit, over random
// profiles on small random terrains: centres and edges hit exactly, clamped
// offsets, NODATA and NaN NODATA, infinite elevations, tiny and huge cells,
// points far off the grid.
namespace {
#if defined(__SANITIZE_ADDRESS__)
constexpr int profilesPerPath = 4000;  // the instrumented build is many times slower
#else
constexpr int profilesPerPath = 60000;
#endif
constexpr float cellSizes[] = {1e-30f, 1e-3f, 0.7f, 5.0f, 30.0f, 1e6f, 1e30f};
const float notANumber = std::numeric_limits<float>::quiet_NaN();
const float infinity = std::numeric_limits<float>::infinity();

uint32_t bitsOf(float value)
{
    uint32_t bits;
    return *static_cast<uint32_t*>(std::memcpy(&bits, &value, sizeof bits));
}

struct randomTerrain
{
    randomTerrain(std::mt19937& random, float cellSize)
    {
        const bool nanNodata = random() % 3 == 0;
        dem = testHeader(1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 12), cellSize);
        dem.nodataValue = nanNodata ? notANumber : testNodata;
        std::uniform_real_distribution<float> height(-40.0f, 3000.0f);
        elevation = surfaceGrid(dem.nrows, dem.ncols, [&](int, int) {
            const uint32_t kind = random() % 40;
            return kind < 4    ? dem.nodataValue
                   : kind == 4 ? -0.0f
                   : kind == 5 ? 0.0f
                   : kind == 6 ? infinity
                               : height(random);
        });
    }
    rasterHeader dem;
    elevationGrid elevation;
};

// Offsets that matter: the edges, the centre, a hair short of it, the clamp
// to a full cell, and anywhere.
float randomOffset(std::mt19937& random, float cellSize)
{
    const float special[] = {0.0f, cellSize / 2.0f, std::nextafter(cellSize / 2.0f, 0.0f), cellSize};
    const uint32_t kind = random() % 8;
    return kind < 4 ? special[kind] : std::uniform_real_distribution<float>(0.0f, cellSize)(random);
}

// A row or column on the grid, one just past it, or one far off it.
uint32_t randomIndex(std::mt19937& random, int count)
{
    const uint32_t kind = random() % 20;
    return kind == 0 ? 4294967295u - random() % 4 : kind == 1 ? uint32_t(count) : uint32_t(random() % count);
}

uint32_t nearIndex(std::mt19937& random, uint32_t index)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(int64_t(index) + int64_t(random() % 13) - 6, 0, 4294967295));
}

// The seed of each path's profiles as before the paths were Highway's
// target bits: 1, 2 and 3 for sse4, avx2 and avx512.
uint32_t simdPathIndex(simdPath path)
{
    const std::vector<simdPath> paths = builtSimdPaths();
    return static_cast<uint32_t>(std::find(paths.begin(), paths.end(), path) - paths.begin());
}
}  // namespace

class tst_simdPaths : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { setActiveSimdPath(bestSimdPath()); }

    void everyPathMatchesScalar_data()
    {
        QTest::addColumn<qint64>("path");
        for (const simdPath path : builtSimdPaths()) {
            if (path != simdPath::scalar)
                QTest::newRow(simdPathName(path)) << static_cast<qint64>(path);
        }
    }

    void everyPathMatchesScalar()
    {
        QFETCH(qint64, path);
        const simdPath lanes = static_cast<simdPath>(path);
        if (!simdPathAvailable(lanes))
            QSKIP(qPrintable(QStringLiteral("%1 is not available on this processor").arg(simdPathName(lanes))));
        // The setting reaches Highway's dispatch, both ways.
        QVERIFY(setActiveSimdPath(lanes));
        QCOMPARE(profileLaneTargetDispatched(), path);
        QVERIFY(setActiveSimdPath(simdPath::scalar));
        QCOMPARE(profileLaneTargetDispatched(), qint64(0));
        std::mt19937 random(20240613u + static_cast<uint32_t>(simdPathIndex(lanes)));
        uint64_t sampleCount = 0;
        for (int i = 0; i < profilesPerPath; ++i) {
            const float cellSize = cellSizes[random() % std::size(cellSizes)];
            const randomTerrain terrain(random, cellSize);
            const terrainSurface surface{terrain.elevation, terrain.dem};
            const gridPosition from{randomIndex(random, terrain.dem.nrows), randomIndex(random, terrain.dem.ncols),
                                    randomOffset(random, cellSize), randomOffset(random, cellSize), cellSize};
            const gridPosition to{nearIndex(random, from.row), nearIndex(random, from.col),
                                  randomOffset(random, cellSize), randomOffset(random, cellSize), cellSize};
            // Half a cell and a whole cell land on centres and edges.
            const double steps[] = {cellSize / 2.0, cellSize, cellSize * 0.37, cellSize * 0.061};
            const double step = steps[random() % std::size(steps)];

            std::vector<float> scalarSamples, vectorSamples;
            setActiveSimdPath(simdPath::scalar);
            const profileEvaluation scalar = evaluateProfile(from, to, surface, 2.5, step, scalarSamples);
            setActiveSimdPath(lanes);
            const profileEvaluation vector = evaluateProfile(from, to, surface, 2.5, step, vectorSamples);
            sampleCount += scalarSamples.size();
            QCOMPARE(vectorSamples.size(), scalarSamples.size());
            for (std::size_t k = 0; k < scalarSamples.size(); ++k)
                QCOMPARE(bitsOf(vectorSamples[k]), bitsOf(scalarSamples[k]));
            QCOMPARE(bitsOf(vector.elevation), bitsOf(scalar.elevation));
            QCOMPARE(bitsOf(vector.shapeFactor), bitsOf(scalar.shapeFactor));
            QCOMPARE(bitsOf(vector.energyLineAngle), bitsOf(scalar.energyLineAngle));

            // The lowest sample in order from the start, NaN never lowering
            // it and the first of two zeros kept.
            const float starts[] = {0.0f, -0.0f, notANumber, scalar.elevation};
            const float zStart = starts[random() % 4];
            const double aStart = distanceFromNorthEdge(from);
            const double bStart = distanceFromWestEdge(from);
            const double dRow = distanceFromNorthEdge(to) - aStart;
            const double dCol = distanceFromWestEdge(to) - bStart;
            const double length = std::sqrt(dRow * dRow + dCol * dCol);
            if (!(length > 0.0))
                continue;
            std::vector<float> samples;
            const profileLine line{aStart, bStart, dRow / length, dCol / length, length, step, cellSize};
            const float zMin = sampleProfileLine(line, surface, zStart, samples);
            float expected = zStart;
            for (const float z : samples)
                expected = z < expected ? z : expected;
            QCOMPARE(bitsOf(zMin), bitsOf(expected));
        }
        qInfo("%s matched the scalar path on %llu samples of %d profiles", simdPathName(lanes),
              static_cast<unsigned long long>(sampleCount), profilesPerPath);
    }
};

QTEST_GUILESS_MAIN(tst_simdPaths)
#include "tst_simdPaths.moc"
