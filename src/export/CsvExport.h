#pragma once

#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/ShownTexts.h"
#include "model/Storm.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

class QIODevice;

// The result table as CSV text for a spreadsheet: a header line chosen by the
// time format, then one line per table row with the time, the intensity and
// the cumulative rainfall exactly as the table shows them; GBK, every line
// ending in CR LF.

// The message shown, captioned "提示" with the information icon, when there is
// no computed storm to export.
inline QString NoDataToSaveMessage()
{
    return QStringLiteral("没有数据可以保存~\r\n点击“添加”按钮，添加新曲线");
}

// The caption of the two menu entries (main menu and the table's pop-up menu).
inline QString CsvMenuCaption()
{
    return QStringLiteral("保存雨型数据(EXCEL格式)...");
}

// The data save dialog, shared with the Word exports: its title and its file
// types, "Excel文件" first (the one the CSV command selects) and "Word文件".
inline QString DataSaveDialogTitle()
{
    return QStringLiteral("保存曲线数据");
}
inline QStringList DataSaveDialogFilters()
{
    return {QStringLiteral("Excel文件(*.csv)"), QStringLiteral("Word文件(*.docx)")};
}

// The name the dialog proposes: "芝加哥雨型计算数据P=<P>年 t=<T>分 r=<r>.csv"
// with the return period, duration and peak ratio in the general number form.
QString CsvProposedName(const Storm &storm, const Separators &sep);

// The file written for a name chosen in the dialog: the name with its
// extension replaced by ".csv" (appended when it has none), whichever file
// type the dialog had selected.
QString CsvTargetPath(const QString &chosenName);

// The time column's heading by time format, in the CSV and the Word tables
// alike: 0 clock times "时间(HH:MM)", 1 minutes "时间(min)", none otherwise.
std::optional<QString> TimeColumnHeading(int timeFormat);

// The header line by time format: 0 clock times, 1 minutes, none otherwise.
std::optional<QString> CsvHeaderLine(int timeFormat);

// The cell as a CSV field: unchanged, or in double quotes with its quotes
// doubled when it holds a comma, a quote or a line break. With a decimal
// comma the number cells hold commas, and a line still has three fields.
QString CsvField(const QString &cell);

// The lines of the file: the header (when the time format has one), then one
// line per row, its three fields joined by commas.
QStringList CsvLines(const TableRows &rows, int timeFormat);

// The file's bytes given to `sink` piece by piece, a few thousand rows at a
// time, as they are formed: what a table of any length is written with.
// Raises PluvionError when GBK is unavailable, and passes on what `sink` raises.
void StreamCsv(const TableRowSource &rows, int timeFormat, const std::function<void(QByteArrayView)> &sink);

// The file's bytes: the lines in GBK without a byte-order mark, each ending
// in CR LF. Raises PluvionError when GBK is unavailable.
QByteArray CsvBytes(const TableRows &rows, int timeFormat);

// Writes the file's bytes to an open device. Raises PluvionError with the
// device's reason when a write fails or comes up short.
void WriteCsv(QIODevice &device, const TableRows &rows, int timeFormat);
void WriteCsv(QIODevice &device, const TableRowSource &rows, int timeFormat);

// Writes the file at `path`, creating it or replacing it as a whole (a
// failure leaves any previous file as it was). Raises PluvionError
// "Cannot create file "<path>". <reason>".
void WriteCsvFile(const FileTarget &target, const TableRows &rows, int timeFormat);
void WriteCsvFile(const FileTarget &target, const TableRowSource &rows, int timeFormat);
