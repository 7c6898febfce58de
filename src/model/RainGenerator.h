#pragma once

#include "Storm.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// One hyetograph row.
// In the block-average mode a row is one step: Time is the step's first
// minute, Intensity its average and Overall the rainfall up to its end.
struct RainPoint
{
    double Time = 0;      // minute from the start of the storm, a whole number
    double Intensity = 0; // mm/min
    double Overall = 0;   // cumulative rainfall through this minute, mm
};

using RainPoints = std::vector<RainPoint>;

// The longest storm the generator computes, in minutes (about 19 years).
// Longer durations, and a duration that is not a number, are refused.
inline constexpr long long MaxStormMinutes = 10'000'000;

// The description of a block-average storm whose duration is not above 0.
QString BlockDurationNotPositiveMessage();
// The description of a block-average storm whose peak ratio is not inside (0, 1).
QString BlockPeakRatioOutsideMessage();
// The description of a long-duration storm without interval depths.
QString LongStormWithoutDepthsMessage();

// Computes the Chicago storm of `storm`, appends the listed rows to `points`
// (expected empty) and writes the two totals into `storm`. On success returns
// nothing; on failure returns the failure's description (the caller shows
// "出错：" and it) and leaves the rows appended so far and the totals not yet
// written.
//
// CalcMode::Instant: every whole minute 0 .. trunc(T) is sampled from the
// formula and added to the total; a row every `step` minutes and one for
// the last minute.
//
// CalcMode::Block: the storm is cut into steps [k s, (k+1) s) for k = 0, 1, ..,
// the last one shortened to end at T (T = 90.7, s = 1: the last step is
// [90, 90.7)); one row per step, Time its start, Intensity the exact average
// over it from the storm's cumulative depth, Overall the rainfall up to its
// end. The total is the formula depth a T/(T+b)^n. With `calcByShow` each
// average is rounded first and the total sums rounded average x step length.
// A step of 0 fails with "Division by zero" as in the other mode; a negative
// step acts as its magnitude; T not above 0 and r outside (0, 1) are refused
// with the two messages above, and a duration the other mode refuses is
// refused the same way. Other modes are refused.
//
// StormKind::Long: one row per interval of the profile's depths, as the
// block-average mode lists a step (Time its start, Intensity depth / Δt,
// Overall the depth to its end; `calcByShow` as there); the total is the
// sum of the depths, H_P(D), and the average that over D. Refused: no depths,
// Δt not above 0, D other than the intervals' length, a depth that is
// negative or not a number.
std::optional<QString> CalcRainPoints(Storm &storm, RainPoints &points, bool calcByShow, int precision);

// The reference for the computation above: the same rows, totals and
// failures, every arithmetic operation checked one by one. Slower; for tests
// of the fast path, which checks only what shows a failure.
std::optional<QString> CalcRainPointsChecked(Storm &storm, RainPoints &points, bool calcByShow,
                                             int precision);

// The generator's failure with what in the storm caused it, in the program's
// words, when that can be told: "Division by zero（计算步长 Δt = 0 分钟）",
// "Invalid floating point operation（t + b ≤ 0：b = −7，峰值附近 t ≤ 7 处的分母
// (t + b)^n 为零或没有定义）". The generator's own words come first, unchanged.
// A long-duration storm's failure is returned as it is.
QString ExplainedFailure(const Storm &storm, const QString &failure);

// The rainfall depth of the formula over the whole duration, a T/(T+b)^n with
// the storm factor a, in mm: what the storm should total. Raises PluvionError
// with the generator's description when it has no finite value.
double FormulaDepth(const Storm &storm);
