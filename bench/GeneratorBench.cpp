// The generator beside its floor: a bare loop that evaluates the same power
// per minute (through the base-2 logarithm, as the generator does) and
// nothing else.
#include "model/RainGenerator.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

Storm stormOf(double minutes)
{
    Storm storm = StartUpStorm();
    storm.duration = minutes;
    return storm;
}

void BM_CalcRainPoints(benchmark::State &state)
{
    Storm storm = stormOf(double(state.range(0)));
    for (auto _ : state) {
        RainPoints points;
        auto failure = CalcRainPoints(storm, points, false, 4);
        benchmark::DoNotOptimize(failure);
        benchmark::DoNotOptimize(points.data());
    }
    state.SetItemsProcessed(state.iterations() * (state.range(0) + 1));
}

void BM_PowerFloor(benchmark::State &state)
{
    const Storm storm = stormOf(double(state.range(0)));
    const long double p = storm.duration * storm.peakRatio;
    const long double exponent = 1 + (long double)storm.n;
    const long long last = state.range(0);
    for (auto _ : state) {
        long double sum = 0;
        for (long long minute = 0; minute <= last; ++minute) {
            const long double d = std::fabs(minute - p) / storm.peakRatio;
            sum += std::exp2(exponent * std::log2(d + storm.b));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (last + 1));
}

} // namespace

BENCHMARK(BM_CalcRainPoints)->Arg(1440)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerFloor)->Arg(1440)->Arg(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
