// The drawing pluvion-cli loads only when a run draws: the chart library
// behind the table of CliDrawing.
#include "CliDrawing.h"
#include "chart/BatchCharts.h"
#include "chart/FitChart.h"
#include "chart/StyledPlot.h"

#include <QApplication>

namespace {

std::unique_ptr<QCoreApplication> StartApplication(int &argc, char **argv)
{
    // Off screen: nothing is shown, and no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

RgbImage CompareChart(const QList<BatchStorm> &storms, QSize size, const Separators &sep)
{
    return RenderOffScreen(*BatchCompareChart(storms, size, sep));
}

RgbImage IdfChart(const Storm &formula, const QList<double> &periods, double longestDuration, bool logAxes,
                  QSize size, const Separators &sep)
{
    return RenderOffScreen(*BatchIdfChart(formula, periods, longestDuration, logAxes, size, sep));
}

const CliDrawing Table{StartApplication, StormScene, RenderChart, FitChartPng, CompareChart, IdfChart};

} // namespace

const CliDrawing &BuiltInDrawing()
{
    return Table;
}

extern "C" Q_DECL_EXPORT const CliDrawing *pluvion_cli_drawing()
{
    return &Table;
}
