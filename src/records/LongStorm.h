#pragma once

#include "fit/FormulaFit.h"
#include "fit/FrequencyAnalysis.h"
#include "model/LongStormProfile.h"
#include "records/RainRecord.h"
#include "records/RecordSamples.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// The long-duration design storm (长历时雨型): a storm of D minutes (a day by
// default) cut into intervals of Δt minutes, built from a station's rain-gauge
// record and scaled to the design depths of return period P.
//
// Two methods:
// - same-frequency scaling of a typical storm (同频率放大): a real storm of the
//   record, nested around its wettest interval, each ring of the nest scaled so
//   that every nested window holds the design depth of its duration;
// - average variability (Pilgrim–Cordery): the average time pattern of many
//   storms, scaled to the design depth of D.
//
// Times: the record's minutes (minutes since 1970-01-01 00:00, RecordMinute);
// depths of the result in mm, unrounded. Ties between equally wet windows go
// to the earlier window (the largest storms apart are chosen as the annual
// multiple samples are: of equals the one with fewer missing intervals first).

// The method (LongStormMethod) and the source of the design depths
// (DesignDepthSource) are the storm model's, which keeps what a built storm
// was made by.

// Which storms the average-variability pattern averages.
enum class VariabilityStorms : std::uint8_t
{
    AnnualLargest,      // the wettest D-window of each used year
    LargestIndependent, // the `stormCount` wettest D-windows of the record, no two overlapping
};

inline constexpr int DefaultLongStormDuration = 1440;
inline constexpr int DefaultLongStormStep = 5;
// The nested durations of a day at 5 minutes; for another D or Δt the members
// that are multiples of Δt and below D are taken, after Δt and before D.
inline const std::vector<int> DefaultNestedDurations{5, 15, 30, 60, 120, 180, 360, 720, 1440};

struct LongStormSettings
{
    int duration = DefaultLongStormDuration; // D, minutes, at most MaxRecordDuration
    int step = DefaultLongStormStep;         // Δt, minutes: divides D, a multiple of the record's step
    double period = 10;                      // P, years
    LongStormMethod method = LongStormMethod::SameFrequency;
    // The nested durations d1 < … < dk = D, each a multiple of Δt; empty for
    // the default nest (NestedDurations).
    std::vector<int> nested;

    DesignDepthSource source = DesignDepthSource::Records;
    // Records: the samples as taken for the fit (method and count; the
    // durations are the nested ones) and their analysis (distribution and
    // period conversion; the sampling method, years and periods follow the
    // samples and P).
    RecordSampling sampling;
    FrequencySettings frequency;
    // Formula: the fitted total formula.
    TotalFormula formula;

    // Same-frequency: the start of the typical storm's D-window; none for
    // the wettest candidate.
    std::optional<std::int32_t> typicalStart;

    // Average variability: the storms averaged.
    VariabilityStorms storms = VariabilityStorms::AnnualLargest;
    int stormCount = 0; // LargestIndependent: how many, at least 1
};

// One D-window of the record: a candidate storm.
struct StormWindow
{
    std::int32_t start = 0;   // record minute of its first interval
    double depth = 0;         // mm, missing intervals counted as no rain
    int year = 0;             // the year it starts in
    std::int64_t missing = 0; // missing record intervals inside it
};

// What one nested duration shows.
struct NestedDuration
{
    int duration = 0;  // d, minutes
    double design = 0; // H_P(d), mm
    // Same-frequency only (NaN for the average-variability storm):
    double typical = 0;        // h(d): the typical storm's nested window, mm
    double scale = 0;          // factor of the ring added at d (the core at d1); NaN for a dry ring
    bool dryRing = false;      // the ring had no rain in the typical storm: its design depth is spread evenly
    int nestedStart = 0;       // first interval of the nested window in the storm
    bool wettest = true;       // the nested window is the typical storm's wettest d-window
    double typicalWettest = 0; // the typical storm's wettest d-window, mm
    // Both methods: the design storm's wettest d-window, sliding at Δt.
    int designWettestStart = 0;
    double designWettest = 0; // mm
    double excess = 0;        // by how much it exceeds H_P(d), mm; 0 when it does not
};

// The average-variability pattern of storms cut into equally many intervals.
struct VariabilityPattern
{
    std::vector<double> averageRanks;    // per position: the mean rank, 1 the wettest
    std::vector<double> averagePercents; // per rank (wettest first): the mean share of the storm, %
    std::vector<double> pattern;         // per position: the share of the design storm, %, summing to 100
    int used = 0;                        // storms averaged
    int skipped = 0;                     // storms without rain, left out
};

struct LongStorm
{
    LongStormSettings settings; // as given, with the nested durations filled in
    int recordStep = 1;         // minutes
    DesignDepthSource source = DesignDepthSource::Records;
    std::vector<double> depths; // the design storm: D / Δt intervals, mm, unrounded
    std::vector<NestedDuration> durations;
    std::vector<int> years; // the record's used years

    // Same-frequency: the candidates (by time), the typical storm among them
    // and its intervals at Δt (mm).
    std::vector<StormWindow> candidates;
    StormWindow typical;
    bool typicalChosen = false; // named by the user rather than the wettest
    std::vector<double> typicalDepths;

    // Average variability: the storms (by time; those without rain included)
    // and their pattern.
    std::vector<StormWindow> storms;
    VariabilityPattern variability;

    QStringList notes; // what an engineer must know, one Chinese line each
};

// The nested durations of the settings: the user's list checked, or the
// default nest. Raises PluvionError naming a bad entry: one that is not a
// multiple of Δt, not above the one before, or a list that does not end at D.
std::vector<int> NestedDurations(const LongStormSettings &settings);

// Raises PluvionError unless D is within 1 to MaxRecordDuration minutes, Δt
// divides D and is a multiple of the record's step.
void CheckLongStormSettings(const LongStormSettings &settings, int recordStep);

// The wettest D-window of each used year (a window belongs to the year it
// starts in; windows slide at the record's step; of equals the earliest), by
// time; a year without rain in any window gives none. Raises PluvionError
// when no year is used.
std::vector<StormWindow> AnnualStormWindows(const RainRecord &record, int duration);

// The `count` wettest D-windows of the used years, no two overlapping, chosen
// greedily wettest first as the annual multiple samples are (of equals the one
// with fewer missing intervals, then the earliest), by time. Raises
// PluvionError when no year is used or the record holds fewer such storms.
std::vector<StormWindow> LargestStormWindows(const RainRecord &record, int duration, int count);

// A storm window's depths at Δt, mm (missing intervals as no rain).
std::vector<double> StormIntervals(const RainRecord &record, const StormWindow &window, int duration,
                                   int step);

// The design depths H_P(d), mm, of the durations (each a multiple of the
// record's step, at most MaxRecordDuration) from the record's samples as the
// settings take and analyse them: intensity × d of the frequency analysis at P.
// Raises PluvionError as TakeRecordSamples and AnalyseSamples do.
std::vector<double> RecordDesignDepths(const RainRecord &record, const LongStormSettings &settings,
                                       const std::vector<int> &durations);

// The design depths from the settings' total formula: i(d, P) × d. Raises
// PluvionError for a depth that is not a positive number.
std::vector<double> FormulaDesignDepths(const LongStormSettings &settings, const std::vector<int> &durations);

// The average-variability pattern of storms of equal length (depths in any
// unit): each storm's intervals ranked (1 the wettest, of equals the earlier),
// the ranks averaged per position; each storm's shares (%) sorted wettest
// first and averaged per rank; the k-th largest mean share goes to the
// position of the k-th smallest mean rank (of equals the earlier). A storm
// without rain is skipped and counted. Raises PluvionError when the storms
// differ in length or none has rain.
VariabilityPattern AverageVariabilityPattern(const std::vector<std::vector<double>> &storms);

// The design storm. Raises PluvionError for bad settings, no used year, no
// storm with rain, a typical start that is no candidate's (naming the
// candidates' starts), fewer storms than asked for, a design depth that falls
// from one nested duration to the next (naming the longer), and whatever the
// frequency analysis refuses.
LongStorm BuildLongStorm(const RainRecord &record, const LongStormSettings &settings);

// A storm's start as users read and type it: "2019-07-21 14:05".
QString StormStartText(std::int32_t minute);
// The record minute of such a text (blanks around it ignored). Raises
// PluvionError for anything else, or a date that does not exist.
std::int32_t ParseStormStart(const QString &text);
