#include "chart/FitChart.h"

#include "chart/StyledPlot.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

namespace {

QColor PeriodColour(size_t index, size_t count)
{
    // From blue (frequent) to red (rare).
    const double share = count > 1 ? double(index) / double(count - 1) : 0.0;
    return QColor::fromHsvF(0.66 * (1.0 - share), 0.85, 0.85);
}

} // namespace

void DrawFitChart(QCustomPlot &plot, const FitOutcome &o, bool logAxes, const BootstrapResult *bands)
{
    plot.clearGraphs();
    plot.legend->setVisible(true);
    plot.legend->setFont(QFont(plot.font().family(), 8));
    plot.xAxis->setLabel(QStringLiteral("历时 t (min)"));
    plot.yAxis->setLabel(QStringLiteral("暴雨强度 i (mm/min)"));
    const auto scale = logAxes ? QCPAxis::stLogarithmic : QCPAxis::stLinear;
    plot.xAxis->setScaleType(scale);
    plot.yAxis->setScaleType(scale);
    if (logAxes) {
        plot.xAxis->setTicker(QSharedPointer<DecadeStepsTicker>(new DecadeStepsTicker));
        plot.yAxis->setTicker(QSharedPointer<DecadeStepsTicker>(new DecadeStepsTicker));
    } else {
        plot.xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
        plot.yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    }
    const IntensityTable &table = o.table;
    if (table.durations.empty())
        return;
    const double tMin = *std::min_element(table.durations.begin(), table.durations.end());
    const double tMax = *std::max_element(table.durations.begin(), table.durations.end());
    double iMin = table.values.empty() ? 0.0 : *std::min_element(table.values.begin(), table.values.end());
    double iMax = table.values.empty() ? 1.0 : *std::max_element(table.values.begin(), table.values.end());
    for (size_t p = 0; p < table.periods.size(); ++p) {
        const QColor colour = PeriodColour(p, table.periods.size());
        QVector<double> ts, is;
        constexpr int Steps = 120;
        for (int k = 0; k <= Steps; ++k) {
            const double t =
                logAxes ? tMin * std::pow(tMax / tMin, double(k) / Steps) : tMin + (tMax - tMin) * k / Steps;
            ts.append(t);
            is.append(FormulaIntensity(o.total, t, table.periods[p]));
        }
        // The band first, so that the curve and the points lie on it.
        if (bands && !bands->formulas.empty()) {
            QVector<double> lows, highs;
            for (const double t : std::as_const(ts)) {
                const Band band = FormulaBand(*bands, t, table.periods[p]);
                lows.append(band.lower);
                highs.append(band.upper);
                iMax = std::max(iMax, band.upper);
                iMin = std::min(iMin, band.lower);
            }
            QColor light = colour;
            light.setAlphaF(0.18);
            QCPGraph *lower = plot.addGraph();
            lower->removeFromLegend();
            lower->setPen(Qt::NoPen);
            lower->setData(ts, lows, true);
            QCPGraph *upper = plot.addGraph();
            upper->removeFromLegend();
            upper->setPen(Qt::NoPen);
            upper->setBrush(light);
            upper->setData(ts, highs, true);
            upper->setChannelFillGraph(lower);
        }
        QCPGraph *curve = plot.addGraph();
        curve->setName(QStringLiteral("P=%1a").arg(table.periods[p]));
        curve->setPen(QPen(colour, 1.5));
        curve->setData(ts, is, true);

        QCPGraph *points = plot.addGraph();
        points->removeFromLegend();
        points->setLineStyle(QCPGraph::lsNone);
        points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, colour, Qt::white, 5));
        QVector<double> pt, pi;
        for (size_t d = 0; d < table.durations.size(); ++d) {
            pt.append(table.durations[d]);
            pi.append(table.at(d, p));
        }
        points->setData(pt, pi);
    }
    if (logAxes) {
        plot.xAxis->setRange(tMin * 0.9, tMax * 1.1);
        plot.yAxis->setRange(iMin * 0.8, iMax * 1.25);
    } else {
        plot.xAxis->setRange(0, tMax * 1.05);
        plot.yAxis->setRange(0, iMax * 1.1);
    }
    // The legend in a row of its own under the axes, so that it never covers a point.
    PlaceLegendBelow(plot, 1);
    plot.replot();
}

QByteArray FitChartPng(const FitOutcome &outcome, QSize size, bool logAxes, const BootstrapResult *bands)
{
    QCustomPlot plot;
    plot.resize(size);
    DrawFitChart(plot, outcome, logAxes, bands);
    const QImage image = plot.toPixmap(size.width(), size.height()).toImage();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
