// Speed of the formula fit: a full fit of an 11 × 8 table (target ≤ 20 ms),
// frequency analysis plus fit from 11 series of 60 samples (target ≤ 100 ms),
// and the largest inputs the limits allow (target ≤ 2 s each): a table of
// 60 durations × 60 periods, and 60 durations of 10,000 samples each.
#include "fit/FitCase.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

const std::vector<double> Durations{5, 10, 15, 20, 30, 45, 60, 90, 120, 150, 180};

double Intensity(double t, double p)
{
    return 9.5981 * (1 + 0.846 * std::log10(p)) / std::pow(t + 7.0, 0.656);
}

IntensityTable NoisyTable()
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> u(-0.01, 0.01);
    IntensityTable table;
    table.durations = Durations;
    table.periods = {2, 3, 5, 10, 20, 30, 50, 100};
    for (double t : table.durations)
        for (double p : table.periods)
            table.values.push_back(Intensity(t, p) * (1 + u(random)));
    return table;
}

SampleTable Samples()
{
    std::mt19937 random(9);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    SampleTable samples;
    samples.durations = Durations;
    for (double t : Durations) {
        std::vector<double> series;
        for (int k = 0; k < 60; ++k)
            series.push_back(Intensity(t, 1 / (1 - u(random))) * t);
        samples.samples.push_back(series);
    }
    return samples;
}

void BM_FitTable11x8(benchmark::State &state)
{
    const IntensityTable table = NoisyTable();
    for (auto _ : state)
        benchmark::DoNotOptimize(FitTable(table, FitSettings{}));
}
BENCHMARK(BM_FitTable11x8)->Unit(benchmark::kMillisecond);

void BM_SamplesToFormula(benchmark::State &state)
{
    const SampleTable samples = Samples();
    const auto distribution = FrequencyDistribution(state.range(0));
    for (auto _ : state) {
        FrequencySettings settings;
        settings.distribution = distribution;
        benchmark::DoNotOptimize(FitTable(AnalyseSamples(samples, settings).table, FitSettings{}));
    }
}
BENCHMARK(BM_SamplesToFormula)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The largest table and sample set the fit accepts.
void BM_LargestTable60x60(benchmark::State &state)
{
    IntensityTable table;
    for (int d = 0; d < MaxTableDurations; ++d)
        table.durations.push_back(5.0 * (d + 1));
    for (int p = 0; p < MaxTablePeriods; ++p)
        table.periods.push_back(1.5 + 0.5 * p);
    for (double t : table.durations)
        for (double p : table.periods)
            table.values.push_back(Intensity(t, p));
    for (auto _ : state)
        benchmark::DoNotOptimize(FitTable(table, FitSettings{}));
}
BENCHMARK(BM_LargestTable60x60)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_LargestSamples60x10000(benchmark::State &state)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    SampleTable samples;
    for (int d = 0; d < MaxTableDurations; ++d) {
        const double t = 5.0 * (d + 1);
        samples.durations.push_back(t);
        std::vector<double> series;
        for (int k = 0; k < MaxSamplesPerDuration; ++k)
            series.push_back(Intensity(t, 1 / (1 - u(random))) * t);
        samples.samples.push_back(series);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(FitTable(AnalyseSamples(samples, FrequencySettings{}).table, FitSettings{}));
}
BENCHMARK(BM_LargestSamples60x10000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
