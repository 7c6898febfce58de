#pragma once

#include "fit/FitCase.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// How far each fitted number could be off: confidence bands by resampling
// years.
//
// A formula fitted from 11 or 30 years of rain is an estimate. The resampling
// draws as many years as were used, with replacement, from the used years,
// redoes the frequency analysis and the total formula fit on the samples of
// the drawn years (same distribution, same period conversion, same log kind;
// annual multiple: the same count rule and years), and repeats this B times.
// The spread of the B answers is the band: its lower and upper limits are the
// (100 − level) / 2 % and (100 + level) / 2 % percentiles (5 % and 95 % for
// the usual 90 % band). A year is drawn whole: the same drawn years serve
// every duration, so that the durations of one resample stay linked as they
// are in the rain.
//
// The draws are exact and reproducible: resample k takes its years from a
// SplitMix64 stream seeded by (seed, k) alone, each index by a fixed
// multiply-shift rule, never by a standard-library distribution; so the
// drawn years are the same on any machine, and the same input, B and seed
// give bit-identical bands from one build with any number of threads.

// What one draw takes.
enum class ResamplingUnit
{
    // Whole years: the records, whose every sample carries its year.
    Years,
    // Positions in each duration's samples: a sample table read from a file,
    // which does not say a sample's year. Draw k takes from every duration
    // its sample at one position, found from one 64-bit random number u_k
    // for all durations: ⌊u_k × n_d / 2^64⌋ for duration d with n_d samples.
    // A table of annual maxima without blank cells has one sample per year
    // and row in every duration, so its draws are whole years (its rows);
    // the annual multiple table's rows are ranks, the year unknown, and its
    // draws are ranks, the same rank in every duration.
    SamplePositions
};

// One sample as the resampling sees it.
struct ResampledSample
{
    double depth = 0; // mm
    size_t year = 0;  // its year's slot (unit Years)
    double peak = 0;  // r of its window (records only): where its largest interval lies
};

struct ResampledDuration
{
    double duration = 0; // minutes
    // Annual maximum: one sample per year that gave one; annual multiple: the
    // samples chosen, largest first.
    std::vector<ResampledSample> samples;
    // Annual multiple from records: a resample keeps its largest `keep`
    // samples, as many as the records gave (0: keeps every drawn sample).
    size_t keep = 0;
    // Records only: the duration is long enough for its peak to be placed, so
    // its mean r counts towards the storm's r.
    bool peakCounts = false;
};

struct ResamplingInput
{
    ResamplingUnit unit = ResamplingUnit::Years;
    // Unit Years: the used years, slots 0 … years − 1; a year whose windows
    // had no rain is a slot without samples, and drawn like any other.
    size_t years = 0;
    std::vector<ResampledDuration> durations;
    bool hasPeak = false; // records: r gets a band too
};

// What is banded: the i–t–P table and the total formula (A1, C, b, n and
// i(t, P)), or the table alone, whose resamples then skip the formula fit,
// most of their time.
enum class BandedResults
{
    TableAndFormula,
    TableOnly
};

// The seed unless the user sets one.
inline constexpr std::uint64_t DefaultBootstrapSeed = 20260531;
inline constexpr int DefaultResamples = 1000;
// The most resamples a run takes: far beyond what steadies a 5 % percentile,
// and each keeps its table until the bands are taken.
inline constexpr int MaxResamples = 100000;
inline constexpr double DefaultBandLevel = 90;
// The most failed resamples whose reasons are kept (all are counted).
inline constexpr size_t NamedFailures = 5;

struct BootstrapSettings
{
    // The fit that is repeated: sample input, its frequency settings (for
    // annual multiple the years of record) and the log kind.
    FitSettings fit;
    int resamples = DefaultResamples; // B, from 2 to MaxResamples
    std::uint64_t seed = DefaultBootstrapSeed;
    double level = DefaultBandLevel; // percent, above 0 and below 100
    int threads = 0;                 // 0: every core; any count gives the same bands
    BandedResults banded = BandedResults::TableAndFormula;
};

// An estimate and its band.
struct Band
{
    double estimate = 0; // of the fit of all the years
    double lower = 0;    // the lower percentile of the resamples
    double upper = 0;    // the upper percentile
    // Half the band's width relative to the estimate: (upper − lower) / 2 / |estimate|.
    double relativeHalfWidth() const;
};

// A resample whose fit failed: its index (from 0) and the reason, the
// program's own text.
struct ResampleFailure
{
    int index = 0;
    QString reason;
};

struct BootstrapResult
{
    ResamplingUnit unit = ResamplingUnit::Years;
    size_t years = 0;  // unit Years: the years drawn from (and drawn each time)
    int resamples = 0; // B
    std::uint64_t seed = 0;
    double level = 0;
    BandedResults banded = BandedResults::TableAndFormula;
    // The fit of all the years, as the user sees it (the written formula);
    // for the table alone, its table and frequency analysis only.
    FitOutcome estimate;
    // Per cell of the estimate's i–t–P table (row-major, as IntensityTable):
    // the table's intensity, and the formula's i(t, P) at the same duration
    // and period (empty for the table alone).
    std::vector<Band> table;
    std::vector<Band> formula;
    Band a1, c, b, n;      // not numbers for the table alone
    std::optional<Band> r; // records only
    // The resamples whose fit failed: how many, and the first few named.
    int failed = 0;
    std::vector<ResampleFailure> failures;
    // Every successful resample's fitted total formula (in resample order),
    // so that the formula's band can be read at any duration and period.
    std::vector<TotalFormula> formulas;

    const Band &tableBand(size_t duration, size_t period) const
    {
        return table[duration * estimate.table.periods.size() + period];
    }
    const Band &formulaBand(size_t duration, size_t period) const
    {
        return formula[duration * estimate.table.periods.size() + period];
    }
};

// Called on the calling thread with the share of resamples done, and with 1
// once all are; returning false before then stops the work (PluvionError of
// kind Cancelled).
using BootstrapProgress = std::function<bool(double fraction)>;

// The sample table read from a file, resampled by sample positions (see
// ResamplingUnit::SamplePositions).
ResamplingInput SampleTableResampling(const SampleTable &samples);

// Fits all the samples, then B resamples on `settings.threads` threads, and
// returns the bands. A resample whose fit fails is counted and the first
// NamedFailures of them kept with their reasons; the bands are taken from the
// rest. Raises PluvionError when the settings are out of range, when the fit
// of all the samples fails (its own reason), or when fewer than 2 resamples
// succeed (naming the first failure).
BootstrapResult RunBootstrap(const ResamplingInput &input, const BootstrapSettings &settings,
                             const BootstrapProgress &progress = {});

// The formula's band at any duration (minutes) and period (years), from the
// successful resamples' formulas.
Band FormulaBand(const BootstrapResult &result, double minutes, double period);

// The percentile of the values (sorted ascending, at least one) at `share`
// (0 to 1), by linear interpolation between order statistics.
double Percentile(const std::vector<double> &sorted, double share);
