#pragma once

#include <memory>

#include <QDir>
#include <QTemporaryDir>

#include "controller/tumbraController.h"
#include "tests/controllerRecorder.h"

// A scratch folder for whole runs: the inputs are written into it, and its
// "out" folder is the current directory, where a run writes its files.
class runScratch
{
public:
    bool open()
    {
        startDir_ = QDir::currentPath();
        dir_ = std::make_unique<QTemporaryDir>();
        return dir_->isValid() && QDir(dir_->path()).mkdir(QStringLiteral("out")) && QDir::setCurrent(outPath());
    }
    void close()
    {
        QDir::setCurrent(startDir_);
        dir_.reset();
    }

    QString outPath() const { return dir_->filePath(QStringLiteral("out")); }
    QString demPath() const { return dir_->filePath(QStringLiteral("dem.asc")); }
    QString startPath() const { return dir_->filePath(QStringLiteral("start.asc")); }

    // Writes both inputs and hands them to the controller, with ten simulations.
    bool prepare(tumbraController& controller, const QByteArray& dem, const QByteArray& start) const
    {
        if (!writeTextFile(demPath(), dem) || !writeTextFile(startPath(), start))
            return false;
        controller.setNumberOfSimulations(10);
        const bool demAccepted = controller.setDigitalElevationModel(demPath());
        const bool startAccepted = controller.setStartCellsFile(startPath());
        return demAccepted && startAccepted;
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString startDir_;
};
