#pragma once

#include "model/NumberForms.h"
#include "model/Storm.h"

#include <QChar>
#include <QString>
#include <optional>

// What the user typed into the new-storm dialog: the texts of its eight edits
// and the selected entries of its three lists (-1 when no entry is selected).
struct StormEntry
{
    QString a1; // A1 in the intensity form, 166.7A1 in the flow form
    QString c;
    QString b;
    QString n;
    QString repeatYear;   // P, years
    QString stormTime;    // T, minutes
    QString stormPercent; // r
    QString step;         // minutes
    int stormType = 0;    // 0 = " i", 1 = " q"
    int lgLn = 0;         // 0 = "lgP", 1 = "lnP"
    int stormMode = 0;    // 0 = "瞬时雨强", 1 = "时段平均"
};

// The edit that takes the focus when a check fails.
enum class StormEntryField
{
    A1,
    C,
    B,
    N,
    RepeatYear,
    StormTime,
    StormPercent,
    Step,
};

// A refused entry: the text for the box captioned StormEntryCaption() with
// the information icon, and the edit the focus moves to.
struct StormEntryProblem
{
    QString message;
    StormEntryField focus;
};

inline QString StormEntryCaption()
{
    return QStringLiteral("提示");
}

// Told when a value does not convert while the entry is stored.
inline QString StormEntryNotNumbersMessage()
{
    return QStringLiteral("输入的数据有错误，只能输入数字，请重新检查");
}

// The first check the entry fails, in the order the user reads the dialog:
// A1 (named by the edit's current placeholder, "A1" or "166.7A1"), c, b, n,
// P, T and r must not be empty; r must lie strictly between 0 and 1; the step
// must not be empty. An edit counts as empty when nothing but blanks and
// control characters remains. A peak ratio that is no number at all raises
// PluvionError "'<text>' is not a valid floating point value" before its
// range is tested. Only the peak ratio is range-tested.
std::optional<StormEntryProblem> CheckStormEntry(const StormEntry &entry, const QString &a1Placeholder,
                                                 QChar decimal);

// Converts every value of a checked entry and, when all of them converted,
// stores them into `storm` with both results 0 and returns true. Returns false
// and leaves `storm` untouched when any value is not a number (or the step is
// not a 32-bit whole number). The typed A1 goes into the field of the chosen
// form and the other field is derived from it with the factor 0.006; with no
// form selected the form becomes -1 and a1 and a1Flow stay as they were. With no
// logarithm selected the logarithm becomes 255. With no mode selected the storm keeps
// its mode. No range is tested here: a step, a
// duration or a return period of 0 is stored as typed.
bool StoreStormEntry(const StormEntry &entry, Storm &storm, const Separators &sep);
