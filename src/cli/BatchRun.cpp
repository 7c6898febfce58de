#include "BatchRun.h"

#include "chart/BatchCharts.h"
#include "chart/ChartPicture.h"
#include "export/PictureFiles.h"
#include "export/StormBatch.h"
#include "model/PluvionError.h"

#include <QSize>
#include <cmath>
#include <cstdio>

namespace {

void printMessage(const QString &text)
{
    const QByteArray bytes = (text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void tellProgress(const BatchStorm &storm, int place, int count)
{
    QString line = QStringLiteral("[%1/%2] ").arg(place).arg(count) + BatchStormName(storm.storm);
    if (storm.failure)
        line += QStringLiteral(" 出错：") + *storm.failure;
    printMessage(line);
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
template <typename Draw> bool saveChart(const QString &path, Draw draw)
{
    if (path.isEmpty())
        return true;
    try {
        const std::unique_ptr<StyledPlot> chart = draw();
        SaveChartPicture(path, RenderOffScreen(*chart));
        return true;
    } catch (const PluvionError &error) {
        printMessage(error.description());
        return false;
    }
}

} // namespace

ExitStatus RunCliBatch(const CliRequest &request, const Separators &sep)
{
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
        outcome = RunStormBatch(batch, sep, tellProgress);
    } catch (const PluvionError &error) {
        printMessage(error.description());
        return ExitStatus::BadInput;
    }
    const int failed = outcome.failedCount();
    printMessage(QStringLiteral("批量计算完成：成功 %1 个，失败 %2 个；汇总表 %3")
                     .arg(outcome.storms.size() - failed)
                     .arg(failed)
                     .arg(outcome.summaryPath));

    const QSize size(request.pictureWidth, request.pictureHeight);
    bool written =
        saveChart(request.compareChartPath, [&] { return BatchCompareChart(outcome.storms, size, sep); });
    written =
        saveChart(request.idfChartPath,
                  [&] {
                      return BatchIdfChart(request.storm, request.periods, longestDuration(request.durations),
                                           request.idfLogAxes, size, sep);
                  }) &&
        written;
    if (!written)
        return ExitStatus::BadInput;
    return failed > 0 ? ExitStatus::ComputationFailed : ExitStatus::Success;
}
