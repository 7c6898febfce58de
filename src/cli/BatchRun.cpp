#include "CliDrawing.h"
#include "Commands.h"
#include "export/PictureFiles.h"
#include "export/StormBatch.h"
#include "model/PluvionError.h"

#include <QSize>
#include <cmath>
#include <cstdio>

namespace {

QString progressLine(const BatchStorm &storm, int place, int count)
{
    QString line = QStringLiteral("[%1/%2] ").arg(place).arg(count) + BatchStormName(storm.storm);
    if (storm.failure)
        line += QStringLiteral(" 出错：") + *storm.failure;
    return line + u'\n';
}

// The longest listed duration the curves can reach.
double longestDuration(const QList<double> &durations)
{
    double longest = 0;
    for (const double duration : durations) {
        if (std::isfinite(duration))
            longest = std::max(longest, duration);
    }
    return longest;
}

// Draws one chart and saves it; false, having said why, when it cannot be written.
template <typename Draw> bool saveChart(const QString &path, Draw draw, CliOutput &output)
{
    if (path.isEmpty())
        return true;
    try {
        SaveChartPicture(path, draw());
        return true;
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return false;
    }
}

} // namespace

ExitStatus RunBatchCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    CliRequest request;
    try {
        request = ParseCliArguments(given, sep);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    StormBatchRequest batch;
    batch.storm = request.storm;
    batch.periods = request.periods;
    batch.durations = request.durations;
    batch.precision = request.precision;
    batch.calcByShow = request.calcByShow;
    batch.timeFormat = request.timeFormat;
    batch.folder = request.outFolder;
    batch.keepRows = !request.compareChartPath.isEmpty();

    StormBatchOutcome outcome;
    try {
        outcome = RunStormBatch(batch, sep, [&output](const BatchStorm &storm, int place, int count) {
            output.err(progressLine(storm, place, count));
        });
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    const int failed = outcome.failedCount();
    output.err(QStringLiteral("批量计算完成：成功 %1 个，失败 %2 个；汇总表 %3\n")
                   .arg(outcome.storms.size() - failed)
                   .arg(failed)
                   .arg(outcome.summaryPath));

    const QSize size(request.pictureWidth, request.pictureHeight);
    bool written = saveChart(
        request.compareChartPath, [&] { return Drawing().batchCompareChart(outcome.storms, size, sep); },
        output);
    written = saveChart(
                  request.idfChartPath,
                  [&] {
                      return Drawing().batchIdfChart(request.storm, request.periods,
                                                     longestDuration(request.durations), request.idfLogAxes,
                                                     size, sep);
                  },
                  output) &&
              written;
    if (!written)
        return ExitStatus::BadInput;
    return failed > 0 ? ExitStatus::ComputationFailed : ExitStatus::Success;
}
