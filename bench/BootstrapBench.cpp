// Speed of the confidence bands: 50 years of records, 11 durations, B = 1000
// resamples from samples to bands (target ≤ 10 s on two cores), beside the
// plain fit of the same samples, for Pearson III (0) and Gumbel (1).
#include "fit/Bootstrap.h"
#include "records/RecordBootstrap.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

double Intensity(double t, double p)
{
    return 9.5981 * (1 + 0.846 * std::log10(p)) / std::pow(t + 7.0, 0.656);
}

// The annual maxima of 50 years: each year's storm has one return period,
// every duration a little scatter of its own, the peak anywhere in the window.
RecordSamples FiftyYears()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    RecordSamples samples;
    samples.years = 50;
    for (int t : StandardRecordDurations)
        samples.durations.push_back({t, {}});
    for (int year = 1970; year < 2020; ++year) {
        const double period = 1 / (1 - u(random));
        for (DurationWindows &series : samples.durations) {
            const double depth =
                Intensity(series.duration, period) * series.duration * (0.9 + 0.2 * u(random));
            series.windows.push_back(
                {0, std::int64_t(depth * 1000), int(u(random) * series.duration), year, 0});
        }
    }
    return samples;
}

FitSettings Settings(FrequencyDistribution distribution)
{
    FitSettings settings;
    settings.input = FitInputKind::Samples;
    settings.frequency.distribution = distribution;
    return settings;
}

void BM_PlainFit50Years(benchmark::State &state)
{
    const SampleTable table = RecordSampleTable(FiftyYears());
    const FitSettings settings = Settings(FrequencyDistribution(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(FitSamples(table, settings));
}
BENCHMARK(BM_PlainFit50Years)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// From the samples to the bands: distribution range(0), threads range(1)
// (0 every core), range(2) 1 for the table's bands alone (no formula fits),
// which shows the frequency analysis' share of the time.
void BM_Bands50YearsB1000(benchmark::State &state)
{
    const RecordSamples samples = FiftyYears();
    BootstrapSettings settings;
    settings.fit = Settings(FrequencyDistribution(state.range(0)));
    settings.threads = int(state.range(1));
    settings.banded = state.range(2) ? BandedResults::TableOnly : BandedResults::TableAndFormula;
    for (auto _ : state)
        benchmark::DoNotOptimize(RunBootstrap(RecordResampling(samples), settings));
}
BENCHMARK(BM_Bands50YearsB1000)
    ->Args({0, 0, 0})
    ->Args({0, 1, 0})
    ->Args({0, 0, 1})
    ->Args({1, 0, 0})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
