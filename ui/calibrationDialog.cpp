#include "ui/calibrationDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <QPointer>
#include <QThread>

#include <cmath>

#include "controller/runRequest.h"
#include "controller/settingsTable.h"
#include "map/runResultGrids.h"
#include "outputs/csvRows.h"
#include "raster/observedLayer.h"
#include "raster/vectorLayer.h"
#include "ui/resultMapPanel.h"
#include "ui/layerChoice.h"
#include "ui/settingFields.h"
#include "ui/tumbraMainDialogForm.h"
#include "widgets/mruComboBox.h"
#include "widgets/updatableLineEdit.h"

namespace {

const QString vectorFilter = QStringLiteral(
    "Vector layers (*.gpkg *.shp *.geojson *.json *.fgb);;GeoPackage (*.gpkg);;Shapefile (*.shp);;GeoJSON "
    "(*.geojson *.json);;FlatGeobuf (*.fgb);;All files (*)");

const QString observedListKey = QStringLiteral("Parameters/observedFileMRU");

QSettings openStore() { return QSettings(QStringLiteral("velmora"), QStringLiteral("tumbra")); }

QString tr(const char* text) { return QCoreApplication::translate("calibrationDialog", text); }

QString browseVectorFile(QWidget* parent, const QString& caption, const QString& start)
{
    return QFileDialog::getOpenFileName(parent, caption, start, vectorFilter, nullptr,
                                        QFileDialog::DontResolveSymlinks);
}

// The rows a calibration searches with free lists, and the dialog's label of each.
const char* const listedRows[] = {"maxDeviationAngle", "initialFallHeight", "segmentLength"};

}  // namespace

observedRunOutRow placeObservedRunOutRow(tumbraMainDialogForm& form, QWidget* parent)
{
    observedRunOutRow row;
    const int gridRow = form.pathGrid->rowCount();
    row.label = new QLabel(tr("Observed run-out"), parent);
    row.label->setObjectName(QStringLiteral("observedLabel"));
    row.label->setToolTip(tr("Optional: the mapped reach (polygons) and/or observed blocks (points), a vector "
                             "layer. A run is then scored against it (calibration.csv); Calibrate... searches "
                             "the settings that fit it best."));
    row.file = new mruComboBox(parent);
    row.file->setObjectName(QStringLiteral("observedFile"));
    row.file->setPathEdit(new updatableLineEdit());
    row.browse = new QPushButton(tr("Browse"), parent);
    row.browse->setObjectName(QStringLiteral("browseObserved"));
    row.browse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row.browse->setToolTip(tr("Browse for the observed run-out: a vector file"));
    QObject::connect(row.browse, &QPushButton::clicked, row.file, [parent, file = row.file] {
        const QString path = browseVectorFile(parent, tr("Choose the observed run-out"), file->pathEdit()->baseDir());
        if (!path.isEmpty())
            file->pathEdit()->setText(path);
    });
    form.pathGrid->addWidget(row.label, gridRow, 0);
    form.pathGrid->addWidget(row.file, gridRow, 1);
    form.pathGrid->addWidget(row.browse, gridRow, 2);
    form.pathControls << row.file << row.browse;

    // Its label and tooltip come from the settings table, as the other layers' do.
    row.layerLabel = new QLabel(parent);
    row.layerLabel->setObjectName(QStringLiteral("observedLayerLabel"));
    row.layer = new QComboBox(parent);
    row.layer->setObjectName(QStringLiteral("observedLayer"));
    row.layer->setEditable(true);
    row.layer->setInsertPolicy(QComboBox::NoInsert);
    row.layer->lineEdit()->setPlaceholderText(tr("the first"));
    form.pathGrid->addWidget(row.layerLabel, gridRow + 1, 0);
    form.pathGrid->addWidget(row.layer, gridRow + 1, 1);
    form.settingFields.insert(QStringLiteral("observedLayer"), {row.layer, row.layerLabel});
    row.calibrate = new QPushButton(tr("Calibrate..."), parent);
    row.calibrate->setObjectName(QStringLiteral("calibrate"));
    row.calibrate->setToolTip(tr("Run every combination of lists of settings against the observed run-out and "
                                 "rank them"));
    // Beside the run's buttons: the form keeps its height while no file is given.
    form.runRow->insertWidget(2, row.calibrate);
    return row;
}

bool updateObservedRunOutRow(const observedRunOutRow& row, bool running)
{
    const updatableLineEdit& edit = *row.file->pathEdit();
    const bool given = !edit.text().trimmed().isEmpty();
    offerLayersOf(row.layer, given ? edit.absoluteFilePath() : QString());
    for (QWidget* widget : {static_cast<QWidget*>(row.layerLabel), static_cast<QWidget*>(row.layer)}) {
        widget->setVisible(given);
        widget->setEnabled(!running && given);
    }
    row.calibrate->setEnabled(!running && given && edit.isValid());
    return !given || edit.isValid();
}

void readObservedRunOutRow(observedRunOutRow& row)
{
    row.file->setStringList(openStore().value(observedListKey).toStringList());
}

void writeObservedRunOutRow(const observedRunOutRow& row)
{
    openStore().setValue(observedListKey, row.file->stringList());
}

grid<uint8_t> boundaryCells(const grid<uint8_t>& area)
{
    grid<uint8_t> boundary(area.rows(), area.cols(), 0);
    const auto outside = [&area](int r, int c) {
        return r < 0 || c < 0 || r >= area.rows() || c >= area.cols() || !area(r, c);
    };
    for (int r = 0; r < area.rows(); ++r)
        for (int c = 0; c < area.cols(); ++c)
            boundary(r, c) =
                area(r, c) && (outside(r - 1, c) || outside(r + 1, c) || outside(r, c - 1) || outside(r, c + 1));
    return boundary;
}

void showObservedOutline(resultMapPanel* panel, const std::shared_ptr<const runResultGrids>& result,
                         const QString& file, const QString& layer)
{
    const QPointer<resultMapPanel> target(panel);
    auto* reader = QThread::create([target, result, file, layer] {
        silentSink sink;  // the run already reported what it made of the file
        const std::optional<observedCells> cells =
            readObservedLayer({file, layer, {}}, QStringLiteral("observed run-out"), false, result->header,
                              result->placement.geoTransform, result->placement.system, sink);
        if (!cells)
            return;
        grid<uint8_t> outline = boundaryCells(cells->area);
        for (const std::size_t cell : cells->points)
            if (!outline.empty() && cell < static_cast<std::size_t>(outline.rows()) * outline.cols())
                outline.data()[cell] = 1;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [target, result, outline] {
            if (target)
                target->showOutline(result, outline);
        });
    });
    QObject::connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}

QVariantList typedSettingValues(const QString& rowName, const QString& text, QString* problem)
{
    const settingRow& row = settingNamed(rowName);
    QVariantList values;
    if (text.trimmed().isEmpty())
        return values;
    for (const QString& piece : text.split(QLatin1Char(','))) {
        const QString typed = piece.trimmed();
        bool ok = false;
        const double number = row.type == settingType::wholeNumber ? typed.toInt(&ok) : typed.toDouble(&ok);
        QString why = ok && std::isfinite(number)            ? row.rangeProblem(number)
                      : row.type == settingType::wholeNumber ? tr("takes whole numbers")
                                                             : tr("takes numbers");
        if (!why.isEmpty()) {
            *problem = tr("%1 %2, not \"%3\".").arg(row.label, why, typed);
            return {};
        }
        values << (row.type == settingType::wholeNumber ? QVariant(static_cast<int>(number)) : QVariant(number));
    }
    return values;
}

QList<QPair<QString, QVariant>> fieldValuesOfTableRow(const QStringList& header, const QStringList& row)
{
    QList<QPair<QString, QVariant>> values;
    for (const settingRow& setting : settingsTable()) {
        const qsizetype column = header.indexOf(setting.labelWithUnit());
        if (column < 0 || column >= row.size())
            continue;
        const QString text = row[column];
        if (setting.type == settingType::choice) {
            const qsizetype index = setting.choices.indexOf(text);
            if (index >= 0)
                values.append({setting.name, static_cast<int>(index)});
        } else if (setting.type == settingType::number) {
            bool ok = false;
            const double number = text.toDouble(&ok);
            if (ok)
                values.append({setting.name, number});
        } else {
            values.append({setting.name, text});  // whole numbers: the text an editable list shows
        }
    }
    return values;
}

calibrationDialog::calibrationDialog(tumbraMainDialogForm& form, QWidget* parent) : QDialog(parent), form_(form)
{
    setObjectName(QStringLiteral("calibrationDialog"));
    setWindowTitle(tr("Calibration against the observed run-out"));
    auto* column = new QVBoxLayout(this);
    auto* lists = new QGroupBox(tr("Values to try (lists separated by commas; empty: the form's value)"), this);
    auto* grid = new QGridLayout(lists);
    const settingRow& probability = settingNamed(QStringLiteral("probabilityClass"));
    grid->addWidget(new QLabel(probability.labelWithUnit(), lists), 0, 0);
    auto* classes = new QHBoxLayout();
    for (int k = 0; k < probability.choices.size(); ++k) {
        auto* box = new QCheckBox(probability.choices[k], lists);
        box->setObjectName(QStringLiteral("class_") + probability.choiceValues.value(k));
        classes->addWidget(box);
        classes_ << box;
    }
    grid->addLayout(classes, 0, 1);
    QLineEdit** edits[] = {&maxAngles_, &fallHeights_, &segmentLengths_};
    for (int k = 0; k < 3; ++k) {
        const settingRow& row = settingNamed(QLatin1String(listedRows[k]));
        auto* label = new QLabel(row.labelWithUnit(), lists);
        label->setToolTip(row.tooltip);
        *edits[k] = new QLineEdit(lists);
        (*edits[k])->setObjectName(QLatin1String(listedRows[k]) + QStringLiteral("List"));
        (*edits[k])->setPlaceholderText(tr("such as %1").arg(k == 0 ? "15, 22, 30" : k == 1 ? "0, 5, 10" : "2, 5"));
        grid->addWidget(label, k + 1, 0);
        grid->addWidget(*edits[k], k + 1, 1);
    }
    const settingRow& by = settingNamed(QStringLiteral("calibrateBy"));
    grid->addWidget(new QLabel(by.labelWithUnit(), lists), 4, 0);
    criterion_ = new QComboBox(lists);
    criterion_->setObjectName(QStringLiteral("calibrateBy"));
    criterion_->addItems(by.choices);
    criterion_->setCurrentIndex(by.defaultValue.toInt());
    criterion_->setToolTip(by.tooltip);
    grid->addWidget(criterion_, 4, 1);
    grid->addWidget(new QLabel(tr("Study area (optional)"), lists), 5, 0);
    auto* areaLine = new QHBoxLayout();
    studyArea_ = new QLineEdit(lists);
    studyArea_->setObjectName(QStringLiteral("studyArea"));
    studyArea_->setPlaceholderText(tr("every reached cell and the mapped reach"));
    studyArea_->setToolTip(tr("Polygons that bound where misses count"));
    browseStudyArea_ = new QPushButton(tr("Browse"), lists);
    connect(browseStudyArea_, &QPushButton::clicked, this, [this] {
        const QString path = browseVectorFile(this, tr("Choose the study area"), studyArea_->text());
        if (!path.isEmpty())
            studyArea_->setText(path);
    });
    areaLine->addWidget(studyArea_, 1);
    areaLine->addWidget(browseStudyArea_);
    grid->addLayout(areaLine, 5, 1);
    column->addWidget(lists);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("calibrationProblem"));
    problem_->setWordWrap(true);
    problem_->hide();
    column->addWidget(problem_);
    run_ = new QPushButton(tr("Run calibration"), this);
    run_->setObjectName(QStringLiteral("runCalibration"));
    connect(run_, &QPushButton::clicked, this, &calibrationDialog::requestRun);
    column->addWidget(run_, 0, Qt::AlignLeft);

    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("calibrationTable"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    column->addWidget(table_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    useBest_ = buttons->addButton(tr("Use best settings"), QDialogButtonBox::ActionRole);
    useBest_->setObjectName(QStringLiteral("useBestSettings"));
    useBest_->setToolTip(tr("Put the first row's settings into the window's fields"));
    useBest_->setEnabled(false);
    connect(useBest_, &QPushButton::clicked, this, &calibrationDialog::useBestSettings);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    column->addWidget(buttons);
    resize(760, 520);
}

bool calibrationDialog::fillRequest(runRequest& request) const
{
    QString problem;
    QList<QPair<QString, QVariantList>> lists;
    QVariantList classes;
    for (int k = 0; k < classes_.size(); ++k)
        if (classes_[k]->isChecked())
            classes << k;
    if (!classes.isEmpty())
        lists.append({QStringLiteral("probabilityClass"), classes});
    const QLineEdit* edits[] = {maxAngles_, fallHeights_, segmentLengths_};
    for (int k = 0; k < 3 && problem.isEmpty(); ++k) {
        const QVariantList values = typedSettingValues(QLatin1String(listedRows[k]), edits[k]->text(), &problem);
        if (!values.isEmpty())
            lists.append({QLatin1String(listedRows[k]), values});
    }
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    if (!problem.isEmpty())
        return false;
    // As tumbra-run reads its options: a list of one value sets the setting.
    request.calibrationLists.clear();
    for (const auto& [name, values] : lists) {
        settingNamed(name).write(request, values.first());
        if (values.size() > 1)
            request.calibrationLists.append({name, values});
    }
    request.calibrate = true;
    request.calibrateBy = static_cast<calibrationCriterion>(criterion_->currentIndex());
    const QString area = studyArea_->text().trimmed();
    request.studyAreaFile =
        area.isEmpty() ? QString() : QFileInfo(QDir(form_.outputFolder->currentText()), area).absoluteFilePath();
    return true;
}

void calibrationDialog::requestRun()
{
    runRequest check;
    if (!fillRequest(check))
        return;
    // The last search's ranking goes: its best settings are not this one's.
    table_->setRowCount(0);
    best_.clear();
    useBest_->setEnabled(false);
    emit runRequested();
}

void calibrationDialog::setRunning(bool running)
{
    run_->setEnabled(!running);
    useBest_->setEnabled(!running && !best_.isEmpty());
}

void calibrationDialog::showResults(const QString& runFolder)
{
    QFile file(QDir(runFolder).filePath(QStringLiteral("calibration.csv")));
    QList<QStringList> rows = file.open(QIODevice::ReadOnly) ? csvRows(file.readAll()) : QList<QStringList>();
    header_ = rows.isEmpty() ? QStringList() : rows.takeFirst();
    best_ = rows.value(0);
    table_->clear();
    table_->setColumnCount(header_.size());
    table_->setHorizontalHeaderLabels(header_);
    table_->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size() && c < header_.size(); ++c)
            table_->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    table_->resizeColumnsToContents();
    if (rows.isEmpty()) {
        problem_->setText(tr("No calibration.csv in %1.").arg(runFolder));
        problem_->show();
    }
    useBest_->setEnabled(!best_.isEmpty());
    show();
    raise();
}

void calibrationDialog::useBestSettings()
{
    for (const auto& [name, value] : fieldValuesOfTableRow(header_, best_))
        if (QWidget* field = form_.settingFields.value(name).field)
            restoreFieldValue(field, value);
}
