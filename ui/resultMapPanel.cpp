#include "ui/resultMapPanel.h"

#include <algorithm>

#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QUrl>
#include <QVBoxLayout>

#include "map/cellReadout.h"
#include "outputs/mapPictureFile.h"
#include "outputs/runReport.h"
#include "map/runResultGrids.h"
#include "ui/objectOverlay.h"
#include "ui/objectsTableModel.h"
#include "widgets/histogramChart.h"
#include "widgets/mapView.h"

namespace {
const QString hoverHint = QStringLiteral("Point at the map for a cell's values. Wheel or + and - zoom, drag or "
                                         "arrow keys pan, double click or 0 fits the map to the view.");
}

resultMapPanel::resultMapPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* mapRow = new QHBoxLayout();
    view_ = new mapView(this);
    view_->setObjectName(QStringLiteral("raster"));
    mapRow->addWidget(view_, 1);

    auto* side = new QVBoxLayout();
    legend_ = new QLabel(this);
    legend_->setObjectName(QStringLiteral("mapLegend"));
    legend_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    colouringChoice_ = new QComboBox(this);
    colouringChoice_->setObjectName(QStringLiteral("mapColouring"));
    for (const mapColouringRow& row : mapColourings())
        colouringChoice_->addItem(tr(row.choiceLabel), QVariant::fromValue(int(row.colouring)));
    colouringChoice_->setToolTip(
        tr("What the colours show. Reach probability: of the trajectories from the start cells able to reach a "
           "cell, the share in percent that did, in hazard-map classes (the values of Reach_prob.asc). Passage "
           "share of the run: the share of all the run's trajectories that passed the cell. Largest energy: the "
           "cell's Energy_max in the run's energy classes (kJ; a run with intensity and a block volume). "
           "Energy-line height: the cell's Height_max (m; a run with intensity). Source share: at each start cell "
           "the share of its trajectories that reached an object at risk (Source_share; a run with objects at "
           "risk). A run without these grids shows the reach probability."));
    openFolder_ = new QPushButton(tr("Open output folder"), this);
    openFolder_->setObjectName(QStringLiteral("openOutputFolder"));
    openFolder_->setEnabled(false);
    openFolder_->setToolTip(tr("Open the folder this run wrote its files into"));
    saveMap_ = new QPushButton(tr("Save map as…"), this);
    saveMap_->setObjectName(QStringLiteral("saveMap"));
    saveMap_->setEnabled(false);
    saveMap_->setToolTip(tr("Write the map as a picture placed on the DEM's grid: PNG or JPEG with a world file "
                            "and the coordinate system beside it, or a GeoTIFF; its legend goes to a -legend.png "
                            "beside it"));
    saveReport_ = new QPushButton(tr("Save report…"), this);
    saveReport_->setObjectName(QStringLiteral("saveReport"));
    saveReport_->setEnabled(false);
    saveReport_->setToolTip(tr("Write the last run's report as a PDF: the map at a stated scale with its legend, "
                               "the charts, the inputs, the settings, the run summary and the objects table"));
    travelAngles_ = new histogramChart(this);
    travelAngles_->setObjectName(QStringLiteral("travelAngleChart"));
    travelAngles_->setToolTip(tr("Travel angles of the run's trajectories: the energy-line angle from the start "
                                 "point to the last point, in degrees"));
    runOuts_ = new histogramChart(this);
    runOuts_->setObjectName(QStringLiteral("runOutChart"));
    runOuts_->setToolTip(tr("Run-outs of the run's trajectories: the horizontal distance from the start point to "
                            "the last point, in metres"));
    side->addWidget(colouringChoice_);
    side->addWidget(legend_);
    side->addWidget(travelAngles_);
    side->addWidget(runOuts_);
    side->addStretch(1);
    side->addWidget(saveMap_);
    side->addWidget(saveReport_);
    side->addWidget(openFolder_);
    mapRow->addLayout(side);
    layout->addLayout(mapRow, 1);

    objects_ = new objectsTableModel(this);
    sortedObjects_ = new QSortFilterProxyModel(this);
    sortedObjects_->setSourceModel(objects_);
    sortedObjects_->setSortRole(objectsTableModel::sortRole);
    sortedObjects_->setSortLocaleAware(true);
    objectsView_ = new QTableView(this);
    objectsView_->setObjectName(QStringLiteral("objectsTable"));
    objectsView_->setModel(sortedObjects_);
    objectsView_->setSortingEnabled(true);
    objectsView_->sortByColumn(-1, Qt::AscendingOrder);  // by id, as objects.csv, until a header is clicked
    objectsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    objectsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    objectsView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    objectsView_->verticalHeader()->hide();
    objectsView_->verticalHeader()->setDefaultSectionSize(objectsView_->fontMetrics().height() + 6);
    objectsView_->setWordWrap(false);
    objectsView_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    objectsView_->setToolTip(tr("The objects at risk as objects.csv has them; click a header to sort, a row to "
                                "show the object on the map"));
    objectsView_->hide();
    layout->addWidget(objectsView_);
    connect(objectsView_, &QTableView::clicked, this, &resultMapPanel::showObject);
    // The arrow keys move along the rows, and the map follows.
    connect(objectsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (objectsView_->hasFocus())
                    showObject(current);
            });

    status_ = new QLabel(hoverHint, this);
    status_->setObjectName(QStringLiteral("mapStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);
    layout->addWidget(status_);

    connect(colouringChoice_, &QComboBox::currentIndexChanged, this, &resultMapPanel::redraw);
    connect(view_, &mapView::cellHovered, this, &resultMapPanel::showReadout);
    connect(view_, &mapView::hoverLeft, this, [this] { status_->setText(hoverHint); });
    connect(openFolder_, &QPushButton::clicked, this, &resultMapPanel::openOutputFolder);
    connect(saveMap_, &QPushButton::clicked, this, &resultMapPanel::askWhereToSaveMap);
    connect(saveReport_, &QPushButton::clicked, this, &resultMapPanel::askWhereToSaveReport);
    redraw();
    showDistributions();
}

void resultMapPanel::showResult(std::shared_ptr<const runResultGrids> result, const QString& outputFolder,
                                std::shared_ptr<const runReportContent> report, const objectsTable& objects)
{
    result_ = std::move(result);
    report_ = result_ ? std::move(report) : nullptr;
    saveReport_->setEnabled(report_ != nullptr);
    objects_->setTable(objects);
    // As high as its rows, up to five of them, and a sideways scroll bar.
    constexpr std::size_t mostRowsShown = 5;
    const int rowsShown = static_cast<int>(std::min(objects.rows.size(), mostRowsShown));
    objectsView_->setMaximumHeight(objectsView_->horizontalHeader()->sizeHint().height()
                                   + rowsShown * objectsView_->verticalHeader()->defaultSectionSize()
                                   + objectsView_->horizontalScrollBar()->sizeHint().height()
                                   + 2 * objectsView_->frameWidth());
    objectsView_->setVisible(!objects.rows.empty());
    view_->setOverlay(result_ ? objectOverlayShapes(*result_) : QList<mapOverlayShape>());
    outline_ = {};
    outputFolder_ = outputFolder;
    openFolder_->setEnabled(!outputFolder_.isEmpty());
    saveMap_->setEnabled(result_ != nullptr);
    view_->setNote(QString());
    redraw();
    showDistributions();
}

void resultMapPanel::showOutline(const std::shared_ptr<const runResultGrids>& result, grid<uint8_t> outline)
{
    if (result != result_)
        return;
    outline_ = std::move(outline);
    redraw();
}

void resultMapPanel::markAsPrevious(const QString& note) { view_->setNote(note); }

mapColouring resultMapPanel::colouring() const
{
    return static_cast<mapColouring>(colouringChoice_->currentData().toInt());
}

void resultMapPanel::setColouring(mapColouring colouring)
{
    colouringChoice_->setCurrentIndex(colouringChoice_->findData(QVariant::fromValue(int(colouring))));
}

void resultMapPanel::redraw()
{
    // Offered only where the run has objects at risk.
    if (auto* items = qobject_cast<QStandardItemModel*>(colouringChoice_->model()))
        items->item(colouringChoice_->findData(int(mapColouring::sourceShare)))
            ->setEnabled(result_ && result_->sourceShares);
    const mapColouring shown = result_ ? shownColouring(*result_, colouring()) : colouring();
    const std::vector<double> limits =
        result_ ? result_->intensityOptions.energyClassLimits : intensitySettings().energyClassLimits;
    legend_->setPixmap(QPixmap::fromImage(resultMapLegendImage(shown, limits)));
    if (result_) {
        QImage picture = resultMapImage(*result_, colouring());
        if (outline_.rows() == picture.height() && outline_.cols() == picture.width())
            for (int r = 0; r < outline_.rows(); ++r)
                for (int c = 0; c < outline_.cols(); ++c)
                    if (outline_(r, c))
                        picture.setPixel(c, r, qRgb(255, 0, 255));
        view_->setPicture(picture);
    }
    emit captionChanged(caption());
}

QString resultMapPanel::caption() const
{
    return resultMapCaption(result_ ? shownColouring(*result_, colouring()) : colouring());
}

void resultMapPanel::showDistributions()
{
    const runOutStatistics* runOuts = result_ ? &result_->runOuts : nullptr;
    const auto bars = [](const std::vector<uint64_t>& counts) { return QVector<double>(counts.begin(), counts.end()); };
    constexpr int mostBars = 30;
    const histogramChart::regrouped angles =
        runOuts ? histogramChart::regroup(bars(runOuts->travelAngleCounts), -90.0,
                                          1.0 / runOutStatistics::angleBinsPerDegree, mostBars)
                : histogramChart::regrouped{};
    travelAngles_->setBars(tr("Travel angle (trajectories)"), angles.heights, angles.from, angles.to,
                           QStringLiteral("°"));
    // The run-outs are counted in bins of a cell; the longest ends the range.
    const histogramChart::regrouped distances =
        runOuts ? histogramChart::regroup(bars(runOuts->runOutCounts), 0.0, runOuts->runOutBinWidth, mostBars,
                                          runOuts->longestRunOut)
                : histogramChart::regrouped{};
    runOuts_->setBars(tr("Run-out (trajectories)"), distances.heights, distances.from, distances.to,
                      QStringLiteral("m"));
}

void resultMapPanel::askWhereToSaveMap()
{
    const QString fileName =
        QFileDialog::getSaveFileName(this, tr("Save map as"), outputFolder_ + QStringLiteral("/map.png"),
                                     tr("PNG picture (*.png);;JPEG picture (*.jpg *.jpeg);;GeoTIFF (*.tif *.tiff)"));
    if (!fileName.isEmpty())
        saveMap(fileName);
}

void resultMapPanel::saveMap(const QString& fileName)
{
    if (!result_)
        return;
    const QString problem = mapSuffixProblem(fileName);
    if (!problem.isEmpty()) {
        emit message(tr("Error: %1").arg(problem));
        return;
    }
    // The grids are shared read-only, so the writer may hold them while a new run starts.
    std::shared_ptr<const runResultGrids> result = result_;
    const mapColouring shown = colouring();
    const QPointer<resultMapPanel> panel(this);
    auto* writer = QThread::create([panel, result, shown, fileName] {
        const QString error = writeResultMap(fileName, *result, shown);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [panel, error, fileName] {
            if (panel)
                emit panel->message(error.isEmpty() ? tr("Map saved as %1").arg(fileName) : tr("Error: %1").arg(error));
        });
    });
    connect(writer, &QThread::finished, writer, &QObject::deleteLater);
    writer->start();
}

void resultMapPanel::askWhereToSaveReport()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save report"), outputFolder_ + QStringLiteral("/report.pdf"), tr("PDF document (*.pdf)"));
    if (!fileName.isEmpty())
        saveReport(fileName);
}

void resultMapPanel::saveReport(const QString& fileName)
{
    if (!result_ || !report_)
        return;
    // Both are shared read-only, so the writer may hold them while a new run starts.
    std::shared_ptr<const runResultGrids> result = result_;
    auto content = std::make_shared<runReportContent>(*report_);
    content->colouring = colouring();
    const QPointer<resultMapPanel> panel(this);
    auto* writer = QThread::create([panel, result, content, fileName] {
        const QString error = saveRunReport(fileName, *result, *content);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [panel, error, fileName] {
            if (panel)
                emit panel->message(error.isEmpty() ? tr("Report saved as %1").arg(fileName)
                                                    : tr("Error: %1").arg(error));
        });
    });
    connect(writer, &QThread::finished, writer, &QObject::deleteLater);
    writer->start();
}

// The shapes are in the order of the outlines, by id.
void resultMapPanel::showObject(const QModelIndex& index)
{
    if (!result_ || !index.isValid())
        return;
    const qlonglong id = index.data(objectsTableModel::idRole).toLongLong();
    const std::vector<objectOutline>& outlines = result_->objectOutlines;
    const auto found = std::find_if(outlines.begin(), outlines.end(),
                                    [id](const objectOutline& outline) { return outline.id == id; });
    const QList<mapOverlayShape>& shapes = view_->overlay();
    const auto at = static_cast<qsizetype>(found - outlines.begin());
    if (found == outlines.end() || at >= shapes.size() || shapes[at].empty())
        return;
    view_->zoomToArea(shapes[at].bounds());
}

void resultMapPanel::showReadout(int row, int col)
{
    if (result_)
        status_->setText(cellReadout(*result_, row, col));
}

void resultMapPanel::openOutputFolder()
{
    if (!outputFolder_.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(outputFolder_)))
        emit message(tr("Could not open the output folder %1: no file manager answered. Open it from a file "
                        "manager or a terminal.")
                         .arg(outputFolder_));
}
