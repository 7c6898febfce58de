#pragma once

#include "LongStormProfile.h"

#include <cstdint>

// The logarithm of the return period in the formula, 1 + C lg P or 1 + C ln P.
// A storm file may hold any other value of the byte; it is kept as read, and
// the storm factor is 0.
enum class Logarithm : uint8_t
{
    Lg = 0, // common logarithm lg P
    Ln = 1, // natural logarithm ln P
};

// The form the formula's first parameter is written in. A storm file may hold
// any other number; it is kept as read, and neither parameter is derived.
enum class FormulaForm : int32_t
{
    Intensity = 0, // i = A1 (1 + C lg P) / (t + b)^n, mm/min
    Flow = 1,      // q = 166.7A1 (1 + C lg P) / (t + b)^n, L/(s·hm²)
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

// The factor between the two forms of the parameter: a1 = a1Flow * 0.006.
inline constexpr double FlowFormFactor = 0.006;

// A design storm: the parameters of the local storm-intensity formula, the
// design values of the storm and the two totals the generator derives.
// Plain data; set the first parameter with SetA1 or SetA1Flow, which keep the
// two forms in step.
struct Storm
{
    FormulaForm form = FormulaForm::Intensity;
    double a1 = 0;     // A1 of the intensity form; the generator uses this one
    double a1Flow = 0; // the same parameter as typed in the flow form, 166.7A1
    double c = 0;
    double b = 0; // minutes
    double n = 0;
    Logarithm log = Logarithm::Lg;
    double period = 0;                 // return period P, years
    double duration = 0;               // duration T, minutes
    int32_t step = 0;                  // listing step, minutes
    double peakRatio = 0;              // peak ratio r
    double averageIntensity = 0;       // result, mm/min
    double totalDepth = 0;             // result, mm
    CalcMode mode = CalcMode::Instant; // how the rows are computed
    // A long-duration storm lists its profile's interval depths instead of
    // the formula's; its formula parameters and r are not used.
    StormKind kind = StormKind::Chicago;
    LongStormProfile longProfile; // the long kind only; empty for a Chicago storm

    // The parameter as written in the storm's own form: A1 or 166.7A1.
    double a1InForm() const { return form == FormulaForm::Flow ? a1Flow : a1; }
    // Sets A1 of the intensity form and derives the flow form's parameter.
    void setA1(double value)
    {
        a1 = value;
        a1Flow = value / FlowFormFactor;
    }
    // Sets 166.7A1 of the flow form and derives A1.
    void setA1Flow(double value)
    {
        a1Flow = value;
        a1 = value * FlowFormFactor;
    }
    // Sets the parameter in the storm's own form (the other one derived);
    // a storm of an unknown form keeps both.
    void setA1InForm(double value)
    {
        if (form == FormulaForm::Intensity)
            setA1(value);
        else if (form == FormulaForm::Flow)
            setA1Flow(value);
    }

    bool operator==(const Storm &) const = default;
};

// Whether a peak ratio can place a peak inside the storm: strictly between 0 and 1.
inline bool IsPeakRatioInside(double r)
{
    return r > 0 && r < 1;
}

// The storm the program starts with (and the new-storm dialog proposes):
// A1 = 9.5981, C = 0.846, b = 7, n = 0.656, lg P, P = 2, T = 120, r = 0.4, step 1.
inline Storm StartUpStorm()
{
    Storm s;
    s.form = FormulaForm::Intensity;
    s.setA1(9.5981);
    s.c = 0.846;
    s.b = 7.0;
    s.n = 0.656;
    s.log = Logarithm::Lg;
    s.period = 2;
    s.duration = 120;
    s.step = 1;
    s.peakRatio = 0.4;
    return s;
}
