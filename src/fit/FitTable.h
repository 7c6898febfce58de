#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The two kinds of rainfall statistics a storm-intensity formula is derived
// from, as read from comma-separated files that Excel writes (GBK, or UTF-8
// with or without a byte-order mark; CR LF or LF).

// What the values of an i–t–P table are.
enum class TableValueKind
{
    Intensity, // mm/min
    Depth      // mm over the duration, divided by the duration on reading
};

// Intensities (mm/min) by duration (minutes) and return period (years).
struct IntensityTable
{
    std::vector<double> durations; // one per row, distinct
    std::vector<double> periods;   // one per column, distinct
    std::vector<double> values;    // row-major: values[d * periods.size() + p]

    double at(size_t duration, size_t period) const { return values[duration * periods.size() + period]; }
    double &at(size_t duration, size_t period) { return values[duration * periods.size() + period]; }
};

// Sample depths (mm) per duration: one series per duration, missing samples left out.
struct SampleTable
{
    std::vector<double> durations;            // distinct
    std::vector<std::vector<double>> samples; // samples[d]: the depths of duration d
};

// The lines of a text file: UTF-8 when it starts with a byte-order mark or is
// valid UTF-8 throughout, GBK otherwise (the encoding Excel uses on Chinese Windows).
QStringList DecodeFitLines(const QByteArray &bytes);

// The largest data file the fit reads: a century of daily samples for many
// durations is far below it.
inline constexpr qint64 FitFileLimit = 16 * 1024 * 1024;

// What a table may hold. Real tables have a few dozen durations and periods
// and at most a few thousand samples per duration; a table beyond these is
// refused with the limit named, before anything is computed.
inline constexpr int MaxTableDurations = 60;
inline constexpr int MaxTablePeriods = 60;
inline constexpr int MaxSamplesPerDuration = 10000;
// The values a rain gauge can record: durations in minutes up to a week,
// return periods up to 10,000 years, intensities from 0.000001 to 100 mm/min
// (a table's depths are checked as the intensities they give) and sample
// depths from 0.001 to 5,000 mm. A value beyond them is refused, so that no sum of
// squares can vanish or overflow and no pass can come of one.
inline constexpr double MaxTableDuration = 10080;
inline constexpr double MaxTablePeriod = 10000;
inline constexpr double MinTableIntensity = 1e-6;
inline constexpr double MaxTableIntensity = 100;
inline constexpr double MinSampleDepth = 0.001;
inline constexpr double MaxSampleDepth = 5000;

// The cells of one comma-separated line, trimmed; a cell in double quotes may
// hold commas, and "" inside it stands for one quote.
QStringList SplitCsvLine(const QString &line);

// The table in the layout: first row a label cell, then the return periods in
// years; every further row a duration in minutes, then one value per period.
// Blank lines and blank cells after the last period are ignored. Raises
// PluvionError naming the row and column of what is wrong: a cell that is not
// a number, a value that is missing or not above 0, a duration or period
// that is not above 0 or appears twice, fewer than 3 durations, no period.
IntensityTable ParseIntensityTable(const QByteArray &bytes, TableValueKind kind);

// The samples in the layout: first row a label cell, then the durations in
// minutes; every further row a label, then one depth in mm per duration, a
// blank cell being a missing sample. Raises PluvionError as above; a duration
// with no sample at all is an error.
SampleTable ParseSampleTable(const QByteArray &bytes);

// The intensity table as the file layout above, intensities in mm/min (for
// showing a table derived from samples, and for the report).
QStringList IntensityTableLines(const IntensityTable &table);
