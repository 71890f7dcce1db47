#include "outputs/trajectoryPointsFile.h"

#include "raster/fixedNotation.h"
#include "raster/textOutputFile.h"

namespace {
constexpr int pointDecimals = 1;
}  // namespace

writeOutcome writeTrajectoryPoints(const outputTarget& target, const trajectoryList& trajectories, messageSink& sink)
{
    textOutputFile file(target);
    if (!file.open(sink))
        return writeOutcome::notOpened;
    blockWriter& writer = file.writer();
    writer.append("All trajectories\n#\tx\ty\tz");
    // Every trajectory takes a number, an empty one too, so numbers match list positions.
    std::int64_t number = 0;
    for (const auto& trajectory : trajectories) {
        ++number;
        for (const trajectoryPoint& point : trajectory) {
            char* out = writer.cursor();
            *out++ = '\n';
            out = writeInteger(out, number);
            *out++ = '\t';
            out = writeFixed(out, point.x, pointDecimals);
            *out++ = '\t';
            out = writeFixed(out, point.y, pointDecimals);
            *out++ = '\t';
            out = writeFixed(out, point.z, pointDecimals);
            writer.advanceTo(out);
        }
        if (writer.failed())
            break;
    }
    return file.commit(sink);
}
