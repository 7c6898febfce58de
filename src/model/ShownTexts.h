#pragma once

#include "NumberForms.h"
#include "RainGenerator.h"
#include "Storm.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <functional>

// The texts of one row of the result table: the time, the intensity and the
// cumulative rainfall cells.
using TableRow = std::array<QString, 3>;

// The data rows of the result table (its title row left out), as the table
// holds them: what the exports copy, the user's edits included.
using TableRows = QList<TableRow>;

// The texts of one table row: time by the time format (0 clock, 1 minutes,
// any other value leaves the time empty), then the shown intensity and total.
TableRow RowTexts(const RainPoint &point, int timeFormat, int precision, const Separators &sep = {});

// The texts of every row of `points`, as RowTexts makes them.
TableRows TableTexts(const RainPoints &points, int timeFormat, int precision, const Separators &sep = {});

// The rows the exports read, one at a time and in order, so that no export
// needs every row's texts at once: the computed rows (PointRows) or the
// window's table with the user's edits laid over them.
class TableRowSource
{
public:
    virtual ~TableRowSource() = default;
    virtual qsizetype rowCount() const = 0;
    // Sets `row` to the texts of row `index` (0 <= index < rowCount()). The
    // cells' storage is reused, so reading row after row allocates nothing.
    virtual void readRow(qsizetype index, TableRow &row) const = 0;

    // Whether every row is plain ASCII without a comma inside a cell, a quote
    // or a line break, so that writePlainRow can form it straight as bytes.
    virtual bool hasPlainRows() const { return false; }
    // Writes row `index` as "time,intensity,total" at `out`, which has room
    // for PlainRowCapacity bytes, and returns the end. Only when hasPlainRows().
    virtual char *writePlainRow(qsizetype index, char *out) const;
};

// The room one plain row may take: three cells and two commas.
inline constexpr int PlainRowCapacity = 3 * NumberTextCapacity + 2;

// The texts of computed rows, formed as they are read (as RowTexts makes them).
class PointRows final : public TableRowSource
{
public:
    PointRows(const RainPoints &points, int timeFormat, int precision, const Separators &sep = {});
    qsizetype rowCount() const override { return qsizetype(m_points.size()); }
    void readRow(qsizetype index, TableRow &row) const override;
    bool hasPlainRows() const override { return m_plain; }
    char *writePlainRow(qsizetype index, char *out) const override;

private:
    const RainPoints &m_points;
    int m_timeFormat;
    int m_precision;
    Separators m_separators;
    bool m_plain;
};

// Rows already formed, as a source.
class ListedRows final : public TableRowSource
{
public:
    explicit ListedRows(const TableRows &rows) : m_rows(rows) {}
    qsizetype rowCount() const override { return m_rows.size(); }
    void readRow(qsizetype index, TableRow &row) const override { row = m_rows[index]; }

private:
    const TableRows &m_rows;
};

// How a plain line ends: LF, or CR LF as in the files for Windows programs.
enum class LineEnd : uint8_t
{
    Lf,
    CrLf
};

// The rows of a source with plain rows as lines, "time,intensity,total" and
// the line end, after `head`: handed to `sink` a few hundred kilobytes at a
// time, formed straight as bytes. Passes on what `sink` raises.
void StreamPlainRows(const TableRowSource &rows, QByteArrayView head, LineEnd lineEnd,
                     const std::function<void(QByteArrayView)> &sink);

// Every row of `source`, formed at once: for the Word tables, which are short.
TableRows TableTexts(const TableRowSource &source);

// The design depth H_P(D) of a long-duration storm, mm: its longest nested
// duration's (the sum of its depths when it lists none).
double LongStormDesignDepth(const Storm &storm);

// The five chart labels: P, T, r, total H and average i, in that order; a
// long-duration storm shows its method in place of r ("雨型：同频率放大").
std::array<QString, 5> LabelTexts(const Storm &storm, int precision, const Separators &sep = {});

// The sixth chart label, the depth check: "公式雨量=<a T/(T+b)^n>mm" shown
// like H, or "公式雨量=无法计算" when the formula has no finite depth. A
// long-duration storm shows its design depth and where it came from instead:
// "设计雨量=<H_P(D)>mm（降雨记录）" (or （暴雨强度公式）).
QString FormulaDepthText(const Storm &storm, int precision, const Separators &sep = {});

// The name of a storm mode as the dialogs and the report show it: "瞬时雨强"
// or "时段平均".
QString StormModeName(CalcMode mode);

// A proposed file name for the storm: `pattern` with %1, %2 and %3 replaced
// by P, T and r in the shortest general form ("芝加哥雨型P=%1年 t=%2分 r=%3").
// A long-duration storm's name leaves r out and says 长历时雨型 for 芝加哥雨型
// (and before a name that starts with 雨型): "长历时雨型P=10年 t=1440分".
QString StormFileName(const QString &pattern, const Storm &storm, const Separators &sep);
