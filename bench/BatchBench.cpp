// An 8 x 4 batch end to end (P = 1, 2, 3, 5, 10, 20, 50, 100 years with
// T = 60, 120, 180, 1440 minutes, step 1): every storm computed and written
// as CSV, the summary written; the second case also draws and saves the
// comparison chart and the intensity-duration chart as PNG pictures.
#include "chart/BatchCharts.h"
#include "chart/ChartPicture.h"
#include "export/StormBatch.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

StormBatchRequest eightByFour(const QString &folder, bool keepRows)
{
    StormBatchRequest request;
    request.periods = {1, 2, 3, 5, 10, 20, 50, 100};
    request.durations = {60, 120, 180, 1440};
    request.storm.step = 1;
    request.folder = folder;
    request.keepRows = keepRows;
    return request;
}

void BM_Batch(benchmark::State &state)
{
    const bool charts = state.range(0) != 0;
    QTemporaryDir dir;
    const StormBatchRequest request = eightByFour(dir.path(), charts);
    const QSize size(579, 480);
    for (auto _ : state) {
        const StormBatchOutcome outcome = RunStormBatch(request, {});
        if (outcome.failedCount() != 0) {
            state.SkipWithError("a storm of the batch failed");
            return;
        }
        if (charts) {
            SaveChartPicture(dir.filePath(QStringLiteral("compare.png")),
                             RenderOffScreen(*BatchCompareChart(outcome.storms, size, {})));
            SaveChartPicture(
                dir.filePath(QStringLiteral("idf.png")),
                RenderOffScreen(*BatchIdfChart(request.storm, request.periods, 1440, true, size, {})));
        }
    }
    state.SetItemsProcessed(state.iterations() * request.periods.size() * request.durations.size());
}

} // namespace

BENCHMARK(BM_Batch)->ArgName("charts")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
