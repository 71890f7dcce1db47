// Writes a synthetic lidar-like DEM and a matching start-cells raster as ESRI
// ASCII grids, for the end-to-end scale benchmark (bench/run-scale).
//
//   bench_makeGrid ROWS COLS DEM.asc START.asc START_CELLS [CELL_SIZE [RELIEF]]
//
// The terrain is a mountainside of 1 m cells: a slope falling gently to the
// south with rolling relief, cut by cliff bands of 40 to 60 m whose line
// wanders across the slope, each with a talus cone of about 30 degrees at
// its foot, and half a metre of surface roughness.
// Elevations are written with two decimals (1234.57), as lidar products
// usually are; a patch in the north-west corner has no data. The start cells
// lie along the tops of the cliff bands, spread evenly over them. A cell size
// of a whole number of metres other than 1 samples the same mountainside every
// CELL_SIZE metres: a coarser DEM of a larger area, with more bands. RELIEF
// multiplies every height: steeper terrain where masses run further.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int cellSize = 1;  // metres; the terrain below is laid out in metres
double relief = 1.0;
constexpr int cliffSpacing = 700;   // rows between cliff bands
constexpr int cliffWidth = 25;      // rows a cliff face spans
constexpr double talusDrop = 60.0;  // metres the talus below a cliff falls
constexpr int talusLength = 110;    // rows it spans
constexpr int firstCliffRow = 350;
constexpr int nodataValue = -9999;

// A reproducible hash of a cell: the roughness needs no generator state, so
// every row can be computed on its own.
double roughness(int r, int c)
{
    uint64_t h = static_cast<uint64_t>(r) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(c) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 31;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return static_cast<double>(h >> 11) / static_cast<double>(uint64_t(1) << 53) - 0.5;
}

// Row of the top of cliff band k at column c: the band's line wanders.
double cliffTopRow(int band, int c)
{
    return firstCliffRow + band * cliffSpacing + 60.0 * std::sin(c / 410.0 + band * 1.7)
           + 15.0 * std::sin(c / 97.0 + band);
}

double cliffHeight(int band, int c) { return 50.0 + 10.0 * std::sin(c / 1300.0 + band * 0.6); }

double smoothStep(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// The terms of the terrain that depend on the column or on r + c alone,
// worked out once: a hundred million cells need no more sines than that.
class terrain
{
public:
    terrain(int rows, int cols, int bands) : bands_(bands)
    {
        for (int c = 0; c < cols; ++c) {
            acrossSlope_.push_back(35.0 * std::sin(c / 760.0));
            for (int band = 0; band < bands; ++band) {
                cliffTop_.push_back(cliffTopRow(band, c));
                cliffHeight_.push_back(cliffHeight(band, c));
            }
        }
        for (int d = 0; d < rows + cols; ++d)
            diagonal_.push_back(6.0 * std::sin(d / 230.0));
    }

    double elevation(int r, int c) const
    {
        double z = 2600.0 - 0.09 * r + acrossSlope_[c] * std::cos(r / 910.0) + diagonal_[r + c];
        const std::size_t first = static_cast<std::size_t>(c) * static_cast<std::size_t>(bands_);
        for (int band = 0; band < bands_; ++band) {
            const double top = cliffTop_[first + band];
            if (r > top) {
                z -= cliffHeight_[first + band] * smoothStep((r - top) / cliffWidth);
                z -= talusDrop * smoothStep((r - top - cliffWidth) / talusLength);
            }
        }
        return z + 0.5 * roughness(r, c);
    }

private:
    int bands_;
    std::vector<double> acrossSlope_;
    std::vector<double> cliffTop_;
    std::vector<double> cliffHeight_;
    std::vector<double> diagonal_;
};

// "1234.57": the value in hundredths, written without printf.
char* writeHundredths(char* out, int64_t hundredths)
{
    if (hundredths < 0) {
        *out++ = '-';
        hundredths = -hundredths;
    }
    char digits[24];
    int n = 0;
    int64_t whole = hundredths / 100;
    do {
        digits[n++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    while (n > 0)
        *out++ = digits[--n];
    *out++ = '.';
    *out++ = static_cast<char>('0' + (hundredths / 10) % 10);
    *out++ = static_cast<char>('0' + hundredths % 10);
    return out;
}

bool writeHeader(std::FILE* file, int rows, int cols)
{
    return std::fprintf(file,
                        "ncols %d\nnrows %d\nxllcorner 2600000.0\nyllcorner 1150000.0\ncellsize %d.0\n"
                        "NODATA_value %d\n",
                        cols, rows, cellSize, nodataValue)
           > 0;
}

bool writeDem(const char* path, int rows, int cols, int bands)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file || !writeHeader(file, rows, cols))
        return false;
    const terrain surface(rows * cellSize, cols * cellSize, bands);
    std::vector<char> line(static_cast<std::size_t>(cols) * 24 + 2);
    bool ok = true;
    for (int r = 0; r < rows && ok; ++r) {
        char* out = line.data();
        for (int c = 0; c < cols; ++c) {
            if (c > 0)
                *out++ = ' ';
            if ((r + c) * cellSize < 150) {
                out += std::sprintf(out, "%d", nodataValue);
                continue;
            }
            out = writeHundredths(out, std::llround(surface.elevation(r * cellSize, c * cellSize) * relief * 100.0));
        }
        *out++ = '\n';
        ok = std::fwrite(line.data(), 1, static_cast<std::size_t>(out - line.data()), file)
             == static_cast<std::size_t>(out - line.data());
    }
    return std::fclose(file) == 0 && ok;
}

// The cells just above each cliff's top, one in every `step` columns, the
// bands' columns staggered so that the count comes out as asked.
std::vector<std::vector<int>> startColumnsByRow(int rows, int cols, int bands, int wanted)
{
    std::vector<std::vector<int>> byRow(static_cast<std::size_t>(rows));
    const int perBand = (wanted + bands - 1) / bands;
    int placed = 0;
    for (int band = 0; band < bands && placed < wanted; ++band) {
        for (int i = 0; i < perBand && placed < wanted; ++i) {
            const int c = 1 + static_cast<int>((static_cast<int64_t>(i) * (cols - 2) + band * 3) / perBand);
            const int r = static_cast<int>(std::floor(cliffTopRow(band, c * cellSize) / cellSize)) - 1;
            if (r < 1 || r >= rows - 1 || c < 1 || c >= cols - 1)
                continue;
            byRow[static_cast<std::size_t>(r)].push_back(c);
            ++placed;
        }
    }
    for (auto& columns : byRow) {
        std::sort(columns.begin(), columns.end());
        columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    }
    return byRow;
}

bool writeStartCells(const char* path, int rows, int cols, int bands, int wanted, int& written)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file || !writeHeader(file, rows, cols))
        return false;
    const auto byRow = startColumnsByRow(rows, cols, bands, wanted);
    std::string line(static_cast<std::size_t>(cols) * 2, ' ');
    line.back() = '\n';
    bool ok = true;
    written = 0;
    for (int r = 0; r < rows && ok; ++r) {
        for (int c = 0; c < cols; ++c)
            line[static_cast<std::size_t>(c) * 2] = '0';
        for (const int c : byRow[static_cast<std::size_t>(r)]) {
            line[static_cast<std::size_t>(c) * 2] = '1';
            ++written;
        }
        ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || argc > 8) {
        std::fprintf(stderr, "usage: %s ROWS COLS DEM.asc START.asc START_CELLS [CELL_SIZE [RELIEF]]\n", argv[0]);
        return 2;
    }
    if (argc > 6)
        cellSize = std::atoi(argv[6]);
    if (argc > 7)
        relief = std::atof(argv[7]);
    const int rows = std::atoi(argv[1]);
    const int cols = std::atoi(argv[2]);
    const int wanted = std::atoi(argv[5]);
    if (rows < 3 || cols < 3 || wanted < 1 || cellSize < 1 || !(relief > 0.0)) {
        std::fprintf(stderr,
                     "rows and cols must be at least 3, start cells and the cell size at least 1, relief positive\n");
        return 2;
    }
    const int bands = std::max(1, (rows * cellSize - firstCliffRow) / cliffSpacing + 1);
    if (!writeDem(argv[3], rows, cols, bands)) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    int written = 0;
    if (!writeStartCells(argv[4], rows, cols, bands, wanted, written)) {
        std::fprintf(stderr, "cannot write %s\n", argv[4]);
        return 1;
    }
    std::printf("%d x %d cells, %d cliff bands, %d start cells\n", rows, cols, bands, written);
    return 0;
}
