#pragma once

#include "fit/FitTable.h"
#include "fit/FrequencyAnalysis.h"
#include "io/FileBytes.h"
#include "records/RainRecord.h"

#include <QByteArray>
#include <vector>

// Samples from the record: for each duration the largest depths over sliding
// windows that step by the record's step.
//
// A window belongs to the year it starts in, and only windows of used years
// are taken. A window that covers any missing interval is not taken at all:
// a gap is never counted as a dry spell, so a storm cut by a gap gives only
// the windows wholly on one side of it.

// The standard durations, minutes.
inline const std::vector<int> StandardRecordDurations{5, 10, 15, 20, 30, 45, 60, 90, 120, 150, 180};
// The longest duration taken from records: a day.
inline constexpr int MaxRecordDuration = 1440;

struct RecordSampling
{
    SamplingMethod method = SamplingMethod::AnnualMaximum;
    std::vector<int> durations = StandardRecordDurations;
    int count = 0; // annual multiple: how many per duration; 0 for 4 × the years used
};

// One sampled window.
struct RecordWindow
{
    std::int64_t start = 0; // interval index in the record
    std::int64_t depth = 0; // thousandths of a millimetre
    int peak = 0;           // index of the window's largest interval (the first of equals)
    int year = 0;           // the year it starts in
};

struct DurationWindows
{
    int duration = 0;                  // minutes
    std::vector<RecordWindow> windows; // annual maximum: by year; annual multiple: largest first
};

struct RecordSamples
{
    SamplingMethod method = SamplingMethod::AnnualMaximum;
    int step = 1;
    int years = 0; // used years
    std::vector<DurationWindows> durations;
};

// Raises PluvionError unless the durations are distinct, at least three,
// multiples of the step and at most MaxRecordDuration.
void CheckRecordDurations(const std::vector<int> &durations, int step);

// The samples: annual maximum, the largest window of each used year (a year
// with no rain in any window gives no sample); annual multiple, the largest
// windows of all used years chosen greedily, largest first, skipping any
// window that overlaps one already chosen of the same duration.
// Of a run of equally deep neighbouring windows (a storm shorter than the
// window, dry on both sides) the middle one is taken, so the storm sits in
// the middle of its window. `progress` gets the share done. Raises
// PluvionError when no year is used.
RecordSamples TakeRecordSamples(const RainRecord &record, const RecordSampling &sampling,
                                const RecordProgress &progress = {});

// The samples as the formula fit reads them.
SampleTable RecordSampleTable(const RecordSamples &samples);

// The sample file: first row a label and the durations, then a row per year
// (annual maximum) or per rank (annual multiple), depths in mm; a year
// without a sample of a duration leaves its cell blank. GBK, CR LF.
QStringList RecordSampleLines(const RecordSamples &samples);
QByteArray RecordSampleFileBytes(const RecordSamples &samples);
void WriteRecordSamples(const FileTarget &target, const RecordSamples &samples);
