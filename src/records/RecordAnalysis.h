#pragma once

#include "fit/FitCase.h"
#include "records/PeakRatio.h"
#include "records/RainRecord.h"
#include "records/RecordSamples.h"

#include <QStringList>

// From record files to what a formula is fitted to, in one call: the record,
// its samples and the peak ratio they show.
struct RecordAnalysis
{
    RainRecord record;
    RecordSamples samples;
    PeakRatio peak;
};

// One run from records, as the window and the command line ask for it: the
// files, how to read them, how to sample them and how to fit the samples.
struct RecordsRequest
{
    QStringList paths; // files, and folders of record files
    RecordSettings read;
    RecordSampling sampling;
    FitSettings fit;
};

// Reads and merges the files, takes the samples and measures r. `progress`
// gets the share of the whole (reading is most of it) and may stop it (kind
// Cancelled). Raises PluvionError for bad files or durations, and when no
// year is complete enough to be sampled.
RecordAnalysis AnalyseRecords(const QStringList &paths, const RecordSettings &settings,
                              const RecordSampling &sampling, const RecordProgress &progress = {});
RecordAnalysis AnalyseRecords(const RecordsRequest &request, const RecordProgress &progress = {});

// Why no samples can be taken: no year reaches the completeness threshold.
QString NoUsedYearMessage(double minCompleteness);

// The measured r as a storm takes it and the results show it: three decimals.
double StormPeakRatio(const PeakRatio &peak);

// What a fit report lists of the records.
RecordsSummary SummarizeRecords(const RainRecord &record, const RecordSamples &samples,
                                const PeakRatio &peak);

// The fit of the analysis' samples, with its records summary; the annual
// multiple sampling counts the used years.
FitOutcome FitRecordSamples(const RecordAnalysis &analysis, FitSettings settings);
