// The shown-number texts over the rows of a one-day storm (1,441 rows, two
// values each): the rounding alone, the rounding with its text as the table
// forms it, the text appended to a reused one, and the general form.
#include "model/NumberForms.h"
#include "model/RainGenerator.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

std::vector<double> oneDayValues()
{
    Storm storm = StartUpStorm();
    storm.duration = 1440;
    RainPoints points;
    if (CalcRainPoints(storm, points, false, 4))
        return {};
    std::vector<double> values;
    for (const RainPoint &point : points) {
        values.push_back(point.Intensity);
        values.push_back(point.Overall);
    }
    return values;
}

void BM_RoundToShown(benchmark::State &state)
{
    const std::vector<double> values = oneDayValues();
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(RoundToShown(4, value));
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}

// What a table cell costs: the shown value and its text.
void BM_RoundToShownAndShownValue(benchmark::State &state)
{
    const std::vector<double> values = oneDayValues();
    for (auto _ : state) {
        for (double value : values) {
            benchmark::DoNotOptimize(RoundToShown(4, value));
            QString text = ShownValue(value, 4);
            benchmark::DoNotOptimize(text.constData());
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}

// The same cells appended to one reused text, as a writer forms its rows.
void BM_RoundToShownAndAppendShownValue(benchmark::State &state)
{
    const std::vector<double> values = oneDayValues();
    QString cell;
    cell.reserve(64);
    for (auto _ : state) {
        for (double value : values) {
            benchmark::DoNotOptimize(RoundToShown(4, value));
            cell.truncate(0);
            AppendShownValue(cell, value, 4);
            benchmark::DoNotOptimize(cell.constData());
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}

void BM_GeneralNumber(benchmark::State &state)
{
    const std::vector<double> values = oneDayValues();
    for (auto _ : state) {
        for (double value : values) {
            QString text = GeneralNumber(value);
            benchmark::DoNotOptimize(text.constData());
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}

} // namespace

BENCHMARK(BM_RoundToShown)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundToShownAndShownValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundToShownAndAppendShownValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GeneralNumber)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
