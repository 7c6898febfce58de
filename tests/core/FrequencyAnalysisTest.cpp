// Frequency analysis: quantiles against published frequency factors, the fits
// against samples lying on known curves and against a brute-force search over
// the skewness, the period conversion, and samples the distributions cannot take.
#include "fit/FrequencyAnalysis.h"

#include "model/PluvionError.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

// Pearson III frequency factors Φ(P, Cs) as the hydrology tables print them (three decimals).
TEST(FrequencyAnalysisTest, PearsonFactorsMatchThePublishedTable)
{
    const struct
    {
        double cs, p, factor;
    } table[] = {
        {0.0, 0.5, 0.000}, {0.0, 0.2, 0.842},  {0.0, 0.1, 1.282},  {0.0, 0.01, 2.326}, {0.5, 0.5, -0.083},
        {0.5, 0.2, 0.808}, {0.5, 0.1, 1.323},  {0.5, 0.02, 2.311}, {0.5, 0.01, 2.686}, {1.0, 0.5, -0.164},
        {1.0, 0.2, 0.758}, {1.0, 0.1, 1.340},  {1.0, 0.04, 2.043}, {1.0, 0.01, 3.022}, {2.0, 0.5, -0.307},
        {2.0, 0.1, 1.302}, {2.0, 0.02, 2.912}, {2.0, 0.01, 3.605}, {-0.5, 0.1, 1.216}, {-1.0, 0.5, 0.164},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(testing::Message() << "Cs=" << row.cs << " P=" << row.p);
        EXPECT_NEAR(PearsonFrequencyFactor(row.p, row.cs), row.factor, 0.0015);
    }
    // Cs = 0 is the normal distribution (quantiles to 16 digits), and a tiny
    // skewness stays next to it.
    EXPECT_DOUBLE_EQ(PearsonFrequencyFactor(0.1, 0.0), 1.2815515655446004);
    EXPECT_DOUBLE_EQ(PearsonFrequencyFactor(0.01, 0.0), 2.3263478740408408);
    EXPECT_DOUBLE_EQ(PearsonFrequencyFactor(0.975, 0.0), -1.9599639845400538);
    EXPECT_NEAR(PearsonFrequencyFactor(0.01, 1e-4), 2.3263478740408408, 1e-3);
    // Cs = 2 is the exponential distribution: Φ = −ln P − 1.
    for (double p : {0.9, 0.5, 0.05, 0.001})
        EXPECT_NEAR(PearsonFrequencyFactor(p, 2.0), -std::log(p) - 1, 1e-12);
}

// Gumbel frequency factors K(T) of the moment fit (an infinite sample).
TEST(FrequencyAnalysisTest, GumbelQuantilesMatchThePublishedFactors)
{
    DistributionFit fit;
    fit.distribution = FrequencyDistribution::Gumbel;
    fit.mean = 50;
    fit.cv = 0.4;
    const struct
    {
        double period, factor;
    } table[] = {{2, -0.164}, {5, 0.719}, {10, 1.305}, {20, 1.866}, {50, 2.592}, {100, 3.137}};
    for (const auto &row : table)
        EXPECT_NEAR(DistributionQuantile(fit, 1 / row.period), 50 + 20 * row.factor, 20 * 0.0015)
            << row.period;
}

// Samples placed exactly on a curve at their plotting positions give the curve back.
TEST(FrequencyAnalysisTest, FitsRecoverTheCurveTheSamplesLieOn)
{
    for (FrequencyDistribution kind : {FrequencyDistribution::PearsonIII, FrequencyDistribution::Gumbel,
                                       FrequencyDistribution::Exponential}) {
        DistributionFit curve;
        curve.distribution = kind;
        curve.mean = 40;
        curve.cv = 0.35;
        curve.cs = 1.5;
        std::vector<double> samples;
        const size_t n = 60;
        for (size_t m = 1; m <= n; ++m)
            samples.push_back(DistributionQuantile(curve, EmpiricalExceedance(m, n)));
        const DistributionFit fit = FitDistribution(samples, kind, QStringLiteral("历时 5 分钟"));
        SCOPED_TRACE(DistributionName(kind).toStdString());
        if (kind == FrequencyDistribution::PearsonIII) {
            // Curve fitting finds the curve itself.
            EXPECT_NEAR(fit.cs, 1.5, 1e-4);
            EXPECT_NEAR(fit.mean, 40, 1e-4);
            EXPECT_NEAR(fit.cv, 0.35, 1e-5);
            EXPECT_LT(fit.rms, 1e-4);
        } else {
            // Moments of a finite sample are near the curve's.
            EXPECT_NEAR(fit.mean, 40, 0.6);
            EXPECT_NEAR(fit.cv, 0.35, 0.04);
            EXPECT_LT(fit.rms, 1.5);
        }
    }
}

TEST(FrequencyAnalysisTest, AnnualMultiplePeriodsConvertBothWays)
{
    EXPECT_NEAR(AnnualMaximumPeriod(1), 1.5819767, 1e-7);
    EXPECT_NEAR(AnnualMaximumPeriod(2), 2.5414940, 1e-7);
    EXPECT_NEAR(AnnualMaximumPeriod(10), 10.5083319, 1e-7);
    for (double t : {1.5, 2.0, 5.0, 100.0})
        EXPECT_NEAR(AnnualMaximumPeriod(ExceedancePeriod(t)), t, 1e-12 * t);
}

TEST(FrequencyAnalysisTest, AnalysisGivesTheTableAndRefusesWhatItCannotDo)
{
    SampleTable samples;
    samples.durations = {5, 10, 20};
    for (double scale : {10.0, 15.0, 20.0}) {
        std::vector<double> series;
        for (int k = 0; k < 40; ++k)
            series.push_back(scale * (1 + 0.5 * std::sin(k * 1.7) * std::sin(k * 1.7) + 0.02 * k));
        samples.samples.push_back(series);
    }
    FrequencySettings settings;
    settings.distribution = FrequencyDistribution::Gumbel;
    settings.periods = {2, 10};
    const FrequencyResult r = AnalyseSamples(samples, settings);
    ASSERT_EQ(r.table.values.size(), 6u);
    ASSERT_EQ(r.rmsByDistribution.size(), 3u);
    for (size_t d = 0; d < 3; ++d) {
        EXPECT_NEAR(r.table.at(d, 0), DistributionQuantile(r.chosen[d], 0.5) / samples.durations[d], 1e-12);
        EXPECT_GT(r.table.at(d, 1), r.table.at(d, 0));
        EXPECT_EQ(r.rmsByDistribution[d][1], r.chosen[d].rms);
    }

    // Annual multiple: 10 years keep the largest 40; annual-maximum 10 a is exceedance 9.49 a.
    settings.sampling = SamplingMethod::AnnualMultiple;
    settings.distribution = FrequencyDistribution::Exponential;
    settings.years = 10;
    settings.annualMaximumPeriods = true;
    const FrequencyResult m = AnalyseSamples(samples, settings);
    const double p = 1 / (4 * ExceedancePeriod(10));
    EXPECT_NEAR(m.table.at(0, 1), DistributionQuantile(m.chosen[0], p) / 5, 1e-12);

    const struct
    {
        int years;
        size_t keep;
        FrequencyDistribution distribution;
        const char16_t *message;
    } bad[] = {
        {0, 40, FrequencyDistribution::Exponential, u"年多个样法需要给出资料年数。"},
        {10, 4, FrequencyDistribution::PearsonIII, u"历时 5 分钟只有4个样本，皮尔逊III型分布至少需要5个。"},
        {10, 2, FrequencyDistribution::Gumbel, u"历时 5 分钟只有2个样本，耿贝尔分布至少需要3个。"},
    };
    for (const auto &c : bad) {
        SampleTable few = samples;
        for (auto &series : few.samples)
            series.resize(c.keep);
        settings.years = c.years;
        settings.distribution = c.distribution;
        try {
            AnalyseSamples(few, settings);
            ADD_FAILURE() << "accepted";
        } catch (const PluvionError &e) {
            EXPECT_EQ(e.description(), QString::fromUtf16(c.message));
        }
    }
}

namespace {

// Samples drawn from a Pearson III curve (a fixed generator, so the fixture is the same everywhere).
std::vector<double> DrawnSamples(const DistributionFit &curve, size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<double> samples;
    for (size_t k = 0; k < count; ++k)
        samples.push_back(DistributionQuantile(curve, (double(random()) + 0.5) / 4294967296.0));
    return samples;
}

// The curve fit's objective: the residual sum of squares of the sorted samples
// about mean + sd × Φ, mean and sd by least squares, every factor Boost's quantile.
double ResidualSquares(const std::vector<double> &sorted, double cs)
{
    const size_t n = sorted.size();
    std::vector<double> f(n);
    double sf = 0, sff = 0, sx = 0, sfx = 0;
    for (size_t m = 0; m < n; ++m) {
        f[m] = PearsonFrequencyFactor(EmpiricalExceedance(m + 1, n), cs);
        sf += f[m];
        sff += f[m] * f[m];
        sx += sorted[m];
        sfx += f[m] * sorted[m];
    }
    const double sd = (double(n) * sfx - sf * sx) / (double(n) * sff - sf * sf);
    const double mean = (sx - sd * sf) / double(n);
    double rss = 0;
    for (size_t m = 0; m < n; ++m)
        rss += std::pow(sorted[m] - mean - sd * f[m], 2);
    return rss;
}

DistributionFit Curve(double mean, double cv, double cs)
{
    DistributionFit curve;
    curve.mean = mean;
    curve.cv = cv;
    curve.cs = cs;
    return curve;
}

} // namespace

// A long series is fitted on every sample: no skewness on a fine grid over the
// whole range does better than the fit, and the fit's goodness is that of its
// own curve through all samples.
TEST(FrequencyAnalysisTest, LongSeriesFitIsTheBestCurveThroughEverySample)
{
    const struct
    {
        const char *what;
        std::vector<double> samples;
    } cases[] = {
        {"2,000 annual maxima", DrawnSamples(Curve(50, 0.45, 1.3), 2000, 2024)},
        // 500 years × 6 peaks, annual multiple: the largest 2,000 of 3,000.
        {"annual multiple",
         [] {
             std::vector<double> peaks = SortedDescending(DrawnSamples(Curve(25, 0.6, 2.0), 3000, 7));
             peaks.resize(2000);
             return peaks;
         }()},
        // Nearly normal: the fit's skewness lies where the normal series takes over.
        {"nearly normal", DrawnSamples(Curve(80, 0.2, 0.03), 1200, 11)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> sorted = SortedDescending(c.samples);
        const DistributionFit fit = FitDistribution(sorted, FrequencyDistribution::PearsonIII, "历时 5 分钟");
        const double fitted = ResidualSquares(sorted, fit.cs);
        EXPECT_NEAR(fit.rms, std::sqrt(fitted / double(sorted.size())), 1e-9 * fit.rms);

        // Every 0.02 over 0–6, then every 0.0002 about the best of them.
        double bestCs = 0, best = ResidualSquares(sorted, 0);
        for (int k = 1; k <= 300; ++k)
            if (const double rss = ResidualSquares(sorted, 0.02 * k); rss < best) {
                best = rss;
                bestCs = 0.02 * k;
            }
        const double coarse = bestCs;
        for (int k = -100; k <= 100; ++k) {
            const double cs = coarse + 0.0002 * k;
            if (cs < 0 || cs > 6)
                continue;
            if (const double rss = ResidualSquares(sorted, cs); rss < best) {
                best = rss;
                bestCs = cs;
            }
        }
        EXPECT_GE(best, fitted * (1 - 1e-12));
        EXPECT_NEAR(fit.cs, bestCs, 0.0002);
    }
}

// Durations of several lengths fitted together (on two threads, each keeping
// what it worked out for the last length) give each duration's own fit, digit for digit.
TEST(FrequencyAnalysisTest, DurationsFittedTogetherGiveEachItsOwnFit)
{
    SampleTable samples;
    const size_t lengths[] = {2000, 2000, 900, 2000, 900, 60, 2000};
    for (size_t d = 0; d < std::size(lengths); ++d) {
        samples.durations.push_back(5.0 * double(d + 1));
        samples.samples.push_back(DrawnSamples(Curve(10.0 + 5 * double(d), 0.4, 0.5 + 0.3 * double(d)),
                                               lengths[d], unsigned(d + 1)));
    }
    const FrequencyResult together = AnalyseSamples(samples, FrequencySettings{});
    for (size_t d = 0; d < std::size(lengths); ++d) {
        const DistributionFit alone =
            FitDistribution(samples.samples[d], FrequencyDistribution::PearsonIII, "历时 5 分钟");
        EXPECT_EQ(together.chosen[d].cs, alone.cs) << d;
        EXPECT_EQ(together.chosen[d].mean, alone.mean) << d;
        EXPECT_EQ(together.chosen[d].cv, alone.cv) << d;
        EXPECT_EQ(together.chosen[d].rms, alone.rms) << d;
    }
}
