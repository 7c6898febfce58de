#pragma once

#include "fit/FitTable.h"
#include "fit/FormulaFit.h"
#include "fit/FrequencyAnalysis.h"
#include "model/Storm.h"

#include <QByteArray>
#include <QStringList>
#include <optional>
#include <vector>

// One derivation of the formula, from the file's bytes to the fitted formula
// and its accuracy, as the window, the command line and the report share it.

enum class FitInputKind
{
    Table,  // an i–t–P table
    Samples // sample series per duration
};

struct FitSettings
{
    FitInputKind input = FitInputKind::Table;
    TableValueKind values = TableValueKind::Intensity; // table input only
    FrequencySettings frequency;                       // sample input only
    Logarithm log = Logarithm::Lg;
};

// The rain-gauge records the samples were taken from, as a report lists
// them: each list comma-separated lines, the first a header.
struct RecordsSummary
{
    QString read;          // the files, rows, step and what an unlisted interval means
    QStringList years;     // each year's completeness and whether it is used
    QStringList samples;   // the sample table
    QStringList peakRatio; // r per duration, then the line with r
    double r = 0;          // the storm's peak ratio, three decimals
    // The cells (line, column) in `samples` of depths measured in a window
    // with missing intervals, which may be too small; `samples` ends with a
    // note on each.
    std::vector<std::pair<int, int>> partialSamples;
};

struct FitOutcome
{
    FitSettings settings;
    IntensityTable table;      // read, or derived from the samples
    FrequencyResult frequency; // sample input only
    std::vector<PeriodFormula> periodFormulas;
    // The formula as written (parameters to 4 decimals), its residual and
    // accuracy those of the written digits.
    TotalFormula total;
    FormulaAccuracy accuracy;
    std::optional<RecordsSummary> records; // samples taken from rain-gauge records
};

// The kind of input the text plainly is when it shows it: sample series when
// its first cell names years (年份, 年, year) or at least three row labels are
// years (whole numbers from 1800 to 2200), an i–t–P table when its first cell
// names the return period (P, 重现期) and no row label is a year; nothing when
// it does not show it.
std::optional<FitInputKind> ApparentInputKind(const QByteArray &bytes);
// What the data look like, as the front ends say it: "这些数据看来是样本（…）".
QString ApparentInputText(FitInputKind kind);

// Reads the file in the settings' layout and fits. Raises PluvionError with
// the reason (a bad cell named by row and column, a fit that cannot converge).
FitOutcome RunFormulaFit(const QByteArray &bytes, const FitSettings &settings);

// The fit of an already read table.
FitOutcome FitTable(const IntensityTable &table, const FitSettings &settings);
// The frequency analysis and fit of already read samples.
FitOutcome FitSamples(const SampleTable &samples, const FitSettings &settings);

// `storm` with the fitted formula in the intensity form and its log kind.
Storm StormWithFormula(const Storm &storm, const TotalFormula &formula);

// Why the formula cannot make a Chicago storm, when it cannot: the peak lies
// at t = 0, where a formula with b ≤ 0 has no finite intensity. Such a
// formula may still describe its table; it is shown with this reason, and a
// storm is never made of it.
std::optional<QString> ChicagoStormRefusal(const TotalFormula &formula);

// One line for each single-period formula that did not converge, naming the
// period and the reason: "注意：重现期 10 年的单一重现期公式的拟合未能收敛…".
QStringList NonConvergedPeriodLines(const FitOutcome &outcome);

// The formula as text: "i = 9.5981(1 + 0.8460 lgP) / (t + 7.0000)^0.6560".
QString FormulaText(const TotalFormula &formula);

// Numbers as the results show them.
QString ParameterText(double value);       // 4 decimals
QString SignedParameterText(double value); // 4 decimals, a true minus sign: "−5.0000"
QString SigmaText(double value);           // mm/min, 4 decimals
QString PercentText(double ratio);         // "1.23%"

// What the command line prints: the formula, its parameters, the
// single-period formulas and the accuracy table.
QStringList FitSummaryLines(const FitOutcome &outcome);
