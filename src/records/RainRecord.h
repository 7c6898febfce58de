#pragma once

#include "records/RecordFile.h"

#include <QStringList>
#include <cstdint>
#include <vector>

// Several record files merged into one series of intervals, and how complete
// each year of it is.

// What an interval no file lists means.
enum class RecordGaps : std::uint8_t
{
    Zero,    // the files list only the intervals with rain: an unlisted one had none
    Missing, // the files list every interval: an unlisted one is a gap in the record
};

// A gauge cannot measure more than this in one minute; more is a wrong value.
inline constexpr double DefaultMaxDepthPerMinute = 100;
// The share of its intervals a year needs to be used, in percent.
inline constexpr double DefaultMinCompleteness = 90;
// The longest span of years a record may cover.
inline constexpr int MaxRecordSpanYears = 200;

struct RecordSettings
{
    RecordFormat format;
    int step = 0; // minutes; 0: the most common difference of successive timestamps
    RecordGaps gaps = RecordGaps::Zero;
    double maxDepthPerMinute = DefaultMaxDepthPerMinute; // mm
    double minCompleteness = DefaultMinCompleteness;     // percent
};

// One calendar year of the record. A year counts its whole calendar year:
// a record that starts in July leaves its first year half complete.
// With RecordGaps::Zero the files are taken to cover every year they list
// anything in, so such a year is complete and a year without a single row is
// empty; with RecordGaps::Missing only the listed intervals are present.
struct RecordYear
{
    int year = 0;
    std::int64_t intervals = 0; // in the calendar year
    std::int64_t present = 0;
    std::int64_t rows = 0;  // listed in the files
    std::int32_t first = 0; // first and last listed timestamp (minutes, negative before 1970); only with rows
    std::int32_t last = 0;
    std::int64_t total = 0; // depth, thousandths of a millimetre
    bool used = false;
    QString reason; // why a year is left out

    double percent() const { return intervals ? 100.0 * double(present) / double(intervals) : 0; }
};

// A year's completeness in percent as the results show it: one decimal, or
// more where one would round it onto the other side of `threshold`
// ("99.999" rather than "100.0" below 100 %).
QString CompletenessText(double percent, double threshold);

// The depth of an interval no record covers.
inline constexpr std::int32_t MissingDepth = -1;

struct RainRecord
{
    QStringList files;
    int step = 1; // minutes
    bool stepDetected = false;
    RecordGaps gaps = RecordGaps::Zero;
    double minCompleteness = DefaultMinCompleteness;
    std::int32_t start = 0;               // minute of the first interval: 1 January 00:00 of the first year
    std::vector<std::int32_t> depths;     // per interval, thousandths of a millimetre, or MissingDepth
    std::vector<std::int64_t> yearStarts; // interval index where each year starts, one past the end last
    std::vector<RecordYear> years;
    std::int64_t rows = 0;       // rows read
    std::int64_t duplicates = 0; // rows listed twice with the same depth, counted once

    int usedYears() const;
};

// The files a list of paths means: a file as it is, a folder as every *.csv
// and *.txt in it, sorted by name. Raises PluvionError for a folder that
// cannot be read (with the system's reason) or holds none.
QStringList RecordFilesOf(const QStringList &paths);

// The record of rows already read. Raises PluvionError for a given step the
// timestamps contradict (they are all a multiple of it apart), a timestamp off the
// step, a depth over the gauge's limit, a timestamp listed twice with two
// depths (naming both files and lines), or a record too long.
RainRecord MergeRecordRows(std::vector<RecordRows> files, const RecordSettings &settings);

// Reads and merges the files. `progress` gets the share done.
RainRecord ReadRainRecord(const QStringList &paths, const RecordSettings &settings,
                          const RecordProgress &progress = {});
