#pragma once

// What every fuzz target shares: the Qt application object the core expects,
// a check that stops the run with a message, and a source of doubles that
// reaches the awkward values often.

#include <QCoreApplication>
#include <QString>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>

// A finding: print what was expected and stop; libFuzzer keeps the input.
#define FUZZ_CHECK(condition, ...)                                                                           \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "\n%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);             \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
            std::fprintf(stderr, "\n");                                                                      \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

inline void StartFuzzApplication(int *argc, char ***argv)
{
    // Lives for the whole run, as in the program.
    static QCoreApplication *application = new QCoreApplication(*argc, *argv);
    (void)application;
}

inline std::string Utf8(const QString &text)
{
    return text.toStdString();
}

// A double: often one of the values that break arithmetic or formatting,
// otherwise any bit pattern (NaN payloads and subnormals included), a small
// whole number or a short decimal fraction.
inline double ConsumeAwkwardDouble(FuzzedDataProvider &data)
{
    static const double special[] = {
        0.0,
        -0.0,
        1.0,
        -1.0,
        0.5,
        2.0,
        0.4,
        0.6,
        0.656,
        0.846,
        7.0,
        9.5981,
        120.0,
        90.7,
        1e-5,
        5e-5,
        0.125,
        1.005,
        2.00005,
        0.05,
        0.1,
        0.3,
        999999999999999.5,
        1e15,
        1e16,
        std::numeric_limits<double>::quiet_NaN(),
        HUGE_VAL,
        -HUGE_VAL,
        DBL_MAX,
        -DBL_MAX,
        DBL_MIN,
        DBL_TRUE_MIN,
        -DBL_TRUE_MIN,
        1e308,
        1e-308,
        1e-320,
        4503599627370496.5,
        9007199254740993.0,
        0.30000000000000004,
        1e22,
        1e23,
        5e-324,
    };
    constexpr size_t specialCount = sizeof special / sizeof special[0];
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return special[data.ConsumeIntegralInRange<size_t>(0, specialCount - 1)];
    case 1: {
        const uint64_t bits = data.ConsumeIntegral<uint64_t>();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 2:
        return double(data.ConsumeIntegralInRange<int32_t>(-10000, 10000));
    default: {
        const double mantissa =
            double(data.ConsumeIntegralInRange<int64_t>(-999999999999999LL, 999999999999999LL));
        const int exponent = data.ConsumeIntegralInRange<int>(-20, 20);
        return mantissa * std::pow(10.0, exponent);
    }
    }
}
