#pragma once

#include "CliOptions.h"
#include "model/NumberForms.h"

#include <QStringList>

// pluvion-cli --fit: derives the storm-intensity formula from an i–t–P table
// or sample series, prints the parameters and the accuracy table, and writes
// the fit report and a storm file with the fitted formula on request.

// Whether the arguments ask for a fit (they hold --fit).
bool IsFitRequest(const QStringList &arguments);

// Runs the fit; returns the exit status: 0 success, 1 the analysis or fit
// failed, 2 a bad argument or a file that cannot be read, is not in the
// layout, or cannot be written.
ExitStatus RunFit(const QStringList &arguments, const Separators &sep);
