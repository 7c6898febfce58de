#pragma once

#include "fit/Bootstrap.h"
#include "records/RecordAnalysis.h"

// The records' samples resampled by whole years (see fit/Bootstrap.h).

// Every used year is a slot, the years that gave samples first in calendar
// order, then one slot for each used year whose windows had no rain; each
// window is a sample of its year's slot with its peak ratio (the rule of
// MeasurePeakRatio). Annual multiple: a resample keeps as many of the drawn
// years' windows per duration, largest first, as the records gave, which is
// the count rule the samples were taken by. Only the chosen windows are
// known, so a resample that draws fewer of them has fewer samples.
ResamplingInput RecordResampling(const RecordSamples &samples);

// The bands of the fit FitRecordSamples makes (its records summary too) and
// of r.
BootstrapResult BootstrapRecords(const RecordAnalysis &analysis, BootstrapSettings settings,
                                 const BootstrapProgress &progress = {});
