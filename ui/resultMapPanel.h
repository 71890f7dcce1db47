#pragma once

#include <memory>

#include <QString>
#include <QWidget>

#include "map/resultMapPicture.h"
#include "outputs/objectsTable.h"
#include "raster/grid.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class objectsTableModel;
class histogramChart;
class mapView;
struct runReportContent;
struct runResultGrids;

// The result map of the last completed run with what explains it: the
// legend of the chosen colouring, the choice between reach probability and
// passage share, the readout of the cell under the mouse, the objects at
// risk drawn over the map with their sortable table (a click on a row shows
// the object), and the action that opens the run's output folder. Holds the run's grids, so a new run
// can go on while this map stays on view.
class resultMapPanel : public QWidget
{
    Q_OBJECT

public:
    explicit resultMapPanel(QWidget* parent = nullptr);

    // With the run's report content, "Save report…" writes its report;
    // `objects`: the run's rows of objects.csv, none without objects at risk.
    void showResult(std::shared_ptr<const runResultGrids> result, const QString& outputFolder,
                    std::shared_ptr<const runReportContent> report = nullptr, const objectsTable& objects = {});
    bool hasResult() const { return result_ != nullptr; }
    // Draws the cells of an outline (1 on the map's grid) over the map of
    // `result`; dropped when another result is shown by then.
    void showOutline(const std::shared_ptr<const runResultGrids>& result, grid<uint8_t> outline);
    // Marks the map as the previous run's (a new run is under way or did not
    // complete); an empty note takes the mark away.
    void markAsPrevious(const QString& note);

    mapColouring colouring() const;
    void setColouring(mapColouring colouring);
    QString outputFolder() const { return outputFolder_; }

    mapView* view() const { return view_; }
    QTableView* objectsView() const { return objectsView_; }
    // The map's caption, after the colouring shown.
    QString caption() const;

    // Writes the map with its legend, placed, in the format of the name's
    // suffix, off the window's thread; the outcome comes as a message.
    void saveMap(const QString& fileName);

    // Writes the last run's report as a PDF, its map in the colouring shown,
    // off the window's thread; the outcome comes as a message.
    void saveReport(const QString& fileName);

signals:
    // A line for the window's log: what became of an action of this panel.
    void message(const QString& text);
    void captionChanged(const QString& caption);

private:
    void redraw();
    void showReadout(int row, int col);
    void openOutputFolder();
    void askWhereToSaveMap();
    void askWhereToSaveReport();
    void showDistributions();
    void showObject(const QModelIndex& index);

    mapView* view_ = nullptr;
    QLabel* legend_ = nullptr;
    QComboBox* colouringChoice_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QPushButton* saveMap_ = nullptr;
    QPushButton* saveReport_ = nullptr;
    histogramChart* travelAngles_ = nullptr;
    histogramChart* runOuts_ = nullptr;
    QLabel* status_ = nullptr;
    objectsTableModel* objects_ = nullptr;
    QSortFilterProxyModel* sortedObjects_ = nullptr;
    QTableView* objectsView_ = nullptr;
    std::shared_ptr<const runResultGrids> result_;
    std::shared_ptr<const runReportContent> report_;
    grid<uint8_t> outline_;  // empty: none
    QString outputFolder_;
};
