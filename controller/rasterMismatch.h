#pragma once

#include <QString>
#include <QStringList>

#include "raster/messageSink.h"
#include "raster/rasterTypes.h"

// Holds back the errors of the raster consistency checks so that one failed
// check makes one message: its sentences (both dimensions when both differ)
// followed by the values of the two files, which the user needs to see what
// does not match, and the command that fixes it. Warnings go straight through.
class rasterMismatchSink final : public messageSink
{
public:
    explicit rasterMismatchSink(messageSink& next) : next_(next) {}
    void error(const QString& text) override { sentences_ << text; }
    void warning(const QString& text) override { next_.warning(text); }
    void message(const QString& text) override { next_.message(text); }
    void warningBox(const QString& text) override { next_.warningBox(text); }

    // Reports what was held back, if anything, as one error; `role` names
    // the other grid ("start cells", "objects at risk").
    void reportTo(const QString& demFile, const rasterHeader& dem, const QString& otherFile, const rasterHeader& other,
                  const QString& role = QStringLiteral("start cells"));

private:
    messageSink& next_;
    QStringList sentences_;
};

// "40 rows, 30 columns, lower-left corner 600000.0 / 5100000.0, cell size 2.0"
QString rasterHeaderSummary(const rasterHeader& header);

// The GDAL command that resamples the start cells onto the DEM's grid (its
// extent and cell size, nearest neighbour so that cells keep their values),
// writing <start cells>_on_dem_grid.tif beside them.
QString startCellsOnDemGridCommand(const rasterHeader& dem, const QString& startCellsFile);
