// The number forms worked out slowly on the exact decimal expansion of a
// double (every one of its up to 767 significant digits): the reference the
// program's own fast forms are checked against, by the tests and the fuzzer.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace exact {

// A non-negative decimal 0.d1d2d3... x 10^point: `digits` without leading
// zeros ("" is zero), `point` the count of digits before the decimal point.
struct Decimal
{
    std::string digits;
    long long point = 0;
};

// Every digit of |x| (finite, non-zero): a double has at most 767
// significant decimal digits, so 801 of them are exact.
inline Decimal ExactDecimal(double x)
{
    char buffer[1000];
    std::snprintf(buffer, sizeof buffer, "%.800e", std::fabs(x));
    Decimal d;
    const char *p = buffer;
    for (; *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.push_back(*p);
    }
    d.point = std::atoll(p + 1) + 1;
    return d;
}

inline void StripTrailingZeros(Decimal &d)
{
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.point = 0;
}

// Keeps `keep` leading digits, halves away from zero: the first dropped
// digit alone decides, since the expansion is exact.
inline Decimal KeepDigits(Decimal d, long long keep)
{
    if (keep >= (long long)d.digits.size())
        return d;
    if (keep < 0)
        return Decimal{};
    const bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (up) {
        long long i = keep - 1;
        for (; i >= 0 && d.digits[size_t(i)] == '9'; --i)
            d.digits[size_t(i)] = '0';
        if (i >= 0) {
            ++d.digits[size_t(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        }
    }
    StripTrailingZeros(d);
    return d;
}

// Rounds to `decimals` places after the point.
inline Decimal KeepDecimals(const Decimal &d, long long decimals)
{
    if (d.digits.empty())
        return d;
    return KeepDigits(d, d.point + decimals);
}

inline double ToDouble(bool negative, const Decimal &d)
{
    if (d.digits.empty())
        return negative ? -0.0 : 0.0;
    const std::string text = (negative ? "-0." : "0.") + d.digits + "e" + std::to_string(d.point);
    return std::strtod(text.c_str(), nullptr);
}

inline Decimal FifteenDigits(double x)
{
    if (x == 0)
        return Decimal{};
    return KeepDigits(ExactDecimal(x), 15);
}

inline double ReferenceRoundToShown(int n, double x)
{
    if (!std::isfinite(x))
        return x;
    const Decimal rounded = KeepDecimals(FifteenDigits(x), std::max(n, 0));
    const double value = ToDouble(std::signbit(x), rounded);
    // A 15-digit text just above the largest double reads back as the
    // largest double, the nearest 64-bit float.
    if (std::isinf(value))
        return std::copysign(DBL_MAX, x);
    return value;
}

inline std::string DigitAt(const Decimal &d, long long index)
{
    return std::string(1, index >= 0 && index < (long long)d.digits.size() ? d.digits[size_t(index)] : '0');
}

inline std::string ReferenceShownValue(double x, int precision, char separator)
{
    const double shown = ReferenceRoundToShown(precision, x);
    if (std::isnan(shown))
        return "NAN";
    if (std::isinf(shown))
        return shown < 0 ? "-INF" : "INF";
    const long long decimals = precision > 18 ? 2 : std::max(precision, 0);
    Decimal d;
    if (shown != 0)
        d = KeepDecimals(KeepDigits(ExactDecimal(shown), 18), decimals);
    std::string whole;
    for (long long i = 0; i < std::max(d.point, 1LL); ++i)
        whole += d.point <= 0 ? "0" : DigitAt(d, i);
    std::string fraction;
    for (long long i = 0; i < decimals; ++i)
        fraction += DigitAt(d, d.point + i);
    const bool allZero = d.digits.empty();
    std::string text = (std::signbit(shown) && !allZero) ? "-" : "";
    text += whole;
    if (decimals > 0)
        text += separator + fraction;
    return text;
}

inline std::string ReferenceGeneralNumber(double x, char separator, int exponentDigits)
{
    if (std::isnan(x))
        return "NAN";
    if (std::isinf(x))
        return x < 0 ? "-INF" : "INF";
    const Decimal d = FifteenDigits(x);
    if (d.digits.empty())
        return "0";
    std::string text = std::signbit(x) ? "-" : "";
    const long long exponent = d.point - 1;
    if (exponent >= -4 && exponent < 15) {
        if (d.point <= 0) {
            text += "0";
            text += separator;
            text += std::string(size_t(-d.point), '0') + d.digits;
        } else {
            for (long long i = 0; i < d.point; ++i)
                text += DigitAt(d, i);
            if ((long long)d.digits.size() > d.point)
                text += separator + d.digits.substr(size_t(d.point));
        }
        return text;
    }
    text += d.digits[0];
    if (d.digits.size() > 1)
        text += separator + d.digits.substr(1);
    text += 'E';
    if (exponent < 0)
        text += '-';
    std::string power = std::to_string(std::llabs(exponent));
    if ((int)power.size() < exponentDigits)
        power.insert(0, size_t(exponentDigits) - power.size(), '0');
    return text + power;
}

// "%02lld" on hours (m div 60) mod 24 and minutes m mod 60.
inline std::string ReferenceClockTime(long long minute, char separator)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02lld%c%02lld", (minute / 60) % 24, separator, minute % 60);
    return text;
}

inline std::string ReferenceMinuteTime(long long minute)
{
    std::string digits =
        std::to_string(minute < 0 ? 0 - (unsigned long long)minute : (unsigned long long)minute);
    if (digits.size() < 2)
        digits.insert(0, "0");
    return minute < 0 ? "-" + digits : digits;
}

} // namespace exact
