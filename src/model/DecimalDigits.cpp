#include "DecimalDigits.h"

#include "NumberForms.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace DecimalDigits {

void setZero(DecimalText &d)
{
    d.count = 1;
    d.digits[0] = '0';
    d.lastPower = 0;
}

void stripTrailingZeros(DecimalText &d)
{
    int end = d.count;
    while (end > 0 && d.digits[end - 1] == '0')
        --end;
    if (end == 0) {
        setZero(d);
        return;
    }
    d.lastPower += d.count - end;
    d.count = end;
}

// Adds one unit in the last place. A carry out of the first digit keeps the
// count of digits: 999 becomes 100 with the last power one higher.
void incrementDigits(DecimalText &d)
{
    for (int i = d.count; i-- > 0;) {
        if (d.digits[i] != '9') {
            ++d.digits[i];
            return;
        }
        d.digits[i] = '0';
    }
    d.digits[0] = '1';
    ++d.lastPower;
}

// The parts of to_chars' scientific form "d.ddddde±XX": the digits and the
// exponent of the first one.
int parseScientific(const char *first, const char *last, char *digits, int *count)
{
    int n = 0;
    const char *p = first;
    for (; p != last && *p != 'e'; ++p) {
        if (*p != '.')
            digits[n++] = *p;
    }
    *count = n;
    int exponent = 0;
    if (p != last) {
        ++p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+')
            ++p;
        for (; p != last; ++p)
            exponent = exponent * 10 + (*p - '0');
        if (negative)
            exponent = -exponent;
    }
    return exponent;
}

uint64_t digitsValue(const char *digits, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 10 + uint64_t(digits[i] - '0');
    return value;
}

// Whether the finite, positive double x is exactly digits x 10^power. The
// double is m 2^e with an odd m; the decimal is k 2^(a+power) 5^(b+power)
// with k prime to ten. They are equal when the powers of two agree and
// k 5^(b+power) is m: integer arithmetic only, no expansion.
bool equalsDecimal(double x, uint64_t digits, int power)
{
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    const int biased = int(bits >> 52);
    uint64_t m = bits & ((uint64_t(1) << 52) - 1);
    int e = -1074;
    if (biased != 0) {
        m |= uint64_t(1) << 52;
        e = biased - 1075;
    }
    const int mTwos = std::countr_zero(m);
    m >>= mTwos;
    e += mTwos;

    const int twos = std::countr_zero(digits);
    digits >>= twos;
    int fives = 0;
    while (digits % 5 == 0) {
        digits /= 5;
        ++fives;
    }
    if (twos + power != e)
        return false;
    const int fivePower = fives + power;
    if (fivePower < 0)
        return false;
    // m is below 2^53, so the product is compared before it could overflow.
    for (int i = 0; i < fivePower; ++i) {
        if (digits > m / 5)
            return false;
        digits *= 5;
    }
    return digits == m;
}

// The magnitude of x written with exactly `significant` digits (1 to 18),
// rounded with halves away from zero on the exact binary value.
DecimalText roundSignificant(double x, int significant)
{
    DecimalText d;
    d.negative = std::signbit(x);
    const double magnitude = std::fabs(x);
    if (magnitude == 0)
        return d;
    // to_chars rounds the exact value correctly, ties to even. One digit more
    // than asked shows the way: a digit other than 5 decides alone (a rounded
    // 9.5 and more has already carried). A 5 is either the exact end of the
    // value, a tie that goes away from zero, or a rounded neighbour of it;
    // only then is the value rounded again at the asked length, where there is
    // no tie left for ties-to-even to decide.
    char buffer[48];
    char longer[24] = {};
    int longerCount = 0;
    auto res =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, significant);
    const int exponent = parseScientific(buffer, res.ptr, longer, &longerCount);
    const char next = longer[significant];
    std::memcpy(d.digits, longer, size_t(significant));
    d.count = significant;
    d.lastPower = exponent - significant + 1;
    if (next != '5') {
        if (next > '5')
            incrementDigits(d);
        return d;
    }
    if (equalsDecimal(magnitude, digitsValue(longer, longerCount), exponent - significant)) {
        incrementDigits(d);
        return d;
    }
    res = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                        significant - 1);
    const int shorterExponent = parseScientific(buffer, res.ptr, d.digits, &d.count);
    d.lastPower = shorterExponent - d.count + 1;
    return d;
}

// The 15 significant digits of a normal double read off its shortest text,
// when that text settles them; false when the exact value is needed. The
// shortest text lies within half an ulp of the value, and half an ulp of a
// normal double is below 0.111 units of its 15th digit. So a text of at most
// 15 digits is the rounded value itself, and a longer one whose 16th and 17th
// digits are below 39 or above 61 hundredths of a unit puts the exact value
// clearly on one side of the half.
bool fifteenFromShortest(double magnitude, DecimalText &d)
{
    char buffer[40];
    char digits[24];
    int count = 0;
    const auto res = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    const int exponent = parseScientific(buffer, res.ptr, digits, &count);
    if (count <= 15) {
        std::memcpy(d.digits, digits, size_t(count));
        d.count = count;
        d.lastPower = exponent - count + 1;
        return true;
    }
    const int tail = (digits[15] - '0') * 10 + (count > 16 ? digits[16] - '0' : 0);
    if (tail > 38 && tail < 62)
        return false;
    std::memcpy(d.digits, digits, 15);
    d.count = 15;
    d.lastPower = exponent - 14;
    if (tail >= 62)
        incrementDigits(d);
    return true;
}

// x with its 15 significant digits (fewer when the rest are zeros), halves
// away from zero on the exact value.
DecimalText roundFifteen(double x)
{
    DecimalText d;
    d.negative = std::signbit(x);
    if (std::fabs(x) >= std::numeric_limits<double>::min() && fifteenFromShortest(std::fabs(x), d))
        return d;
    return roundSignificant(x, 15);
}

// Rounds to `decimals` places after the point, halves away from zero.
DecimalText roundDecimals(DecimalText d, int decimals)
{
    const int target = -decimals;
    if (d.isZero() || d.lastPower >= target)
        return d;
    const int drop = target - d.lastPower;
    const int keep = d.count - drop;
    const bool up = keep >= 0 && d.digits[keep] >= '5';
    if (keep <= 0) {
        d.count = 1;
        d.digits[0] = up ? '1' : '0';
        d.lastPower = target;
    } else {
        d.count = keep;
        d.lastPower = target;
        if (up)
            incrementDigits(d);
    }
    if (d.isZero())
        d.lastPower = 0;
    stripTrailingZeros(d);
    return d;
}

const double exactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double toDouble(const DecimalText &d)
{
    // Up to 15 digits are exact in a double, and so are the powers of ten up
    // to 10^22: one multiplication or division, correctly rounded, is then
    // the nearest double.
    if (d.count <= 15 && d.lastPower >= -22 && d.lastPower <= 22) {
        const double digits = double(digitsValue(d.digits, d.count));
        const double value = d.lastPower >= 0 ? digits * exactPowersOfTen[d.lastPower]
                                              : digits / exactPowersOfTen[-d.lastPower];
        return d.negative ? -value : value;
    }
    char text[48];
    char *p = text;
    if (d.negative)
        *p++ = '-';
    std::memcpy(p, d.digits, size_t(d.count));
    p += d.count;
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text, d.lastPower).ptr;
    double value = 0;
    const auto result = std::from_chars(text, p, value);
    // The 15-digit text of a value near the largest double can lie beyond it
    // (1.79769313486232E308); the nearest double is then the largest one, not
    // the zero that a failed conversion leaves.
    if (result.ec == std::errc::result_out_of_range && d.firstPower() > 0)
        value = d.negative ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
    return value;
}

// x rounded to its 15 significant digits, then to n decimals: the decimal
// whose nearest double is the shown value.
DecimalText shownDecimal(int n, double x)
{
    DecimalText d = roundFifteen(x);
    stripTrailingZeros(d);
    return roundDecimals(d, std::max(n, 0));
}

// The shown decimal as a whole number of digits times 10^power, for the
// common case of a value whose 15 digits come from its shortest text. False
// when the general path is needed.
bool shownWhole(int n, double x, uint64_t &digits, int &power)
{
    const double magnitude = std::fabs(x);
    if (!(magnitude >= std::numeric_limits<double>::min()))
        return false;
    DecimalText d;
    if (!fifteenFromShortest(magnitude, d))
        return false;
    const int target = -std::max(n, 0);
    uint64_t value = 0;
    if (d.lastPower < target) {
        // The first digit dropped decides: the 15-digit decimal is exact.
        const int keep = d.count - (target - d.lastPower);
        if (keep >= 0)
            value = digitsValue(d.digits, keep) + (d.digits[keep] >= '5' ? 1 : 0);
        power = target;
    } else {
        value = digitsValue(d.digits, d.count);
        power = d.lastPower;
    }
    digits = value;
    return true;
}

// The magnitude scaled to `decimals` places and rounded, halves away from
// zero, for the common case that needs no decimal text at all: when the
// scaled double lies clearly off a half, the exact value, its 15-digit text
// and the double all round the same way. The 15-digit text is within 0.5e-14
// of the value (relative) and the product within 2^-53, so a distance from
// the half above 1e-14 of the scaled value settles it. Below 10^14 the whole
// part has at most 14 digits, so the 15-digit text reaches past the last
// decimal. False when the value is near a half, too large or the decimals too
// many: the exact path decides.
bool quickScaled(double magnitude, int decimals, uint64_t &digits)
{
    if (decimals > 14)
        return false;
    const double scaled = magnitude * exactPowersOfTen[decimals];
    if (!(scaled < 1e14))
        return false;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole; // exact
    if (std::fabs(fraction - 0.5) <= scaled * 1e-14)
        return false;
    digits = uint64_t(whole) + (fraction > 0.5 ? 1 : 0);
    return true;
}

} // namespace DecimalDigits

using namespace DecimalDigits;

double RoundToShown(int n, double x)
{
    if (!std::isfinite(x))
        return x;
    uint64_t digits = 0;
    const int decimals = std::max(n, 0);
    if (quickScaled(std::fabs(x), decimals, digits)) {
        const double value = double(digits) / exactPowersOfTen[decimals];
        return std::signbit(x) ? -value : value;
    }
    int power = 0;
    if (shownWhole(n, x, digits, power) && power >= -22 && power <= 22) {
        // Below 10^15 the digits are exact in a double, and so are the powers
        // of ten up to 10^22: one multiplication or division, correctly
        // rounded, is the nearest double.
        const double value =
            power >= 0 ? double(digits) * exactPowersOfTen[power] : double(digits) / exactPowersOfTen[-power];
        return std::signbit(x) ? -value : value;
    }
    return toDouble(shownDecimal(n, x));
}
