#pragma once

#include "CliOptions.h"
#include "CliOutput.h"
#include "export/FitReport.h"
#include "fit/Bootstrap.h"
#include "fit/FitCase.h"
#include "io/FileBytes.h"

#include <functional>

// What the formula fit (--fit) and the records (--records) share on the
// command line: the frequency options, the report and the storm saved with
// the fitted formula, and printing the fit.

// What a derivation writes besides what it prints.
struct FitOutputs
{
    QString reportPath;
    std::optional<FitReportKind> reportKind; // none without a report
    CliRequest storm;                        // describes the storm for --save-storm
    // --bands: the resampling asked for (its fit settings are the run's), and the band table's file.
    std::optional<BootstrapSettings> bands;
    QString bandsPath;
};

// The bands of the fit: the resampling the run's data allow, with these settings.
using FitBands =
    std::function<BootstrapResult(const BootstrapSettings &settings, const BootstrapProgress &progress)>;

// "--samples annual-multiple", as messages name the method.
QString AnnualMultipleText();
// The sampling method --samples names.
SamplingMethod CliSampling(const QString &value);
// The refusal of --fit-depth for samples, which are always depths.
QString FitDepthOnlyForTables();

// --distribution, --fit-periods and --log into the settings. Raises PluvionError.
void ParseFrequencyOptions(const GivenOptions &given, FitSettings &settings);

// --fit-report, --bands and its options, and the storm saved with the fitted
// formula, read as the storm command reads its options. Raises PluvionError.
FitOutputs ParseFitOutputs(const GivenOptions &given, const Separators &sep);

// Runs `fit`, checks the storm with the fitted formula, prints the formula and
// the accuracy table (and on standard error the single-period formulas that
// did not converge), then writes the report and the storm into `stage`, and
// puts every file of the stage in place once standard output has taken what
// it was given. When the fit fails, what the stage already holds is put in
// place all the same. Every target has been checked before. The exit status.
// With --bands, `bands` runs instead of `fit` (its estimate is the same fit):
// its tables follow the fit's on standard output, failed resamples are named
// on standard error, and the reports and the band table file carry them.
ExitStatus FinishFit(const std::function<FitOutcome()> &fit, const FitOutputs &outputs, const Separators &sep,
                     CliOutput &output, FileStage &stage, const FitBands &bands = {});
