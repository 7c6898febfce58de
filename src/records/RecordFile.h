#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Rain-gauge records as station exports hold them: one row per interval, a
// timestamp and the depth fallen in that interval, in comma-, tab- or
// blank-separated text, GBK or UTF-8.

// What a column of a record file holds.
enum class RecordColumn : std::uint8_t
{
    Skip, // a column the records do not use (a station number, a flag)
    Time, // the whole timestamp: 2019-07-21 14:05, 2019/7/21 14:05, 201907211405, 2019-07-21T14:05:00
    Year, // the timestamp in separate columns, as meteorological minute data come
    Month,
    Day,
    Hour,
    Minute,
    Depth, // the depth fallen in the interval
};

// The unit of the depths: millimetres, or tenths of a millimetre as whole
// numbers, as station data often are.
enum class RecordUnit : std::uint8_t
{
    Millimetre,
    TenthMillimetre,
};

// How to read the files. Without columns, a header row names them (时间/日期时间/
// time/datetime, 年/月/日/时/分, year/month/day/hour/minute, 雨量/降雨量/depth/rain/
// precip; other names are skipped); a file without a header must then be the
// plain two-column form (timestamp, depth). Anything else is refused rather
// than guessed.
// Without a unit, the one the depth column's header names in brackets (雨量(mm),
// 雨量（0.1mm）, 雨量(毫米)) is used, millimetres where it names none; a unit
// given that contradicts the header's is refused.
struct RecordFormat
{
    std::vector<RecordColumn> columns;
    std::optional<RecordUnit> unit;
};

// The unit as messages and the command line name it: "mm" or "0.1mm".
QString RecordUnitName(RecordUnit unit);

// The years a record may name: any rain gauge's, with room.
inline constexpr int FirstRecordYear = 1800;
inline constexpr int LastRecordYear = 2200;

// The columns of a setting such as "time,depth" or
// "year,month,day,hour,minute,depth", "-" for a column to skip; the Chinese
// column names are understood as well. Raises PluvionError for an unknown
// name, a missing depth or timestamp, or a column given twice.
std::vector<RecordColumn> ParseRecordColumns(const QString &text);

// Depths are kept in thousandths of a millimetre, so that every window sum is
// exact; a depth given more finely is rounded to the nearest thousandth.
inline constexpr int DepthPerMillimetre = 1000;

// The largest record file read: far above 50 years of minute rows.
inline constexpr qint64 RecordFileLimit = qint64(8) * 1024 * 1024 * 1024;

// A time as a record holds it: whole minutes since 1970-01-01 00:00.
std::int32_t RecordMinute(int year, int month, int day, int hour, int minute);
int RecordYearOf(std::int32_t minute);
// "2019-07-21 14:05".
QString RecordTimeText(std::int32_t minute);
// The depth in mm as the results show it: up to three decimals, no trailing zeros.
QString RecordDepthText(std::int64_t thousandths);

// One file's rows in the order listed.
struct RecordRows
{
    QString file; // the name messages give
    std::vector<std::int32_t> minutes;
    std::vector<std::int32_t> depths; // thousandths of a millimetre
    int timeColumn = 1;               // 1-based, for messages
    int depthColumn = 2;

    // Where the rows stop lying on successive lines: from row `row` on they
    // lie on `line`, `line` + 1, … up to the next run. A file without blank
    // lines between its rows has one run.
    struct LineRun
    {
        size_t row;
        qint64 line;
    };
    std::vector<LineRun> lineRuns;

    // The 1-based line of a row.
    qint64 line(size_t row) const;
    // Notes the line of the next row, the `row`-th; rows are noted in order.
    void noteLine(size_t row, qint64 line)
    {
        if (lineRuns.empty() || lineRuns.back().line + qint64(row - lineRuns.back().row) != line)
            lineRuns.push_back({row, line});
    }
};

// Asked now and then during a long operation with the share done (0 to 1);
// false stops it with PluvionError of kind Cancelled.
using RecordProgress = std::function<bool(double fraction)>;

// Calls `progress` (when there is one) and stops the operation when it says so.
void ReportRecordProgress(const RecordProgress &progress, double fraction);

// "文件 X 第 L 行第 C 列：…": where a record file is wrong.
QString RecordPlace(const QString &file, qint64 line, int column);

// The rows of the file's bytes; `file` names it in messages. Lines end in
// LF, CR LF or a lone CR. Raises PluvionError naming file, line and column of
// an unreadable timestamp, a year outside FirstRecordYear to LastRecordYear,
// a missing, non-numeric, negative or impossibly large depth, a decimal depth
// in tenths of a millimetre, or a layout that cannot be told, quoting the
// cell as written.
RecordRows ParseRecordBytes(QByteArrayView bytes, const QString &file, const RecordFormat &format);

// The rows of the file at `path`, as ParseRecordBytes reads them, read in
// pieces of `chunkBytes` (a 600 MB file never sits in memory whole). A file of
// more than two pieces is read on two threads, each its half; the rows and any
// refusal are those of reading it from the start (the earliest fault wins).
// `progress` gets the bytes read so far, on the calling thread, and may
// stop the reading by throwing.
RecordRows ReadRecordFile(const QString &path, const RecordFormat &format,
                          const std::function<void(qint64 bytesRead)> &progress = {},
                          qsizetype chunkBytes = 1024 * 1024);

// Makes room for `count` values before they are written, asking the system
// for large memory pages where it offers them: a long record's arrays are
// written once, and on some machines a fresh small page costs more than the
// values in it.
void ReserveRecordValues(std::vector<std::int32_t> &values, size_t count);
