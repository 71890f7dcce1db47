#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>

#include "map/mapColourings.h"
#include "outputs/logFile.h"
#include "outputs/objectsTable.h"
#include "raster/coordinateSystem.h"
#include "raster/messageSink.h"
#include "raster/outputFiles.h"

class QPainter;
struct runResultGrids;

// What the run report tells beyond the result grids, gathered at the end of
// a run: log.txt's report (date, DEM, settings, run summary), the input
// files by role, the DEM's coordinate system, the colouring of its map and
// objects.csv's headers and rows, which the report's table shows as they
// are. Kept with the run's outcome so that the window can write the
// report of its last run later.
struct runReportContent
{
    logReport log;
    QList<QPair<QString, QString>> inputs;  // role ("DEM", "Objects at risk"), absolute path
    coordinateSystem system;
    mapColouring colouring = mapColouring::reachProbability;
    objectsTable objects;  // objects.csv's headers and rows; none without objects
};

// The report has two A4 pages in portrait: the map at a stated round scale
// with its legend beside it, a scale bar, a north arrow and the coordinate
// system, then the charts of run-out and travel angle; the inputs, the
// settings, the run summary and the objects table.
constexpr int runReportPageCount = 2;

// Page `page` (0 or 1) painted on `painter`'s device, whose origin is the
// page's top-left corner and which has `unitsPerMillimetre` device units to
// a millimetre (its fonts sized by the same resolution).
void paintRunReportPage(QPainter& painter, double unitsPerMillimetre, int page, const runResultGrids& grids,
                        const runReportContent& content);

// The report as a PDF made by Qt's own writer; empty where it could not be made.
QByteArray runReportPdf(const runResultGrids& grids, const runReportContent& content);

// Page `page` as a picture at `dotsPerInch`, for a look at the report without a PDF reader.
QImage runReportPagePicture(const runResultGrids& grids, const runReportContent& content, int page, int dotsPerInch);

writeOutcome writeRunReport(const outputTarget& target, const runResultGrids& grids, const runReportContent& content,
                            messageSink& sink);
// The same at `fileName`, outside a run; the error, empty once it is written.
QString saveRunReport(const QString& fileName, const runResultGrids& grids, const runReportContent& content);
