#pragma once

#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/RainGenerator.h"
#include "model/Storm.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A batch of storms from one formula: every return period with every
// duration, each storm written as the window's CSV export writes it, and a
// summary table of all storms that succeeded.

// What to compute and where to write it.
struct StormBatchRequest
{
    // The formula, peak ratio, step and mode every storm shares; its return
    // period and duration are replaced by those of the lists.
    Storm storm = StartUpStorm();
    QList<double> periods;   // years, in the order the storms are computed
    QList<double> durations; // minutes, within each period
    int precision = 4;       // decimals of the shown values, as in the table
    bool calcByShow = false;
    int timeFormat = 0;    // the CSV time column: 0 clock, 1 minutes
    QString folder;        // where the files go; created when missing
    bool keepRows = false; // keep each storm's rows for charts
    // Where the files wait to be put in place with the rest of the run's
    // (the caller commits it); none to put them in place when the batch ends.
    FileStage *stage = nullptr;
};

// One storm of the batch, computed or failed.
struct BatchStorm
{
    Storm storm;                    // its parameters and, once computed, its totals
    QString csvPath;                // the storm's CSV, when written
    std::optional<QString> failure; // why it failed: the generator's or the writer's text
    double formulaDepth = 0;        // a T/(T+b)^n, mm
    double peakIntensity = 0;       // the largest listed intensity, mm/min
    double peakMinute = 0;          // the minute of that row (the first of equal ones)
    RainPoints rows;                // only when the request keeps them
};

// Told after each storm, whether it succeeded or failed: the storm, its
// place from 1 and the number of storms in the batch.
using BatchProgress = std::function<void(const BatchStorm &storm, int place, int count)>;

struct StormBatchOutcome
{
    QList<BatchStorm> storms; // every combination, in the order computed
    QString summaryPath;

    int failedCount() const;
};

// The name the summary table is written under in the batch's folder.
QString BatchSummaryFileName();

// The storm's short name in progress and failure lines: "P=2 T=180", the
// numbers in the general number form with "." as decimal separator.
QString BatchStormName(const Storm &storm);

// The summary's lines: a header, then one line per storm that succeeded, in
// batch order. P, T and r in the general number form, the step as a whole
// number, the mode by its name (StormModeName), H, the average and peak intensities and the
// formula depth as shown values, the peak's minute as a whole number; every
// field as a CSV field.
QStringList BatchSummaryLines(const QList<BatchStorm> &storms, int precision, const Separators &sep);

// The files a batch writes, in the order written: each storm's CSV in the
// folder, named as the window's CSV export proposes, then the summary.
// Raises PluvionError when a list is empty or two storms would be written to
// the same file.
QStringList BatchFilePaths(const StormBatchRequest &request, const Separators &sep);

// Computes every combination, period by period and within each period every
// duration, in list order. Each storm that computes is written to its CSV in
// the folder, named as the window's CSV export proposes. A storm that fails,
// by its computation or its formula depth, is kept with its failure and the
// batch goes on. Ends by writing the summary, GBK and CR LF as the CSV
// export. The files are all put in place at the end, or none: a file that
// cannot be written ends the batch with its message, every earlier file of
// the folder as it was (and a folder the batch created removed again).
//
// Raises PluvionError, before computing anything, when a list is empty, when
// two storms would be written to the same file, or when the folder cannot be
// created; and when a file cannot be written.
StormBatchOutcome RunStormBatch(const StormBatchRequest &request, const Separators &sep,
                                const BatchProgress &progress = {});

// The formula's intensity averaged over a rain of `minutes`, a / (t + b)^n in
// mm/min, with the storm's formula and return period. Nothing when the
// formula has no finite value there.
std::optional<double> FormulaIntensity(const Storm &storm, double minutes);
