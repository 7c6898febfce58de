#pragma once

#include "CliOptions.h"
#include "CliOutput.h"
#include "model/NumberForms.h"

#include <QStringList>
#include <span>

// pluvion-cli is made of commands that share one set of option declarations,
// one usage text and one output: the storm (the default), the batch
// (--batch), the formula fit (--fit), the records (--records) and the
// long-duration storm from records (--long-storm with --records). The option
// that names a command selects it; each command declares the options it
// accepts, and any other option given is refused before it runs.

using CliOptionList = std::span<const CliOption *const>;

// One command: the option that selects it (none for the default), the
// options it accepts, those it derives itself (given, they are refused with
// that reason), and its run over the options read.
struct CliCommand
{
    const CliOption *selector;
    CliOptionList accepts;
    CliOptionList derives;
    ExitStatus (*run)(const GivenOptions &given, const Separators &sep, CliOutput &output);

    bool accepted(const CliOption &option) const;
};

// The storm command: one storm's table and totals, and the files asked for.
ExitStatus RunStormCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// The batch: every period with every duration, into a folder.
ExitStatus RunBatchCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// From rain-gauge records to samples, the peak ratio and the formula.
ExitStatus RunRecordsCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// The long-duration storm from rain-gauge records, and its outputs.
ExitStatus RunLongStormCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);
// The formula fit from an i–t–P table or samples.
ExitStatus RunFitCommand(const GivenOptions &given, const Separators &sep, CliOutput &output);

// The commands, in the order they are looked for: the first whose selector
// is given runs; the storm command, selected by no option, comes last.
std::span<const CliCommand> DeclaredCommands();

// The command the options select.
const CliCommand &SelectedCommand(const GivenOptions &given);

// Refuses (PluvionError) an option given that the command does not accept:
// "<option> 不能与 <command> 同用" for one of the storm command's or another
// command's own, "<option> 只能与 <commands> 同用" for one that only other
// commands accept, "<command> 推求公式参数，不能同时给出 <option>" for one it
// derives; and a file option that cannot be standard output given "-".
void CheckGivenOptions(const CliCommand &command, const GivenOptions &given);

// Runs the command the arguments (without the program name) select; --help
// (or -h) prints the usage and --version the version, before anything else
// is looked at. Returns the exit status; what was printed may still wait in
// the output's buffer (CliOutput::finish()).
ExitStatus RunCommandLine(const QStringList &arguments, const Separators &sep, CliOutput &output);

// Whether the arguments ask for a picture to be drawn (a chart picture, a
// report, a batch chart, the fit's report unless it is a CSV file): only
// then does the tool need the GUI platform and its fonts.
bool CommandLineDrawsPictures(const QStringList &arguments);
