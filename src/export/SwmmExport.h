#pragma once

#include "model/ExpressionObject.h"
#include "model/NumberForms.h"
#include "model/RainGenerator.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

// The storm as a fragment of a SWMM 5 input file, ready to paste: a
// [RAINGAGES] section with one gage that reads the storm as intensities held
// for one step each, and a [TIMESERIES] section with the series it reads.
//
// Times are hours:minutes from the start of the storm, one every step;
// intensities are in mm/h. The series ends with a 0 one step after its last
// value, so the rain stops there. A block-average storm's shortened last
// step is written as its rainfall spread over a whole step, so the series
// holds exactly the storm's rainfall; an instantaneous storm lists only the
// minutes on the step (its extra last minute would make the series finer
// than the gage's interval, which SWMM refuses). Numbers always use ".";
// the text is ASCII with CR LF line ends. Column headers are comment lines
// beginning with ";;".

// The name of both the gage and the series, without blanks: P, T and r in
// the general number form, "P2_T120_r0.4".
QString SwmmSeriesName(const TExpressionObject &storm);

// Minutes as SWMM's hours:minutes: 5 -> "0:05", 125 -> "2:05", 1500 -> "25:00".
QString SwmmHourMinute(long long minutes);

// The lines of the fragment for the computed `points` of `storm`. Raises
// PluvionError NoDataToSaveMessage() when there are no rows.
QStringList SwmmFragmentLines(const RainPoints &points, const TExpressionObject &storm);

// The fragment's bytes, each line ending in CR LF.
QByteArray SwmmFragmentBytes(const RainPoints &points, const TExpressionObject &storm);

// Writes the fragment to an open device. Raises PluvionError with the
// device's reason when a write fails or comes up short.
void WriteSwmmFragment(QIODevice &device, const RainPoints &points, const TExpressionObject &storm);

// The window's command, in the data submenu and the table's pop-up menu.
inline QString SwmmMenuCaption()
{
    return QStringLiteral("保存雨型数据(SWMM格式)...");
}

// Its save dialog: the title and the file types, the input-file type first.
inline QString SwmmSaveDialogTitle()
{
    return QStringLiteral("保存SWMM雨量时间序列");
}
inline QStringList SwmmSaveDialogFilters()
{
    return {QStringLiteral("SWMM输入文件(*.inp)"), QStringLiteral("文本文件(*.txt)")};
}

// The name the dialog proposes: "芝加哥雨型SWMM数据P=<P>年 t=<T>分 r=<r>.inp"
// with the return period, duration and peak ratio in the general number form.
QString SwmmProposedName(const TExpressionObject &storm, const Separators &sep);

// The file written for a name chosen in the dialog: a name ending in ".inp"
// or ".txt" (in any case) as it is, any other with its extension replaced by
// ".inp" (appended when it has none).
QString SwmmTargetPath(const QString &chosenName);

// Writes the fragment as the whole file at `path`, creating it or replacing
// it in one step (a failure leaves any previous file as it was). Raises
// PluvionError "Cannot create file "<path>". <reason>".
void WriteSwmmFile(const QString &path, const RainPoints &points, const TExpressionObject &storm);
