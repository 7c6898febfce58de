// The block-average storm: steps, their averages from the cumulative depth,
// a total equal to the formula's own depth, and the refusals.
#include "model/NumberForms.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

void expectClose(double actual, long double expected, const char *what)
{
    EXPECT_EQ(QString::number(actual, 'g', 12), QString::number(double(expected), 'g', 12)) << what;
}

// a T / (T + b)^n, worked out here independently of the generator.
long double closedFormDepth(const Storm &s)
{
    const long double a = s.a1 * (1 + s.c * std::log10((long double)s.period));
    return a * s.duration / std::pow((long double)s.duration + s.b, (long double)s.n);
}

Storm blockStorm(double T, double r, int step)
{
    Storm s = StartUpStorm();
    s.mode = CalcMode::Block;
    s.duration = T;
    s.peakRatio = r;
    s.step = step;
    return s;
}

TEST(BlockAverageStorm, TotalIsTheFormulaDepthAndStepsCoverTheDuration)
{
    for (const double T : {120.0, 90.7}) {
        for (const double r : {0.4, 0.5}) {
            for (const int step : {1, 5, 7}) {
                SCOPED_TRACE(QStringLiteral("T=%1 r=%2 s=%3").arg(T).arg(r).arg(step).toStdString());
                Storm storm = blockStorm(T, r, step);
                RainPoints points;
                ASSERT_FALSE(CalcRainPoints(storm, points, false, 4));

                const long double depth = closedFormDepth(storm);
                expectClose(storm.totalDepth, depth, "total");
                expectClose(FormulaDepth(storm), depth, "formula depth");
                expectClose(storm.averageIntensity, depth / T, "average");

                // Steps [k s, (k+1) s), the last one ending at T.
                ASSERT_EQ(points.size(), size_t(std::ceil(T / step)));
                long double sum = 0;
                for (size_t k = 0; k < points.size(); ++k) {
                    EXPECT_EQ(points[k].Time, double(k * step));
                    const double length = std::min(points[k].Time + step, T) - points[k].Time;
                    sum += (long double)points[k].Intensity * length;
                    expectClose(points[k].Overall, sum, "overall");
                }
                expectClose(double(sum), depth, "sum of the steps");
            }
        }
    }
    // A negative step acts as its magnitude.
    Storm forward = blockStorm(120, 0.4, 7);
    Storm backward = blockStorm(120, 0.4, -7);
    RainPoints forwardPoints, backwardPoints;
    CalcRainPoints(forward, forwardPoints, false, 4);
    CalcRainPoints(backward, backwardPoints, false, 4);
    ASSERT_EQ(backwardPoints.size(), forwardPoints.size());
    EXPECT_EQ(backwardPoints.back().Overall, forwardPoints.back().Overall);
}

TEST(BlockAverageStorm, StartUpStormFormulaDepth)
{
    const Storm storm = StartUpStorm();
    EXPECT_EQ(QString::number(FormulaDepth(storm), 'f', 4), QStringLiteral("60.2284"));
    // The instantaneous storm overstates it; the block storm meets it.
    Storm block = storm;
    block.mode = CalcMode::Block;
    RainPoints points;
    ASSERT_FALSE(CalcRainPoints(block, points, false, 4));
    EXPECT_EQ(ShownValue(block.totalDepth, 4), QStringLiteral("60.2284"));
    EXPECT_EQ(points.size(), 120u);

    // A formula without a depth is reported, not returned as a number.
    Storm negativeBase = storm;
    negativeBase.b = -200;
    try {
        FormulaDepth(negativeBase);
        ADD_FAILURE() << "no error";
    } catch (const PluvionError &error) {
        EXPECT_EQ(error.description(), QStringLiteral("Invalid floating point operation"));
    }
}

TEST(BlockAverageStorm, EachAverageLiesBetweenTheInstantValuesAtItsEnds)
{
    for (const double r : {0.4, 0.5}) {
        Storm instant = StartUpStorm();
        instant.peakRatio = r;
        Storm block = instant;
        block.mode = CalcMode::Block;
        RainPoints minutes, steps;
        ASSERT_FALSE(CalcRainPoints(instant, minutes, false, 4));
        ASSERT_FALSE(CalcRainPoints(block, steps, false, 4));
        ASSERT_EQ(steps.size() + 1, minutes.size());
        // Every step lies on one limb (the peak is on a whole minute), where
        // the intensity is monotonic.
        for (size_t k = 0; k < steps.size(); ++k) {
            const double low = std::min(minutes[k].Intensity, minutes[k + 1].Intensity);
            const double high = std::max(minutes[k].Intensity, minutes[k + 1].Intensity);
            EXPECT_GT(steps[k].Intensity, low) << "r=" << r << " step " << k;
            EXPECT_LT(steps[k].Intensity, high) << "r=" << r << " step " << k;
        }
    }
}

TEST(BlockAverageStorm, CalcByShowSumsTheShownAveragesOverTheirSteps)
{
    Storm storm = blockStorm(90.7, 0.4, 7);
    RainPoints points;
    ASSERT_FALSE(CalcRainPoints(storm, points, true, 2));
    double sum = 0;
    for (const RainPoint &point : points) {
        EXPECT_EQ(point.Intensity, RoundToShown(2, point.Intensity));
        sum += point.Intensity * (std::min(point.Time + 7, 90.7) - point.Time);
        EXPECT_NEAR(point.Overall, sum, 1e-12);
    }
}

TEST(BlockAverageStorm, ZeroBIsAFiniteStormAndBadInputsAreRefused)
{
    // With b = 0 the peak intensity is infinite, but every step's average is not.
    Storm zeroB = blockStorm(120, 0.4, 1);
    zeroB.b = 0;
    RainPoints zeroBPoints;
    ASSERT_FALSE(CalcRainPoints(zeroB, zeroBPoints, false, 4));
    expectClose(zeroB.totalDepth, closedFormDepth(zeroB), "total with b = 0");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        double T, r, b;
        int step;
        CalcMode mode;
        QString description;
    } cases[] = {
        {120, 0.4, 7, 0, CalcMode::Block, QStringLiteral("Division by zero")},
        {120, 0, 7, 1, CalcMode::Block, QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1")},
        {120, 1, 7, 1, CalcMode::Block, QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1")},
        {120, -0.2, 7, 1, CalcMode::Block, QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1")},
        {120, nan, 7, 1, CalcMode::Block, QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1")},
        {0, 0.4, 7, 1, CalcMode::Block, QStringLiteral("时段平均雨型的降雨历时须大于 0 分钟")},
        {-5, 0.4, 7, 1, CalcMode::Block, QStringLiteral("时段平均雨型的降雨历时须大于 0 分钟")},
        {nan, 0.4, 7, 1, CalcMode::Block,
         QStringLiteral("降雨历时超出可计算范围：历时须为数值，且不超过 10000000 分钟")},
        {1e12, 0.4, 7, 1, CalcMode::Block,
         QStringLiteral("降雨历时超出可计算范围：历时须为数值，且不超过 10000000 分钟")},
        // A power base below 0 on the first step: 48 / 0.4 - 200.
        {120, 0.4, -200, 1, CalcMode::Block, QStringLiteral("Invalid floating point operation")},
        {120, 0.4, 7, 1, static_cast<CalcMode>(2), QStringLiteral("未知的计算模式：2")},
    };
    for (const auto &c : cases) {
        Storm storm = blockStorm(c.T, c.r, c.step);
        storm.b = c.b;
        storm.mode = c.mode;
        storm.totalDepth = 8;
        storm.averageIntensity = 9;
        RainPoints points;
        const auto failure = CalcRainPoints(storm, points, false, 4);
        ASSERT_TRUE(failure) << c.description.toStdString();
        EXPECT_EQ(*failure, c.description);
        EXPECT_EQ(storm.totalDepth, 8);
        EXPECT_EQ(storm.averageIntensity, 9);
    }
}

} // namespace
