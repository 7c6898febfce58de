// The axes' maxima shared by the window and the pictures: finite, and
// containing every value that can be drawn.
#include "chart/ChartPicture.h"

#include "chart/StormChart.h"
#include "model/RainGenerator.h"

#include <QLabel>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double Largest = std::numeric_limits<double>::max();

RainPoints rowsOf(std::initializer_list<std::pair<double, double>> values)
{
    RainPoints rows;
    double minute = 0;
    for (const auto &[intensity, overall] : values)
        rows.push_back(RainPoint{minute++, intensity, overall});
    return rows;
}

TEST(AxisMaxima, PeaksLeaveOutWhatCannotBeDrawn)
{
    struct Case
    {
        const char *name;
        RainPoints rows;
        double intensity;
        double overall;
    };
    const Case cases[] = {
        {"none", {}, 0, 0},
        {"plain", rowsOf({{1, 1}, {3, 4}, {2, 6}}), 3, 6},
        {"not a number first", rowsOf({{Nan, Nan}, {3, 4}, {2, 6}}), 3, 6},
        {"not a number later", rowsOf({{1, 1}, {Nan, Nan}, {2, 6}}), 2, 6},
        {"infinite", rowsOf({{Inf, 1}, {2, -Inf}}), 2, 1},
        {"nothing finite", rowsOf({{Nan, Inf}}), 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SeriesPeaks peaks = SeriesPeaksOf(c.rows);
        EXPECT_EQ(peaks.intensity, c.intensity);
        EXPECT_EQ(peaks.overall, c.overall);
    }
}

TEST(AxisMaxima, ScaleBySeriesShownAndStayFinite)
{
    const AxisMaxima current{7, 8};
    struct Case
    {
        SeriesPeaks peaks;
        bool bars;
        bool line;
        double left;
        double right;
    };
    const Case cases[] = {
        {{3, 60}, true, true, 6, 120},
        {{3, 60}, true, false, 7, 1.1 * 60},
        {{3, 60}, false, true, 1.1 * 3, 8},
        {{3, 60}, false, false, 7, 8},
        {{1e308, 1e308}, true, true, Largest, Largest}, // twice the peak overflows
        {{Largest, 1}, false, true, Largest, 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.peaks.intensity << ' ' << c.bars << c.line);
        const AxisMaxima maxima = ScaledAxisMaxima(c.peaks, c.bars, c.line, current);
        EXPECT_EQ(maxima.left, c.left);
        EXPECT_EQ(maxima.right, c.right);
    }
}

TEST(AxisMaxima, PictureAndWindowScaleTheSameRowsAlike)
{
    const RainPoints rows = rowsOf({{Nan, 1}, {3, 4}, {2, Nan}});
    const ChartScene scene = StormScene(rows, StartUpStorm(), 4, {});
    EXPECT_EQ(scene.leftMaximum, 6);
    EXPECT_EQ(scene.rightMaximum, 8);

    StormChart chart;
    chart.setPoints(rows);
    chart.scaleAxes(SeriesPeaksOf(rows));
    EXPECT_EQ(chart.leftMaximum(), scene.leftMaximum);
    EXPECT_EQ(chart.rightMaximum(), scene.rightMaximum);
    EXPECT_TRUE(std::isfinite(chart.yAxis->range().upper));
    EXPECT_TRUE(std::isfinite(chart.yAxis2->range().upper));
}

// Bars far denser than the pixels still show: each pixel column holds its
// longest bar, one pixel wide, so the cumulative rainfall reads as a filled
// area hanging from the top however long the storm.
TEST(StormChartBars, DenseBarsShowAsTheirEnvelope)
{
    RainPoints rows;
    for (int k = 0; k <= 100000; ++k)
        rows.push_back(RainPoint{double(k), 0.01, 0.01 * k});
    StormChart chart;
    chart.resize(640, 400);
    chart.setPoints(rows);
    chart.intensitySeries()->setVisible(false);
    chart.scaleAxes(SeriesPeaksOf(rows));
    const QImage picture = chart.toPixmap(640, 400).toImage();

    const QRect plot = chart.axisRect()->rect();
    int coloured = 0;
    for (int x = plot.left() + 2; x < plot.right() - 1; ++x)
        coloured += QColor(picture.pixel(x, plot.top() + 4)).lightness() < 200;
    EXPECT_GT(coloured, (plot.width() - 3) * 9 / 10);
}

// The line's marks where points are denser than the pixels: a few per pixel
// column, the column's highest and lowest among them, however flat the
// column; sparse points each keep their mark.
class ShownMarks : public IntensityLine
{
public:
    using IntensityLine::IntensityLine;
    QVector<QCPGraphData> marks() const
    {
        QVector<QCPGraphData> marks;
        getOptimizedScatterData(&marks, data()->constBegin(), data()->constEnd());
        return marks;
    }
};

TEST(StormChartLine, DenseMarksAreThinnedPerPixelColumn)
{
    struct Case
    {
        int rows;
        bool thinned;
    };
    for (const Case c : {Case{200000, true}, Case{150, false}}) {
        SCOPED_TRACE(c.rows);
        QCustomPlot plot;
        plot.resize(640, 400);
        auto *line = new ShownMarks(plot.xAxis, plot.yAxis);
        // A sharp peak in the middle of a flat floor.
        const int peak = c.rows / 2;
        for (int k = 0; k < c.rows; ++k)
            line->addData(k, k == peak ? 6 : 1);
        plot.xAxis->setRange(-0.5, c.rows - 0.5);
        plot.yAxis->setRange(0, 10);
        plot.replot(QCustomPlot::rpImmediateRefresh);

        const QVector<QCPGraphData> marks = line->marks();
        const bool peakMarked = std::any_of(marks.begin(), marks.end(),
                                            [&](const QCPGraphData &mark) { return mark.key == peak; });
        EXPECT_TRUE(peakMarked);
        if (c.thinned)
            EXPECT_LE(marks.size(), 3 * plot.axisRect()->width() + 10);
        else
            EXPECT_EQ(marks.size(), c.rows);
    }
}

// The time axis is labelled at steps that divide the storm, and at its end.
TEST(StormTimeAxis, TicksDivideTheStormAndLabelItsEnd)
{
    struct Case
    {
        double end;
        int maxTicks;
        double step;
        QVector<double> ticks; // empty: not checked
    };
    const Case cases[] = {
        {120, 9, 15, {0, 15, 30, 45, 60, 75, 90, 105, 120}},
        {120, 6, 20, {0, 20, 40, 60, 80, 100, 120}},
        {180, 8, 30, {}},
        {1440, 8, 180, {}},
        {1440, 12, 120, {}},
        {90, 10, 10, {}},
        // Nothing within the count divides 97: its end is a tick of its own.
        {97, 5, 20, {0, 20, 40, 60, 80, 97}},
        // The step's last tick gives way where it would crowd the end's label.
        {87, 5, 20, {0, 20, 40, 60, 87}},
        {97.5, 10, 10, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 97.5}},
        {20160, 8, 2880, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.end);
        EXPECT_EQ(StormTimeTickStep(c.end, c.maxTicks), c.step);
        const QVector<double> ticks = StormTimeTicks(c.end, c.step);
        EXPECT_EQ(ticks.last(), c.end);
        if (!c.ticks.isEmpty()) {
            EXPECT_EQ(ticks, c.ticks);
        }
    }
}

// The labels the user has not moved lie as a block where they cover no
// point or bar when there is room; where there is none, off the line (its
// peak above all) if they can; inside the plot area in any case.
TEST(StormChartLabels, TheBlockKeepsOffTheData)
{
    Storm storm = StartUpStorm();
    RainPoints rows;
    ASSERT_FALSE(CalcRainPoints(storm, rows, false, 4));
    enum class Room
    {
        Free,     // covers nothing
        LineFree, // covers bars only
        None      // too small: at the plot's top left
    };
    const std::pair<QSize, Room> cases[] = {
        {QSize(600, 480), Room::Free}, {QSize(420, 330), Room::LineFree}, {QSize(300, 200), Room::None}};
    for (const auto &[size, room] : cases) {
        SCOPED_TRACE(size.width());
        StormChart chart;
        chart.prepareOffScreen(size);
        chart.setPoints(rows, storm.duration);
        chart.scaleAxes(SeriesPeaksOf(rows));
        for (int i = 0; i < StormChart::ValueLabelCount; ++i) {
            chart.setValueLabelText(i, QStringLiteral("降雨总量H=60.6345mm"));
            chart.valueLabel(i)->show();
        }
        (void)RenderOffScreen(chart);
        const QRect plot = chart.axisRect()->rect();
        QRect block;
        for (int i = 0; i < StormChart::ValueLabelCount; ++i)
            block |= chart.valueLabel(i)->geometry();
        if (room == Room::None) {
            EXPECT_TRUE(plot.contains(block.topLeft()));
            EXPECT_LE((block.topLeft() - plot.topLeft()).manhattanLength(), 8);
            continue;
        }
        EXPECT_TRUE(plot.contains(block));
        for (const RainPoint &row : rows) {
            const double x = chart.xAxis->coordToPixel(row.Time);
            EXPECT_FALSE(block.contains(QPoint(int(x), int(chart.yAxis->coordToPixel(row.Intensity)))))
                << row.Time;
            if (room == Room::Free) {
                EXPECT_FALSE(block.contains(QPoint(int(x), int(chart.yAxis2->coordToPixel(row.Overall)))))
                    << row.Time;
            }
        }
    }
}

} // namespace
