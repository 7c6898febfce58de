#pragma once

#include "fit/FitTable.h"
#include "model/Storm.h"

#include <QString>
#include <optional>
#include <vector>

// Fitting the storm-intensity formula to an i–t–P table, and its accuracy.

// i = A / (t + b)^n for one return period.
struct PeriodFormula
{
    double period = 0;
    double a = 0, b = 0, n = 0;
    double rss = 0; // residual sum of squares of the intensities reached, (mm/min)²
    // Why the period's fit did not converge; its parameters are then no formula.
    std::optional<QString> failure;
};

// i = A1 (1 + C log P) / (t + b)^n over all periods.
struct TotalFormula
{
    double a1 = 0, c = 0, b = 0, n = 0;
    Logarithm log = Logarithm::Lg;
    double rss = 0;
};

double FormulaIntensity(const PeriodFormula &formula, double minutes);
double FormulaIntensity(const TotalFormula &formula, double minutes, double period);

// The residual sum of squares of the formula over the table's intensities.
double ResidualSumOfSquares(const IntensityTable &table, const TotalFormula &formula);
double ResidualSumOfSquares(const IntensityTable &table, size_t period, const PeriodFormula &formula);

// The least-squares fit of each period's column. A period whose fit cannot
// converge keeps the reason in its failure and no parameters: the
// single-period formulas check the total formula, they do not make it.
std::vector<PeriodFormula> FitPeriodFormulas(const IntensityTable &table);

// The least-squares fit of the total formula. Raises PluvionError when the
// table has fewer than 2 periods or the fit cannot converge: its residual is
// not a number, or its denominator t + b reaches zero at a duration of the table.
TotalFormula FitTotalFormula(const IntensityTable &table, Logarithm log);

// How well the formula reproduces one period's intensities.
struct PeriodAccuracy
{
    double period = 0;
    double sigma = 0;      // sqrt(Σ(i_formula − i_table)² / m), mm/min
    double relative = 0;   // sigma / mean(i_table)
    bool assessed = false; // the period lies in the range the criteria apply to
    bool passed = false;   // assessed and meets a criterion
};

struct FormulaAccuracy
{
    std::vector<PeriodAccuracy> periods;
    double meanSigma = 0;    // over the assessed periods (NaN when none)
    double meanRelative = 0; // over the assessed periods (NaN when none)
    bool assessed = false;
    bool passed = false;
};

// The criteria: for periods from 2 to 20 years, an absolute deviation of at
// most 0.05 mm/min, or, where intensities are large, a relative one of at most 5 %.
inline constexpr double SigmaLimit = 0.05;
inline constexpr double RelativeLimit = 0.05;
inline constexpr double AssessedPeriodLow = 2.0;
inline constexpr double AssessedPeriodHigh = 20.0;

FormulaAccuracy AssessAccuracy(const IntensityTable &table, const TotalFormula &formula);

// "合格", "不合格" or "不考核" (a period outside the criteria's range).
QString AccuracyVerdict(bool assessed, bool passed);
