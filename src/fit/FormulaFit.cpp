#include "fit/FormulaFit.h"

#include "model/PluvionError.h"

#include <Eigen/Dense>
#include <algorithm>
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <limits>
#include <unsupported/Eigen/LevenbergMarquardt>

namespace {

// The search range of b and n; the polish may leave it, as long as t + b stays positive.
constexpr double SearchBHigh = 60.0;
constexpr int SearchBSteps = 60;
constexpr double SearchNLow = 0.01;
constexpr double SearchNHigh = 3.0;
constexpr int BrentBits = 40;

double PeriodLogValue(Logarithm log, double period)
{
    return log == Logarithm::Ln ? std::log(period) : std::log10(period);
}

// The points of a fit: durations, the period term (1 and log P, or 1 and 0
// for a single period) and the intensity.
struct FitPoints
{
    Eigen::VectorXd t, logP, i;
    double minDuration() const { return t.minCoeff(); }
};

FitPoints PointsOf(const IntensityTable &table, Logarithm log)
{
    const Eigen::Index count = Eigen::Index(table.values.size());
    FitPoints points{Eigen::VectorXd(count), Eigen::VectorXd(count), Eigen::VectorXd(count)};
    Eigen::Index k = 0;
    for (size_t d = 0; d < table.durations.size(); ++d)
        for (size_t p = 0; p < table.periods.size(); ++p, ++k) {
            points.t[k] = table.durations[d];
            points.logP[k] = PeriodLogValue(log, table.periods[p]);
            points.i[k] = table.at(d, p);
        }
    return points;
}

FitPoints ColumnPoints(const IntensityTable &table, size_t period)
{
    const Eigen::Index count = Eigen::Index(table.durations.size());
    FitPoints points{Eigen::VectorXd(count), Eigen::VectorXd::Zero(count), Eigen::VectorXd(count)};
    for (size_t d = 0; d < table.durations.size(); ++d) {
        points.t[Eigen::Index(d)] = table.durations[d];
        points.i[Eigen::Index(d)] = table.at(d, period);
    }
    return points;
}

// The parameters of the general form i = (α + β logP) / (t + b)^n; a single
// period uses β = 0.
struct Params
{
    double alpha = 0, beta = 0, b = 0, n = 0, rss = std::numeric_limits<double>::infinity();
};

// For fixed b and n the form is linear in α (and β): solved exactly.
Params SolveLinear(const FitPoints &pts, bool withPeriod, double b, double n)
{
    Params p;
    p.b = b;
    p.n = n;
    if (!(pts.minDuration() + b > 0))
        return p;
    const Eigen::ArrayXd g = (pts.t.array() + b).pow(-n);
    if (withPeriod) {
        Eigen::MatrixXd m(pts.t.size(), 2);
        m.col(0) = g.matrix();
        m.col(1) = (g * pts.logP.array()).matrix();
        const Eigen::Vector2d x = m.colPivHouseholderQr().solve(pts.i);
        p.alpha = x[0];
        p.beta = x[1];
        p.rss = (m * x - pts.i).squaredNorm();
    } else {
        p.alpha = g.matrix().dot(pts.i) / g.matrix().squaredNorm();
        p.rss = (g.matrix() * p.alpha - pts.i).squaredNorm();
    }
    if (!std::isfinite(p.rss))
        p.rss = std::numeric_limits<double>::infinity();
    return p;
}

// For fixed b, the best n (with the linear parts exact).
Params BestForB(const FitPoints &pts, bool withPeriod, double b)
{
    const auto objective = [&](double n) { return SolveLinear(pts, withPeriod, b, n).rss; };
    const auto found = boost::math::tools::brent_find_minima(objective, SearchNLow, SearchNHigh, BrentBits);
    return SolveLinear(pts, withPeriod, b, found.first);
}

// Search b on a grid from 0 (the n search inside), then refine around the best.
Params SearchBN(const FitPoints &pts, bool withPeriod)
{
    Params best;
    double bestB = 0;
    const double step = SearchBHigh / SearchBSteps;
    for (int k = 0; k <= SearchBSteps; ++k) {
        const Params p = BestForB(pts, withPeriod, k * step);
        if (p.rss < best.rss) {
            best = p;
            bestB = k * step;
        }
    }
    const double low = std::max(bestB - step, -0.99 * pts.minDuration());
    const auto objective = [&](double b) { return BestForB(pts, withPeriod, b).rss; };
    const auto found = boost::math::tools::brent_find_minima(objective, low, bestB + step, BrentBits);
    const Params refined = BestForB(pts, withPeriod, found.first);
    return refined.rss <= best.rss ? refined : best;
}

// The residuals and their Jacobian for Eigen's Levenberg–Marquardt.
struct Residuals : Eigen::DenseFunctor<double>
{
    const FitPoints &pts;
    bool withPeriod;

    Residuals(const FitPoints &points, bool period)
        : Eigen::DenseFunctor<double>(period ? 4 : 3, int(points.t.size())), pts(points), withPeriod(period)
    {}

    // x = (α, b, n) or (α, β, b, n)
    double param(const InputType &x, int which) const
    {
        // which: 0 α, 1 β, 2 b, 3 n
        if (withPeriod)
            return x[which];
        return which == 1 ? 0.0 : x[which == 0 ? 0 : which - 1];
    }

    int operator()(const InputType &x, ValueType &fvec) const
    {
        const double b = param(x, 2), n = param(x, 3);
        for (Eigen::Index k = 0; k < pts.t.size(); ++k) {
            const double base = std::max(pts.t[k] + b, 1e-12);
            fvec[k] = (param(x, 0) + param(x, 1) * pts.logP[k]) * std::pow(base, -n) - pts.i[k];
        }
        return 0;
    }

    int df(const InputType &x, JacobianType &jac) const
    {
        const double b = param(x, 2), n = param(x, 3);
        for (Eigen::Index k = 0; k < pts.t.size(); ++k) {
            const double base = std::max(pts.t[k] + b, 1e-12);
            const double g = std::pow(base, -n);
            const double f = (param(x, 0) + param(x, 1) * pts.logP[k]) * g;
            int col = 0;
            jac(k, col++) = g;
            if (withPeriod)
                jac(k, col++) = pts.logP[k] * g;
            jac(k, col++) = -n * f / base;
            jac(k, col++) = -f * std::log(base);
        }
        return 0;
    }
};

Params Polish(const FitPoints &pts, bool withPeriod, const Params &start)
{
    Residuals functor(pts, withPeriod);
    Eigen::VectorXd x(withPeriod ? 4 : 3);
    if (withPeriod)
        x << start.alpha, start.beta, start.b, start.n;
    else
        x << start.alpha, start.b, start.n;
    Eigen::LevenbergMarquardt<Residuals> lm(functor);
    lm.setXtol(1e-15);
    lm.setFtol(1e-15);
    lm.setGtol(0);
    lm.setMaxfev(2000);
    lm.minimize(x);

    Params p;
    p.alpha = x[0];
    p.beta = withPeriod ? x[1] : 0.0;
    p.b = x[withPeriod ? 2 : 1];
    p.n = x[withPeriod ? 3 : 2];
    if (!x.allFinite() || !(pts.minDuration() + p.b > 0))
        return start;
    Eigen::VectorXd r(pts.t.size());
    functor(x, r);
    p.rss = r.squaredNorm();
    return p.rss <= start.rss ? p : start;
}

Params Fit(const FitPoints &pts, bool withPeriod, const QString &what)
{
    const QString notConverging =
        QStringLiteral("%1的拟合未能收敛：表中的雨强不随历时按公式的规律变化，请检查数据。").arg(what);
    Params p = Polish(pts, withPeriod, SearchBN(pts, withPeriod));
    if (!std::isfinite(p.alpha) || !std::isfinite(p.beta) || !std::isfinite(p.b) || !std::isfinite(p.n) ||
        !std::isfinite(p.rss))
        throw PluvionError(notConverging);
    // A table that decays faster than any (t + b)^-n has no least-squares
    // minimum: the residual keeps falling as b and n grow, and the parameters
    // run to the ends of the search. Where they stop is no formula.
    constexpr double edge = 1e-3;
    if (p.b >= SearchBHigh * (1 - edge) || p.n <= SearchNLow * (1 + edge) || p.n >= SearchNHigh * (1 - edge))
        throw PluvionError(notConverging +
                           QStringLiteral("（b 或 n 到了可取范围的边界：b ≤ %1，%2 ≤ n ≤ %3）")
                               .arg(SearchBHigh)
                               .arg(SearchNLow)
                               .arg(SearchNHigh));
    if (!(p.alpha > 0))
        throw PluvionError(QStringLiteral("%1拟合得到的 A 不为正（%2），这样的公式不能使用：请检查数据。")
                               .arg(what)
                               .arg(p.alpha, 0, 'g', 6));
    return p;
}

} // namespace

double FormulaIntensity(const PeriodFormula &formula, double minutes)
{
    return formula.a / std::pow(minutes + formula.b, formula.n);
}

double FormulaIntensity(const TotalFormula &formula, double minutes, double period)
{
    return formula.a1 * (1 + formula.c * PeriodLogValue(formula.log, period)) /
           std::pow(minutes + formula.b, formula.n);
}

double ResidualSumOfSquares(const IntensityTable &table, const TotalFormula &formula)
{
    double sum = 0;
    for (size_t d = 0; d < table.durations.size(); ++d)
        for (size_t p = 0; p < table.periods.size(); ++p) {
            const double r = FormulaIntensity(formula, table.durations[d], table.periods[p]) - table.at(d, p);
            sum += r * r;
        }
    return sum;
}

double ResidualSumOfSquares(const IntensityTable &table, size_t period, const PeriodFormula &formula)
{
    double sum = 0;
    for (size_t d = 0; d < table.durations.size(); ++d) {
        const double r = FormulaIntensity(formula, table.durations[d]) - table.at(d, period);
        sum += r * r;
    }
    return sum;
}

std::vector<PeriodFormula> FitPeriodFormulas(const IntensityTable &table)
{
    std::vector<PeriodFormula> formulas;
    for (size_t k = 0; k < table.periods.size(); ++k) {
        try {
            const Params p = Fit(ColumnPoints(table, k), false,
                                 QStringLiteral("重现期 %1 年的单一重现期公式").arg(table.periods[k]));
            formulas.push_back({table.periods[k], p.alpha, p.b, p.n, p.rss, std::nullopt});
        } catch (const PluvionError &error) {
            if (error.kind() != PluvionErrorKind::Failure)
                throw;
            const double none = std::numeric_limits<double>::quiet_NaN();
            formulas.push_back({table.periods[k], none, none, none, none, error.description()});
        }
    }
    return formulas;
}

TotalFormula FitTotalFormula(const IntensityTable &table, Logarithm log)
{
    if (table.periods.size() < 2)
        throw PluvionError(
            QStringLiteral("总公式至少需要2个重现期，表中只有%1个。").arg(table.periods.size()));
    // Rain grows with the return period: data whose intensities fall from the
    // shortest period to the longest are no i–t–P table.
    const auto [shortest, longest] = std::minmax_element(table.periods.begin(), table.periods.end());
    double growth = 0;
    for (size_t d = 0; d < table.durations.size(); ++d)
        growth += table.at(d, size_t(longest - table.periods.begin())) -
                  table.at(d, size_t(shortest - table.periods.begin()));
    if (!(growth > 0))
        throw PluvionError(
            QStringLiteral("表中的雨强随重现期增大而减小（或不变），不能推求暴雨强度公式：请检查数据。"));
    const Params p = Fit(PointsOf(table, log), true, QStringLiteral("总公式"));
    TotalFormula formula;
    formula.a1 = p.alpha;
    formula.c = p.beta / p.alpha;
    formula.b = p.b;
    formula.n = p.n;
    formula.log = log;
    formula.rss = p.rss;
    return formula;
}

FormulaAccuracy AssessAccuracy(const IntensityTable &table, const TotalFormula &formula)
{
    FormulaAccuracy accuracy;
    bool positive = true;
    double sigmaSum = 0, relativeSum = 0;
    int assessedCount = 0;
    const double m = double(table.durations.size());
    for (size_t p = 0; p < table.periods.size(); ++p) {
        PeriodAccuracy row;
        row.period = table.periods[p];
        double squares = 0, sum = 0;
        for (size_t d = 0; d < table.durations.size(); ++d) {
            const double r = FormulaIntensity(formula, table.durations[d], row.period) - table.at(d, p);
            squares += r * r;
            sum += table.at(d, p);
        }
        row.sigma = std::sqrt(squares / m);
        row.relative = row.sigma / (sum / m);
        row.assessed = row.period >= AssessedPeriodLow && row.period <= AssessedPeriodHigh;
        row.passed = row.assessed && (row.sigma <= SigmaLimit || row.relative <= RelativeLimit);
        // A formula that is not positive somewhere in its own table is no
        // rain formula: it passes nowhere.
        for (size_t d = 0; d < table.durations.size(); ++d) {
            if (!(FormulaIntensity(formula, table.durations[d], row.period) > 0))
                positive = false;
        }
        if (row.assessed) {
            sigmaSum += row.sigma;
            relativeSum += row.relative;
            ++assessedCount;
        }
        accuracy.periods.push_back(row);
    }
    accuracy.assessed = assessedCount > 0;
    accuracy.meanSigma =
        accuracy.assessed ? sigmaSum / assessedCount : std::numeric_limits<double>::quiet_NaN();
    accuracy.meanRelative =
        accuracy.assessed ? relativeSum / assessedCount : std::numeric_limits<double>::quiet_NaN();
    accuracy.passed =
        accuracy.assessed && (accuracy.meanSigma <= SigmaLimit || accuracy.meanRelative <= RelativeLimit);
    if (!positive) {
        for (PeriodAccuracy &row : accuracy.periods)
            row.passed = false;
        accuracy.passed = false;
    }
    return accuracy;
}

QString AccuracyVerdict(bool assessed, bool passed)
{
    if (!assessed)
        return QStringLiteral("不考核");
    return passed ? QStringLiteral("合格") : QStringLiteral("不合格");
}
