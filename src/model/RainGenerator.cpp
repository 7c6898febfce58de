#include "RainGenerator.h"

#include "NumberForms.h"
#include "PluvionError.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>

namespace {

// The failures the computation can meet, with the descriptions users see.
const char16_t *const IntegerDivisionByZero = u"Division by zero";
const char16_t *const InvalidOperation = u"Invalid floating point operation";
const char16_t *const FloatDivisionByZero = u"Floating point division by zero";
const char16_t *const FloatOverflow = u"Floating point overflow";

struct Failure
{
    QString description;
};

[[noreturn]] void fail(const char16_t *description)
{
    throw Failure{QString::fromUtf16(description)};
}

// A result that is not a number comes only from an invalid operation; an
// infinite one from a value too large for the arithmetic.
long double checked(long double value)
{
    if (std::isnan(value))
        fail(InvalidOperation);
    if (std::isinf(value))
        fail(FloatOverflow);
    return value;
}

long double divide(long double x, long double y)
{
    if (y == 0) {
        if (x == 0 || std::isnan(x))
            fail(InvalidOperation);
        fail(FloatDivisionByZero);
    }
    return checked(x / y);
}

long double power(long double base, long double exponent)
{
    // The usual case, a positive base: through the base-2 logarithm, which
    // in extended precision is exact far beyond the double the row stores
    // and several times faster than the general power.
    if (base > 0)
        return checked(std::exp2(exponent * std::log2(base)));
    if (base == 0 && exponent < 0)
        fail(FloatDivisionByZero);
    if (base < 0 && exponent != std::trunc(exponent))
        fail(InvalidOperation);
    return checked(std::pow(base, exponent));
}

double stored(long double value)
{
    const double narrow = static_cast<double>(value);
    if (std::isinf(narrow))
        fail(FloatOverflow);
    return narrow;
}

long double logarithm(long double x, bool common)
{
    if (x == 0)
        fail(FloatDivisionByZero);
    if (x < 0 || std::isnan(x))
        fail(InvalidOperation);
    return checked(common ? std::log10(x) : std::log(x));
}

// The storm factor a = A1 (1 + C log P); 0 for an unknown logarithm.
long double stormFactor(const Storm &storm)
{
    if (storm.log != Logarithm::Lg && storm.log != Logarithm::Ln)
        return 0;
    const long double log = logarithm(storm.period, storm.log == Logarithm::Lg);
    return checked(storm.a1 * checked(1 + checked(storm.c * log)));
}

bool durationOutOfRange(long double T)
{
    return std::isnan(T) || T > static_cast<long double>(MaxStormMinutes);
}

QString durationRefusal()
{
    return QStringLiteral("降雨历时超出可计算范围：历时须为数值，且不超过 %1 分钟").arg(MaxStormMinutes);
}

// The instantaneous storm's formula, with what every minute shares.
struct MinuteFormula
{
    long double a;         // the storm factor
    long double r;         // the peak ratio
    long double oneMinusR; // 1 - r
    long double b;
    long double oneMinusN; // 1 - n
    long double exponent;  // 1 + n
    long double p;         // the peak's minute, held as a stored value
    long long last;        // the last minute listed, -1 for none
    long long listEvery;   // |step|; 0 fails at the first minute
};

// Every minute with each operation checked: the reference computation, which
// stops at the first operation that fails with that operation's description.
void checkedMinutes(const MinuteFormula &f, RainPoints &points, bool calcByShow, int precision,
                    long double &total)
{
    // minute % |step|, counted rather than divided for every minute
    long long sinceListed = 0;
    for (long long minute = 0; minute <= f.last; ++minute) {
        const long double d = std::fabs(minute - f.p);
        // The minute on the peak belongs to the rising limb.
        const long double scaled = minute <= f.p ? divide(d, f.r) : divide(d, f.oneMinusR);
        const long double base = checked(scaled + f.b);
        const long double numerator = checked(f.a * checked(checked(f.oneMinusN * scaled) + f.b));
        long double value = divide(numerator, power(base, f.exponent));
        if (calcByShow)
            value = RoundToShown(precision, stored(value));
        total = checked(total + value);
        if (f.listEvery == 0)
            fail(IntegerDivisionByZero);
        if (sinceListed == 0 || minute == f.last)
            points.push_back(RainPoint{static_cast<double>(minute), stored(value), stored(total)});
        if (++sinceListed == f.listEvery)
            sinceListed = 0;
    }
}

// The minute's value as the reference computes it when nothing fails; not a
// number where the reference would fail in the power (a base not above 0, a
// power beyond the arithmetic), so that the running total shows that failure.
long double plainValue(const MinuteFormula &f, long long minute)
{
    const long double d = std::fabs(minute - f.p);
    const long double scaled = minute <= f.p ? d / f.r : d / f.oneMinusR;
    const long double base = scaled + f.b;
    const long double numerator = f.a * (f.oneMinusN * scaled + f.b);
    if (!(base > 0))
        return std::numeric_limits<long double>::quiet_NaN();
    const long double power = std::exp2(f.exponent * std::log2(base));
    if (!(power <= std::numeric_limits<long double>::max()))
        return std::numeric_limits<long double>::quiet_NaN();
    return numerator / power;
}

// Minutes are computed in blocks; from this many minutes on, the values are
// shared between two threads (each value alone, so it is the same whichever
// thread computes it), and the running total is summed in order.
constexpr long long MinutesPerBlock = 1 << 18;
constexpr long long SharedFromMinutes = 1 << 16;

void plainValues(const MinuteFormula &f, long long from, long long to, long double *values)
{
    for (long long minute = from; minute < to; ++minute)
        values[minute - from] = plainValue(f, minute);
}

// A second thread computing the values of minutes [from, to); none when no
// thread can be started, and then the caller computes them itself.
std::jthread startValues(const MinuteFormula &f, long long from, long long to, long double *values)
{
    try {
        return std::jthread(plainValues, std::cref(f), from, to, values);
    } catch (const std::system_error &) {
        return {};
    }
}

// The values of minutes [from, to): this thread computes those before
// `split`, `helper` (or this thread, without one) those from it on.
void finishValues(const MinuteFormula &f, long long from, long long split, long long to, long double *values,
                  std::jthread &helper)
{
    plainValues(f, from, split, values);
    if (helper.joinable())
        helper.join();
    else
        plainValues(f, split, to, values + (split - from));
}

// The same minutes with the same operations in the same order, checking only
// what shows every failure of the reference: with finite parameters and
// non-zero ratios the distance, the base and the numerator stay finite in
// extended precision, so an operation can fail only in the power (a base not
// above 0, a result that is infinite or 0) or in what follows it, and a power
// of 0 or a failed quotient makes the running total infinite or not a number.
// Returns false, leaving `points` and `total` as they came, when the
// reference is needed to tell what happened.
bool plainMinutesShared(const MinuteFormula &f, RainPoints &points, long double &total);

bool plainMinutes(const MinuteFormula &f, RainPoints &points, long double &total)
{
    if (f.last + 1 >= SharedFromMinutes)
        return plainMinutesShared(f, points, total);
    const size_t first = points.size();
    long double sum = 0;
    long long sinceListed = 0;
    for (long long minute = 0; minute <= f.last; ++minute) {
        const long double d = std::fabs(minute - f.p);
        const long double scaled = minute <= f.p ? d / f.r : d / f.oneMinusR;
        const long double base = scaled + f.b;
        const long double numerator = f.a * (f.oneMinusN * scaled + f.b);
        if (!(base > 0)) {
            points.resize(first);
            return false;
        }
        const long double power = std::exp2(f.exponent * std::log2(base));
        const long double value = numerator / power;
        sum += value;
        if (!(power <= std::numeric_limits<long double>::max()) ||
            !(std::fabs(sum) <= std::numeric_limits<long double>::max())) {
            points.resize(first);
            return false;
        }
        // A value or total beyond a double fails here as in the reference.
        if (sinceListed == 0 || minute == f.last)
            points.push_back(RainPoint{static_cast<double>(minute), stored(value), stored(sum)});
        if (++sinceListed == f.listEvery)
            sinceListed = 0;
    }
    total = sum;
    return true;
}

// plainMinutes for a long storm: the values of each block are computed on
// two threads, and summed in order on this one. Out of line, so that the
// short storms' loop keeps the formula at hand.
[[gnu::noinline]] bool plainMinutesShared(const MinuteFormula &f, RainPoints &points, long double &total)
{
    const size_t first = points.size();
    long double sum = 0;
    long long sinceListed = 0;
    // Adds the values of minutes [from, to) to the running total in order and
    // lists their rows; false at the first failure.
    const auto addMinutes = [&](long long from, long long to, const auto &valueOf) {
        for (long long minute = from; minute < to; ++minute) {
            const long double value = valueOf(minute);
            sum += value;
            if (!(std::fabs(sum) <= std::numeric_limits<long double>::max()))
                return false;
            // A value or total beyond a double fails here as in the reference.
            if (sinceListed == 0 || minute == f.last)
                points.push_back(RainPoint{static_cast<double>(minute), stored(value), stored(sum)});
            if (++sinceListed == f.listEvery)
                sinceListed = 0;
        }
        return true;
    };

    const long long count = f.last + 1;

    const size_t blockSize = size_t(std::min(count, MinutesPerBlock));
    std::vector<long double> values(blockSize);
    std::vector<long double> nextValues(blockSize);
    {
        // The first block by halves.
        const long long to = std::min(count, MinutesPerBlock);
        std::jthread helper = startValues(f, to / 2, to, values.data() + to / 2);
        finishValues(f, 0, to / 2, to, values.data(), helper);
    }
    for (long long from = 0; from < count; from += MinutesPerBlock) {
        const long long to = std::min(count, from + MinutesPerBlock);
        const long long nextTo = std::min(count, to + MinutesPerBlock);
        // While this thread sums the block, the second one computes the
        // larger, later part of the next block. It is joined on every way out.
        const long long nextSplit = to + (nextTo - to) * 2 / 5;
        std::jthread helper;
        if (to < count)
            helper = startValues(f, nextSplit, nextTo, nextValues.data() + (nextSplit - to));
        if (!addMinutes(from, to, [&](long long minute) { return values[size_t(minute - from)]; })) {
            points.resize(first);
            return false;
        }
        if (to < count) {
            finishValues(f, to, nextSplit, nextTo, nextValues.data(), helper);
            values.swap(nextValues);
        }
    }
    total = sum;
    return true;
}

// The instantaneous storm: every whole minute sampled from the formula.
std::optional<QString> computeInstantMinutes(Storm &storm, RainPoints &points, bool calcByShow, int precision,
                                             bool plainAllowed)
{
    const long double T = storm.duration;
    if (durationOutOfRange(T))
        return durationRefusal();
    MinuteFormula f;
    f.a = stormFactor(storm);
    f.r = storm.peakRatio;
    f.oneMinusR = 1 - f.r;
    f.b = storm.b;
    const long double n = storm.n;
    f.exponent = checked(1 + n);
    f.oneMinusN = checked(1 - n);
    // The peak minute is held as a stored value: T = 120 and r = 0.4 put
    // it on minute 48 exactly. It is not rounded to a whole minute.
    f.p = static_cast<double>(T * f.r);
    // The last minute: T truncated toward zero; none at all below -1.
    f.last = T <= -1 ? -1 : static_cast<long long>(std::trunc(T));
    const long long step = storm.step;
    f.listEvery = step < 0 ? -step : step;

    if (f.last >= 0 && step != 0)
        points.reserve(points.size() + static_cast<size_t>(f.last / f.listEvery + 2));

    long double total = 0;
    const bool plain = plainAllowed && !calcByShow && f.listEvery != 0 && std::isfinite(f.p) &&
                       std::isfinite(f.r) && f.r != 0 && f.oneMinusR != 0 && std::isfinite(f.b);
    if (!plain || !plainMinutes(f, points, total))
        checkedMinutes(f, points, calcByShow, precision, total);

    if (points.empty())
        throw Failure{QStringLiteral("List index out of bounds (%1)").arg(-1)};
    storm.totalDepth = points.back().Overall;
    storm.averageIntensity = stored(divide(storm.totalDepth, T));
    return std::nullopt;
}

// The rainfall of one limb from the peak out to the distance tau, the integral
// of that limb's intensity: a tau / (tau / ratio + b)^n, ratio r before the
// peak and 1 - r after it. None at the peak itself, whatever b is.
long double limbDepth(long double a, long double tau, long double ratio, long double b, long double n)
{
    if (tau == 0)
        return 0;
    return divide(checked(a * tau), power(checked(divide(tau, ratio) + b), n));
}

// The block-average storm: each step's average from the cumulative depth.
std::optional<QString> computeBlockAverages(Storm &storm, RainPoints &points, bool calcByShow, int precision)
{
    const long double T = storm.duration;
    if (durationOutOfRange(T))
        return durationRefusal();
    if (!(T > 0))
        return BlockDurationNotPositiveMessage();
    const long double r = storm.peakRatio;
    if (!(r > 0 && r < 1))
        return BlockPeakRatioOutsideMessage();
    if (storm.step == 0)
        fail(IntegerDivisionByZero);
    const long long step =
        storm.step < 0 ? -static_cast<long long>(storm.step) : static_cast<long long>(storm.step);

    const long double a = stormFactor(storm);
    const long double b = storm.b;
    const long double n = storm.n;
    const long double p = T * r;
    const long double oneMinusR = 1 - r;
    const auto rising = [&](long double tau) { return limbDepth(a, tau, r, b, n); };
    const auto falling = [&](long double tau) { return limbDepth(a, tau, oneMinusR, b, n); };
    // Within one limb a step's rainfall is a difference along that limb; the
    // step that holds the peak takes its part of each limb.
    const auto depthBetween = [&](long double from, long double to) {
        if (to <= p)
            return checked(rising(p - from) - rising(p - to));
        if (from >= p)
            return checked(falling(to - p) - falling(from - p));
        return checked(rising(p - from) + falling(to - p));
    };

    points.reserve(points.size() + static_cast<size_t>(std::ceil(T / step)));
    long double total = 0;
    for (long long k = 0;; ++k) {
        const long double from = static_cast<long double>(k) * step;
        if (from >= T)
            break;
        const long double to = std::min(from + step, T);
        const long double length = to - from;
        long double depth = depthBetween(from, to);
        long double value = divide(depth, length);
        if (calcByShow) {
            value = RoundToShown(precision, stored(value));
            depth = checked(value * length);
        }
        total = checked(total + depth);
        points.push_back(RainPoint{static_cast<double>(from), stored(value), stored(total)});
    }

    storm.totalDepth = points.back().Overall;
    storm.averageIntensity = stored(divide(storm.totalDepth, T));
    return std::nullopt;
}

// The long-duration storm: one row per interval of its profile, as the
// block-average mode lists a step.
std::optional<QString> computeLongIntervals(Storm &storm, RainPoints &points, bool calcByShow, int precision)
{
    const std::vector<double> &depths = storm.longProfile.depths;
    if (depths.empty())
        return LongStormWithoutDepthsMessage();
    if (storm.step <= 0)
        return QStringLiteral("长历时雨型的计算步长须大于 0 分钟");
    const long double step = storm.step;
    if (!(storm.duration == static_cast<double>(step * static_cast<long double>(depths.size()))))
        return QStringLiteral("长历时雨型的降雨历时 %1 分钟不等于 %2 个 %3 分钟的时段")
            .arg(storm.duration)
            .arg(depths.size())
            .arg(storm.step);
    points.reserve(points.size() + depths.size());
    long double total = 0;
    for (size_t k = 0; k < depths.size(); ++k) {
        if (!(std::isfinite(depths[k]) && depths[k] >= 0))
            return QStringLiteral("长历时雨型第 %1 个时段的雨量无效").arg(k + 1);
        long double depth = depths[k];
        long double value = divide(depth, step);
        if (calcByShow) {
            value = RoundToShown(precision, stored(value));
            depth = checked(value * step);
        }
        total = checked(total + depth);
        points.push_back(
            RainPoint{static_cast<double>(static_cast<long double>(k) * step), stored(value), stored(total)});
    }
    storm.totalDepth = points.back().Overall;
    storm.averageIntensity = stored(divide(storm.totalDepth, storm.duration));
    return std::nullopt;
}

} // namespace

QString LongStormWithoutDepthsMessage()
{
    return QStringLiteral("长历时雨型没有时段雨量");
}

QString BlockDurationNotPositiveMessage()
{
    return QStringLiteral("时段平均雨型的降雨历时须大于 0 分钟");
}

QString BlockPeakRatioOutsideMessage()
{
    return QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1");
}

namespace {

std::optional<QString> calculate(Storm &storm, RainPoints &points, bool calcByShow, int precision,
                                 bool plainAllowed)
{
    try {
        std::optional<QString> refused;
        if (storm.kind == StormKind::Long)
            refused = computeLongIntervals(storm, points, calcByShow, precision);
        else if (storm.mode == CalcMode::Instant)
            refused = computeInstantMinutes(storm, points, calcByShow, precision, plainAllowed);
        else if (storm.mode == CalcMode::Block)
            refused = computeBlockAverages(storm, points, calcByShow, precision);
        else
            refused = QStringLiteral("未知的计算模式：%1").arg(static_cast<int>(storm.mode));
        if (refused)
            return refused;
    } catch (const Failure &failure) {
        return failure.description;
    } catch (const PluvionError &error) {
        return error.description();
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> CalcRainPoints(Storm &storm, RainPoints &points, bool calcByShow, int precision)
{
    return calculate(storm, points, calcByShow, precision, true);
}

std::optional<QString> CalcRainPointsChecked(Storm &storm, RainPoints &points, bool calcByShow, int precision)
{
    return calculate(storm, points, calcByShow, precision, false);
}

double FormulaDepth(const Storm &storm)
{
    try {
        const long double T = storm.duration;
        const long double a = stormFactor(storm);
        return stored(divide(checked(a * T), power(checked(T + storm.b), storm.n)));
    } catch (const Failure &failure) {
        throw PluvionError(failure.description);
    }
}

namespace {

// A storm value as the explanation names it: up to 10 significant digits,
// a true minus sign.
QString ExplainedValue(double value)
{
    const QString text = QString::number(std::fabs(value), 'g', 10);
    return value < 0 ? QStringLiteral("−") + text : text;
}

} // namespace

QString ExplainedFailure(const Storm &storm, const QString &failure)
{
    // A long-duration storm's failures name their cause themselves; its
    // formula parameters and r are not used.
    if (storm.kind == StormKind::Long)
        return failure;
    QString cause;
    if (storm.step == 0)
        cause = QStringLiteral("计算步长 Δt = 0 分钟");
    else if (!(storm.duration > 0))
        cause = QStringLiteral("降雨历时 T = %1 分钟，应大于 0").arg(ExplainedValue(storm.duration));
    else if (!(storm.period > 0))
        cause = QStringLiteral("重现期 P = %1 年，其对数没有定义").arg(ExplainedValue(storm.period));
    else if (!(storm.peakRatio > 0 && storm.peakRatio < 1))
        cause = QStringLiteral("峰值比例 r = %1，应在 0 与 1 之间").arg(ExplainedValue(storm.peakRatio));
    else if (storm.b == 0)
        cause = QStringLiteral("b = 0 使峰值处（t = 0）的分母 (t + b)^n 为零");
    else if (storm.b < 0)
        cause = QStringLiteral("t + b ≤ 0：b = %1，峰值附近 t ≤ %2 处的分母 (t + b)^n 为零或没有定义")
                    .arg(ExplainedValue(storm.b), ExplainedValue(-storm.b));
    else if (!std::isfinite(storm.a1) || !std::isfinite(storm.c) || !std::isfinite(storm.n))
        cause = QStringLiteral("公式参数不是有限的数");
    if (cause.isEmpty())
        return failure;
    return failure + QStringLiteral("（") + cause + QStringLiteral("）");
}
