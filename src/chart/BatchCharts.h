#pragma once

#include "chart/StyledPlot.h"
#include "export/PictureFiles.h"
#include "export/StormBatch.h"

#include <QList>
#include <QSize>
#include <memory>

// The batch's two pictures, drawn off screen in the house style (draw them
// with RenderOffScreen) with the window's axis titles and fonts; every graph
// of the plot is one of the batch's lines.

// The hyetographs of the batch overlaid: one line per storm that succeeded
// and kept its rows, in batch order, named "P=2年 T=120min" in a legend below
// the plot (a row per return period when the durations fit across). With
// several return periods the colour follows the period and the line style the
// duration; with one period the colour follows the duration. Block-average
// storms are drawn as steps, each value held to the next step and the last to
// the end of the storm. The axes span 0 to the longest storm and 0 to 1.1
// times the highest intensity.
std::unique_ptr<StyledPlot> BatchCompareChart(const QList<BatchStorm> &storms, QSize size,
                                              const Separators &sep);

// Intensity-duration curves of the formula, i = a / (t + b)^n in mm/min, one
// per return period in list order, named "P=2年" in a legend inside the plot.
// The curves span durations from 1 minute to `longestDuration` (from a tenth
// of it when it is 1 minute or less); a period whose formula has no finite
// value gets an empty curve. With `logAxes` both axes are logarithmic.
std::unique_ptr<StyledPlot> BatchIdfChart(const Storm &formula, const QList<double> &periods,
                                          double longestDuration, bool logAxes, QSize size,
                                          const Separators &sep);
