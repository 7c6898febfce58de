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
// are taken. A window that covers missing intervals is taken with the depth
// measured in it: a gap inside a storm must not make the year's largest storm
// give way to a smaller one, and the year's largest depth is at least what
// was measured in any of its windows. Such a sample may be too small, so it
// is marked wherever samples are shown and saved.

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
    std::int64_t start = 0;   // interval index in the record
    std::int64_t depth = 0;   // thousandths of a millimetre
    int peak = 0;             // index of the window's largest interval (the first of equals)
    int year = 0;             // the year it starts in
    std::int64_t missing = 0; // missing intervals in the window: its depth is what was measured
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

// The `count` deepest windows of `width` intervals that start in used years
// and lie within the record, no two overlapping, chosen greedily: deeper
// first; among equals the one with fewer missing intervals (its depth is
// surer), then the earlier. In the order chosen; fewer when the record holds
// fewer windows with rain apart. Their peaks are not placed.
std::vector<RecordWindow> LargestIndependentWindows(const RainRecord &record, std::int64_t width,
                                                    size_t count);

// The samples: annual maximum, the largest window of each used year (a year
// with no rain in any window gives no sample); annual multiple, the largest
// windows of all used years chosen greedily, largest first, skipping any
// window that overlaps one already chosen of the same duration.
// Of a run of equally deep neighbouring windows (a storm shorter than the
// window, dry on both sides) the middle one is taken, so the storm sits in
// the middle of its window wherever it falls in the calendar. `progress`
// gets the share done. Raises PluvionError when no year is used.
RecordSamples TakeRecordSamples(const RainRecord &record, const RecordSampling &sampling,
                                const RecordProgress &progress = {});

// "2009 年 1440 分钟样本" (annual maximum) or "1440 分钟第 3 个样本（2009 年）"
// (annual multiple, the rank among the duration's samples, 0 the largest),
// followed by "的时段内缺测 60 分钟": what a note says of a sample whose window
// has missing intervals.
QString PartialSampleText(const RecordSamples &samples, const DurationWindows &series, size_t rank);

// The samples as the formula fit reads them.
SampleTable RecordSampleTable(const RecordSamples &samples);

// The sample file: first row a label and the durations, then a row per year
// (annual maximum) or per rank (annual multiple), depths in mm; a year
// without a sample of a duration leaves its cell blank. After the table, one
// line for each sample whose window has missing intervals:
// "注：2009 年 1440 分钟样本的时段内缺测 60 分钟，样本为已测雨量（偏小）".
// A note is one cell without a comma, which the sample reader takes for a
// row without samples, so the file still reads back as the same samples.
// `partial` (when given) gets the cells of those samples, each as its line
// (the header is line 0) and column (the label is column 0). GBK, CR LF.
QStringList RecordSampleLines(const RecordSamples &samples,
                              std::vector<std::pair<int, int>> *partial = nullptr);
QByteArray RecordSampleFileBytes(const RecordSamples &samples);
void WriteRecordSamples(const FileTarget &target, const RecordSamples &samples);
