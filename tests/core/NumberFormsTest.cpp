// Rounding to the shown precision and the text forms of numbers and times.
#include "model/NumberForms.h"

#include "ExactNumberForms.h"
#include "model/PluvionError.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct RoundCase
{
    int precision;
    double value;
    double expected;
};

TEST(RoundToShown, RoundsTheFifteenDigitTextHalvesAwayFromZero)
{
    const RoundCase cases[] = {
        {4, 0.190802280075, 0.1908},
        {2, 0.125, 0.13}, // an exact binary half still goes up
        {2, -0.125, -0.13},
        {2, 1.005, 1.01}, // stored as 1.00499999999999989..., its 15-digit text is 1.005
        {4, 2.00005, 2.0001},
        {1, 0.05, 0.1},
        {1, 0.04999, 0.0},
        {4, 60.634473401081, 60.6345},
        {2, 0.999, 1.0},
        {3, 123456.0005, 123456.001},
        {4, 1.5e-5, 0.0},
        {4, 5e-5, 0.0001},
        {20, 1.005, 1.005}, // beyond the 15th digit nothing changes
        {0, 2.5, 3.0},      // below one decimal: whole numbers
        {-3, -2.5, -3.0},
        {4, 0.0, 0.0},
        {4, DBL_MAX, DBL_MAX}, // its 15-digit text lies beyond it: the nearest double
        {2, -DBL_MAX, -DBL_MAX},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RoundToShown(c.precision, c.value), c.expected) << c.precision << " " << c.value;
}

TEST(RoundToShown, LeavesNonFiniteValuesAlone)
{
    EXPECT_TRUE(std::isnan(RoundToShown(4, std::nan(""))));
    EXPECT_EQ(RoundToShown(4, HUGE_VAL), HUGE_VAL);
}

struct ShownCase
{
    double value;
    int precision;
    const char *expected;
};

TEST(ShownValue, WritesExactlyTheShownDecimals)
{
    const ShownCase cases[] = {
        {0.190802280075, 4, "0.1908"},
        {60.634473401081, 4, "60.6345"},
        {3, 4, "3.0000"},
        {0.05, 1, "0.1"},
        {0.04999, 1, "0.0"},
        {-0.125, 2, "-0.13"},
        {-0.0001, 2, "0.00"},              // no sign on a value that shows as zero
        {0.1, 18, "0.100000000000000006"}, // 18 significant digits of the stored value
        {1.005, 19, "1.00"},               // above 18 decimals: two, from the stored value
        {0.125, 99, "0.13"},
        {2.5, 0, "3"},
        {2.5, -7, "3"},
        {1e20, 2, "100000000000000000000.00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ShownValue(c.value, c.precision).toStdString(), c.expected)
            << c.value << " " << c.precision;
}

TEST(ShownValue, UsesTheLocaleDecimalSeparator)
{
    EXPECT_EQ(ShownValue(60.634473401081, 4, Separators{u',', u':'}), QStringLiteral("60,6345"));
}

struct GeneralCase
{
    double value;
    const char *plain;
    const char *pattern; // the "%g" form
};

TEST(GeneralNumber, FifteenDigitsShortestText)
{
    const GeneralCase cases[] = {
        {0, "0", "0"},
        {2, "2", "2"},
        {120, "120", "120"},
        {0.4, "0.4", "0.4"},
        {0.1 + 0.2, "0.3", "0.3"},
        {9.5981 / 0.006, "1599.68333333333", "1599.68333333333"},
        {-2.5, "-2.5", "-2.5"},
        {0.0001, "0.0001", "0.0001"},
        {1.5e-5, "1.5E-5", "1.5E-005"},
        {-1e-7, "-1E-7", "-1E-007"},
        {1e15, "1E15", "1E015"},
        {999999999999999.0, "999999999999999", "999999999999999"},
        {123456789012345678.0, "1.23456789012346E17", "1.23456789012346E017"},
        {1e300, "1E300", "1E300"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(GeneralNumber(c.value).toStdString(), c.plain) << c.value;
        EXPECT_EQ(GeneralNumberG(c.value).toStdString(), c.pattern) << c.value;
    }
    EXPECT_EQ(GeneralNumber(0.4, Separators{u',', u':'}), QStringLiteral("0,4"));
    EXPECT_EQ(GeneralNumber(std::nan("")), QStringLiteral("NAN"));
    EXPECT_EQ(GeneralNumber(-HUGE_VAL), QStringLiteral("-INF"));
}

// Values where a quick rounding goes wrong, against the slow reference on the
// exact expansion: exact ties at the 15th digit and their neighbours half an
// ulp away, dyadic fractions that are ties at the 18th digit, subnormals,
// the largest doubles, zeros of both signs and the special values.
TEST(NumberForms, AgreeWithTheExactExpansion)
{
    const double tie = 1234567890123455.0; // ends in a 5 after the 15th digit
    const double values[] = {
        tie,
        std::nextafter(tie, 0.0),
        std::nextafter(tie, HUGE_VAL),
        999999999999999.5,
        4503599627370496.5,
        9007199254740993.0,
        0.125,
        -0.125,
        1.005,
        2.00005,
        2.675, // decimal halves stored just below the half: 2.67499999999999982...
        4.35,
        0.045,
        -0.00035,
        99999999999999.5,
        12345678901.23455,
        0.1 + 0.2,
        60.634473401081,
        0.190802280075,
        0.000123456789012345,
        std::ldexp(1.0, -26), // 1.490116119384765625e-8: a tie at 18 digits
        std::ldexp(3.0, -30),
        std::ldexp(-7.0, -40),
        std::nextafter(std::ldexp(1.0, -26), 1.0),
        DBL_TRUE_MIN,
        -DBL_TRUE_MIN,
        std::nextafter(DBL_MIN, 0.0),
        DBL_MIN,
        1e-320,
        1e22,
        1e23,
        1e308,
        DBL_MAX,
        -DBL_MAX,
        0.0,
        -0.0,
        std::nan(""),
        HUGE_VAL,
        -HUGE_VAL,
    };
    const int precisions[] = {INT_MIN, -1, 0, 1, 2, 4, 8, 14, 15, 17, 18, 19, 330, INT_MAX};
    for (const double x : values) {
        for (const int precision : precisions) {
            const double rounded = RoundToShown(precision, x);
            const double expected = exact::ReferenceRoundToShown(precision, x);
            if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(rounded));
            } else {
                EXPECT_EQ(rounded, expected) << x << " " << precision;
                EXPECT_EQ(std::signbit(rounded), std::signbit(expected)) << x << " " << precision;
            }
            EXPECT_EQ(ShownValue(x, precision).toStdString(), exact::ReferenceShownValue(x, precision, '.'))
                << x << " " << precision;
        }
        EXPECT_EQ(GeneralNumber(x).toStdString(), exact::ReferenceGeneralNumber(x, '.', 1)) << x;
        EXPECT_EQ(GeneralNumberG(x).toStdString(), exact::ReferenceGeneralNumber(x, '.', 3)) << x;
    }
    // A half stored just below it still rounds up: its 15-digit text is the half.
    EXPECT_EQ(ShownValue(2.675, 2), QStringLiteral("2.68"));
    EXPECT_EQ(ShownValue(-0.00035, 4), QStringLiteral("-0.0004"));
    // The tie goes away from zero, its neighbours to the nearer side.
    EXPECT_EQ(GeneralNumber(tie), QStringLiteral("1.23456789012346E15"));
    EXPECT_EQ(GeneralNumber(-tie), QStringLiteral("-1.23456789012346E15"));
    EXPECT_EQ(GeneralNumber(std::nextafter(tie, 0.0)), QStringLiteral("1.23456789012345E15"));
    EXPECT_EQ(ShownValue(std::ldexp(1.0, -26), 18), QStringLiteral("0.000000014901161194"));
}

TEST(NumberForms, WritersGetTheSameTextsWithoutANewString)
{
    const Separators comma{u',', u'.'};
    QString row = QStringLiteral("行");
    row.reserve(64);
    const QChar *storage = row.constData();
    AppendClockTime(row, 1441, comma);
    row += u';';
    AppendMinuteTime(row, 7);
    row += u';';
    AppendShownValue(row, 60.634473401081, 4, comma);
    row += u';';
    AppendShownValue(row, -0.00001, 2, comma);
    EXPECT_EQ(row, QStringLiteral("行00.01;07;60,6345;0,00"));
    EXPECT_EQ(row.constData(), storage); // appended in place

    char buffer[NumberTextCapacity];
    const auto text = [&](char *end) { return std::string(buffer, end); };
    EXPECT_EQ(text(WriteShownValue(buffer, 0.125, 2)), "0.13");
    EXPECT_EQ(text(WriteShownValue(buffer, 0.125, 2, ',')), "0,13");
    EXPECT_EQ(text(WriteShownValue(buffer, -DBL_MAX, 18)).size(), 329u); // sign, 309 digits, point, 18
    EXPECT_EQ(text(WriteGeneralNumber(buffer, 1.5e-5)), "1.5E-5");
    EXPECT_EQ(text(WriteGeneralNumberG(buffer, 1.5e-5)), "1.5E-005");
    EXPECT_EQ(text(WriteClockTime(buffer, 1500, '.')), "01.00");
    EXPECT_EQ(text(WriteMinuteTime(buffer, -3)), "-03");
}

TEST(TimeForms, ClockDropsTheDayMinutesDoNot)
{
    const struct
    {
        int64_t minute;
        const char *clock;
        const char *minutes;
    } cases[] = {
        {0, "00:00", "00"},      {5, "00:05", "05"},      {47, "00:47", "47"},     {120, "02:00", "120"},
        {1440, "00:00", "1440"}, {1441, "00:01", "1441"}, {1500, "01:00", "1500"}, {-61, "-1:-1", "-61"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ClockTime(c.minute).toStdString(), c.clock);
        EXPECT_EQ(MinuteTime(c.minute).toStdString(), c.minutes);
    }
    EXPECT_EQ(ClockTime(120, Separators{u',', u'.'}), QStringLiteral("02.00"));
}

TEST(NumberParsing, AcceptsTheProgramsOwnNumberTexts)
{
    const struct
    {
        const char *text;
        QChar separator;
        bool valid;
        double value;
    } cases[] = {
        {"9.5981", u'.', true, 9.5981}, {" 1.5 ", u'.', true, 1.5}, {"-2.5E-2", u'.', true, -0.025},
        {"+3", u'.', true, 3},          {"1e3", u'.', true, 1000},  {".5", u'.', true, 0.5},
        {"1.", u'.', true, 1},          {"0,4", u',', true, 0.4},   {"1e-400", u'.', true, 0},
        {"0,4", u'.', false, 0},        {"0.4", u',', false, 0},    {"", u'.', false, 0},
        {" ", u'.', false, 0},          {"1.5.2", u'.', false, 0},  {"abc", u'.', false, 0},
        {"1e", u'.', false, 0},         {"1e400", u'.', false, 0},  {"1 000", u'.', false, 0},
        {"0x10", u'.', false, 0},       {"e5", u'.', false, 0},
    };
    for (const auto &c : cases) {
        double value = -1;
        EXPECT_EQ(TryParseFloat(QString::fromUtf8(c.text), c.separator, &value), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    double special = 0;
    ASSERT_TRUE(TryParseFloat(u"nan", u'.', &special));
    EXPECT_TRUE(std::isnan(special));
    ASSERT_TRUE(TryParseFloat(u"-INF", u'.', &special));
    EXPECT_EQ(special, -HUGE_VAL);
}

TEST(NumberParsing, WholeNumbersInTheSignedThirtyTwoBitRange)
{
    const struct
    {
        const char *text;
        bool valid;
        int32_t value;
    } cases[] = {
        {"1", true, 1},
        {" -5 ", true, -5},
        {"+7", true, 7},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"1.5", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"12a", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const auto &c : cases) {
        int32_t value = -1;
        EXPECT_EQ(TryParseInt32(QString::fromUtf8(c.text), &value), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(NumberParsing, FailuresCarryTheValueText)
{
    try {
        StrToFloat(QStringLiteral("0,4"), u'.');
        FAIL();
    } catch (const PluvionError &error) {
        EXPECT_EQ(error.description(), QStringLiteral("'0,4' is not a valid floating point value"));
    }
    try {
        StrToInt(QStringLiteral("1.5"));
        FAIL();
    } catch (const PluvionError &error) {
        EXPECT_EQ(error.description(), QStringLiteral("'1.5' is not a valid integer value"));
    }
}

} // namespace
