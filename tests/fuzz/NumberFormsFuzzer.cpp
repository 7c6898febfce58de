// The number forms against a slow reference that works on the exact decimal
// expansion of the double: RoundToShown, the shown value and both general
// number forms on awkward doubles, and the two readers on arbitrary text.

#include "../support/ExactNumberForms.h"
#include "FuzzSupport.h"
#include "model/NumberForms.h"

#include <QStringView>
#include <cerrno>
#include <string>

namespace {

using namespace exact;

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

    // The forms for writers give the same texts.
    char buffer[NumberTextCapacity];
    const std::string written(buffer, WriteShownValue(buffer, x, precision, separator));
    FUZZ_CHECK(written == shownExpected, "WriteShownValue(%.17g, %d) = %s, expected %s", x, precision,
               written.c_str(), shownExpected.c_str());
    QString appended = QStringLiteral("=");
    AppendShownValue(appended, x, precision, sep);
    FUZZ_CHECK(Utf8(appended) == "=" + shownExpected, "AppendShownValue(%.17g, %d) = %s, expected %s", x,
               precision, Utf8(appended).c_str(), shownExpected.c_str());
    const std::string writtenGeneral(buffer, WriteGeneralNumber(buffer, x, separator));
    FUZZ_CHECK(writtenGeneral == generalExpected, "WriteGeneralNumber(%.17g) = %s, expected %s", x,
               writtenGeneral.c_str(), generalExpected.c_str());
    const std::string writtenGeneralG(buffer, WriteGeneralNumberG(buffer, x, separator));
    FUZZ_CHECK(writtenGeneralG == generalGExpected, "WriteGeneralNumberG(%.17g) = %s, expected %s", x,
               writtenGeneralG.c_str(), generalGExpected.c_str());

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

void CheckTime(int64_t minute, const Separators &sep)
{
    const char separator = char(sep.time.unicode());
    const std::string clockExpected = ReferenceClockTime(minute, separator);
    const std::string minutesExpected = ReferenceMinuteTime(minute);
    const std::string clock = Utf8(ClockTime(minute, sep));
    FUZZ_CHECK(clock == clockExpected, "ClockTime(%lld) = %s, expected %s", (long long)minute, clock.c_str(),
               clockExpected.c_str());
    const std::string minutes = Utf8(MinuteTime(minute));
    FUZZ_CHECK(minutes == minutesExpected, "MinuteTime(%lld) = %s, expected %s", (long long)minute,
               minutes.c_str(), minutesExpected.c_str());

    QString appended = QStringLiteral("=");
    AppendClockTime(appended, minute, sep);
    AppendMinuteTime(appended, minute);
    FUZZ_CHECK(Utf8(appended) == "=" + clockExpected + minutesExpected, "appended times of %lld: %s",
               (long long)minute, Utf8(appended).c_str());
    char buffer[NumberTextCapacity];
    const std::string written = std::string(buffer, WriteClockTime(buffer, minute, separator)) +
                                std::string(buffer, WriteMinuteTime(buffer, minute));
    FUZZ_CHECK(written == clockExpected + minutesExpected, "written times of %lld: %s", (long long)minute,
               written.c_str());
}

// Doubles where the rounding is hardest to get right, beside the awkward
// ones every target uses: values whose exact expansion ends in a 5 just
// after the 15th or 18th digit (exact ties) and their nearest neighbours,
// short dyadic fractions, whose expansions end in a 5 at every length, and
// decimal halves at a few places.
double ConsumeNumberFormsDouble(FuzzedDataProvider &data)
{
    switch (data.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: {
        // A 16-digit whole number ending in 5, exact below 2^53.
        const int64_t head = data.ConsumeIntegralInRange<int64_t>(100000000000000LL, 900719925474098LL);
        const double tie = double(head * 10 + 5);
        switch (data.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return tie;
        case 1:
            return std::nextafter(tie, 0.0);
        default:
            return std::nextafter(tie, HUGE_VAL);
        }
    }
    case 1: {
        const double odd = double(data.ConsumeIntegralInRange<int64_t>(0, (int64_t(1) << 53) - 1) | 1);
        const int scale = data.ConsumeIntegralInRange<int>(-1100, 1000);
        const double value = std::ldexp(odd, scale);
        return data.ConsumeBool() ? -value : value;
    }
    case 2: {
        const double odd = double(data.ConsumeIntegralInRange<int64_t>(0, 1 << 20) | 1);
        const double value = std::ldexp(odd, data.ConsumeIntegralInRange<int>(-64, 8));
        const int step = data.ConsumeIntegralInRange<int>(-1, 1);
        return step == 0 ? value : std::nextafter(value, step * HUGE_VAL);
    }
    case 3: {
        // The double nearest a half at a few decimals (0.00125 at 4), where
        // the scaled double, the exact value and its 15-digit text may each
        // fall on a different side of the half; and its neighbours.
        const int64_t head = data.ConsumeIntegralInRange<int64_t>(0, 99999999999LL);
        const int decimals = data.ConsumeIntegralInRange<int>(0, 12);
        double value = double(head * 10 + 5) / std::pow(10.0, decimals + 1);
        for (int step = data.ConsumeIntegralInRange<int>(-2, 2); step != 0; step += step > 0 ? -1 : 1)
            value = std::nextafter(value, step * HUGE_VAL);
        return data.ConsumeBool() ? -value : value;
    }
    default:
        return ConsumeAwkwardDouble(data);
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
        CheckDouble(ConsumeNumberFormsDouble(data), precision, sep);
        CheckTime(data.ConsumeBool() ? data.ConsumeIntegralInRange<int64_t>(-3000, 20000000)
                                     : data.ConsumeIntegral<int64_t>(),
                  sep);
    }
    return 0;
}
