#pragma once

// Runs pluvion-cli's commands in process, drawing with the drawing code
// linked into the test instead of loading the program's drawing module.
#include "cli/CliDrawing.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"

#include <QString>
#include <QStringList>

inline const bool InProcessDrawing = (UseDrawing(BuiltInDrawing()), true);

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
