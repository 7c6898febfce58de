// Frequency analysis: quantiles against published frequency factors, the fits
// against samples lying on known curves, the period conversion, and samples
// the distributions cannot take.
#include "fit/FrequencyAnalysis.h"

#include "model/PluvionError.h"

#include <cmath>
#include <gtest/gtest.h>

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
