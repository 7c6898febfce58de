#pragma once

#include "ExpressionObject.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// One hyetograph row.
struct TRainPoint
{
    double Time = 0;      // minute from the start of the storm, a whole number
    double Intensity = 0; // mm/min
    double Overall = 0;   // cumulative rainfall through this minute, mm
};

using RainPoints = std::vector<TRainPoint>;

// The longest storm the generator computes, in minutes (about 19 years).
// Longer durations, and a duration that is not a number, are refused.
inline constexpr long long MaxStormMinutes = 10'000'000;

// Run after a successful computation, given the rows; may throw PluvionError
// (for the window: a failed write of the options file).
using DisplayStep = std::function<void(const RainPoints &)>;

// Computes the Chicago storm of `storm` minute by minute, appends the listed
// rows to `points` (expected empty) and writes the two totals into `storm`.
// On success runs `display` and returns nothing; on failure returns the
// failure's description (the caller shows "出错：" and it) and leaves the rows
// appended so far, the totals not yet written and the display untouched.
std::optional<QString> CalcRainPoints(TExpressionObject &storm, RainPoints &points,
                                      bool calcByShow, int precision,
                                      const DisplayStep &display = {});
