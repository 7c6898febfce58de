#pragma once

#include "CliOptions.h"
#include "CliOutput.h"

// The storm command's output, shared by every command that ends in one storm
// (the storm command itself, the long-duration storm): computes the storm,
// prints its table (unless a file is asked for or an export goes to standard
// output) and its totals with the depth check (the formula depth, or a long
// storm's design depth), then writes the storm file and every export the
// request asks for beside their targets and puts them in place together.
// Every target has been checked before. Returns the exit status.
ExitStatus FinishStormRun(CliRequest &request, const Separators &sep, CliOutput &output);
