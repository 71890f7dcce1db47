#pragma once

#include <cstdint>
#include <vector>

#include "raster/rasterTypes.h"

class OGRGeometry;

// A rectangle of the DEM's cells; empty when it has no rows or columns.
struct cellWindow
{
    int row0 = 0;
    int col0 = 0;
    int rows = 0;
    int cols = 0;
    bool empty() const { return rows <= 0 || cols <= 0; }
};

// Burns geometries in the DEM's coordinates into the DEM's grid through
// GDAL's rasterizer: a polygon takes the cells whose centres lie inside it
// (a centre on its edge by GDAL's scan-line rule: with GDAL 3.6 one on its
// west edge is outside, on its east, north or south edge inside, so two
// polygons that share an edge may both take the cells on it); a line or
// point takes every cell it passes through or lies in (a line through a
// cell corner takes the cells it crosses, not the two touching it only
// there; a point on a corner or edge the cell to its south-east). Coordinates become cell
// coordinates as (x - west) / cellsize and (north - y) / cellsize, so a
// window of the grid burns exactly the cells the whole grid would.
class layerRasterizer
{
public:
    // geoTransform: the DEM's, GDAL's six numbers with north up.
    layerRasterizer(int rows, int cols, const double geoTransform[6]);

    cellWindow wholeGrid() const { return {0, 0, rows_, cols_}; }
    // The cells under an envelope, one more on every side, clipped to the grid.
    cellWindow windowOf(double minX, double minY, double maxX, double maxY) const;

    // Sets mask (window.rows x window.cols, row 0 northernmost) to 1 at the
    // cells the geometries take; false when GDAL failed.
    bool burn(const std::vector<const OGRGeometry*>& areas, const std::vector<const OGRGeometry*>& tracks,
              const cellWindow& window, uint8_t* mask) const;

private:
    int rows_;
    int cols_;
    double west_;
    double north_;
    double cellWidth_;
    double cellHeight_;  // positive, southward
};
