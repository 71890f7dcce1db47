#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QRect>
#include <QString>
#include <QTimer>

#include "controller/runFolder.h"
#include "controller/tumbraController.h"
#include "ui/calibrationDialog.h"

class QCloseEvent;
class QKeyEvent;
class QLineEdit;
class QPropertyAnimation;
class QThread;
class tumbraMainDialogForm;
class updatableLineEdit;

// The program's window: input paths, simulation settings, run control with
// progress and log, and the reach-probability map of the last completed run.
// Owns the run controller and the worker thread the controller lives on; the
// two talk through queued signals only.
class tumbraMainDialog : public QDialog
{
    Q_OBJECT

public:
    explicit tumbraMainDialog(QWidget* parent = nullptr);
    ~tumbraMainDialog() override;

    // The three kinds of modal box the window shows. Each is a replaceable
    // function so the window can be driven without a person at the screen;
    // the defaults are parentless, application-modal message boxes.
    // A question box returns the QMessageBox::StandardButton that was pressed.
    using questionBoxFunction = std::function<int(const QString& questionText, const QString& informativeText)>;
    using noticeBoxFunction = std::function<void(const QString& text)>;
    void setQuestionBox(questionBoxFunction box) { questionBox_ = std::move(box); }
    void setErrorBox(noticeBoxFunction box) { errorBox_ = std::move(box); }
    void setWarningBox(noticeBoxFunction box) { warningBox_ = std::move(box); }

signals:
    // Queued to the controller on its worker thread.
    void startRun(runRequest request);
    // A run has ended and the window shows its outcome, the closing line last.
    void runFinished(int code);
    // The run ended while a question about stopping it was open: the
    // question has nothing left to decide and closes itself.
    void stopQuestionOutlived();

public slots:
    void onInitProgressBar(int nRows);
    void onSetProgressBar(int progress);
    void onResetProgressBar();
    void restoreProgressBarGeometry();
    void hideProgressBar();
    void updateAllFields();
    void updateButtons();
    void browseDigitalElevationModel();
    void browseOutputFolder();
    void browseStartRaster();
    void browseObjects();
    void browseForest();
    void browseBarriers();
    void runProcess();
    // A run of the calibration dialog's lists against the observed run-out.
    void runCalibration();
    bool onAbortRequested();
    void onAbout();
    void onRunFinished(const runOutcome& outcome);
    void onDisplayError(QString errorText);
    void onDisplayWarning(QString warningText);
    void onDisplayMessage(QString text);
    int onDisplayQuestion(QString questionText, QString yesNoQuestion);
    void onWarningBoxRequested(QString text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void installPathEdits();
    void connectSignals();
    void initProgressBarAnimation();
    void showEndOnProgressBar(int code);
    void fillComboBoxes();
    bool browseForFile(updatableLineEdit* lineEdit, const QString& caption, const QString& filter);
    bool browseForDirectory(QLineEdit* lineEdit, const QString& defaultDir, const QString& caption);
    // The run's own sub-folder of the output directory, named after its settings and time.
    QString plannedRunFolder() const;
    bool prepareRunFolder(const QString& path);
    outputFormat selectedOutputFormat() const;
    runRequest requestFromForm(const QString& outputFolder) const;
    bool checkExistingOutputFiles(const runRequest& request);
    void reportFilesNotWritten(const QStringList& fileNames);
    void showResultPane();
    int formWidthForPaths(int total) const;
    void closeOutlivedQuestion(const runOutcome& outcome);
    void leaveUnfinishedRunFolder();
    void readSettings();
    void writeSettings();

    updatableLineEdit* outputFolderEdit() const;
    updatableLineEdit* demEdit() const;
    updatableLineEdit* startRasterEdit() const;
    updatableLineEdit* objectsEdit() const;
    updatableLineEdit* forestEdit() const;
    updatableLineEdit* barriersEdit() const;

    std::unique_ptr<tumbraMainDialogForm> ui;
    QString workingDir;
    QPropertyAnimation* progressBarAnimation = nullptr;
    tumbraController controller;
    QRect progressBarGeometry;
    QThread* workerThread = nullptr;
    // Single-shot, so a new run can cancel the previous run's pending hide.
    QTimer progressBarHideTimer;
    // From the start request to the end of the run; guards the run button in
    // the time before the controller reports the run.
    bool runStarted_ = false;
    bool stopAsked_ = false;  // for the run under way
    // The sub-folder of the run being prepared or under way, locked; removed
    // again when the run ends without writing anything into it.
    std::unique_ptr<runFolder> runFolder_;

    questionBoxFunction questionBox_;
    bool stopQuestionOpen_ = false;
    bool stopQuestionOutlived_ = false;
    noticeBoxFunction errorBox_;
    noticeBoxFunction warningBox_;

    observedRunOutRow observed_;
    calibrationDialog* calibration_ = nullptr;
    bool calibrationRun_ = false;  // the run being prepared or under way is the calibration dialog's
};
