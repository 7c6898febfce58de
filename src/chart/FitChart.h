#pragma once

#include "fit/Bootstrap.h"
#include "fit/FitCase.h"

#include <QByteArray>
#include <QSize>

class QCustomPlot;

// The chart of a formula fit: the table's intensities as points against the
// fitted total formula's curves, one colour per return period, intensity
// over duration; optionally on log–log axes. With the fit's confidence bands
// (of this outcome), each period's band is a light area of its colour around
// its curve.
void DrawFitChart(QCustomPlot &plot, const FitOutcome &outcome, bool logAxes,
                  const BootstrapResult *bands = nullptr);

// The chart drawn off screen as PNG bytes, for the fit report.
QByteArray FitChartPng(const FitOutcome &outcome, QSize size, bool logAxes = false,
                       const BootstrapResult *bands = nullptr);
