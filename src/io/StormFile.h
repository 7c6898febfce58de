#pragma once

#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/Storm.h"

#include <QString>
#include <QStringList>

// The storm file: a signature line and eleven key=value lines holding the
// parameters of a storm (never its results), written in GBK with CR LF; a
// storm in the block-average mode adds a twelfth, 计算模式=1.

// The message the window shows, in a box captioned NotAStormFileCaption() with
// the error icon, when an opened file does not carry the storm-file signature.
inline QString NotAStormFileMessage()
{
    return QStringLiteral("该文件不包含正确的数据格式，请确认后重试~");
}
inline QString NotAStormFileCaption()
{
    return QStringLiteral("错误");
}

enum class StormFileReadResult
{
    Read,          // every parameter converted and is now in the storm
    NotAStormFile, // the SIGN value is not this program's signature; storm unchanged
};

// The twelve lines of the file for `storm`, in their order: SIGN, F_type,
// a1_167, a1, c, b, n, LG_LN, 重现期, 降雨历时, 峰值比例, 计算步长; then
// 计算模式 with the mode's number when the storm is not in CalcMode::Instant.
QStringList StormFileLines(const Storm &storm, const Separators &sep);

// A long-duration storm (StormKind::Long) adds its keys after these:
// Storm_Kind=Long, then Long_Method, Long_Source, Long_Depths (the interval
// depths), the facts its report states and Long_Notes with Long_Note1.. ;
// numbers in the shortest form that reads back exactly, texts with the
// characters GBK lacks as \uXXXX. A Chicago storm writes no such key, and a
// file without Storm_Kind holds a Chicago storm.

// The description of a long-duration storm file whose key `key` is missing
// or does not read: "长历时雨型文件中 <key> 的值缺少或无效".
QString MalformedLongStormMessage(const QString &key);

// The description of a 计算模式 value that is an integer but no mode.
QString UnknownStormModeMessage(const QString &value);

// Writes the lines of `storm` to `path`, creating the file or replacing it as
// a whole: the new content goes to a temporary file beside the target that
// then takes the target's place, so a failed save leaves any previous file as
// it was. Raises PluvionError "Cannot create file "<path>". <reason>".
void WriteStormFile(const FileTarget &target, const Storm &storm, const Separators &sep);

// The file a name chosen in the save dialog stands for: the name itself when
// the extension of its last component is ".txt" in any letter case, otherwise
// the name with ".txt" appended (storm -> storm.txt, storm.dat -> storm.dat.txt).
QString StormFileTarget(const QString &chosenName);

// Takes the storm parameters from the lines of a storm file. A key is found on
// the first line that begins with it, letter case aside, followed at once by
// "="; a missing key reads as an empty value. Without the signature returns
// NotAStormFile. Otherwise converts every value first (a1, c, b, n, LG_LN,
// 重现期, 降雨历时, 峰值比例, 计算步长, then F_type and a1_167 when the file has
// an F_type line) and raises the PluvionError of the first that fails, leaving
// `storm` untouched; when all convert, stores the eleven parameters and leaves
// the two results as they are. A file without F_type is in the intensity form:
// F_type 0 and a1_167 = a1 / 0.006. LG_LN keeps the low 8 bits of its value.
// 计算模式 is converted last of the keys that every file has; without it the
// storm is in CalcMode::Instant; a value that is not an integer raises "'%s' is
// not a valid integer value", an integer other than 0 or 1 raises
// UnknownStormModeMessage. Storm_Kind, when present, must be Chicago or Long;
// a long storm's keys are read then, and the first missing or malformed one
// raises MalformedLongStormMessage. The storm's kind and profile are set
// either way (a Chicago storm's profile empty).
StormFileReadResult ParseStormText(const QStringList &lines, Storm &storm, const Separators &sep);

// Reads the file at `path` (see DecodeLegacyLines for its encoding) and takes
// the storm from it as ParseStormText does. Raises PluvionError
// "Cannot open file "<path>". <reason>" when the file cannot be read.
StormFileReadResult ReadStormFile(const QString &path, Storm &storm, const Separators &sep);
