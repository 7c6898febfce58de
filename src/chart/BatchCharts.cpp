#include "chart/BatchCharts.h"

#include "chart/ChartFonts.h"
#include "chart/StyledPlot.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int IdfSamples = 240;

// A titled plot with the window's axis titles, ready for the batch's lines.
std::unique_ptr<StyledPlot> emptyChart(QSize size, const QString &title)
{
    auto chart = std::make_unique<StyledPlot>();
    chart->prepareOffScreen(size);
    StyledPlot::styleAxis(chart->xAxis, QStringLiteral("降雨历时(min)"), 0);
    StyledPlot::styleAxis(chart->yAxis, QStringLiteral("降雨强度(mm/min)"), 3);

    chart->plotLayout()->insertRow(0);
    chart->plotLayout()->addElement(0, 0,
                                    new QCPTextElement(chart.get(), title, ChartFonts::yaHei(10, true)));
    chart->legend->setFont(ChartFonts::yaHei(8));
    chart->legend->setIconSize(20, 10);
    chart->legend->setVisible(true);
    return chart;
}

QPen linePen(int colourIndex, int styleIndex, qreal width)
{
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                          Qt::DashDotDotLine};
    const QList<QColor> &palette = StyledPlot::seriesColours();
    return QPen(palette[colourIndex % palette.size()], width, styles[styleIndex % std::size(styles)]);
}

// The place of `value` among the distinct values met so far, added when new.
int distinctIndex(QList<double> &seen, double value)
{
    const qsizetype at = seen.indexOf(value);
    if (at >= 0)
        return int(at);
    seen.append(value);
    return int(seen.size() - 1);
}

// Moves the legend below the plot, its entries in rows across the chart's
// width: `perRow` to a row (one period's storms) when they fit, otherwise as
// many as fit.
} // namespace

std::unique_ptr<StyledPlot> BatchCompareChart(const QList<BatchStorm> &storms, QSize size,
                                              const Separators &sep)
{
    auto chart = emptyChart(size, QStringLiteral("芝加哥雨型对比"));

    QList<double> periods;
    QList<double> durations;
    for (const BatchStorm &entry : storms) {
        distinctIndex(periods, entry.storm.period);
        distinctIndex(durations, entry.storm.duration);
    }
    const bool colourByPeriod = periods.size() > 1;

    double longest = 0;
    double highest = 0;
    for (const BatchStorm &entry : storms) {
        if (entry.failure || entry.rows.empty())
            continue;
        const Storm &storm = entry.storm;
        const int period = int(periods.indexOf(storm.period));
        const int duration = int(durations.indexOf(storm.duration));
        QCPGraph *line = chart->addGraph(chart->xAxis, chart->yAxis);
        line->setName(QStringLiteral("P=%1年 T=%2min")
                          .arg(GeneralNumberG(storm.period, sep), GeneralNumberG(storm.duration, sep)));
        line->setPen(colourByPeriod ? linePen(period, duration, 1.5) : linePen(duration, 0, 1.5));

        QVector<QCPGraphData> data;
        data.reserve(qsizetype(entry.rows.size()) + 1);
        for (const RainPoint &row : entry.rows) {
            data.append(QCPGraphData(row.Time, row.Intensity));
            highest = std::max(highest, row.Intensity);
        }
        double end = entry.rows.back().Time;
        if (storm.mode == CalcMode::Block) {
            // Each step's average holds until the next step; the last one to T.
            line->setLineStyle(QCPGraph::lsStepLeft);
            end = storm.duration;
            data.append(QCPGraphData(end, entry.rows.back().Intensity));
        }
        line->data()->set(data, true);
        longest = std::max(longest, end);
    }
    chart->xAxis->setRange(0, longest > 0 ? longest : 1);
    chart->yAxis->setRange(0, highest > 0 ? 1.1 * highest : 1);
    PlaceLegendBelow(*chart, 2, colourByPeriod ? int(durations.size()) : 0);
    return chart;
}

std::unique_ptr<StyledPlot> BatchIdfChart(const Storm &formula, const QList<double> &periods,
                                          double longestDuration, bool logAxes, QSize size,
                                          const Separators &sep)
{
    auto chart = emptyChart(size, QStringLiteral("暴雨强度—历时曲线"));
    const double upper = std::isfinite(longestDuration) && longestDuration > 0 ? longestDuration : 1;
    const double lower = upper > 1 ? 1 : upper / 10;
    // Evenly spaced on a log scale: dense where the curves bend most.
    QList<double> minutes;
    for (int k = 0; k < IdfSamples; ++k)
        minutes.append(lower * std::pow(upper / lower, double(k) / (IdfSamples - 1)));
    minutes.back() = upper;

    double smallest = std::numeric_limits<double>::infinity();
    double highest = 0;
    for (int i = 0; i < periods.size(); ++i) {
        Storm storm = formula;
        storm.period = periods[i];
        QCPGraph *curve = chart->addGraph(chart->xAxis, chart->yAxis);
        curve->setName(QStringLiteral("P=%1年").arg(GeneralNumberG(periods[i], sep)));
        curve->setPen(linePen(i, 0, 2));
        QVector<QCPGraphData> data;
        data.reserve(IdfSamples);
        for (const double t : minutes) {
            const std::optional<double> intensity = FormulaIntensity(storm, t);
            if (!intensity)
                continue;
            data.append(QCPGraphData(t, *intensity));
            highest = std::max(highest, *intensity);
            if (*intensity > 0)
                smallest = std::min(smallest, *intensity);
        }
        curve->data()->set(data, true);
    }

    chart->xAxis->setRange(lower, upper);
    if (logAxes) {
        StyledPlot::setLogarithmic(chart->xAxis);
        StyledPlot::setLogarithmic(chart->yAxis);
        if (highest > 0)
            chart->yAxis->setRange(smallest / 1.25, highest * 1.25);
        else
            chart->yAxis->setRange(0.01, 1);
    } else {
        chart->yAxis->setRange(0, highest > 0 ? 1.1 * highest : 1);
    }
    return chart;
}
