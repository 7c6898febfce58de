#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// What a storm is built from.
enum class StormKind : std::uint8_t
{
    Chicago = 0, // 芝加哥雨型: from the storm-intensity formula, P, T and r (the default)
    Long = 1,    // 长历时雨型: interval depths from a station's records, scaled to design depths
};

// How a long-duration storm's time pattern is found.
enum class LongStormMethod : std::uint8_t
{
    SameFrequency,      // 同频率放大 of one typical storm (default)
    AverageVariability, // Pilgrim–Cordery average pattern of many storms (平均变率法)
};

// Where the design depths H_P(d) come from.
enum class DesignDepthSource : std::uint8_t
{
    Records, // the frequency analysis of the record's own samples at each nested duration
    Formula, // a fitted total formula: H = i(d, P) × d
};

// One nested duration of a long-duration storm as its report states it.
struct NestedDesignDepth
{
    int duration = 0;  // d, minutes
    double design = 0; // H_P(d), mm
    // Same-frequency scaling only: the typical storm's nested window h(d) in mm,
    // the factor of the ring added at d (none for a ring without rain, whose
    // design depth is spread evenly) and the window's first interval.
    std::optional<double> typical;
    std::optional<double> scale;
    int nestedStart = 0;
    bool wettest = true; // the nested window is the typical storm's wettest of its duration
    // How much the design storm's wettest d-window exceeds H_P(d), mm; 0 when it does not.
    double excess = 0;

    bool operator==(const NestedDesignDepth &) const = default;
};

// A long-duration storm (StormKind::Long): its interval depths and the facts
// its report states. Its period, duration and step are the storm's P, D and
// Δt; it is listed as block averages, one row per interval.
struct LongStormProfile
{
    LongStormMethod method = LongStormMethod::SameFrequency;
    DesignDepthSource source = DesignDepthSource::Records;
    std::vector<double> depths; // one per interval of Δt, mm, unrounded; they total H_P(D)

    // Same-frequency scaling: the typical storm's D-window ("2019-07-21 14:05"),
    // whether the user named it rather than the wettest, and its depth h(D) in mm.
    QString typicalStart;
    bool typicalChosen = false;
    double typicalDepth = 0;
    // Average variability: the storms averaged and those left out without rain.
    int stormsAveraged = 0;
    int stormsSkipped = 0;

    std::vector<NestedDesignDepth> nested; // d1 < … < dk = D
    std::vector<double> pattern;           // per interval, % of the storm: the time pattern applied

    // Where the design depths came from, in words: the samples' method and
    // distribution, or the fitted formula.
    QString sampling;     // records: 年最大值法 / 年多个样法
    QString distribution; // records: the frequency distribution's name
    QString formula;      // formula: the total formula as written
    // The records the storm was built from: what was read (files, rows,
    // step), the years used and the completeness threshold.
    QString records;
    std::vector<int> years;
    double minCompleteness = 0; // %

    QStringList notes; // what an engineer must know, one line each

    bool operator==(const LongStormProfile &) const = default;
};

// The name of a method as users read it: "同频率放大" or "平均变率法".
inline QString LongStormMethodName(LongStormMethod method)
{
    return method == LongStormMethod::AverageVariability ? QStringLiteral("平均变率法")
                                                         : QStringLiteral("同频率放大");
}

// Where the design depths came from, in a few words: "降雨记录" or "暴雨强度公式".
inline QString DesignDepthSourceName(DesignDepthSource source)
{
    return source == DesignDepthSource::Formula ? QStringLiteral("暴雨强度公式") : QStringLiteral("降雨记录");
}
