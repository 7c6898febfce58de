#pragma once

#include <QString>

// The file an export writes: how its name follows from the name chosen in a
// save dialog. The file itself is written by FileWriter (io/FileBytes.h).

// The extension of the file-name part of `name`: the text from its last "."
// on, empty when the file-name part has no dot. Dots in folder names do not
// count.
QString FileExtension(const QString &name);

// `name` with its extension (see FileExtension) replaced by `extension`, or
// with `extension` appended when the file-name part has no dot:
// "data.txt" -> "data.csv", "data" -> "data.csv", "r=0.4" -> "r=0.csv".
QString ChangeFileExtension(const QString &name, const QString &extension);

// Whether the window should ask before replacing `target`: the save dialog
// asked about `chosenName`, and the export then writes to another file that
// already exists, about which nobody has asked the user.
bool TargetNeedsReplaceQuestion(const QString &chosenName, const QString &target);
