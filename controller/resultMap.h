#pragma once

#include <cstdint>

#include <QImage>

#include "raster/grid.h"

// The reach-probability map as the window shows it: one pixel per cell,
// reached cells from yellow (-1) to red (-255), shaded-relief grey (0..255)
// elsewhere. Opaque 32-bit RGB.
QImage resultMapImage(const grid<int32_t>& displayGrid);
