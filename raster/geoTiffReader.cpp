#include "raster/geoTiffReader.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>

#include "raster/gdalSession.h"

namespace {

// A grid without a NODATA value gets the one of a five-line ESRI ASCII header.
constexpr float defaultNodataValue = -9999.0f;

// Rows are read in blocks of about this many bytes, whole blocks of the file.
constexpr std::size_t chunkBytes = std::size_t{16} << 20;

// Cell width and height that differ by less than this (relative) count as
// square: geotransforms computed in double carry such noise.
constexpr double squareTolerance = 1e-9;

// More bands than any elevation or start-cells raster plausibly has.
constexpr int largestBandCount = 256;

}  // namespace

struct geoTiffInput::dataset
{
    GDALDatasetUniquePtr handle;
    GDALRasterBand* band = nullptr;
    // Where the band has a mask of its own, an alpha band or a mask of the
    // whole file; null where only its NODATA value (or nothing) masks cells.
    GDALRasterBand* mask = nullptr;
    std::vector<double> raw;           // a scaled band's values as stored
    std::vector<unsigned char> valid;  // the mask's values: 0 where a cell has none
};

geoTiffInput::geoTiffInput() = default;
geoTiffInput::~geoTiffInput() = default;

bool geoTiffInput::isOpen() const { return dataset_ != nullptr; }

void geoTiffInput::close()
{
    gdalErrorCapture quiet;
    dataset_.reset();
}

bool geoTiffInput::openFile(const QString& fileName, rasterHeader& header, messageSink& sink)
{
    fileName_ = fileName;
    // Asked through GDAL, so that its in-memory files (/vsimem/) are read too.
    VSIStatBufL status;
    if (VSIStatExL(fileName.toUtf8().constData(), &status, VSI_STAT_EXISTS_FLAG | VSI_STAT_NATURE_FLAG) != 0) {
        sink.error(QStringLiteral("File %1 does not exist. Check its name and folder.").arg(fileName));
        return false;
    }
    if (VSI_ISDIR(status.st_mode)) {
        sink.error(QStringLiteral("%1 is a folder, not a GeoTIFF file. Choose the file inside it.").arg(fileName));
        return false;
    }
    const QFileInfo info(fileName);
    if (info.exists() && !info.isReadable()) {
        sink.warningBox(permissionWarningText(true, fileName));
        sink.error(QStringLiteral("Unable to open file %1 for reading: please check permissions.").arg(fileName));
        return false;
    }

    gdalErrorCapture errors;
    const char* const drivers[] = {"GTiff", nullptr};
    // Decoding stays on this thread (no NUM_THREADS): errors raised on
    // GDAL's worker threads would escape the capture, and with them the reason.
    auto opened = std::make_unique<dataset>();
    opened->handle = GDALDatasetUniquePtr(GDALDataset::Open(
        fileName.toUtf8().constData(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, drivers, nullptr));
    if (!opened->handle) {
        sink.error(QStringLiteral("File %1 cannot be read as a GeoTIFF%2. Check that it is a complete GeoTIFF file.")
                       .arg(fileName, errors.reason()));
        return false;
    }
    GDALDataset& file = *opened->handle;
    if (file.GetRasterCount() < 1) {
        sink.error(QStringLiteral("File %1 holds no raster band. Give a GeoTIFF whose first band holds the values.")
                       .arg(fileName));
        return false;
    }
    rows_ = file.GetRasterYSize();
    cols_ = file.GetRasterXSize();
    if (rows_ <= 0 || cols_ <= 0) {
        sink.error(
            QStringLiteral("File %1 holds an empty raster of %2 x %3 cells.").arg(fileName).arg(cols_).arg(rows_));
        return false;
    }

    double* gt = geoTransform_;
    if (file.GetGeoTransform(gt) != CE_None) {
        sink.error(QStringLiteral("File %1 has no geotransform, so its cells have no position or size. Georeference "
                                  "it, for example with gdal_translate -a_ullr <west> <north> <east> <south>.")
                       .arg(fileName));
        return false;
    }
    if (gt[2] != 0.0 || gt[4] != 0.0) {
        sink.error(QStringLiteral("File %1 has a rotated geotransform. Warp it to a north-up grid of square cells, "
                                  "for example with gdalwarp -tr <size> <size>.")
                       .arg(fileName));
        return false;
    }
    if (!std::isfinite(gt[0]) || !std::isfinite(gt[3]) || !std::isfinite(gt[5])) {
        sink.error(QStringLiteral("File %1 has a geotransform that is not finite (%2, %3, %4): the grid's position and "
                                  "cell size must be finite numbers. Georeference it again, for example with "
                                  "gdal_translate -a_ullr <west> <north> <east> <south>.")
                       .arg(fileName)
                       .arg(gt[0])
                       .arg(gt[3])
                       .arg(gt[5]));
        return false;
    }
    if (!(gt[1] > 0.0) || !std::isfinite(gt[1]) || !(gt[5] != 0.0)) {
        sink.error(QStringLiteral("File %1 has a geotransform with a cell width of %2: its columns must run from west "
                                  "to east. Warp it to a north-up grid, for example with gdalwarp.")
                       .arg(fileName)
                       .arg(gt[1]));
        return false;
    }
    if (std::fabs(std::fabs(gt[5]) - gt[1]) > squareTolerance * gt[1]) {
        sink.error(QStringLiteral("File %1 has non-square cells (%2 x %3): resample it to square cells, for example "
                                  "with gdalwarp -tr %2 %2.")
                       .arg(fileName)
                       .arg(gt[1], 0, 'g', 12)
                       .arg(std::fabs(gt[5]), 0, 'g', 12));
        return false;
    }

    opened->band = file.GetRasterBand(1);
    const int bands = file.GetRasterCount();
    // Band 1 of a file whose bands are interleaved by pixel is read with all
    // the others: thousands of bands make a small file take minutes to read.
    if (bands > largestBandCount) {
        sink.error(QStringLiteral("File %1 has %2 bands; a DEM or start-cells raster needs one. Take band 1 out of it, "
                                  "for example with gdal_translate -b 1.")
                       .arg(fileName)
                       .arg(bands));
        return false;
    }
    const bool complexValues = GDALDataTypeIsComplex(opened->band->GetRasterDataType()) != 0;
    // A mask band, an alpha band or a mask of the whole file marks cells
    // without a value, as NODATA does; a mask made from the NODATA value
    // needs no reading of its own. GDAL's mask of the band is the NODATA
    // one where the file has both a NODATA value and an alpha band (the
    // last band), or none for an alpha band of floats: the alpha band
    // counts then too. It is used with band 1, so a band and its alpha band
    // bring no warning.
    GDALRasterBand* lastBand = file.GetRasterBand(bands);
    const bool alphaBand = bands >= 2 && lastBand->GetColorInterpretation() == GCI_AlphaBand;
    const int maskFlags = opened->band->GetMaskFlags();
    if ((maskFlags & (GMF_ALL_VALID | GMF_NODATA)) == 0)
        opened->mask = opened->band->GetMaskBand();
    else if (alphaBand)
        opened->mask = lastBand;
    const bool bandAndAlpha = bands == 2 && alphaBand;
    if ((bands > 1 && !bandAndAlpha) || complexValues) {
        QString text = QStringLiteral("File %1").arg(fileName);
        if (bands > 1 && !bandAndAlpha)
            text += QStringLiteral(" has %1 bands").arg(bands);
        if (complexValues)
            text += QStringLiteral("%1 holds complex values")
                        .arg(bands > 1 && !bandAndAlpha ? QStringLiteral(" and") : QString());
        text +=
            complexValues ? QStringLiteral(": the real part of band 1 is used.") : QStringLiteral(": band 1 is used.");
        sink.warning(text);
    }
    // A south-up file (rows from south to north) is read with its rows turned round.
    southUp_ = gt[5] > 0.0;
    int hasNodata = 0;
    const double nodata = opened->band->GetNoDataValue(&hasNodata);
    hasNodata_ = hasNodata != 0;
    nanNodata_ = hasNodata_ && std::isnan(nodata);
    nodata_ = hasNodata_ && !nanNodata_ ? static_cast<float>(nodata) : defaultNodataValue;
    // The values of a band with a scale or an offset are value * scale + offset.
    scale_ = opened->band->GetScale();
    offset_ = opened->band->GetOffset();
    if (!std::isfinite(scale_) || !std::isfinite(offset_)) {
        sink.error(QStringLiteral("File %1 gives band 1 a scale of %2 and an offset of %3: both must be finite "
                                  "numbers. Set them again, for example with gdal_edit -scale <scale> -offset "
                                  "<offset>.")
                       .arg(fileName)
                       .arg(scale_, 0, 'g', 12)
                       .arg(offset_, 0, 'g', 12));
        return false;
    }
    scaled_ = scale_ != 1.0 || offset_ != 0.0;

    header = rasterHeader{};
    header.nrows = rows_;
    header.ncols = cols_;
    header.xll = gt[0];
    header.yll = southUp_ ? gt[3] : gt[3] + rows_ * gt[5];
    header.cellsize = static_cast<float>(gt[1]);
    header.nodataValue = nodata_;
    header.spatialReference = rasterHeader::corner;
    // The cell size is kept in single precision and the south edge is the
    // north edge plus the grid's height: either can leave the range of
    // finite numbers although the geotransform itself is finite.
    if (!std::isfinite(header.yll) || !std::isfinite(header.cellsize) || !(header.cellsize > 0.0f)) {
        sink.error(QStringLiteral("File %1 has a cell size of %2 at a position of (%3, %4), beyond the numbers a grid "
                                  "can hold. Georeference it again, for example with gdal_translate -a_ullr <west> "
                                  "<north> <east> <south>.")
                       .arg(fileName)
                       .arg(gt[1], 0, 'g', 12)
                       .arg(gt[0], 0, 'g', 12)
                       .arg(gt[3], 0, 'g', 12));
        return false;
    }
    system_ = coordinateSystemOf(file.GetSpatialRef());

    int blockCols = 0;
    int blockRows = 0;
    opened->band->GetBlockSize(&blockCols, &blockRows);
    blockRows = std::max(blockRows, 1);
    const std::size_t rowBytes = static_cast<std::size_t>(cols_) * sizeof(float);
    const std::size_t blocksPerChunk = std::max<std::size_t>(1, chunkBytes / rowBytes / std::size_t(blockRows));
    chunkRows_ = static_cast<int>(std::min<std::size_t>(std::size_t(rows_), blocksPerChunk * std::size_t(blockRows)));
    dataset_ = std::move(opened);
    return true;
}

bool geoTiffInput::readRowBlock(int first, int count, float* values, messageSink& sink)
{
    gdalErrorCapture errors;
    const int fileRow = southUp_ ? rows_ - first - count : first;
    // Uncompressed files go straight from the file into the grid; other
    // blocks pass GDAL's block cache, which is emptied after every block of
    // rows so that it never holds a second copy of the grid.
    CPLSetThreadLocalConfigOption("GTIFF_DIRECT_IO", "YES");
    const std::size_t cols = static_cast<std::size_t>(cols_);
    const std::size_t cells = std::size_t(count) * cols;
    CPLErr result = CE_None;
    if (!scaled_) {
        result = dataset_->band->RasterIO(GF_Read, 0, fileRow, cols_, count, values, cols_, count, GDT_Float32, 0, 0,
                                          nullptr);
    } else {
        // Read as stored into double, which holds every value of the types a
        // DEM comes in exactly; value * scale + offset is worked out in
        // double (a product and a sum, each rounded once, never fused) and
        // narrowed to float once, as the unscaled values are. The NODATA
        // value is compared as the unscaled values are: in float.
        dataset_->raw.resize(cells);
        result = dataset_->band->RasterIO(GF_Read, 0, fileRow, cols_, count, dataset_->raw.data(), cols_, count,
                                          GDT_Float64, 0, 0, nullptr);
        const bool nodataStored = hasNodata_ && !nanNodata_;
        for (std::size_t i = 0; result == CE_None && i < cells; ++i) {
            const double raw = dataset_->raw[i];
            values[i] = nodataStored && static_cast<float>(raw) == nodata_ ? nodata_
                                                                           : static_cast<float>(raw * scale_ + offset_);
        }
    }
    if (result == CE_None && dataset_->mask) {
        dataset_->valid.resize(cells);
        result = dataset_->mask->RasterIO(GF_Read, 0, fileRow, cols_, count, dataset_->valid.data(), cols_, count,
                                          GDT_Byte, 0, 0, nullptr);
        for (std::size_t i = 0; result == CE_None && i < cells; ++i) {
            if (dataset_->valid[i] == 0)
                values[i] = nodata_;
        }
        dataset_->mask->FlushCache();
    }
    CPLSetThreadLocalConfigOption("GTIFF_DIRECT_IO", nullptr);
    dataset_->band->FlushCache();
    if (result != CE_None) {
        sink.error(QStringLiteral("Failed to read rows %1 to %2 of file %3%4. The file may be truncated or damaged.")
                       .arg(fileRow + 1)
                       .arg(fileRow + count)
                       .arg(fileName_, errors.reason()));
        return false;
    }
    if (southUp_) {
        for (int top = 0, bottom = count - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(values + std::size_t(top) * cols, values + std::size_t(top + 1) * cols,
                             values + std::size_t(bottom) * cols);
    }
    if (nanNodata_) {
        float* const end = values + std::size_t(count) * cols;
        std::replace_if(
            values, end, [](float value) { return std::isnan(value); }, nodata_);
    }
    return true;
}

outputGeoreference geoTiffInput::georeference() const
{
    // Rows are read north first: a south-up file's geotransform is turned to match.
    const double* gt = geoTransform_;
    const double cellHeight = std::fabs(gt[5]);
    const double north = southUp_ ? gt[3] + rows_ * gt[5] : gt[3];
    outputGeoreference georeference;
    const double transform[6] = {gt[0], gt[1], 0.0, north, 0.0, -cellHeight};
    std::copy(transform, transform + 6, georeference.geoTransform);
    georeference.system = system_;
    return georeference;
}

bool geoTiffInput::readRows(elevationGrid& elevation, messageSink& sink, const readProgress& progress)
{
    if (!dataset_)
        return false;
    elevation.startRows(cols_, static_cast<std::size_t>(rows_));
    for (int first = 0; first < rows_; first += chunkRows_) {
        const int count = std::min(chunkRows_, rows_ - first);
        if (!readRowBlock(first, count, elevation.appendRows(count), sink)) {
            elevation.clear();
            return false;
        }
        if (progress)
            progress(first + count, rows_);
    }
    return true;
}

bool geoTiffInput::readStartCells(std::vector<startCell>& cells, messageSink& sink)
{
    if (!dataset_)
        return false;
    std::vector<float> chunk(static_cast<std::size_t>(chunkRows_) * static_cast<std::size_t>(cols_));
    for (int first = 0; first < rows_; first += chunkRows_) {
        const int count = std::min(chunkRows_, rows_ - first);
        if (!readRowBlock(first, count, chunk.data(), sink))
            return false;
        for (int r = 0; r < count; ++r) {
            const float* row = chunk.data() + std::size_t(r) * std::size_t(cols_);
            for (int c = 0; c < cols_; ++c) {
                // A positive NODATA value (255 in a byte raster) marks no start cell.
                if (row[c] > 0.0f && !(hasNodata_ && row[c] == nodata_))
                    cells.push_back(startCell{first + r, c});
            }
        }
    }
    return true;
}
