// The batch's charts drawn off screen: a line per storm or per return
// period, at the size asked for, and log axes when asked.
#include "chart/BatchCharts.h"

#include "chart/ChartPicture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

// Every graph of a batch chart is one of its lines.
QList<QCPGraph *> linesOf(const QCustomPlot &chart)
{
    QList<QCPGraph *> lines;
    for (int i = 0; i < chart.graphCount(); ++i)
        lines.append(chart.graph(i));
    return lines;
}

bool drawsSomething(const RgbImage &image)
{
    for (qsizetype i = 3; i + 2 < image.pixels.size(); i += 3) {
        if (image.pixels.mid(i, 3) != image.pixels.left(3))
            return true;
    }
    return false;
}

StormBatchOutcome batchOf(const QTemporaryDir &dir, const QList<double> &periods,
                          const QList<double> &durations, CalcMode mode)
{
    StormBatchRequest request;
    request.periods = periods;
    request.durations = durations;
    request.storm.mode = mode;
    request.storm.step = 5;
    request.folder = dir.path();
    request.keepRows = true;
    return RunStormBatch(request, {});
}

TEST(BatchCharts, CompareChartHasALinePerStormThatSucceeded)
{
    QTemporaryDir dir;
    // The 2e7-minute storms fail and get no line.
    const StormBatchOutcome batch = batchOf(dir, {2, 10, 50}, {60, 2e7, 120}, CalcMode::Instant);
    ASSERT_EQ(batch.failedCount(), 3);
    const auto chart = BatchCompareChart(batch.storms, QSize(480, 360), {});
    const QList<QCPGraph *> lines = linesOf(*chart);
    ASSERT_EQ(lines.size(), 6);
    ASSERT_EQ(chart->legend->itemCount(), 6);
    const QStringList names = {QStringLiteral("P=2年 T=60min"),  QStringLiteral("P=2年 T=120min"),
                               QStringLiteral("P=10年 T=60min"), QStringLiteral("P=10年 T=120min"),
                               QStringLiteral("P=50年 T=60min"), QStringLiteral("P=50年 T=120min")};
    std::set<std::pair<QRgb, int>> looks;
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i]->name(), names[i]);
        // The line is the storm's listed rows.
        const BatchStorm &storm = batch.storms[i / 2 * 3 + (i % 2) * 2];
        ASSERT_EQ(lines[i]->dataCount(), int(storm.rows.size()));
        EXPECT_EQ(lines[i]->data()->at(12)->value, storm.rows[12].Intensity);
        looks.insert({lines[i]->pen().color().rgb(), int(lines[i]->pen().style())});
    }
    // Colour by period, style by duration: every line looks different.
    EXPECT_EQ(looks.size(), 6u);
    EXPECT_EQ(lines[0]->pen().color(), lines[1]->pen().color());
    EXPECT_EQ(lines[0]->pen().style(), lines[2]->pen().style());
    EXPECT_NE(lines[0]->pen().style(), lines[1]->pen().style());

    const RgbImage picture = RenderOffScreen(*chart);
    EXPECT_EQ(picture.width, 480);
    EXPECT_EQ(picture.height, 360);
    EXPECT_EQ(picture.pixels.size(), 480 * 360 * 3);
    EXPECT_TRUE(drawsSomething(picture));
}

TEST(BatchCharts, BlockStormsAreDrawnAsStepsToTheirEnd)
{
    QTemporaryDir dir;
    const StormBatchOutcome batch = batchOf(dir, {2}, {62}, CalcMode::Block);
    const auto chart = BatchCompareChart(batch.storms, QSize(300, 200), {});
    const QList<QCPGraph *> lines = linesOf(*chart);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0]->lineStyle(), QCPGraph::lsStepLeft);
    // Steps start at 0, 5, .., 60; the last, [60, 62), is held to the end.
    ASSERT_EQ(lines[0]->dataCount(), 13 + 1);
    EXPECT_EQ(lines[0]->data()->at(13)->key, 62);
    EXPECT_EQ(lines[0]->data()->at(13)->value, batch.storms[0].rows.back().Intensity);
    EXPECT_EQ(chart->xAxis->range().upper, 62);
}

TEST(BatchCharts, IdfChartHasACurvePerPeriodAndLogAxesWhenAsked)
{
    const QList<double> periods = {2, 10, 0, 50}; // P = 0 has no logarithm: an empty curve
    for (const bool logAxes : {false, true}) {
        SCOPED_TRACE(logAxes);
        const auto chart = BatchIdfChart(StartUpStorm(), periods, 1440, logAxes, QSize(640, 400), {});
        const QList<QCPGraph *> curves = linesOf(*chart);
        ASSERT_EQ(curves.size(), 4);
        EXPECT_EQ(curves[1]->name(), QStringLiteral("P=10年"));
        EXPECT_EQ(curves[2]->dataCount(), 0);
        // From one minute to the longest duration, on the formula.
        for (const int i : {0, 1, 3}) {
            Storm storm = StartUpStorm();
            storm.period = periods[i];
            const auto data = curves[i]->data();
            ASSERT_GT(data->size(), 100);
            EXPECT_DOUBLE_EQ(data->constBegin()->key, 1);
            EXPECT_DOUBLE_EQ((data->constEnd() - 1)->key, 1440);
            EXPECT_DOUBLE_EQ((data->constEnd() - 1)->value, *FormulaIntensity(storm, 1440));
        }
        EXPECT_GT(curves[3]->data()->constBegin()->value, curves[0]->data()->constBegin()->value);

        const QCPAxis::ScaleType scale = logAxes ? QCPAxis::stLogarithmic : QCPAxis::stLinear;
        EXPECT_EQ(chart->xAxis->scaleType(), scale);
        EXPECT_EQ(chart->yAxis->scaleType(), scale);
        const RgbImage picture = RenderOffScreen(*chart);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, 400);
        EXPECT_TRUE(drawsSomething(picture));
        // Drawing keeps the batch's ranges: a log axis starts just below the lowest value.
        const double lowest = (curves[0]->data()->constEnd() - 1)->value;
        if (logAxes) {
            EXPECT_GT(chart->yAxis->range().lower, lowest / 2);
            EXPECT_LT(chart->yAxis->range().lower, lowest);
        } else {
            EXPECT_EQ(chart->yAxis->range().lower, 0);
        }
        EXPECT_DOUBLE_EQ(chart->xAxis->range().lower, 1);
    }
}

TEST(BatchCharts, LogAxesLabelOneTwoFiveOfEveryDecade)
{
    const auto chart = BatchIdfChart(StartUpStorm(), {2, 50}, 1440, true, QSize(640, 400), {});
    RenderOffScreen(*chart);
    struct Case
    {
        QCPAxis *axis;
        QList<double> expected; // the 1-2-5 steps the range holds
    };
    const Case cases[] = {
        {chart->xAxis, {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}},
        {chart->yAxis, {0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.axis->label().toStdString());
        const QCPRange range = c.axis->range();
        QList<double> shown;
        QStringList labels;
        for (int i = 0; i < c.axis->tickVector().size(); ++i) {
            if (range.contains(c.axis->tickVector()[i])) {
                shown.append(c.axis->tickVector()[i]);
                labels.append(c.axis->tickVectorLabels()[i]);
            }
        }
        QList<double> expected;
        QStringList expectedLabels;
        for (const double value : c.expected) {
            if (range.contains(value)) {
                expected.append(value);
                expectedLabels.append(QString::number(value, 'g', 6));
            }
        }
        ASSERT_GE(expected.size(), 6) << range.lower << " to " << range.upper;
        ASSERT_EQ(shown.size(), expected.size()) << labels.join(u' ').toStdString();
        for (int i = 0; i < shown.size(); ++i)
            EXPECT_DOUBLE_EQ(shown[i], expected[i]);
        EXPECT_EQ(labels, expectedLabels);
        // The other whole multiples mark the decades between the labels.
        EXPECT_TRUE(c.axis->subTicks());
    }
}

TEST(BatchCharts, LogTickerKeepsNarrowAndWideRangesReadable)
{
    StyledPlot plot;
    plot.prepareOffScreen(QSize(400, 300));
    StyledPlot::setLogarithmic(plot.yAxis);
    struct Case
    {
        double lower;
        double upper;
        QList<double> ticks;
    };
    const Case cases[] = {
        {3.5, 8.5, {4, 5, 6, 7, 8}},                            // less than two 1-2-5 steps: every multiple
        {0.5, 1e8, {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8}}, // more than six decades: powers of ten
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.lower << " to " << c.upper);
        plot.yAxis->setRange(c.lower, c.upper);
        plot.replot(QCustomPlot::rpImmediateRefresh);
        QList<double> shown;
        for (const double tick : plot.yAxis->tickVector())
            if (plot.yAxis->range().contains(tick))
                shown.append(tick);
        ASSERT_EQ(shown.size(), c.ticks.size());
        for (int i = 0; i < shown.size(); ++i)
            EXPECT_NEAR(shown[i], c.ticks[i], 1e-9 * c.ticks[i]);
    }
}

} // namespace
