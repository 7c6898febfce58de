#include "RainGenerator.h"

#include "NumberForms.h"
#include "PluvionError.h"

#include <cmath>

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
long double stormFactor(const TExpressionObject &storm)
{
    if (storm.LG_LN != 0 && storm.LG_LN != 1)
        return 0;
    const long double log = logarithm(storm.Storm_RepeatYear, storm.LG_LN == 0);
    return checked(storm.a1 * checked(1 + checked(storm.c * log)));
}

} // namespace

std::optional<QString> CalcRainPoints(TExpressionObject &storm, RainPoints &points, bool calcByShow,
                                      int precision, const DisplayStep &display)
{
    try {
        const long double T = storm.Storm_Time;
        if (std::isnan(T) || T >= static_cast<long double>(MaxStormMinutes + 1)) {
            return QStringLiteral("降雨历时超出可计算范围：历时须为数值，且不超过 %1 分钟")
                .arg(MaxStormMinutes);
        }
        const long double a = stormFactor(storm);
        const long double r = storm.Storm_Percent;
        const long double b = storm.b;
        const long double n = storm.n;
        // The peak minute is held as a stored value: T = 120 and r = 0.4 put
        // it on minute 48 exactly. It is not rounded to a whole minute.
        const long double p = static_cast<double>(T * r);
        const long double exponent = checked(1 + n);
        const long double oneMinusN = checked(1 - n);
        const long double oneMinusR = 1 - r;
        // The last minute: T truncated toward zero; none at all below -1.
        const long long last = T <= -1 ? -1 : static_cast<long long>(std::trunc(T));
        const long long step = storm.Storm_Step;

        if (last >= 0 && step != 0) {
            const long long magnitude = step < 0 ? -step : step;
            points.reserve(points.size() + static_cast<size_t>(last / magnitude + 2));
        }

        long double total = 0;
        // minute % |step|, counted rather than divided for every minute
        long long sinceListed = 0;
        const long long listEvery = step < 0 ? -step : step;
        for (long long minute = 0; minute <= last; ++minute) {
            const long double d = std::fabs(minute - p);
            // The minute on the peak belongs to the rising limb.
            const long double scaled = minute <= p ? divide(d, r) : divide(d, oneMinusR);
            const long double base = checked(scaled + b);
            const long double numerator = checked(a * checked(checked(oneMinusN * scaled) + b));
            long double value = divide(numerator, power(base, exponent));
            if (calcByShow)
                value = RoundToShown(precision, stored(value));
            total = checked(total + value);
            if (step == 0)
                fail(IntegerDivisionByZero);
            if (sinceListed == 0 || minute == last)
                points.push_back(TRainPoint{static_cast<double>(minute), stored(value), stored(total)});
            if (++sinceListed == listEvery)
                sinceListed = 0;
        }

        if (points.empty())
            throw Failure{QStringLiteral("List index out of bounds (%1)").arg(-1)};
        storm.Strom_Overall_Rainfall = points.back().Overall;
        storm.Strom_Average_Rainfall_Intensity = stored(divide(storm.Strom_Overall_Rainfall, T));

        if (display)
            display(points);
    } catch (const Failure &failure) {
        return failure.description;
    } catch (const PluvionError &error) {
        return error.description();
    }
    return std::nullopt;
}
