#include "NumberForms.h"

#include "PluvionError.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// A finite decimal number: sign, significant digits without leading zeros and
// the power of ten of the last digit. Zero has the digits "0". Held in place:
// the texts are formed once per table cell, so nothing here allocates.
struct DecimalText
{
    bool negative = false;
    int count = 1;
    char digits[24] = {'0'};
    int lastPower = 0;

    bool isZero() const { return count == 1 && digits[0] == '0'; }
    // Power of ten of the first digit: the exponent of the scientific form.
    int firstPower() const { return lastPower + count - 1; }
    char digit(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }
};

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

const double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
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

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

} // namespace

Separators Separators::fromSystem()
{
    Separators sep;
    const QLocale locale = QLocale::system();
    const QString point = locale.decimalPoint();
    if (!point.isEmpty())
        sep.decimal = point.front();
    // The time separator is the first character after the hours in the
    // locale's short time format ("HH:mm", "h.mm AP").
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hours = format.indexOf(QRegularExpression(QStringLiteral("[Hh]")));
    if (hours >= 0) {
        for (qsizetype i = hours; i < format.size(); ++i) {
            const QChar c = format[i];
            if (c != u'H' && c != u'h') {
                if (!c.isLetterOrNumber() && c != u'\'' && !c.isSpace())
                    sep.time = c;
                break;
            }
        }
    }
    return sep;
}

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

bool TryParseFloat(QStringView text, QChar decimalSeparator, double *out)
{
    text = trimBlanks(text);
    if (text.compare(u"NAN", Qt::CaseInsensitive) == 0) {
        *out = std::nan("");
        return true;
    }
    if (text.compare(u"INF", Qt::CaseInsensitive) == 0 || text.compare(u"+INF", Qt::CaseInsensitive) == 0) {
        *out = HUGE_VAL;
        return true;
    }
    if (text.compare(u"-INF", Qt::CaseInsensitive) == 0) {
        *out = -HUGE_VAL;
        return true;
    }
    // Rebuild the number in the form from_chars reads: [-]digits[.digits][e[-]digits].
    std::string ascii;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            ascii.push_back('-');
        ++i;
    }
    int mantissaDigits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        ascii.push_back(char(text[i].unicode()));
        ++mantissaDigits;
        ++i;
    }
    if (i < text.size() && text[i] == decimalSeparator) {
        ascii.push_back('.');
        ++i;
        while (i < text.size() && text[i].unicode() < 128 && text[i].isDigit()) {
            ascii.push_back(char(text[i].unicode()));
            ++mantissaDigits;
            ++i;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            if (text[i] == u'-')
                ascii.push_back('-');
            ++i;
        }
        int exponentDigits = 0;
        while (i < text.size() && text[i].unicode() < 128 && text[i].isDigit()) {
            ascii.push_back(char(text[i].unicode()));
            ++exponentDigits;
            ++i;
        }
        if (exponentDigits == 0)
            return false;
    }
    if (i != text.size())
        return false;
    // Read in extended range, so that a value beyond a double's range is told
    // apart: too large is no number here, too small becomes zero.
    long double wide = 0;
    auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), wide);
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) {
        if (result.ec != std::errc::result_out_of_range)
            return false;
        const bool tiny = ascii.find("e-") != std::string::npos;
        if (!tiny)
            return false;
        *out = ascii[0] == '-' ? -0.0 : 0.0;
        return true;
    }
    double value = 0;
    auto narrow = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (narrow.ec == std::errc::result_out_of_range) {
        if (std::fabs(wide) > 1)
            return false;
        value = static_cast<double>(wide);
    } else if (narrow.ec != std::errc()) {
        return false;
    }
    *out = value;
    return true;
}

bool TryParseInt32(QStringView text, int32_t *out)
{
    text = trimBlanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
        if (value > 2147483648LL)
            return false;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return false;
    *out = static_cast<int32_t>(value);
    return true;
}

double StrToFloat(const QString &text, QChar decimalSeparator)
{
    double value = 0;
    if (!TryParseFloat(text, decimalSeparator, &value))
        throw PluvionError(
            QStringLiteral("'%1' is not a valid floating point value").arg(ValueExcerpt(text)));
    return value;
}

int32_t StrToInt(const QString &text)
{
    int32_t value = 0;
    if (!TryParseInt32(text, &value))
        throw PluvionError(QStringLiteral("'%1' is not a valid integer value").arg(ValueExcerpt(text)));
    return value;
}
