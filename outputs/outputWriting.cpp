#include "outputs/outputWriting.h"

#include <QFileInfo>

#include "outputs/resultGridOutputs.h"
#include "outputs/runProducts.h"

namespace {

// A grid's side files have writers of their own; the row's writes its main file.
outputWriter writerOf(const plannedOutput& output)
{
    switch (output.part) {
    case plannedOutput::role::projection:
        return writeGridProjection;
    case plannedOutput::role::style:
        return writeGridStyle;
    case plannedOutput::role::main:
        break;
    }
    return output.row->write;
}

}  // namespace

QString writingPhase(const QString& name) { return QStringLiteral("Writing ") + QFileInfo(name).fileName(); }

writtenOutputs writeStagedOutputs(const std::vector<plannedOutput>& outputs, const runProducts& products,
                                  outputStaging& staging, messageSink& sink, const writingProgress& progress,
                                  const std::function<bool()>& stopped)
{
    writtenOutputs result;
    for (const plannedOutput& output : outputs) {
        // One file that cannot be written fails the set: the rest would be dropped unplaced.
        if (stopped() || !result.complete()) {
            result.notWritten << output.name;
            continue;
        }
        QString error;
        const std::optional<outputTarget> target = staging.targetFor(output.name, error);
        if (!target) {
            sink.error(error);
            result.notWritten << output.name;
            continue;
        }
        const QString phase = writingPhase(output.name);
        rowProgress rows;
        if (output.hasPhase()) {
            progress(phase, 0, 1);
            rows = [&](int done, int total) { progress(phase, done, total); };
        }
        const writeOutcome outcome = writerOf(output)(*target, products, output, sink, rows);
        if (outcome == writeOutcome::written)
            result.written << output.name;
        else if (outcome != writeOutcome::notNeeded)
            result.notWritten << output.name;
        if (output.hasPhase() && outcome == writeOutcome::written)
            progress(phase, 1, 1);
    }
    return result;
}
