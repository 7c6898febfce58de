#include "fit/Bootstrap.h"

#include "model/PluvionError.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// SplitMix64: a 64-bit state stepped by the golden ratio and mixed. Small,
// exactly defined, and good enough for drawing indices.
constexpr std::uint64_t GoldenGamma = 0x9E3779B97F4A7C15ull;

std::uint64_t Mix64(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class SplitMix64
{
public:
    // The stream of resample `index`: its own state from (seed, index) alone,
    // so a resample draws the same years whichever thread runs it.
    SplitMix64(std::uint64_t seed, std::uint64_t index) : m_state(Mix64(seed ^ Mix64(index + GoldenGamma))) {}
    std::uint64_t next()
    {
        m_state += GoldenGamma;
        return Mix64(m_state);
    }

private:
    std::uint64_t m_state;
};

// ⌊u × n / 2^64⌋: an index in [0, n) from a 64-bit random number, by the high
// half of the product (the multiply-shift of Lemire's method, without its
// rejection step, so that one number serves every duration whatever its
// count; the bias it leaves is below n / 2^64, under 10^-15 here).
std::uint64_t IndexBelow(std::uint64_t u, std::uint64_t n)
{
    const std::uint64_t uLow = u & 0xFFFFFFFFull, uHigh = u >> 32;
    const std::uint64_t nLow = n & 0xFFFFFFFFull, nHigh = n >> 32;
    const std::uint64_t lowLow = uLow * nLow;
    const std::uint64_t highLow = uHigh * nLow;
    const std::uint64_t lowHigh = uLow * nHigh;
    const std::uint64_t middle = (lowLow >> 32) + (highLow & 0xFFFFFFFFull) + (lowHigh & 0xFFFFFFFFull);
    return uHigh * nHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32);
}

// What one resample gives.
struct Resample
{
    bool ok = false;
    QString failure;
    std::vector<double> table; // the i–t–P table's values
    TotalFormula formula;
    double r = std::numeric_limits<double>::quiet_NaN();
};

// r as the records measure it: per duration long enough for its peak to be
// placed, the mean r of its windows; the storm's r the mean of those means.
double PeakRatioOf(const std::vector<const ResampledSample *> *kept, const ResamplingInput &input)
{
    double sum = 0;
    int used = 0;
    for (size_t d = 0; d < input.durations.size(); ++d) {
        if (!input.durations[d].peakCounts || kept[d].empty())
            continue;
        double total = 0;
        for (const ResampledSample *sample : kept[d])
            total += sample->peak;
        sum += total / double(kept[d].size());
        ++used;
    }
    return used ? sum / used : std::numeric_limits<double>::quiet_NaN();
}

// The samples of one resample, per duration: `draws` random numbers decide
// them all. Annual multiple from records keeps the largest of each duration.
std::vector<std::vector<const ResampledSample *>> DrawnSamples(const ResamplingInput &input,
                                                               const std::vector<std::vector<size_t>> &byYear,
                                                               const std::vector<std::uint64_t> &draws)
{
    std::vector<std::vector<const ResampledSample *>> kept(input.durations.size());
    for (size_t d = 0; d < input.durations.size(); ++d) {
        const ResampledDuration &series = input.durations[d];
        std::vector<const ResampledSample *> &pool = kept[d];
        if (input.unit == ResamplingUnit::Years) {
            for (std::uint64_t u : draws)
                for (size_t s : byYear[d * input.years + IndexBelow(u, input.years)])
                    pool.push_back(&series.samples[s]);
        } else {
            const size_t count = series.samples.size();
            for (size_t k = 0; k < count; ++k)
                pool.push_back(&series.samples[IndexBelow(draws[k], count)]);
        }
        if (series.keep > 0 && pool.size() > series.keep) {
            // Equal depths keep the earlier drawn first, so the choice is exact.
            std::stable_sort(
                pool.begin(), pool.end(),
                [](const ResampledSample *a, const ResampledSample *b) { return a->depth > b->depth; });
            pool.resize(series.keep);
        }
    }
    return kept;
}

SampleTable TableOf(const ResamplingInput &input,
                    const std::vector<std::vector<const ResampledSample *>> &kept)
{
    SampleTable table;
    for (size_t d = 0; d < input.durations.size(); ++d) {
        table.durations.push_back(input.durations[d].duration);
        std::vector<double> depths;
        depths.reserve(kept[d].size());
        for (const ResampledSample *sample : kept[d])
            depths.push_back(sample->depth);
        table.samples.push_back(std::move(depths));
    }
    return table;
}

// The frequency analysis and the total formula fit of one resample. The
// formula is kept with all its digits: the band is of the fitted numbers,
// not of their rounding.
void FitResample(const SampleTable &samples, const FitSettings &settings, BandedResults banded, Resample &out)
{
    try {
        const FrequencyResult frequency =
            AnalyseSamples(samples, settings.frequency, AnalysisScope::ChosenOnCallingThread);
        if (banded == BandedResults::TableOnly) {
            out.table = frequency.table.values;
            out.ok = true;
            return;
        }
        out.formula = FitTotalFormula(frequency.table, settings.log);
        // As the written formula: defined at every duration of the table.
        const double shortest = *std::min_element(samples.durations.begin(), samples.durations.end());
        if (!(shortest + out.formula.b > 0) || !std::isfinite(out.formula.rss))
            throw PluvionError(QStringLiteral("总公式的拟合未能收敛：b = %1 使历时 %2 分钟处的分母 t + b "
                                              "不为正，公式在表中的历时上没有定义。")
                                   .arg(SignedParameterText(out.formula.b))
                                   .arg(shortest));
        out.table = frequency.table.values;
        out.ok = true;
    } catch (const PluvionError &error) {
        out.failure = error.description();
    }
}

Band BandOf(double estimate, std::vector<double> values, double level)
{
    std::sort(values.begin(), values.end());
    const double tail = (1 - level / 100) / 2;
    Band band;
    band.estimate = estimate;
    band.lower = Percentile(values, tail);
    band.upper = Percentile(values, 1 - tail);
    return band;
}

void CheckSettings(const ResamplingInput &input, const BootstrapSettings &settings)
{
    if (settings.resamples < 2)
        throw PluvionError(QStringLiteral("重抽样次数 %1 太少，至少需要 2 次。").arg(settings.resamples));
    if (settings.resamples > MaxResamples)
        throw PluvionError(
            QStringLiteral("重抽样次数 %1 超过上限 %2 次。").arg(settings.resamples).arg(MaxResamples));
    if (!(settings.level > 0 && settings.level < 100))
        throw PluvionError(
            QStringLiteral("置信水平 %1% 无效：须大于 0 且小于 100。").arg(settings.level, 0, 'g', 6));
    if (settings.threads < 0)
        throw PluvionError(QStringLiteral("线程数 %1 无效。").arg(settings.threads));
    if (input.unit == ResamplingUnit::Years && input.years == 0)
        throw PluvionError(QStringLiteral("没有可重抽的年份。"));
    for (const ResampledDuration &series : input.durations)
        for (const ResampledSample &sample : series.samples)
            if (input.unit == ResamplingUnit::Years && sample.year >= input.years)
                throw PluvionError(
                    QStringLiteral("历时 %1 分钟的样本不属于所用的年份。").arg(series.duration));
}

} // namespace

double Band::relativeHalfWidth() const
{
    return (upper - lower) / 2 / std::abs(estimate);
}

double Percentile(const std::vector<double> &sorted, double share)
{
    // Linear interpolation between the order statistics x(1) ≤ … ≤ x(N) at
    // h = (N − 1) × share (Hyndman and Fan's type 7, the default of R and
    // numpy): the 5 % point of 1000 values lies 0.95 of the way from x(50) to x(51).
    const double h = double(sorted.size() - 1) * share;
    const size_t below = size_t(std::floor(h));
    if (below + 1 >= sorted.size())
        return sorted.back();
    return sorted[below] + (h - double(below)) * (sorted[below + 1] - sorted[below]);
}

ResamplingInput SampleTableResampling(const SampleTable &samples)
{
    ResamplingInput input;
    input.unit = ResamplingUnit::SamplePositions;
    for (size_t d = 0; d < samples.durations.size(); ++d) {
        ResampledDuration series;
        series.duration = samples.durations[d];
        for (double depth : samples.samples[d])
            series.samples.push_back({depth, 0, 0});
        input.durations.push_back(std::move(series));
    }
    return input;
}

BootstrapResult RunBootstrap(const ResamplingInput &input, const BootstrapSettings &settings,
                             const BootstrapProgress &progress)
{
    CheckSettings(input, settings);
    FitSettings fit = settings.fit;
    fit.input = FitInputKind::Samples;

    // Per duration and year slot, the samples of that year.
    std::vector<std::vector<size_t>> byYear;
    if (input.unit == ResamplingUnit::Years) {
        byYear.resize(input.durations.size() * input.years);
        for (size_t d = 0; d < input.durations.size(); ++d)
            for (size_t s = 0; s < input.durations[d].samples.size(); ++s)
                byYear[d * input.years + input.durations[d].samples[s].year].push_back(s);
    }
    // Unit Years draws the years; the sample positions need a number for each
    // position of the longest series.
    size_t drawCount = input.years;
    if (input.unit == ResamplingUnit::SamplePositions)
        for (const ResampledDuration &series : input.durations)
            drawCount = std::max(drawCount, series.samples.size());

    BootstrapResult result;
    result.unit = input.unit;
    result.years = input.unit == ResamplingUnit::Years ? input.years : 0;
    result.resamples = settings.resamples;
    result.seed = settings.seed;
    result.level = settings.level;

    // The fit of all the samples, as the user sees it.
    std::vector<std::vector<const ResampledSample *>> all(input.durations.size());
    for (size_t d = 0; d < input.durations.size(); ++d)
        for (const ResampledSample &sample : input.durations[d].samples)
            all[d].push_back(&sample);
    result.banded = settings.banded;
    if (settings.banded == BandedResults::TableAndFormula) {
        result.estimate = FitSamples(TableOf(input, all), fit);
    } else {
        result.estimate.settings = fit;
        result.estimate.frequency = AnalyseSamples(TableOf(input, all), fit.frequency);
        result.estimate.table = result.estimate.frequency.table;
    }
    const double estimateR = input.hasPeak ? PeakRatioOf(all.data(), input) : 0;

    // The resamples, each written to its own slot, so the order the threads
    // take them in never shows.
    std::vector<Resample> resamples(size_t(settings.resamples));
    std::atomic<int> nextIndex{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::exception_ptr crash;
    std::mutex crashMutex;
    const auto work = [&](bool reports) {
        try {
            std::vector<std::uint64_t> draws(drawCount);
            for (int k = nextIndex++; k < settings.resamples && !stop; k = nextIndex++) {
                SplitMix64 random(settings.seed, std::uint64_t(k));
                for (std::uint64_t &u : draws)
                    u = random.next();
                const auto kept = DrawnSamples(input, byYear, draws);
                Resample &out = resamples[size_t(k)];
                FitResample(TableOf(input, kept), fit, settings.banded, out);
                if (input.hasPeak)
                    out.r = PeakRatioOf(kept.data(), input);
                const int finished = ++done;
                if (reports && progress && !progress(double(finished) / settings.resamples))
                    stop = true;
            }
        } catch (...) {
            const std::lock_guard lock(crashMutex);
            if (!crash)
                crash = std::current_exception();
            stop = true;
        }
    };
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::min(settings.threads > 0 ? settings.threads : cores, settings.resamples);
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work, false);
        } catch (const std::system_error &) {
            break; // the threads started do the work
        }
    }
    work(true);
    for (std::thread &helper : helpers)
        helper.join();
    if (crash)
        std::rethrow_exception(crash);
    if (stop)
        throw PluvionError(QStringLiteral("重抽样已取消。"), PluvionErrorKind::Cancelled);
    // The last resample may have ended on another thread: the whole is told here.
    if (progress)
        progress(1.0);

    std::vector<const Resample *> good;
    for (size_t k = 0; k < resamples.size(); ++k) {
        if (resamples[k].ok) {
            good.push_back(&resamples[k]);
            continue;
        }
        ++result.failed;
        if (result.failures.size() < NamedFailures)
            result.failures.push_back({int(k), resamples[k].failure});
    }
    if (good.size() < 2)
        throw PluvionError(QStringLiteral("%1 次重抽样中只有 %2 次拟合成功，无法给出区间。第 %3 次的原因：%4")
                               .arg(settings.resamples)
                               .arg(good.size())
                               .arg(result.failures.front().index + 1)
                               .arg(result.failures.front().reason));

    const IntensityTable &table = result.estimate.table;
    const size_t cells = table.values.size();
    std::vector<double> values(good.size());
    const auto band = [&](double estimate, const auto &valueOf) {
        for (size_t k = 0; k < good.size(); ++k)
            values[k] = valueOf(*good[k]);
        return BandOf(estimate, values, settings.level);
    };
    for (size_t cell = 0; cell < cells; ++cell)
        result.table.push_back(band(table.values[cell], [cell](const Resample &s) { return s.table[cell]; }));
    if (settings.banded == BandedResults::TableOnly) {
        const double none = std::numeric_limits<double>::quiet_NaN();
        result.a1 = result.c = result.b = result.n = {none, none, none};
    }
    if (input.hasPeak) {
        // A resample whose windows place no peak has no r; the band is of the others.
        std::vector<double> ratios;
        for (const Resample *resample : good)
            if (std::isfinite(resample->r))
                ratios.push_back(resample->r);
        if (!ratios.empty())
            result.r = BandOf(estimateR, ratios, settings.level);
    }
    if (settings.banded == BandedResults::TableOnly)
        return result;
    for (const Resample *resample : good)
        result.formulas.push_back(resample->formula);
    for (size_t d = 0; d < table.durations.size(); ++d)
        for (size_t p = 0; p < table.periods.size(); ++p)
            result.formula.push_back(FormulaBand(result, table.durations[d], table.periods[p]));
    const TotalFormula &total = result.estimate.total;
    result.a1 = band(total.a1, [](const Resample &s) { return s.formula.a1; });
    result.c = band(total.c, [](const Resample &s) { return s.formula.c; });
    result.b = band(total.b, [](const Resample &s) { return s.formula.b; });
    result.n = band(total.n, [](const Resample &s) { return s.formula.n; });
    return result;
}

Band FormulaBand(const BootstrapResult &result, double minutes, double period)
{
    std::vector<double> values;
    values.reserve(result.formulas.size());
    for (const TotalFormula &formula : result.formulas) {
        const double i = FormulaIntensity(formula, minutes, period);
        if (std::isfinite(i))
            values.push_back(i);
    }
    const double estimate = FormulaIntensity(result.estimate.total, minutes, period);
    if (values.empty())
        return {estimate, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    return BandOf(estimate, std::move(values), result.level);
}
