#pragma once

#include "ExpressionObject.h"
#include "NumberForms.h"
#include "RainGenerator.h"

#include <QString>
#include <array>

// The texts of one table row: time by the time format (0 clock, 1 minutes,
// any other value leaves the time empty), then the shown intensity and total.
std::array<QString, 3> RowTexts(const TRainPoint &point, int timeFormat, int precision,
                                const Separators &sep = {});

// The five chart labels: P, T, r, total H and average i, in that order.
std::array<QString, 5> LabelTexts(const TExpressionObject &storm, int precision, const Separators &sep = {});

// The sixth chart label, the depth check: "公式雨量=<a T/(T+b)^n>mm" shown
// like H, or "公式雨量=无法计算" when the formula has no finite depth.
QString FormulaDepthText(const TExpressionObject &storm, int precision, const Separators &sep = {});

// The name of a storm mode as the dialogs and the report show it: "瞬时雨强"
// or "时段平均".
QString StormModeName(CalcMode mode);
