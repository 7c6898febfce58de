#pragma once

#include "CliOptions.h"
#include "CliOutput.h"
#include "model/NumberForms.h"

#include <QStringList>

// pluvion-cli is made of commands that share one option table, one usage
// text and one output: the storm (the default), the batch (--batch), the
// formula fit (--fit) and the records (--records). The flag that names a
// command selects it; an option that does not apply to it is refused.

// One command: the flag that selects it (none for the default) and its run
// over the options read.
struct CliCommand
{
    const char *flag;
    ExitStatus (*run)(const GivenOptions &given, const Separators &sep, CliOutput &output);
};

// The storm command: one storm's table and totals, and the files asked for.
ExitStatus RunStormCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// The batch: every period with every duration, into a folder.
ExitStatus RunBatchCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// From rain-gauge records to samples, the peak ratio and the formula.
ExitStatus RunRecordsCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// The formula fit from an i–t–P table or samples.
ExitStatus RunFitCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);

// Runs the command the arguments (without the program name) select; --help
// (or -h) prints the usage and --version the version, before anything else
// is looked at. Returns the exit status; what was printed may still wait in
// the output's buffer (CliOutput::finish()).
ExitStatus RunCommandLine(const QStringList &arguments, const Separators &sep, CliOutput &output);

// Whether the arguments ask for a picture to be drawn (a chart picture, a
// report, a batch chart, the fit's Word report): only then does the tool
// need the GUI platform and its fonts.
bool CommandLineDrawsPictures(const QStringList &arguments);
