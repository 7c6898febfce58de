#pragma once

#include "records/PeakRatio.h"

#include <QStringList>

// The records' results as lines of comma-separated text, as the command line
// prints them and a report can take them over.

// What was read: files, rows, step and what an unlisted interval means.
QString RecordReadLine(const RainRecord &record);

// A header and one line per calendar year: first and last listed time, rows,
// completeness, total depth, and whether it is used or why not.
QStringList RecordYearLines(const RainRecord &record);

// A header and one line per duration: events, mean r, standard deviation,
// whether it counts towards r; then the line with r and the durations it is
// the mean of.
QStringList PeakRatioLines(const PeakRatio &peak);
