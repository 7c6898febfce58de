// The number forms against a slow reference that works on the exact decimal
// expansion of the double: RoundToShown, the shown value and both general
// number forms on awkward doubles, and the two readers on arbitrary text.

#include "FuzzSupport.h"
#include "model/NumberForms.h"

#include <QStringView>
#include <cerrno>
#include <string>

namespace {

// A non-negative decimal 0.d1d2d3... x 10^point: `digits` without leading
// zeros ("" is zero), `point` the count of digits before the decimal point.
struct Decimal
{
    std::string digits;
    long long point = 0;
};

// Every digit of |x| (finite, non-zero): a double has at most 767
// significant decimal digits, so 801 of them are exact.
Decimal ExactDecimal(double x)
{
    static char buffer[1000];
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

void StripTrailingZeros(Decimal &d)
{
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.point = 0;
}

// Keeps `keep` leading digits, halves away from zero: the first dropped
// digit alone decides, since the expansion is exact.
Decimal KeepDigits(Decimal d, long long keep)
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
Decimal KeepDecimals(const Decimal &d, long long decimals)
{
    if (d.digits.empty())
        return d;
    return KeepDigits(d, d.point + decimals);
}

double ToDouble(bool negative, const Decimal &d)
{
    if (d.digits.empty())
        return negative ? -0.0 : 0.0;
    const std::string text = (negative ? "-0." : "0.") + d.digits + "e" + std::to_string(d.point);
    return std::strtod(text.c_str(), nullptr);
}

Decimal FifteenDigits(double x)
{
    if (x == 0)
        return Decimal{};
    return KeepDigits(ExactDecimal(x), 15);
}

double ReferenceRoundToShown(int n, double x)
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

std::string DigitAt(const Decimal &d, long long index)
{
    return std::string(1, index >= 0 && index < (long long)d.digits.size() ? d.digits[size_t(index)] : '0');
}

std::string ReferenceShownValue(double x, int precision, char separator)
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

std::string ReferenceGeneralNumber(double x, char separator, int exponentDigits)
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

bool SameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

// TryParseInt32 as documented: blanks (space, tab) around, an optional sign,
// ASCII digits, the 32-bit signed range.
bool ReferenceParseInt32(const std::u16string &text, int32_t *out)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && (text[first] == u' ' || text[first] == u'\t'))
        ++first;
    while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t'))
        --last;
    size_t i = first;
    bool negative = false;
    if (i < last && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == last)
        return false;
    long long value = 0;
    for (; i < last; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
        value = value * 10 + (text[i] - u'0');
        if (value > 2147483648LL)
            return false;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX || value < INT32_MIN)
        return false;
    *out = int32_t(value);
    return true;
}

void CheckDouble(double x, int precision, const Separators &sep)
{
    const char separator = char(sep.decimal.unicode());

    const double rounded = RoundToShown(precision, x);
    const double expected = ReferenceRoundToShown(precision, x);
    FUZZ_CHECK(SameValue(rounded, expected), "RoundToShown(%d, %.17g) = %.17g, expected %.17g", precision, x,
               rounded, expected);

    const std::string shown = Utf8(ShownValue(x, precision, sep));
    const std::string shownExpected = ReferenceShownValue(x, precision, separator);
    FUZZ_CHECK(shown == shownExpected, "ShownValue(%.17g, %d) = %s, expected %s", x, precision, shown.c_str(),
               shownExpected.c_str());

    const QString general = GeneralNumber(x, sep);
    const std::string generalExpected = ReferenceGeneralNumber(x, separator, 1);
    FUZZ_CHECK(Utf8(general) == generalExpected, "GeneralNumber(%.17g) = %s, expected %s", x,
               Utf8(general).c_str(), generalExpected.c_str());
    const std::string generalG = Utf8(GeneralNumberG(x, sep));
    const std::string generalGExpected = ReferenceGeneralNumber(x, separator, 3);
    FUZZ_CHECK(generalG == generalGExpected, "GeneralNumberG(%.17g) = %s, expected %s", x, generalG.c_str(),
               generalGExpected.c_str());

    // What the storm file writes reads back as the 15-digit value, unless that
    // value lies beyond the largest double (1.79769313486232E308).
    const double fifteen = std::isfinite(x) ? ToDouble(std::signbit(x), FifteenDigits(x)) : x;
    double readBack = 0;
    const bool read = TryParseFloat(general, sep.decimal, &readBack);
    if (std::isinf(fifteen) && std::isfinite(x)) {
        FUZZ_CHECK(!read, "GeneralNumber(%.17g) = %s read as %.17g", x, Utf8(general).c_str(), readBack);
    } else {
        FUZZ_CHECK(read && SameValue(readBack, fifteen), "GeneralNumber(%.17g) = %s read back as %.17g (%d)",
                   x, Utf8(general).c_str(), readBack, int(read));
    }
}

void CheckText(const QString &text, const Separators &sep)
{
    double value = 0;
    if (TryParseFloat(text, sep.decimal, &value) && std::isfinite(value)) {
        // Whatever reads as a number has a general form that reads again.
        double again = 0;
        const QString written = GeneralNumber(value, sep);
        FUZZ_CHECK(TryParseFloat(written, sep.decimal, &again) || std::fabs(value) > 1.7976931348623e308,
                   "'%s' read as %.17g, written %s, not read again", Utf8(text).c_str(), value,
                   Utf8(written).c_str());
    }
    int32_t whole = 0;
    int32_t expected = 0;
    const bool read = TryParseInt32(text, &whole);
    const bool expectedRead = ReferenceParseInt32(text.toStdU16String(), &expected);
    FUZZ_CHECK(read == expectedRead && (!read || whole == expected),
               "TryParseInt32('%s') = %d, %d; expected %d, %d", Utf8(text).c_str(), int(read), whole,
               int(expectedRead), expected);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const Separators sep = data.ConsumeBool() ? Separators{u',', u':'} : Separators{};
    const bool textMode = data.ConsumeBool();
    if (textMode) {
        const std::string raw = data.ConsumeRemainingBytesAsString();
        CheckText(QString::fromUtf8(raw), sep);
        CheckText(QString::fromLatin1(raw), sep);
        return 0;
    }
    while (data.remaining_bytes() > 0) {
        const int precision =
            data.ConsumeBool() ? data.ConsumeIntegralInRange<int>(-2, 25) : data.ConsumeIntegral<int32_t>();
        CheckDouble(ConsumeAwkwardDouble(data), precision, sep);
    }
    return 0;
}
