#pragma once

#include <cstdint>

// The current storm: the parameters of the local storm-intensity formula, the
// design values of the storm and the two totals the generator derives.
// Plain data; whoever sets a1 or a1_167 sets the other with the factor 0.006.
struct TExpressionObject
{
    int32_t F_type = 0; // 0 = intensity form i (A1, mm/min), 1 = flow form q (166.7A1)
    double a1 = 0;      // A1 of the intensity form; the generator uses this one
    double a1_167 = 0;  // the same parameter as typed in the flow form
    double c = 0;
    double b = 0; // minutes
    double n = 0;
    uint8_t LG_LN = 0;                           // 0 = lg P, 1 = ln P, anything else makes the storm factor 0
    double Storm_RepeatYear = 0;                 // return period P, years
    double Storm_Time = 0;                       // duration T, minutes
    int32_t Storm_Step = 0;                      // listing step, minutes
    double Storm_Percent = 0;                    // peak ratio r
    double Strom_Average_Rainfall_Intensity = 0; // result, mm/min
    double Strom_Overall_Rainfall = 0;           // result, mm
    uint8_t StormMode = 0; // how the rows are computed: StormModeInstant or StormModeBlock
};

// 瞬时雨强: the intensity of each whole minute, sampled from the formula (the default).
inline constexpr uint8_t StormModeInstant = 0;
// 时段平均: each step's exact average intensity, from the storm's cumulative
// depth, so that the storm's total is the formula's own depth.
inline constexpr uint8_t StormModeBlock = 1;

// The factor between the two forms of the parameter: a1 = a1_167 * 0.006.
inline constexpr double FlowFormFactor = 0.006;

// The storm the program starts with (and the new-storm dialog proposes):
// A1 = 9.5981, C = 0.846, b = 7, n = 0.656, lg P, P = 2, T = 120, r = 0.4, step 1.
inline TExpressionObject StartUpStorm()
{
    TExpressionObject s;
    s.F_type = 0;
    s.a1 = 9.5981;
    s.a1_167 = 9.5981 / FlowFormFactor;
    s.c = 0.846;
    s.b = 7.0;
    s.n = 0.656;
    s.LG_LN = 0;
    s.Storm_RepeatYear = 2;
    s.Storm_Time = 120;
    s.Storm_Step = 1;
    s.Storm_Percent = 0.4;
    return s;
}
