#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The file an export writes: how its name follows from the name chosen in a
// save dialog, and how it replaces what was there before.

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

// Writes every byte to the device, repeating short writes. False when a write
// fails or stops making progress; the device's errorString() tells why.
bool WriteAllBytes(QIODevice &device, const QByteArray &bytes);

// Writes `bytes` as the whole content of the file at `path`, creating it or
// replacing it in one step: the bytes go to a temporary file beside the
// target, which then takes the target's place, so a failure leaves any
// previous file as it was. Raises PluvionError
// "Cannot create file "<path>". <reason>".
void WriteExportFile(const QString &path, const QByteArray &bytes);

// The description of a file that cannot be created or written.
QString CannotCreateFileMessage(const QString &path, const QString &reason);
