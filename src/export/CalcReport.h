#pragma once

#include "WordTemplate.h"
#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/ShownTexts.h"
#include "model/Storm.h"

#include <QByteArray>
#include <QIODevice>
#include <QSize>
#include <QString>

// The calculation report: the template CalcBook filled with the formula and
// storm parameters, a picture of the chart, the data table and the two totals.

// The chart picture of every report (the storm's and the fit's, from the
// window and the command line alike), in pixels: the picture's frame in the
// report (146.3 mm x 105.8 mm) at 96 pixels per inch. The word processor
// scales it into the frame, so one size whatever the screen keeps the chart's
// proportions and makes the same document everywhere.
inline constexpr QSize ReportPictureSize{553, 400};

// The name the save dialog proposes: "雨型计算书 P=%g年 T=%g分 R=%g.docx" with
// the return period, duration and peak ratio in the general number form
// (P 2, T 120, r 0.4: 雨型计算书 P=2年 T=120分 R=0.4.docx).
QString CalcReportProposedName(const Storm &storm, const Separators &sep = {});

// The report's main document with its placeholders replaced, in this order:
// A1NAME and A1 by the formula's form (intensity: "A1" and a1; flow: "166.7A1"
// and a1Flow; any other form leaves both), c, b, n, 设计重现期, 降雨历时,
// 峰值比例, 计算步长 (a whole number), 计算模式 (the mode's name and what it
// means), the table rows, and 累计降雨总量, 平均降雨强度 and 公式雨量 (the
// formula depth, "无法计算" when it has none) rounded to `precision` decimals
// by RoundToShown. Numbers are the stored values in the general number form.
QString FillCalcReportDocument(const QString &document, const QString &rowTemplate, const Storm &storm,
                               int precision, const TableRows &rows, const Separators &sep = {});

// The long-duration storm's report (StormKind::Long), a whole main document
// in the template's styles and page set-up (from `templateDocument`): the
// method in words and formulas, the records, the typical storm or the storms
// averaged, the nested design depths with their source and the scale
// factors, the pattern, the notes, the chart (unless `withPicture` is
// false), the table of `rows` and the totals with H_P(D).
QString LongStormReportDocument(const QString &templateDocument, const Storm &storm, int precision,
                                const TableRows &rows, int timeFormat, bool withPicture,
                                const Separators &sep = {});

// Writes the report of `storm` as a .docx package to `target`, which must be
// open for writing. `rows` are the table's texts in the time format
// `timeFormat` (which heads the time column), `chartPng` the PNG picture
// of the chart (ReportPictureSize); an empty picture keeps the template's
// blank one (a long-duration storm's report then has no chart). Raises
// PluvionError on failure.
void WriteCalcReport(QIODevice &target, const Storm &storm, int precision, const TableRows &rows,
                     int timeFormat, const QByteArray &chartPng, const Separators &sep = {});

// As above, to the file `path` (see FillWordTemplate for how an existing file
// is replaced). The caller applies WordDocumentPath to the chosen name first.
void WriteCalcReport(const FileTarget &target, const Storm &storm, int precision, const TableRows &rows,
                     int timeFormat, const QByteArray &chartPng, const Separators &sep = {});
