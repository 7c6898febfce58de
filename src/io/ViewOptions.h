#pragma once

#include "model/PluvionError.h"

#include <QString>
#include <cstdint>
#include <optional>

// The display options. Each field is named as its key in section OPTIONS of
// the options file; the defaults are what a user without an options file gets.
struct TViewOptions
{
    bool ShowLabel_P = true;
    bool ShowLabel_T = true;
    bool ShowLabel_R = true;
    bool ShowLabel__Overall_Rainfall = true;
    bool ShowLabel_Average = true;
    bool ShowLabel_Formula_Depth = true; // the formula's own depth beside H
    bool ShowAxis_Overall = true;
    bool ShowAxis_Intensity = true;
    bool CalcByShow = false;
    int32_t Precision = 4;  // decimals shown; the file's value is kept whatever it is
    int32_t TimeFormat = 0; // 0 = clock time "HH:MM", 1 = whole minutes

    bool operator==(const TViewOptions &) const = default;
};

// Reads the eleven options from section OPTIONS of the file at path. A missing
// file, a missing key or a value that is not a whole number gives that key's
// default. A file that cannot be read (not a regular file, over 1 MB, no
// permission) gives every default; the returned text then tells why.
std::optional<QString> LoadOptions(TViewOptions &options, const QString &path);

// Writes the eleven options to section OPTIONS of the file at path (the
// formula-depth key only when the file has it or it is off), leaving every
// other line of the file as it was, and replaces the file in one step; a file
// that already holds exactly those bytes is not written at all. Throws
// PluvionError "Unable to write to <path>：<reason>" when the file cannot be
// read or written; the file then keeps its old content.
void SaveOptions(const TViewOptions &options, const QString &path);

// "Unable to write to <path>：<reason>", the reason taken from the reader's or
// writer's failure.
PluvionError OptionsWriteFailure(const QString &path, const PluvionError &cause);
