#pragma once

#include <cstdint>

// The logarithm of the return period in the formula. A storm file may hold
// any other value of the byte; it is kept as read, and the storm factor is 0.
enum class Logarithm : uint8_t
{
    Lg = 0, // common logarithm lg P
    Ln = 1, // natural logarithm ln P
};

// How the rows of a storm are computed. A value outside the list is kept as
// read, and the generator refuses it.
enum class CalcMode : uint8_t
{
    // 瞬时雨强: the intensity of each whole minute, sampled from the formula (the default).
    Instant = 0,
    // 时段平均: each step's exact average intensity, from the storm's cumulative
    // depth, so that the storm's total is the formula's own depth.
    Block = 1,
};

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
    Logarithm LG_LN = Logarithm::Lg;
    double Storm_RepeatYear = 0;                 // return period P, years
    double Storm_Time = 0;                       // duration T, minutes
    int32_t Storm_Step = 0;                      // listing step, minutes
    double Storm_Percent = 0;                    // peak ratio r
    double Strom_Average_Rainfall_Intensity = 0; // result, mm/min
    double Strom_Overall_Rainfall = 0;           // result, mm
    CalcMode StormMode = CalcMode::Instant;      // how the rows are computed

    bool operator==(const TExpressionObject &) const = default;
};

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
    s.LG_LN = Logarithm::Lg;
    s.Storm_RepeatYear = 2;
    s.Storm_Time = 120;
    s.Storm_Step = 1;
    s.Storm_Percent = 0.4;
    return s;
}
