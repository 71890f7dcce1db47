#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "raster/coordinateSystem.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"

// The .prj file that carries an ESRI ASCII grid's coordinate system, read
// and written as GDAL's ESRI ASCII grid driver does: dem.prj beside dem.asc,
// in ESRI's form of WKT.

// The system in the .prj file beside the grid (dem.prj or dem.PRJ for
// dem.asc). Blank lines and blanks around the text are passed over, as
// gdalsrsinfo -o wkt_esri starts its text with an empty line. Empty without
// such a file; a file that cannot be read is reported as a warning.
coordinateSystem coordinateSystemBesideGrid(const QString& gridFile, messageSink& sink);

// The system as the driver writes it into a .prj file.
QByteArray esriProjectionText(const coordinateSystem& system);

// "N.prj" for "N.asc".
QString projectionFileName(const QString& gridFileName);

// Writes the system into the .prj target; without a system, a .prj left by an
// earlier run there is removed, as it would place the new grid wrongly. No
// outcome when nothing was due to be written.
std::optional<writeOutcome> writeProjectionBesideGrid(const outputTarget& projectionTarget,
                                                      const coordinateSystem& system, messageSink& sink);
