// The window's refresh of storms of 121, 1,441 and 1,000,001 rows, offscreen:
// the computation, the table fill, the chart's points and one drawing of
// chart and table, as the user waits for them.
#include "ScriptedPrompts.h"
#include "app/ResultTableView.h"
#include "app/UnitPluvion.h"
#include "chart/StormChart.h"

#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_RefreshRainModel(benchmark::State &state)
{
    QTemporaryDir home;
    ScriptedPrompts prompts;
    PluvionSetup setup;
    setup.prompts = &prompts;
    setup.configurationFolder = home.path();
    TFormPluvion window(setup);
    window.show();
    window.storm().Storm_Time = double(state.range(0));
    for (auto _ : state) {
        window.RefreshRainModel();
        window.findChild<StormChart *>("Chart1")->replot(QCustomPlot::rpImmediateRefresh);
        window.findChild<ResultTableView *>("GridData")->viewport()->repaint();
    }
    if (!prompts.messages.isEmpty())
        state.SkipWithError("the refresh showed a message");
}

} // namespace

BENCHMARK(BM_RefreshRainModel)->Arg(120)->Arg(1440)->Arg(1000000)->Unit(benchmark::kMillisecond);
