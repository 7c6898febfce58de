#pragma once

#include "ExpressionObject.h"
#include "NumberForms.h"
#include "RainGenerator.h"

#include <QList>
#include <QString>
#include <array>

// The texts of one row of the result table: the time, the intensity and the
// cumulative rainfall cells.
using TableRow = std::array<QString, 3>;

// The data rows of the result table (its title row left out), as the table
// holds them: what the exports copy, the user's edits included.
using TableRows = QList<TableRow>;

// The texts of one table row: time by the time format (0 clock, 1 minutes,
// any other value leaves the time empty), then the shown intensity and total.
TableRow RowTexts(const TRainPoint &point, int timeFormat, int precision, const Separators &sep = {});

// The texts of every row of `points`, as RowTexts makes them.
TableRows TableTexts(const RainPoints &points, int timeFormat, int precision, const Separators &sep = {});

// The five chart labels: P, T, r, total H and average i, in that order.
std::array<QString, 5> LabelTexts(const TExpressionObject &storm, int precision, const Separators &sep = {});

// The sixth chart label, the depth check: "公式雨量=<a T/(T+b)^n>mm" shown
// like H, or "公式雨量=无法计算" when the formula has no finite depth.
QString FormulaDepthText(const TExpressionObject &storm, int precision, const Separators &sep = {});

// The name of a storm mode as the dialogs and the report show it: "瞬时雨强"
// or "时段平均".
QString StormModeName(CalcMode mode);
