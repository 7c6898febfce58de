// The Chicago storm, minute by minute: rows, totals and the failures.
#include "model/RainGenerator.h"

#include "model/NumberForms.h"
#include "model/PluvionError.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

// Agreement to 12 significant digits.
void expectClose(double actual, double expected, const char *what)
{
    EXPECT_EQ(QString::number(actual, 'g', 12), QString::number(expected, 'g', 12)) << what;
}

struct StormRun
{
    Storm storm = StartUpStorm();
    RainPoints points;
    std::optional<QString> failure;

    StormRun &compute(bool calcByShow = false, int precision = 4)
    {
        failure = CalcRainPoints(storm, points, calcByShow, precision);
        return *this;
    }
    const RainPoint &minute(double m) const
    {
        for (const auto &point : points)
            if (point.Time == m)
                return point;
        throw std::out_of_range("no such minute");
    }
};

TEST(CalcRainPoints, StartUpStormMatchesTheWorkedExample)
{
    StormRun run;
    run.compute();
    ASSERT_FALSE(run.failure);
    ASSERT_EQ(run.points.size(), 121u);
    const struct
    {
        double minute, intensity, overall;
    } rows[] = {
        {0, 0.190802280075, 0.190802280075},    {1, 0.193676248539, 0.384478528614},
        {2, 0.196660143947, 0.581138672562},    {47, 2.275241582634, 22.635464737924},
        {48, 3.359935546510, 25.995400284434},  {49, 2.552226810806, 28.547627095240},
        {119, 0.192706365306, 60.443671121006}, {120, 0.190802280075, 60.634473401081},
    };
    for (const auto &row : rows) {
        expectClose(run.minute(row.minute).Intensity, row.intensity, "intensity");
        expectClose(run.minute(row.minute).Overall, row.overall, "overall");
    }
    expectClose(run.storm.totalDepth, 60.634473401081, "total");
    expectClose(run.storm.averageIntensity, 0.505287278342, "average");
    // Both ends lie 120 scaled minutes from the peak.
    EXPECT_EQ(run.points.front().Intensity, run.points.back().Intensity);
}

TEST(CalcRainPoints, CalcByShowSumsTheShownValues)
{
    StormRun run;
    run.compute(true, 4);
    ASSERT_FALSE(run.failure);
    EXPECT_DOUBLE_EQ(run.minute(0).Intensity, 0.1908);
    EXPECT_DOUBLE_EQ(run.minute(1).Overall, 0.3845);
    EXPECT_DOUBLE_EQ(run.minute(2).Overall, 0.5812);
    expectClose(run.storm.totalDepth, 60.6346, "total");
    expectClose(run.storm.averageIntensity, 60.6346 / 120, "average");
    for (const auto &point : run.points)
        EXPECT_EQ(RoundToShown(4, point.Intensity), point.Intensity) << point.Time;
}

TEST(CalcRainPoints, StepListsItsMultiplesAndTheLastMinute)
{
    const struct
    {
        double duration;
        int step;
        std::vector<double> tail; // the last listed minutes
        size_t rows;
    } cases[] = {
        {120, 5, {110, 115, 120}, 25},
        {120, 7, {105, 112, 119, 120}, 19},
        {120, -5, {110, 115, 120}, 25}, // a negative step acts as its magnitude
        {120, 500, {0, 120}, 2},
        {90.7, 1, {89, 90}, 91},
        {0.5, 1, {0}, 1},
    };
    for (const auto &c : cases) {
        StormRun run;
        run.storm.duration = c.duration;
        run.storm.step = c.step;
        run.compute();
        ASSERT_FALSE(run.failure) << c.step;
        ASSERT_EQ(run.points.size(), c.rows) << c.step;
        for (size_t i = 0; i < c.tail.size(); ++i)
            EXPECT_EQ(run.points[run.points.size() - c.tail.size() + i].Time, c.tail[i]) << c.step;

        StormRun everyMinute;
        everyMinute.storm.duration = c.duration;
        everyMinute.compute();
        EXPECT_EQ(run.storm.totalDepth, everyMinute.storm.totalDepth);
        EXPECT_EQ(run.storm.averageIntensity, run.storm.totalDepth / c.duration);
    }
    StormRun five;
    five.storm.step = 5;
    five.compute();
    expectClose(five.minute(50).Intensity, 2.051696135088, "minute 50");
    expectClose(five.minute(50).Overall, 30.599323230328, "minute 50");
}

TEST(CalcRainPoints, ShapeOfTheStorm)
{
    StormRun symmetric; // the peak on minute 60, computed on the rising limb
    symmetric.storm.peakRatio = 0.5;
    symmetric.compute();
    ASSERT_FALSE(symmetric.failure);
    for (int k = 1; k <= 60; ++k)
        EXPECT_EQ(symmetric.minute(60 - k).Intensity, symmetric.minute(60 + k).Intensity) << k;
    EXPECT_GT(symmetric.minute(60).Intensity, symmetric.minute(59).Intensity);

    StormRun unknownLog; // a logarithm other than lg or ln makes every intensity 0
    unknownLog.storm.log = static_cast<Logarithm>(2);
    unknownLog.compute();
    ASSERT_FALSE(unknownLog.failure);
    for (const auto &point : unknownLog.points) {
        EXPECT_EQ(point.Intensity, 0);
        EXPECT_EQ(point.Overall, 0);
    }
    EXPECT_EQ(unknownLog.storm.totalDepth, 0);

    StormRun risingOnly; // r = 1: every minute before or on the peak
    risingOnly.storm.peakRatio = 1;
    risingOnly.compute();
    ASSERT_FALSE(risingOnly.failure);
    EXPECT_EQ(risingOnly.points.back().Intensity, risingOnly.points.back().Intensity);
    EXPECT_GT(risingOnly.points.back().Intensity, risingOnly.points[119].Intensity);

    StormRun natural;
    natural.storm.log = Logarithm::Ln;
    natural.compute();
    EXPECT_GT(natural.storm.totalDepth, 60.634473401081); // ln 2 > lg 2
}

TEST(CalcRainPoints, FailuresStopWhereTheyOccurAndKeepWhatWasDone)
{
    const double sentinel = -12345;
    const struct
    {
        const char *name;
        void (*set)(Storm &);
        const char *description;
        size_t rowsKept;
        bool totalWritten;
    } cases[] = {
        {"step 0", [](Storm &s) { s.step = 0; }, "Division by zero", 0, false},
        {"peak ratio 0", [](Storm &s) { s.peakRatio = 0; }, "Invalid floating point operation", 0, false},
        {"duration 0", [](Storm &s) { s.duration = 0; }, "Floating point division by zero", 1, true},
        {"duration 0, no rain",
         [](Storm &s) {
             s.duration = 0;
             s.log = static_cast<Logarithm>(7);
         },
         "Invalid floating point operation", 1, true},
        {"duration -1", [](Storm &s) { s.duration = -1; }, "List index out of bounds (-1)", 0, false},
        {"duration -1e300", [](Storm &s) { s.duration = -1e300; }, "List index out of bounds (-1)", 0, false},
        {"b 0 with the peak on minute 48", [](Storm &s) { s.b = 0; }, "Invalid floating point operation", 48,
         false},
        {"negative power base from minute 36", [](Storm &s) { s.b = -30; },
         "Invalid floating point operation", 36, false},
        {"return period 0", [](Storm &s) { s.period = 0; }, "Floating point division by zero", 0, false},
        {"negative return period", [](Storm &s) { s.period = -2; }, "Invalid floating point operation", 0,
         false},
        {"not a number", [](Storm &s) { s.c = std::nan(""); }, "Invalid floating point operation", 0, false},
        {"too large for a double",
         [](Storm &s) {
             s.a1 = 1e308;
             s.c = 1e10;
         },
         "Floating point overflow", 0, false},
        {"power beyond extended precision, quotient 0", [](Storm &s) { s.n = 5000; },
         "Floating point overflow", 0, false},
        {"total beyond a double at minute 1",
         [](Storm &s) {
             s.a1 = 1e308;
             s.c = 0;
             s.n = 0;
         },
         "Floating point overflow", 1, false},
    };
    for (const auto &c : cases) {
        StormRun run;
        c.set(run.storm);
        run.storm.totalDepth = sentinel;
        run.storm.averageIntensity = sentinel;
        run.compute();
        ASSERT_TRUE(run.failure) << c.name;
        EXPECT_EQ(run.failure->toStdString(), c.description) << c.name;
        EXPECT_EQ(run.points.size(), c.rowsKept) << c.name;
        EXPECT_EQ(run.storm.totalDepth != sentinel, c.totalWritten) << c.name;
        EXPECT_EQ(run.storm.averageIntensity, sentinel) << c.name;
    }
}

// The generator checks only what shows a failure; the reference checks every
// operation. Both must give the same rows, totals and failures, bit for bit.
TEST(CalcRainPoints, GivesWhatTheFullyCheckedComputationGives)
{
    const std::function<void(Storm &)> changes[] = {
        [](Storm &) {},
        [](Storm &s) {
            s.step = 7;
            s.duration = 1440.5;
        },
        [](Storm &s) { s.step = -3; },
        [](Storm &s) { s.b = -30; },
        [](Storm &s) {
            s.b = -40;
            s.n = 2;
        }, // negative bases, a whole power
        [](Storm &s) { s.n = 5000; },
        [](Storm &s) {
            s.n = -200;
            s.a1 = 1e-100;
        },
        [](Storm &s) {
            s.a1 = 1e308;
            s.c = 0;
            s.n = 0;
        },
        [](Storm &s) { s.peakRatio = 1e-300; },
        [](Storm &s) { s.peakRatio = 1; },
        [](Storm &s) { s.peakRatio = -0.5; },
        [](Storm &s) { s.b = std::numeric_limits<double>::infinity(); },
        [](Storm &s) { s.log = static_cast<Logarithm>(7); },
        [](Storm &s) {
            s.a1 = 1e308;
            s.c = 1e10;
        },
        [](Storm &s) { s.duration = 0; },
        // Long storms, computed in blocks on two threads: the rows and a
        // failure far into the storm stay those of the reference.
        [](Storm &s) { s.duration = 600000.5; },
        [](Storm &s) {
            s.duration = 600000;
            s.step = 7;
        },
        [](Storm &s) {
            s.duration = 600000;
            s.peakRatio = 0.99;
            s.b = -30;
        },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        SCOPED_TRACE(i);
        Storm fast = StartUpStorm();
        changes[i](fast);
        Storm reference = fast;
        RainPoints fastRows;
        RainPoints referenceRows;
        const auto fastFailure = CalcRainPoints(fast, fastRows, false, 4);
        const auto referenceFailure = CalcRainPointsChecked(reference, referenceRows, false, 4);
        EXPECT_EQ(fastFailure, referenceFailure);
        ASSERT_EQ(fastRows.size(), referenceRows.size());
        if (!fastRows.empty()) {
            EXPECT_EQ(std::memcmp(fastRows.data(), referenceRows.data(), fastRows.size() * sizeof(RainPoint)),
                      0);
        }
        EXPECT_EQ(QString::number(fast.totalDepth, 'g', 17), QString::number(reference.totalDepth, 'g', 17));
    }
}

TEST(CalcRainPoints, RefusesDurationsItCannotCount)
{
    for (double duration :
         {1e12, 1e300, double(MaxStormMinutes) + 1, double(MaxStormMinutes) + 0.5, std::nan(""), HUGE_VAL}) {
        StormRun run;
        run.storm.duration = duration;
        run.compute();
        ASSERT_TRUE(run.failure) << duration;
        EXPECT_TRUE(run.failure->contains(QStringLiteral("10000000"))) << run.failure->toStdString();
        EXPECT_TRUE(run.points.empty());
    }
}

} // namespace
