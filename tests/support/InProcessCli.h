#pragma once

// Runs pluvion-cli's commands in process, drawing and writing documents with
// the code linked into the test instead of loading the program's modules.
#include "cli/CliDocuments.h"
#include "cli/CliDrawing.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"

#include <QString>
#include <QStringList>

inline const bool InProcessDrawing = (UseDrawing(BuiltInDrawing()), UseDocuments(BuiltInDocuments()), true);

struct CliRun
{
    ExitStatus status;
    QString out;
    QString err;
};

inline CliRun RunInProcess(const QStringList &arguments)
{
    CapturedStreams streams;
    const ExitStatus status = RunCommandLine(arguments, Separators{}, streams);
    return {status, QString::fromUtf8(streams.outBytes), QString::fromUtf8(streams.errBytes)};
}
