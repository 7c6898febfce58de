#include "fit/FrequencyAnalysis.h"

#include "model/PluvionError.h"

#include <algorithm>
#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/tools/minima.hpp>
#include <boost/math/tools/roots.hpp>
#include <cmath>
#include <exception>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>

namespace {

constexpr double EulerGamma = 0.57721566490153286061;
constexpr double Pi = 3.14159265358979323846;

// Below this skewness the gamma form needs a huge shape and loses digits; the
// Cornish–Fisher series about the normal curve is exact to far below the
// samples' precision there (its first omitted term is of order (Cs/6)^6).
constexpr double SeriesSkewness = 0.05;

// The skewness searched in curve fitting: rainfall samples are skewed to the right.
constexpr double SkewnessLow = 0.0;
constexpr double SkewnessHigh = 6.0;

// Double precision throughout is ample for frequency factors and several
// times faster than Boost's default promotion to long double.
using FastPolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;

struct Moments
{
    double mean = 0, sd = 0, cs = 0;
};

Moments SampleMoments(const std::vector<double> &x)
{
    const double n = double(x.size());
    Moments m;
    m.mean = std::accumulate(x.begin(), x.end(), 0.0) / n;
    double s2 = 0, s3 = 0;
    for (double v : x) {
        const double d = v - m.mean;
        s2 += d * d;
        s3 += d * d * d;
    }
    m.sd = std::sqrt(s2 / (n - 1));
    if (x.size() > 2 && m.sd > 0)
        m.cs = n * s3 / ((n - 1) * (n - 2) * m.sd * m.sd * m.sd);
    return m;
}

// The standardised quantile (mean 0, standard deviation 1) of a distribution.
double StandardGumbel(double p)
{
    const double alpha = std::sqrt(6.0) / Pi;
    return -alpha * (EulerGamma + std::log(-std::log1p(-p)));
}

double StandardExponential(double p)
{
    return -std::log(p) - 1.0;
}

double Rms(const std::vector<double> &sorted, const DistributionFit &fit)
{
    double sum = 0;
    for (size_t m = 0; m < sorted.size(); ++m) {
        const double d = sorted[m] - DistributionQuantile(fit, EmpiricalExceedance(m + 1, sorted.size()));
        sum += d * d;
    }
    return std::sqrt(sum / double(sorted.size()));
}

// The trial skewness of the coarse search, evenly spread over the range searched.
constexpr int GridSteps = 12;

double GridSkewness(int k)
{
    return SkewnessLow + (SkewnessHigh - SkewnessLow) * k / GridSteps;
}

// Above this many samples neighbouring plotting positions lie so close that
// each gamma quantile is found fastest from the ones before it; a shorter
// series takes Boost's quantile at every position.
constexpr size_t StepwiseQuantileSamples = 400;

// Boost's root finder stops when a step is below 2^(1 − digits) of the root;
// after a Halley step that small the root is exact to double precision.
constexpr int HalleyDigits = std::numeric_limits<double>::digits / 2;

// The Cornish–Fisher series about the normal curve for a small skewness,
// from the standard normal quantile z.
double CornishFisherFactor(double z, double cs)
{
    const double k = cs / 6.0;
    return z + (z * z - 1) * k + (z * z * z - 6 * z) * k * k / 3 - (z * z - 1) * k * k * k +
           z * k * k * k * k + k * k * k * k * k / 3;
}

double UpperNormalQuantile(double p)
{
    return boost::math::quantile(
        boost::math::complement(boost::math::normal_distribution<double, FastPolicy>(), p));
}

// The frequency factors at the plotting positions of a series of one length,
// for any skewness. The factors of the coarse search's trial skewness are the
// same for every series of that length, so they are worked out once and kept
// for the next duration, which mostly has as many samples.
class PlottingPositions
{
public:
    void prepare(size_t count)
    {
        if (count == m_exceedance.size())
            return;
        m_exceedance.resize(count);
        for (size_t m = 0; m < count; ++m)
            m_exceedance[m] = EmpiricalExceedance(m + 1, count);
        m_normal.clear();
        if (count > StepwiseQuantileSamples)
            for (double p : m_exceedance)
                m_normal.push_back(UpperNormalQuantile(p));
        m_grid.assign(GridSteps + 1, {});
        for (int k = 0; k <= GridSteps; ++k)
            factors(GridSkewness(k), m_grid[size_t(k)]);
    }

    const std::vector<double> &gridFactors(int k) const { return m_grid[size_t(k)]; }

    // Φ(p, Cs) at every plotting position, largest sample first.
    void factors(double cs, std::vector<double> &out) const
    {
        const size_t n = m_exceedance.size();
        out.resize(n);
        if (n <= StepwiseQuantileSamples || cs < 0) {
            for (size_t m = 0; m < n; ++m)
                out[m] = PearsonFrequencyFactor(m_exceedance[m], cs);
            return;
        }
        if (cs < SeriesSkewness) {
            for (size_t m = 0; m < n; ++m)
                out[m] = CornishFisherFactor(m_normal[m], cs);
            return;
        }
        // The gamma quantiles fall as the exceedance grows. Each starts from
        // the cubic through the three before it, a guess so close that one
        // Halley step on Boost's incomplete gamma function mostly ends the
        // search; the first three, and any the search cannot settle, are
        // Boost's quantile itself.
        const double shape = 4.0 / (cs * cs);
        const boost::math::gamma_distribution<double, FastPolicy> gamma(shape, 1.0);
        // Only the Halley steps' slope and bend come from the density, not the root.
        const double logGammaShape = boost::math::lgamma(shape, FastPolicy());
        double g1 = 0, g2 = 0, g3 = 0; // the quantiles of the three positions before
        for (size_t m = 0; m < n; ++m) {
            const double p = m_exceedance[m];
            double g = 0;
            if (m >= 3)
                g = StepwiseQuantile(shape, logGammaShape, p, 3 * g1 - 3 * g2 + g3, g1);
            if (!(g > 0))
                g = boost::math::quantile(boost::math::complement(gamma, p));
            out[m] = cs / 2.0 * g - 2.0 / cs;
            g3 = g2;
            g2 = g1;
            g1 = g;
        }
    }

private:
    // The gamma quantile of exceedance p below `previous`, the quantile of the
    // position before, from a guess; 0 when the search does not settle.
    static double StepwiseQuantile(double shape, double logGammaShape, double p, double guess,
                                   double previous)
    {
        constexpr double Lowest = std::numeric_limits<double>::min();
        if (!(guess > Lowest && guess < previous))
            guess = previous / 2;
        // The tail that is the smaller of the two is the one known to full precision.
        const bool upper = p < 0.5;
        const double target = upper ? p : 1.0 - p;
        const auto curve = [&](double x) {
            const double density = std::exp((shape - 1) * std::log(x) - x - logGammaShape);
            const double tail = upper ? boost::math::gamma_q(shape, x, FastPolicy())
                                      : boost::math::gamma_p(shape, x, FastPolicy());
            const double slope = upper ? -density : density;
            return std::make_tuple(tail - target, slope, slope * ((shape - 1) / x - 1));
        };
        constexpr std::uintmax_t MaxSteps = 20;
        std::uintmax_t steps = MaxSteps;
        try {
            const double g =
                boost::math::tools::halley_iterate(curve, guess, Lowest, previous, HalleyDigits, steps);
            return steps < MaxSteps ? g : 0.0;
        } catch (const std::exception &) {
            return 0.0;
        }
    }

    std::vector<double> m_exceedance;
    std::vector<double> m_normal; // the standard normal quantiles, long series only
    std::vector<std::vector<double>> m_grid;
};

// For a fixed skewness the curve is mean + sd × Φ: linear in mean and sd,
// which least squares gives exactly. Returns the residual sum of squares.
double LinearFit(const std::vector<double> &values, const std::vector<double> &factors, double *mean,
                 double *sd)
{
    const size_t n = values.size();
    double sf = 0, sff = 0, sx = 0, sfx = 0;
    for (size_t m = 0; m < n; ++m) {
        const double f = factors[m];
        sf += f;
        sff += f * f;
        sx += values[m];
        sfx += f * values[m];
    }
    const double det = double(n) * sff - sf * sf;
    *sd = (double(n) * sfx - sf * sx) / det;
    *mean = (sx - *sd * sf) / double(n);
    double rss = 0;
    for (size_t m = 0; m < n; ++m) {
        const double d = values[m] - (*mean + *sd * factors[m]);
        rss += d * d;
    }
    return rss;
}

// The fitted curve through every sample; `rms` takes the samples' deviation
// from it (NaN when the moment estimates were kept).
DistributionFit FitPearson(const std::vector<double> &sorted, const Moments &moments,
                           PlottingPositions &positions, double *rms)
{
    // Curve fitting: the skewness is searched on a grid around the moment
    // estimate and refined, mean and sd solved exactly for each trial.
    positions.prepare(sorted.size());
    // The factors of the best trial so far are kept, so that the final curve
    // needs no quantiles of its own.
    std::vector<double> factors, bestFactors;
    double bestTrialCs = std::numeric_limits<double>::quiet_NaN();
    double bestTrial = std::numeric_limits<double>::infinity();
    const auto trial = [&](double cs, double *mean, double *sd) {
        positions.factors(cs, factors);
        const double rss = LinearFit(sorted, factors, mean, sd);
        if (rss < bestTrial) {
            bestTrial = rss;
            bestTrialCs = cs;
            factors.swap(bestFactors);
        }
        return rss;
    };
    double bestCs = std::clamp(moments.cs, SkewnessLow, SkewnessHigh);
    double mean = 0, sd = 0;
    double best = trial(bestCs, &mean, &sd);
    for (int k = 0; k <= GridSteps; ++k) {
        const double rss = LinearFit(sorted, positions.gridFactors(k), &mean, &sd);
        if (rss < best) {
            best = rss;
            bestCs = GridSkewness(k);
        }
    }
    const double step = (SkewnessHigh - SkewnessLow) / GridSteps;
    const auto objective = [&trial](double cs) {
        double mu = 0, s = 0;
        return trial(cs, &mu, &s);
    };
    const auto [cs, rss] = boost::math::tools::brent_find_minima(
        objective, std::max(SkewnessLow, bestCs - step), std::min(SkewnessHigh, bestCs + step), 24);
    if (rss < best)
        bestCs = cs;
    const double finalRss =
        bestCs == bestTrialCs ? LinearFit(sorted, bestFactors, &mean, &sd) : trial(bestCs, &mean, &sd);
    *rms = std::sqrt(finalRss / double(sorted.size()));
    DistributionFit fit;
    fit.distribution = FrequencyDistribution::PearsonIII;
    if (!(mean > 0) || !(sd > 0)) {
        // The fitted curve has no meaning; keep the moment estimates.
        *rms = std::numeric_limits<double>::quiet_NaN();
        mean = moments.mean;
        sd = moments.sd;
        bestCs = std::clamp(moments.cs, SkewnessLow, SkewnessHigh);
    }
    fit.mean = mean;
    fit.cv = sd / mean;
    fit.cs = bestCs;
    return fit;
}

// Fits the distribution to samples sorted from largest to smallest.
DistributionFit FitSorted(const std::vector<double> &sorted, FrequencyDistribution distribution,
                          const QString &what, PlottingPositions &positions)
{
    if (sorted.size() < MinimumSamples(distribution))
        throw PluvionError(QStringLiteral("%1只有%2个样本，%3至少需要%4个。")
                               .arg(what)
                               .arg(sorted.size())
                               .arg(DistributionName(distribution))
                               .arg(MinimumSamples(distribution)));
    const Moments moments = SampleMoments(sorted);
    if (!(moments.sd > 0))
        throw PluvionError(QStringLiteral("%1的样本全都相同，无法进行频率分析。").arg(what));
    DistributionFit fit;
    double rms = std::numeric_limits<double>::quiet_NaN();
    if (distribution == FrequencyDistribution::PearsonIII) {
        try {
            fit = FitPearson(sorted, moments, positions, &rms);
        } catch (const std::exception &) {
            // Boost.Math reports a quantile it cannot evaluate by an exception.
            throw PluvionError(QStringLiteral("%1的皮尔逊III型分布适线失败，请改用其他分布。").arg(what));
        }
    } else {
        fit.distribution = distribution;
        fit.mean = moments.mean;
        fit.cv = moments.sd / moments.mean;
        fit.cs = distribution == FrequencyDistribution::Gumbel ? 1.1395 : 2.0;
    }
    fit.rms = std::isnan(rms) ? Rms(sorted, fit) : rms;
    return fit;
}

} // namespace

QString SamplingMethodName(SamplingMethod method)
{
    return method == SamplingMethod::AnnualMultiple ? QStringLiteral("年多个样法")
                                                    : QStringLiteral("年最大值法");
}

FrequencyDistribution DefaultDistribution(SamplingMethod sampling)
{
    return sampling == SamplingMethod::AnnualMultiple ? FrequencyDistribution::Exponential
                                                      : FrequencyDistribution::PearsonIII;
}

QString DistributionName(FrequencyDistribution distribution)
{
    switch (distribution) {
    case FrequencyDistribution::PearsonIII:
        return QStringLiteral("皮尔逊III型分布");
    case FrequencyDistribution::Gumbel:
        return QStringLiteral("耿贝尔分布");
    case FrequencyDistribution::Exponential:
        return QStringLiteral("指数分布");
    }
    return {};
}

double PearsonFrequencyFactor(double p, double cs)
{
    if (std::abs(cs) < SeriesSkewness)
        return CornishFisherFactor(UpperNormalQuantile(p), cs);
    // A gamma variable of shape α = 4 / Cs², standardised: Φ = (Cs / 2) g − 2 / Cs.
    const double shape = 4.0 / (cs * cs);
    const boost::math::gamma_distribution<double, FastPolicy> gamma(shape, 1.0);
    if (cs > 0)
        return cs / 2.0 * boost::math::quantile(boost::math::complement(gamma, p)) - 2.0 / cs;
    // Negative skewness mirrors the curve.
    return cs / 2.0 * boost::math::quantile(gamma, p) - 2.0 / cs;
}

double DistributionQuantile(const DistributionFit &fit, double p)
{
    const double sd = fit.mean * fit.cv;
    switch (fit.distribution) {
    case FrequencyDistribution::PearsonIII:
        return fit.mean + sd * PearsonFrequencyFactor(p, fit.cs);
    case FrequencyDistribution::Gumbel:
        return fit.mean + sd * StandardGumbel(p);
    case FrequencyDistribution::Exponential:
        return fit.mean + sd * StandardExponential(p);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

std::vector<double> SortedDescending(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end(), std::greater<>());
    return samples;
}

size_t MinimumSamples(FrequencyDistribution distribution)
{
    return distribution == FrequencyDistribution::PearsonIII ? 5 : 3;
}

DistributionFit FitDistribution(const std::vector<double> &samples, FrequencyDistribution distribution,
                                const QString &what)
{
    PlottingPositions positions;
    return FitSorted(SortedDescending(samples), distribution, what, positions);
}

double AnnualMaximumPeriod(double exceedancePeriod)
{
    return 1.0 / -std::expm1(-1.0 / exceedancePeriod);
}

double ExceedancePeriod(double annualMaximumPeriod)
{
    return -1.0 / std::log1p(-1.0 / annualMaximumPeriod);
}

FrequencyResult AnalyseSamples(const SampleTable &samples, const FrequencySettings &settings,
                               AnalysisScope scope)
{
    const bool full = scope == AnalysisScope::Full;
    const bool multiple = settings.sampling == SamplingMethod::AnnualMultiple;
    if (multiple && settings.years < 1)
        throw PluvionError(QStringLiteral("年多个样法需要给出资料年数。"));
    if (multiple && settings.years > MaxRecordYears)
        throw PluvionError(
            QStringLiteral("资料年数 %1 超过上限 %2 年。").arg(settings.years).arg(MaxRecordYears));
    if (settings.periods.empty())
        throw PluvionError(QStringLiteral("没有给出要推求的重现期。"));

    FrequencyResult result;
    result.table.durations = samples.durations;
    result.table.periods = settings.periods;
    result.table.values.assign(samples.durations.size() * settings.periods.size(), 0.0);
    // Each duration's curves, fitted apart from the others: on two threads
    // when a second one can start. A failure is kept with its duration and
    // told below in the durations' order, as if they had run one by one.
    struct DurationFits
    {
        std::vector<double> series;
        DistributionFit fit;
        std::vector<double> rms;
        std::exception_ptr failure;
    };
    std::vector<DurationFits> fits(samples.durations.size());
    // Each thread keeps its own plotting positions from one duration to the next.
    const auto fitDuration = [&](size_t d, PlottingPositions &positions) {
        DurationFits &out = fits[d];
        try {
            const QString what = QStringLiteral("历时 %1 分钟").arg(samples.durations[d]);
            out.series = SortedDescending(samples.samples[d]);
            if (multiple && out.series.size() > size_t(4 * settings.years))
                out.series.resize(size_t(4 * settings.years));
            out.fit = FitSorted(out.series, settings.distribution, what, positions);
            if (!full)
                return;
            for (FrequencyDistribution other :
                 {FrequencyDistribution::PearsonIII, FrequencyDistribution::Gumbel,
                  FrequencyDistribution::Exponential}) {
                if (other == settings.distribution) {
                    out.rms.push_back(out.fit.rms);
                    continue;
                }
                try {
                    out.rms.push_back(FitSorted(out.series, other, what, positions).rms);
                } catch (const PluvionError &) {
                    out.rms.push_back(std::numeric_limits<double>::quiet_NaN());
                }
            }
        } catch (...) {
            out.failure = std::current_exception();
        }
    };
    std::thread helper;
    size_t stride = 1;
    try {
        if (full) {
            helper = std::thread([&] {
                PlottingPositions positions;
                for (size_t d = 1; d < fits.size(); d += 2)
                    fitDuration(d, positions);
            });
            stride = 2;
        }
    } catch (const std::system_error &) {
    }
    PlottingPositions positions;
    for (size_t d = 0; d < fits.size(); d += stride)
        fitDuration(d, positions);
    if (helper.joinable())
        helper.join();

    for (size_t d = 0; d < samples.durations.size(); ++d) {
        if (fits[d].failure)
            std::rethrow_exception(fits[d].failure);
        const QString what = QStringLiteral("历时 %1 分钟").arg(samples.durations[d]);
        const std::vector<double> &series = fits[d].series;
        const DistributionFit &fit = fits[d].fit;
        result.chosen.push_back(fit);
        if (full)
            result.rmsByDistribution.push_back(fits[d].rms);

        // Samples per year: 1 for annual maxima, n / years for annual multiple.
        const double perYear = multiple ? double(series.size()) / settings.years : 1.0;
        for (size_t k = 0; k < settings.periods.size(); ++k) {
            const double period = settings.periods[k];
            if (!(period > 1.0))
                throw PluvionError(QStringLiteral("重现期 %1 年无法推求：重现期必须大于1年。").arg(period));
            const double exceedancePeriod =
                multiple && settings.annualMaximumPeriods ? ExceedancePeriod(period) : period;
            const double p = 1.0 / (perYear * exceedancePeriod);
            if (!(p > 0 && p < 1))
                throw PluvionError(QStringLiteral("重现期 %1 年超出了样本能推求的范围。").arg(period));
            const double depth = DistributionQuantile(fit, p);
            if (!(depth > 0) || !std::isfinite(depth))
                throw PluvionError(QStringLiteral("%1在重现期 %2 年的雨量不是正数，该分布不适用于这些样本。")
                                       .arg(what)
                                       .arg(period));
            result.table.at(d, k) = depth / samples.durations[d];
        }
    }
    return result;
}
