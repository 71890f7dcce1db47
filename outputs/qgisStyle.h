#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

#include "raster/messageSink.h"
#include "raster/outputFiles.h"

// How a single-band grid is drawn when it opens in QGIS: the classes, colours
// and labels of the map's legend, written beside the grid as a style file of
// the same base name (N.qml beside N.tif), which QGIS applies by itself.
struct styleStop
{
    double value;     // in the grid's unit
    uint32_t colour;  // 0xAARRGGBB, as QRgb
    QString label;
};

struct layerStyle
{
    // classes: a stop colours the values above the previous stop up to its
    // own; gradient: colours run between the stops, below the first its colour.
    enum class ramp { classes, gradient };
    ramp kind = ramp::classes;
    std::vector<styleStop> stops;   // by rising value
    double transparentValue = 0.0;  // not drawn (unreached cells), as NODATA is not
};

// The style as a QGIS 3 style document (.qml).
QByteArray qgisStyleText(const layerStyle& style);

// Written whole, as the other small outputs are.
writeOutcome writeQgisStyle(const outputTarget& target, const layerStyle& style, messageSink& sink);
