#include "NumberForms.h"

#include "PluvionError.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

// A finite decimal number: sign, significant digits without leading zeros and
// the power of ten of the last digit. Zero has the digits "0".
struct DecimalText
{
    bool negative = false;
    std::string digits;
    int lastPower = 0;

    bool isZero() const { return digits == "0"; }
    // Power of ten of the first digit: the exponent of the scientific form.
    int firstPower() const { return lastPower + int(digits.size()) - 1; }
};

void stripTrailingZeros(DecimalText &d)
{
    size_t end = d.digits.find_last_not_of('0');
    if (end == std::string::npos) {
        d.digits = "0";
        d.lastPower = 0;
        return;
    }
    d.lastPower += int(d.digits.size() - 1 - end);
    d.digits.resize(end + 1);
}

// Adds one unit in the last place of a digit string; may grow it by a digit.
// Returns true when it grew.
bool incrementDigits(std::string &digits)
{
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    return true;
}

// Parses the output of printf/to_chars in scientific form "d.ddddde±XX".
DecimalText fromScientific(const char *text, bool negative)
{
    DecimalText d;
    d.negative = negative;
    const char *p = text;
    while (*p && *p != 'e') {
        if (*p >= '0' && *p <= '9')
            d.digits.push_back(*p);
        ++p;
    }
    int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;
    d.lastPower = exponent - int(d.digits.size()) + 1;
    return d;
}

// The magnitude of x written with exactly `significant` digits, rounded with
// halves away from zero on the exact binary value.
DecimalText roundSignificant(double x, int significant)
{
    const bool negative = std::signbit(x);
    const double magnitude = std::fabs(x);
    if (magnitude == 0) {
        DecimalText zero;
        zero.negative = negative;
        zero.digits = "0";
        return zero;
    }
    // to_chars rounds the exact value correctly, ties to even. Ties and halves
    // away from zero differ only on an exact tie, whose next digit is a 5
    // followed by nothing: only then read the exact expansion.
    char buffer[64];
    auto longer = std::to_chars(buffer, buffer + sizeof buffer - 1, magnitude, std::chars_format::scientific,
                                significant);
    *longer.ptr = '\0';
    const char *mark = std::strchr(buffer, 'e');
    if (mark && mark[-1] != '5') {
        auto res = std::to_chars(buffer, buffer + sizeof buffer - 1, magnitude, std::chars_format::scientific,
                                 significant - 1);
        *res.ptr = '\0';
        return fromScientific(buffer, negative);
    }
    // A double's exact decimal expansion has at most 767 significant digits.
    static thread_local char exact[1100];
    std::snprintf(exact, sizeof exact, "%.800e", magnitude);
    DecimalText full = fromScientific(exact, negative);
    DecimalText d;
    d.negative = negative;
    d.digits = full.digits.substr(0, size_t(significant));
    d.lastPower = full.lastPower + int(full.digits.size()) - significant;
    if (full.digits[size_t(significant)] >= '5' && incrementDigits(d.digits)) {
        d.digits.pop_back();
        ++d.lastPower;
    }
    return d;
}

// Rounds to `decimals` places after the point, halves away from zero.
DecimalText roundDecimals(DecimalText d, int decimals)
{
    const int target = -decimals;
    if (d.isZero() || d.lastPower >= target)
        return d;
    const int drop = target - d.lastPower;
    const int keep = int(d.digits.size()) - drop;
    bool up;
    if (keep < 0) {
        up = false;
    } else {
        up = d.digits[size_t(keep)] >= '5';
    }
    if (keep <= 0)
        d.digits = up ? "1" : "0";
    else {
        d.digits.resize(size_t(keep));
        if (up)
            incrementDigits(d.digits);
    }
    d.lastPower = target;
    if (d.digits == "0")
        d.lastPower = 0;
    stripTrailingZeros(d);
    return d;
}

double toDouble(const DecimalText &d)
{
    std::string text = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.lastPower);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    // The 15-digit text of a value near the largest double can lie beyond it
    // (1.79769313486232E308); the nearest double is then the largest one, not
    // the zero that a failed conversion leaves.
    if (result.ec == std::errc::result_out_of_range && d.firstPower() > 0)
        value = d.negative ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
    return value;
}

// Fixed notation with exactly `decimals` places; at least one digit before
// the point. A value whose shown digits are all zero shows without a sign.
QString fixedText(const DecimalText &d, int decimals, QChar separator)
{
    std::string whole;
    std::string fraction;
    if (d.isZero()) {
        whole = "0";
    } else {
        const int first = d.firstPower();
        for (int power = std::max(first, 0); power >= 0; --power) {
            const int index = first - power;
            whole.push_back(index >= 0 && index < int(d.digits.size()) ? d.digits[size_t(index)] : '0');
        }
        for (int power = -1; power >= -decimals; --power) {
            const int index = first - power;
            fraction.push_back(index >= 0 && index < int(d.digits.size()) ? d.digits[size_t(index)] : '0');
        }
    }
    fraction.resize(size_t(std::max(decimals, 0)), '0');
    const bool allZero = whole.find_first_not_of('0') == std::string::npos &&
                         fraction.find_first_not_of('0') == std::string::npos;
    QString text;
    if (d.negative && !allZero)
        text += u'-';
    text += QString::fromLatin1(whole);
    if (decimals > 0) {
        text += separator;
        text += QString::fromLatin1(fraction);
    }
    return text;
}

QString nonFiniteText(double x)
{
    if (std::isnan(x))
        return QStringLiteral("NAN");
    return x < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

QString generalNumber(double x, const Separators &sep, int exponentDigits)
{
    if (!std::isfinite(x))
        return nonFiniteText(x);
    DecimalText d = roundSignificant(x, 15);
    stripTrailingZeros(d);
    if (d.isZero())
        return QStringLiteral("0");
    const int exponent = d.firstPower();
    if (exponent >= -4 && exponent < 15) {
        const int decimals = std::max(0, -d.lastPower);
        return fixedText(d, decimals, sep.decimal);
    }
    QString text;
    if (d.negative)
        text += u'-';
    text += QChar::fromLatin1(d.digits[0]);
    if (d.digits.size() > 1) {
        text += sep.decimal;
        text += QString::fromLatin1(d.digits.substr(1));
    }
    text += u'E';
    if (exponent < 0)
        text += u'-';
    text += QString::number(std::abs(exponent)).rightJustified(exponentDigits, u'0');
    return text;
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
    DecimalText d = roundSignificant(x, 15);
    stripTrailingZeros(d);
    return toDouble(roundDecimals(d, std::max(n, 0)));
}

QString ShownValue(double x, int precision, const Separators &sep)
{
    const double shown = RoundToShown(precision, x);
    if (!std::isfinite(shown))
        return nonFiniteText(shown);
    const int decimals = precision > 18 ? 2 : std::max(precision, 0);
    DecimalText d = roundSignificant(shown, 18);
    stripTrailingZeros(d);
    return fixedText(roundDecimals(d, decimals), decimals, sep.decimal);
}

QString GeneralNumber(double x, const Separators &sep)
{
    return generalNumber(x, sep, 1);
}

QString GeneralNumberG(double x, const Separators &sep)
{
    return generalNumber(x, sep, 3);
}

QString ClockTime(int64_t minute, const Separators &sep)
{
    const int64_t hours = (minute / 60) % 24;
    const int64_t minutes = minute % 60;
    return QString::asprintf("%02lld", static_cast<long long>(hours)) + sep.time +
           QString::asprintf("%02lld", static_cast<long long>(minutes));
}

QString MinuteTime(int64_t minute)
{
    const QString digits = QString::number(minute < 0 ? -minute : minute).rightJustified(2, u'0');
    return minute < 0 ? u'-' + digits : digits;
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
