// The window's refresh of storms of 121, 1,441, 1,000,001 and 10,000,001
// rows, offscreen: the computation, the table fill, the chart's points and one
// drawing of chart and table, as the user waits for them. Then the pointer
// moving over the chart of such a storm: the hover answered (the point found,
// the table's row made current and framed), and that answer drawn.
#include "ScriptedPrompts.h"
#include "app/MainWindow.h"
#include "app/ResultTableView.h"
#include "chart/StormChart.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>

namespace {

// A window of its own, its settings in a temporary folder.
struct BenchWindow
{
    BenchWindow()
    {
        setup.prompts = &prompts;
        setup.configurationFolder = home.path();
        window = std::make_unique<MainWindow>(setup);
    }

    // The storm computed and shown, then chart and table drawn, as the user waits for them.
    void refreshAndDraw()
    {
        window->refreshStorm();
        window->findChild<StormChart *>("StormChart")->replot(QCustomPlot::rpImmediateRefresh);
        window->findChild<ResultTableView *>("GridData")->viewport()->repaint();
    }

    QTemporaryDir home;
    ScriptedPrompts prompts;
    MainWindowSetup setup;
    std::unique_ptr<MainWindow> window;
};

void BM_RefreshRainModel(benchmark::State &state)
{
    BenchWindow bench;
    bench.window->show();
    bench.window->session().updateStorm([&](Storm &s) { s.duration = double(state.range(0)); });
    for (auto _ : state)
        bench.refreshAndDraw();
    if (!bench.prompts.messages.isEmpty())
        state.SkipWithError("the refresh showed a message");
}

// The process's peak resident memory so far, in megabytes.
double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

// One window's peak memory: a storm computed, shown and drawn, then computed
// again (the table keeps the old rows until the new ones are done). Run it
// alone (--benchmark_filter=BM_WindowPeakMemory), as other benchmarks' windows
// would count too.
void BM_WindowPeakMemory(benchmark::State &state)
{
    for (auto _ : state) {
        BenchWindow bench;
        bench.window->resize(1024, 700);
        bench.window->show();
        state.counters["start_MB"] = peakMegabytes();
        bench.window->session().updateStorm([&](Storm &s) { s.duration = double(state.range(0)); });
        for (const char *counter : {"first_MB", "again_MB"}) {
            bench.refreshAndDraw();
            state.counters[counter] = peakMegabytes();
        }
    }
}

// A shown window holding a storm of the given duration.
struct ShownStorm
{
    explicit ShownStorm(double duration)
    {
        MainWindow *window = bench.window.get();
        window->resize(1024, 700);
        window->show();
        window->session().updateStorm([&](Storm &s) { s.duration = duration; });
        chart = window->findChild<StormChart *>("StormChart");
        QCoreApplication::processEvents();
        chart->replot(QCustomPlot::rpImmediateRefresh);
        QCoreApplication::processEvents();
    }

    // Pointer places along the plot, on the line and on the bars by turns.
    QList<QPointF> pointerPlaces(int count) const
    {
        QList<QPointF> places;
        const QRect plot = chart->axisRect()->rect();
        const auto line = chart->intensitySeries()->data();
        for (int k = 0; k < count; ++k) {
            const double x = plot.left() + 1 + (plot.width() - 2) * (k + 0.5) / count;
            const double key = chart->xAxis->pixelToCoord(x);
            auto point = line->findBegin(key, false);
            if (point == line->constEnd())
                --point;
            const double y = k % 2 == 0 ? chart->yAxis->coordToPixel(point->value) : plot.top() + 3.0;
            places.append(QPointF(chart->xAxis->coordToPixel(point->key), y));
        }
        return places;
    }

    BenchWindow bench;
    StormChart *chart = nullptr;
};

void movePointer(QWidget *chart, const QPointF &place)
{
    QMouseEvent move(QEvent::MouseMove, place, chart->mapToGlobal(place), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(chart, &move);
}

void BM_PointerMove(benchmark::State &state)
{
    ShownStorm shown(double(state.range(0)));
    const QList<QPointF> places = shown.pointerPlaces(64);
    qsizetype k = 0;
    for (auto _ : state)
        movePointer(shown.chart, places[k++ % places.size()]);
    shown.chart->replot(QCustomPlot::rpImmediateRefresh);
}

void BM_PointerMoveDrawn(benchmark::State &state)
{
    ShownStorm shown(double(state.range(0)));
    const QList<QPointF> places = shown.pointerPlaces(64);
    qsizetype k = 0;
    for (auto _ : state) {
        movePointer(shown.chart, places[k++ % places.size()]);
        // What reaches the screen: the window's update, painted now.
        QCoreApplication::sendPostedEvents();
        shown.chart->repaint();
    }
}

} // namespace

BENCHMARK(BM_RefreshRainModel)->Arg(120)->Arg(1440)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshRainModel)->Arg(10000000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowPeakMemory)->Arg(10000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerMove)->Arg(120)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerMoveDrawn)->Arg(120)->Arg(10000000)->Unit(benchmark::kMillisecond);
