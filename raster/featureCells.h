#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/layerRasterizer.h"
#include "raster/vectorLayer.h"

// The cells under a feature's envelope, one more on every side.
cellWindow windowOfFeature(const layerFeature& feature, const layerRasterizer& rasterizer);

// Appends the flat row-major indices (of a grid `ncols` wide) of the cells
// one feature takes inside `window`, row by row. With `touchWhenEmpty` a
// polygon between cell centres takes the cells it touches instead, so that
// no small object is lost. `mask` is scratch space kept from feature to
// feature, so that thousands of small features cost no allocation each.
// False when GDAL failed.
bool appendFeatureCells(const layerFeature& feature, const cellWindow& window, const layerRasterizer& rasterizer,
                        int ncols, bool touchWhenEmpty, std::vector<uint8_t>& mask, std::vector<std::size_t>& cells);
