#pragma once

#include "fit/FitCase.h"

#include <QList>
#include <QString>
#include <QStringList>

// The fit's result tables as texts, built once: the window's dialog, the
// reports (CSV and Word) and the command line show these same cells.
struct FitResultTable
{
    QStringList header;
    QList<QStringList> rows;
};

// 单一重现期公式 i = A / (t + b)^n: period, A, b, n and the residual sum of
// squares; a period whose fit did not converge shows "未能收敛" and no numbers.
FitResultTable PeriodFormulaTable(const FitOutcome &outcome);
// What a single-period formula that did not converge shows: "未能收敛".
QString NotConvergedText();
// 精度检验: per period σ, σ / mean and the verdict, then the 2~20-year mean.
FitResultTable AccuracyTable(const FitOutcome &outcome);
// 分布拟合优度: per duration each distribution's RMS deviation from the samples
// (sample input only; no rows otherwise).
FitResultTable GoodnessTable(const FitOutcome &outcome);

// A return period or duration as a table shows it: up to 10 significant
// digits, so that 1.0000001 is not shown as 1.
QString FitNumberText(double value);
