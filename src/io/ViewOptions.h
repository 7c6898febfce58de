#pragma once

#include "model/PluvionError.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

// The table's time column: clock time "HH:MM" or whole minutes. A value
// outside the list (a hand-edited file) is kept as it is and shows no times.
enum class TimeColumn : int32_t
{
    Clock = 0,
    Minutes = 1,
};

// The display options. Each field is named as its key in section OPTIONS of
// the options file; the defaults are what a user without an options file gets.
struct ViewOptions
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
    int32_t Precision = 4; // decimals shown; the file's value is kept whatever it is
    TimeColumn TimeFormat = TimeColumn::Clock;

    bool operator==(const ViewOptions &) const = default;
};

// One option of section OPTIONS: its key and the field that holds it. The
// field's type is the key's type (a flag written 0/1, or a whole number) and
// its default is the field's value in a default ViewOptions.
struct ViewOptionKey
{
    const char16_t *key;
    std::variant<bool ViewOptions::*, int32_t ViewOptions::*, TimeColumn ViewOptions::*> field;
    // Written only when the file already holds the key or the value differs
    // from the default: a key that came later than the others.
    bool writtenWhenNeeded = false;
};

// The eleven options in the order a new file lists them.
std::span<const ViewOptionKey> ViewOptionKeys();

// Reads the eleven options from section OPTIONS of the file at path. A missing
// file, a missing key or a value that is not a whole number gives that key's
// default. A file that cannot be read (not a regular file, over 1 MB, no
// permission) gives every default; the returned text then tells why.
std::optional<QString> LoadOptions(ViewOptions &options, const QString &path);

// Writes the eleven options to section OPTIONS of the file at path (the
// formula-depth key only when the file has it or it is off), leaving every
// other line of the file as it was, and replaces the file in one step; a file
// that already holds exactly those bytes is not written at all. Throws
// PluvionError "Unable to write to <path>：<reason>" when the file cannot be
// read or written; the file then keeps its old content.
void SaveOptions(const ViewOptions &options, const QString &path);

// "Unable to write to <path>：<reason>", the reason taken from the reader's or
// writer's failure.
PluvionError OptionsWriteFailure(const QString &path, const PluvionError &cause);
