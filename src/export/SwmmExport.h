#pragma once

#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/RainGenerator.h"
#include "model/Storm.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;

// The storm as a fragment of a SWMM 5 input file, ready to paste: a
// [RAINGAGES] section with one gage that reads the storm as intensities held
// for one step each, and a [TIMESERIES] section with the series it reads.
//
// SWMM holds each value of a gage constant over its interval, so only block
// averages describe a storm to it: the fragment always holds the block-average
// series of the storm (same formula, P, T, r and step, exact averages however
// the window rounds), whatever mode the window shows, and its rainfall is the
// formula depth. Times are hours:minutes from the start of the storm, one
// every step; intensities are in mm/h. The series ends with a 0 at the first
// step boundary at or after T: when T is not a whole number of steps, the
// shortened last step's rainfall is spread over a whole step, because SWMM
// refuses series times closer than the gage's interval (and H:MM holds whole
// minutes only). Numbers always use "."; the text is ASCII with CR LF line
// ends. The first comment line names the series and, for a storm shown as
// instantaneous intensities, says that block averages were written. Column
// headers are comment lines beginning with ";;".
//
// A long-duration storm's fragment lists its own interval depths (as mm/h
// over Δt), which total its design depth H_P(D); its series is named by P, D
// and the method: "P10_T1440_SF" (同频率放大) or "P10_T1440_PC" (平均变率法).

// The name of both the gage and the series, without blanks: P, T and r in
// the general number form, "P2_T120_r0.4".
QString SwmmSeriesName(const Storm &storm);

// Minutes as SWMM's hours:minutes: 5 -> "0:05", 125 -> "2:05", 1500 -> "25:00".
QString SwmmHourMinute(long long minutes);

// The block-average rows the fragment lists for `storm`: the storm computed
// in the block-average mode from the exact averages. Raises PluvionError with
// the generator's description when that computation fails.
RainPoints SwmmBlockPoints(const Storm &storm);

// The lines of the fragment for `storm`. Raises PluvionError as above.
QStringList SwmmFragmentLines(const Storm &storm);

// The fragment's bytes, each line ending in CR LF.
QByteArray SwmmFragmentBytes(const Storm &storm);

// The fragment's bytes given to `sink` a few thousand lines at a time, as
// they are formed. Raises PluvionError as SwmmFragmentLines does, before any
// byte is given.
void StreamSwmmFragment(const Storm &storm, const std::function<void(QByteArrayView)> &sink);

// Writes the fragment to an open device. Raises PluvionError with the
// device's reason when a write fails or comes up short.
void WriteSwmmFragment(QIODevice &device, const Storm &storm);

// The one line the window and the command-line tool show after writing the
// fragment of a storm shown as instantaneous intensities (none for a
// block-average storm, whose fragment lists what is shown).
std::optional<QString> SwmmModeNote(const Storm &storm);

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
QString SwmmProposedName(const Storm &storm, const Separators &sep);

// The file written for a name chosen in the dialog: a name ending in ".inp"
// or ".txt" (in any case) as it is, any other with its extension replaced by
// ".inp" (appended when it has none).
QString SwmmTargetPath(const QString &chosenName);

// Writes the fragment as the whole file at `path`, creating it or replacing
// it in one step (a failure leaves any previous file as it was). Raises
// PluvionError "Cannot create file "<path>". <reason>".
void WriteSwmmFile(const FileTarget &target, const Storm &storm);
