#pragma once

#include "records/RecordSamples.h"

#include <QStringList>
#include <vector>

// The peak ratio r measured from the sampled storms.
//
// A window's peak lies at the middle of its largest interval (the first of
// equals): r = (index of that interval + 0.5) × step / duration, so a window
// of uniform rain places its peak at the start half an interval in, and a
// window's r lies strictly between 0 and 1.

// The fewest record steps a duration needs for its peak to be placed.
inline constexpr int MinPeakSteps = 3;

struct DurationPeakRatio
{
    int duration = 0;
    int events = 0;
    double mean = 0;
    double deviation = 0; // sample standard deviation; 0 for a single event
    bool used = false;    // at least MinPeakSteps steps long and with an event
};

struct PeakRatio
{
    std::vector<DurationPeakRatio> durations;
    // The mean of the used durations' means; NaN when no duration is used.
    double r = 0;
    // One note for each window with missing intervals, whose peak is the
    // largest measured interval: "注：2009 年 1440 分钟样本的时段内缺测 60 分钟，…".
    QStringList notes;
};

// r of one window of `width` intervals whose largest is interval `peak`.
double WindowPeakRatio(int peak, int width);

PeakRatio MeasurePeakRatio(const RecordSamples &samples);
