#pragma once

#include "fit/FitCase.h"

#include <QByteArray>
#include <QSize>

class QCustomPlot;

// The chart of a formula fit: the table's intensities as points against the
// fitted total formula's curves, one colour per return period, intensity
// over duration; optionally on log–log axes.
void DrawFitChart(QCustomPlot &plot, const FitOutcome &outcome, bool logAxes);

// The chart drawn off screen as PNG bytes, for the fit report.
QByteArray FitChartPng(const FitOutcome &outcome, QSize size, bool logAxes = false);
