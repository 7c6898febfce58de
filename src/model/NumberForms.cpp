#include "NumberForms.h"

#include "DecimalDigits.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace DecimalDigits;

namespace {

// Whole number `digits` as a fixed text with `decimals` places: at least one
// digit before the point, a sign only when a digit is not zero. Filled from
// its last digit backwards.
char *writeScaled(char *out, bool negative, uint64_t digits, int decimals, char separator)
{
    if (negative && digits != 0)
        *out++ = '-';
    int length = 1;
    for (uint64_t rest = digits; rest >= 10; rest /= 10)
        ++length;
    length = std::max(length, decimals + 1); // zeros in front up to "0.000"
    char *const end = out + length + (decimals > 0 ? 1 : 0);
    char *p = end;
    for (int index = length; index > 0; --index) {
        *--p = char('0' + digits % 10);
        digits /= 10;
        if (index == length - decimals + 1 && decimals > 0)
            *--p = separator;
    }
    return end;
}

// Fixed notation with exactly `decimals` places; at least one digit before
// the point. A value whose shown digits are all zero shows without a sign.
char *writeFixed(char *out, const DecimalText &d, int decimals, char separator)
{
    char *start = out;
    if (d.negative)
        *out++ = '-';
    char *firstDigit = out;
    bool allZero = true;
    if (d.isZero()) {
        *out++ = '0';
    } else {
        const int first = d.firstPower();
        for (int power = std::max(first, 0); power >= 0; --power) {
            const char c = d.digit(first - power);
            allZero = allZero && c == '0';
            *out++ = c;
        }
    }
    if (decimals > 0) {
        *out++ = separator;
        const int first = d.isZero() ? 0 : d.firstPower();
        for (int power = -1; power >= -decimals; --power) {
            const char c = d.isZero() ? '0' : d.digit(first - power);
            allZero = allZero && c == '0';
            *out++ = c;
        }
    }
    if (d.negative && allZero) {
        std::memmove(start, firstDigit, size_t(out - firstDigit));
        --out;
    }
    return out;
}

char *writeText(char *out, const char *text)
{
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

char *writeNonFinite(char *out, double x)
{
    return writeText(out, std::isnan(x) ? "NAN" : x < 0 ? "-INF" : "INF");
}

// An exponent's digits, zeros in front up to `digits` of them.
char *writeExponent(char *out, int exponent, int digits)
{
    char power[8];
    const char *powerEnd = std::to_chars(power, power + sizeof power, exponent).ptr;
    for (int pad = digits - int(powerEnd - power); pad > 0; --pad)
        *out++ = '0';
    std::memcpy(out, power, size_t(powerEnd - power));
    return out + (powerEnd - power);
}

char *writeGeneralNumber(char *out, double x, char separator, int exponentDigits)
{
    if (!std::isfinite(x))
        return writeNonFinite(out, x);
    DecimalText d = roundFifteen(x);
    stripTrailingZeros(d);
    if (d.isZero()) {
        *out++ = '0';
        return out;
    }
    const int exponent = d.firstPower();
    if (exponent >= -4 && exponent < 15)
        return writeFixed(out, d, std::max(0, -d.lastPower), separator);
    if (d.negative)
        *out++ = '-';
    *out++ = d.digits[0];
    if (d.count > 1) {
        *out++ = separator;
        std::memcpy(out, d.digits + 1, size_t(d.count - 1));
        out += d.count - 1;
    }
    *out++ = 'E';
    if (exponent < 0)
        *out++ = '-';
    return writeExponent(out, std::abs(exponent), exponentDigits);
}

// "%02lld": at least two characters, zeros after any sign.
char *writeTwoDigits(char *out, int64_t value)
{
    if (value >= 0 && value < 100) { // every clock time's hours and minutes
        out[0] = char('0' + value / 10);
        out[1] = char('0' + value % 10);
        return out + 2;
    }
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    if (end - digits < 2)
        *out++ = '0';
    std::memcpy(out, digits, size_t(end - digits));
    return out + (end - digits);
}

// An ASCII text with `placeholder` standing for the separator `separator`.
QString fromAscii(const char *first, const char *last, char placeholder, QChar separator)
{
    QString text(qsizetype(last - first), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char *p = first; p != last; ++p)
        *out++ = *p == placeholder ? separator : QChar::fromLatin1(*p);
    return text;
}

void appendAscii(QString &text, const char *first, const char *last, char placeholder, QChar separator)
{
    const qsizetype at = text.size();
    text.resize(at + qsizetype(last - first));
    QChar *out = text.data() + at;
    for (const char *p = first; p != last; ++p)
        *out++ = *p == placeholder ? separator : QChar::fromLatin1(*p);
}

} // namespace

char *WriteShownValue(char *out, double x, int precision, char decimalSeparator)
{
    if (!std::isfinite(x))
        return writeNonFinite(out, x);
    const int decimals = precision > 18 ? 2 : std::max(precision, 0);
    // The text is the shown double's 18-digit text cut to the decimals. When
    // the rounded decimal's 15th digit lies at or beyond the last decimal,
    // that double is within 0.12 of a unit of its 15th digit, so the
    // cut gives the rounded decimal back: it is written as it is.
    uint64_t digits = 0;
    if (precision <= 18 && quickScaled(std::fabs(x), decimals, digits))
        return writeScaled(out, std::signbit(x), digits, decimals, decimalSeparator);
    int power = 0;
    if (precision <= 18 && shownWhole(precision, x, digits, power) && digits != 0) {
        DecimalText whole;
        whole.negative = std::signbit(x);
        whole.count =
            int(std::to_chars(whole.digits, whole.digits + sizeof whole.digits, digits).ptr - whole.digits);
        whole.lastPower = power;
        if (whole.firstPower() - 14 <= -decimals)
            return writeFixed(out, whole, decimals, decimalSeparator);
    }
    const DecimalText rounded = shownDecimal(precision, x);
    if (precision <= 18 && !rounded.isZero() && rounded.firstPower() - 14 <= -decimals)
        return writeFixed(out, rounded, decimals, decimalSeparator);
    const double shown = toDouble(rounded);
    DecimalText d = roundSignificant(shown, 18);
    stripTrailingZeros(d);
    return writeFixed(out, roundDecimals(d, decimals), decimals, decimalSeparator);
}

char *WriteGeneralNumber(char *out, double x, char decimalSeparator)
{
    return writeGeneralNumber(out, x, decimalSeparator, 1);
}

char *WriteGeneralNumberG(char *out, double x, char decimalSeparator)
{
    return writeGeneralNumber(out, x, decimalSeparator, 3);
}

char *WriteClockTime(char *out, int64_t minute, char timeSeparator)
{
    out = writeTwoDigits(out, (minute / 60) % 24);
    *out++ = timeSeparator;
    return writeTwoDigits(out, minute % 60);
}

char *WriteMinuteTime(char *out, int64_t minute)
{
    if (minute < 0)
        *out++ = '-';
    const uint64_t magnitude = minute < 0 ? uint64_t(0) - uint64_t(minute) : uint64_t(minute);
    if (magnitude < 10)
        *out++ = '0';
    return std::to_chars(out, out + 24, magnitude).ptr;
}

char *WriteFullPrecision(char *out, double x)
{
    if (std::isnan(x))
        return writeText(out, "nan");
    if (std::isinf(x))
        return writeText(out, x < 0 ? "-inf" : "inf");
    if (x == 0)
        return writeText(out, "0");
    DecimalText d = roundSignificant(x, 17);
    stripTrailingZeros(d);
    const int exponent = d.firstPower();
    if (exponent >= -4 && exponent < 17)
        return writeFixed(out, d, std::max(0, -d.lastPower), '.');
    if (d.negative)
        *out++ = '-';
    *out++ = d.digits[0];
    if (d.count > 1) {
        *out++ = '.';
        std::memcpy(out, d.digits + 1, size_t(d.count - 1));
        out += d.count - 1;
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    return writeExponent(out, std::abs(exponent), 2);
}

QString ShownValue(double x, int precision, const Separators &sep)
{
    char text[NumberTextCapacity];
    return fromAscii(text, WriteShownValue(text, x, precision, '.'), '.', sep.decimal);
}

void AppendShownValue(QString &text, double x, int precision, const Separators &sep)
{
    char digits[NumberTextCapacity];
    appendAscii(text, digits, WriteShownValue(digits, x, precision, '.'), '.', sep.decimal);
}

QString GeneralNumber(double x, const Separators &sep)
{
    char text[NumberTextCapacity];
    return fromAscii(text, WriteGeneralNumber(text, x, '.'), '.', sep.decimal);
}

QString GeneralNumberG(double x, const Separators &sep)
{
    char text[NumberTextCapacity];
    return fromAscii(text, WriteGeneralNumberG(text, x, '.'), '.', sep.decimal);
}

QString ClockTime(int64_t minute, const Separators &sep)
{
    char text[NumberTextCapacity];
    return fromAscii(text, WriteClockTime(text, minute, ':'), ':', sep.time);
}

void AppendClockTime(QString &text, int64_t minute, const Separators &sep)
{
    char digits[NumberTextCapacity];
    appendAscii(text, digits, WriteClockTime(digits, minute, ':'), ':', sep.time);
}

QString MinuteTime(int64_t minute)
{
    char text[NumberTextCapacity];
    return QString::fromLatin1(text, WriteMinuteTime(text, minute) - text);
}

void AppendMinuteTime(QString &text, int64_t minute)
{
    char digits[NumberTextCapacity];
    text.append(QLatin1StringView(digits, WriteMinuteTime(digits, minute) - digits));
}
