#pragma once

#include "fit/FitTable.h"

#include <QString>
#include <vector>

// Frequency analysis of rainfall samples: from the depths of each duration to
// the intensity of each return period.

// How the samples were taken.
enum class SamplingMethod
{
    AnnualMaximum, // 年最大值法: the largest depth of each year
    AnnualMultiple // 年多个样法: the largest 4 × years depths regardless of year
};

enum class FrequencyDistribution
{
    PearsonIII,  // shifted gamma, parameters by curve fitting (Cs searched)
    Gumbel,      // extreme value type I, parameters by moments
    Exponential, // two-parameter exponential, parameters by moments
};

QString SamplingMethodName(SamplingMethod method);
QString DistributionName(FrequencyDistribution distribution);

// The distribution a sampling method is fitted with unless the user picks
// another: Pearson type III for annual maxima, the exponential distribution
// for annual multiple samples, as is common practice for each.
FrequencyDistribution DefaultDistribution(SamplingMethod sampling);

// A fitted distribution of the depths of one duration. Quantiles are by the
// exceedance probability of one sample.
struct DistributionFit
{
    FrequencyDistribution distribution = FrequencyDistribution::PearsonIII;
    double mean = 0;
    double cv = 0;  // coefficient of variation
    double cs = 0;  // coefficient of skewness (Pearson III; the other two have fixed skewness)
    double rms = 0; // root-mean-square deviation of the sorted samples from the curve, mm
};

// The depth exceeded with probability p (0 < p < 1) under the fitted distribution.
double DistributionQuantile(const DistributionFit &fit, double exceedance);

// The Pearson III frequency factor Φ(p, Cs): the quantile is mean × (1 + Cv Φ).
// Cs = 0 is the standard normal quantile.
double PearsonFrequencyFactor(double exceedance, double cs);

// The samples sorted from largest to smallest.
std::vector<double> SortedDescending(std::vector<double> samples);

// The empirical exceedance probability of the m-th largest of n samples:
// the expected plotting position m / (n + 1).
inline double EmpiricalExceedance(size_t rank, size_t count)
{
    return double(rank) / double(count + 1);
}

// The fewest samples a distribution is fitted to.
size_t MinimumSamples(FrequencyDistribution distribution);

// Fits the distribution to the samples (any order). Raises PluvionError when
// there are fewer than MinimumSamples or they do not vary. `what` names the
// series in the message ("历时 5 分钟").
DistributionFit FitDistribution(const std::vector<double> &samples, FrequencyDistribution distribution,
                                const QString &what);

// The annual-maximum return period of an annual-exceedance one (annual
// multiple sampling): T_M = 1 / (1 − e^(−1/T_E)), and its inverse.
double AnnualMaximumPeriod(double exceedancePeriod);
double ExceedancePeriod(double annualMaximumPeriod);

// The longest record the annual-multiple sampling takes, in years: no rain
// gauge has recorded longer.
inline constexpr int MaxRecordYears = 500;

struct FrequencySettings
{
    SamplingMethod sampling = SamplingMethod::AnnualMaximum;
    int years = 0; // number of years of record, annual multiple sampling only
    FrequencyDistribution distribution = FrequencyDistribution::PearsonIII;
    // Annual multiple only, on request: the table's periods are annual-maximum
    // ones, converted to the exceedance periods the samples give.
    bool annualMaximumPeriods = false;
    std::vector<double> periods{2, 3, 5, 10, 20, 30, 50, 100};
};

// The result of the analysis: the table and every distribution's fit per
// duration so that their goodness can be compared.
struct FrequencyResult
{
    IntensityTable table;
    std::vector<DistributionFit> chosen; // per duration, the chosen distribution
    // Per duration, the RMS of each distribution (NaN when it cannot be fitted),
    // in the order of FrequencyDistribution.
    std::vector<std::vector<double>> rmsByDistribution;
};

// How much one analysis does. The window and the command line fit each
// duration's curves on two threads and every distribution, to compare their
// goodness; a caller that runs many analyses at once on threads of its own
// (the resampling) asks for the calling thread alone and the chosen
// distribution only, which gives the same table and chosen fits and leaves
// rmsByDistribution empty.
enum class AnalysisScope
{
    Full,
    ChosenOnCallingThread
};

// From the samples to the i–t–P table. Raises PluvionError for settings that
// do not fit the samples (no years for annual multiple, a period the samples
// cannot give, too few samples).
FrequencyResult AnalyseSamples(const SampleTable &samples, const FrequencySettings &settings,
                               AnalysisScope scope = AnalysisScope::Full);
