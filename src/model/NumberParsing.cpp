// Reading numbers as the program takes them from files and edits.
#include "NumberForms.h"
#include "PluvionError.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

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
