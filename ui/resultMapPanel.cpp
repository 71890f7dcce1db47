#include "ui/resultMapPanel.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "controller/cellReadout.h"
#include "controller/runResultGrids.h"
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
    colouringChoice_->addItem(tr("Reach probability"), QVariant::fromValue(int(mapColouring::reachProbability)));
    colouringChoice_->addItem(tr("Passage share of the run"), QVariant::fromValue(int(mapColouring::passageShare)));
    colouringChoice_->addItem(tr("Largest energy (classes)"), QVariant::fromValue(int(mapColouring::energyClass)));
    colouringChoice_->addItem(tr("Energy-line height"), QVariant::fromValue(int(mapColouring::energyLineHeight)));
    colouringChoice_->setToolTip(
        tr("What the colours show. Reach probability: of the trajectories from the start cells able to reach a "
           "cell, the share in percent that did, in hazard-map classes (the values of Reach_prob.asc). Passage "
           "share of the run: the share of all the run's trajectories that passed the cell. Largest energy: the "
           "cell's Energy_max in the run's energy classes (kJ; a run with intensity and a block volume). "
           "Energy-line height: the cell's Height_max (m; a run with intensity). A run without these grids shows "
           "the reach probability."));
    openFolder_ = new QPushButton(tr("Open output folder"), this);
    openFolder_->setObjectName(QStringLiteral("openOutputFolder"));
    openFolder_->setEnabled(false);
    openFolder_->setToolTip(tr("Open the folder this run wrote its files into"));
    side->addWidget(colouringChoice_);
    side->addWidget(legend_);
    side->addStretch(1);
    side->addWidget(openFolder_);
    mapRow->addLayout(side);
    layout->addLayout(mapRow, 1);

    status_ = new QLabel(hoverHint, this);
    status_->setObjectName(QStringLiteral("mapStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);
    layout->addWidget(status_);

    connect(colouringChoice_, &QComboBox::currentIndexChanged, this, &resultMapPanel::redraw);
    connect(view_, &mapView::cellHovered, this, &resultMapPanel::showReadout);
    connect(view_, &mapView::hoverLeft, this, [this] { status_->setText(hoverHint); });
    connect(openFolder_, &QPushButton::clicked, this, &resultMapPanel::openOutputFolder);
    redraw();
}

void resultMapPanel::showResult(std::shared_ptr<const runResultGrids> result, const QString& outputFolder)
{
    result_ = std::move(result);
    outputFolder_ = outputFolder;
    openFolder_->setEnabled(!outputFolder_.isEmpty());
    view_->setNote(QString());
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
    const mapColouring shown = result_ ? shownColouring(*result_, colouring()) : colouring();
    const std::vector<double> limits =
        result_ ? result_->intensityOptions.energyClassLimits : intensitySettings().energyClassLimits;
    legend_->setPixmap(QPixmap::fromImage(resultMapLegendImage(shown, limits)));
    if (result_)
        view_->setPicture(resultMapImage(*result_, colouring()));
}

void resultMapPanel::showReadout(int row, int col)
{
    if (result_)
        status_->setText(cellReadout(*result_, row, col));
}

void resultMapPanel::openOutputFolder()
{
    if (!outputFolder_.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(outputFolder_));
}
