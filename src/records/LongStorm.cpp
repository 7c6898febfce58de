#include "records/LongStorm.h"

#include "model/PluvionError.h"
#include "records/RecordAnalysis.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

constexpr double NotApplicable = std::numeric_limits<double>::quiet_NaN();

// A depth in mm as the notes give it.
QString MmText(double depth)
{
    return QString::number(depth, 'f', 2);
}

// A missing interval holds no measured rain.
inline std::int64_t Known(std::int32_t depth)
{
    return depth < 0 ? 0 : depth;
}

void CheckUsedYears(const RainRecord &record)
{
    if (record.usedYears() == 0)
        throw PluvionError(NoUsedYearMessage(record.minCompleteness));
}

// Visits every window of `width` intervals that starts in a used year and
// lies within the record, with its measured depth, in time order.
template <typename Visit> void EachStormWindow(const RainRecord &record, std::int64_t width, Visit visit)
{
    const std::int32_t *depths = record.depths.data();
    const std::int64_t count = std::int64_t(record.depths.size());
    for (size_t y = 0; y < record.years.size(); ++y) {
        if (!record.years[y].used)
            continue;
        const std::int64_t begin = record.yearStarts[y];
        const std::int64_t end = std::min(record.yearStarts[y + 1], count - width + 1);
        if (begin >= end)
            continue;
        std::int64_t sum = 0;
        for (std::int64_t k = begin; k < begin + width; ++k)
            sum += Known(depths[k]);
        visit(begin, sum, int(y));
        for (std::int64_t i = begin + 1; i < end; ++i) {
            sum += Known(depths[i + width - 1]) - Known(depths[i - 1]);
            visit(i, sum, int(y));
        }
    }
}

StormWindow MakeWindow(const RainRecord &record, std::int64_t start, std::int64_t width, std::int64_t depth,
                       int year)
{
    StormWindow window;
    window.start = std::int32_t(record.start + start * record.step);
    window.depth = double(depth) / DepthPerMillimetre;
    window.year = record.years[size_t(year)].year;
    const auto first = record.depths.begin() + start;
    window.missing = std::count(first, first + width, MissingDepth);
    return window;
}

std::int64_t IndexOf(const RainRecord &record, std::int32_t minute)
{
    return (std::int64_t(minute) - record.start) / record.step;
}

// The window's depths at Δt in thousandths of a millimetre: exact, so that
// equally wet windows compare equal.
std::vector<std::int64_t> ExactIntervals(const RainRecord &record, const StormWindow &window, int duration,
                                         int step)
{
    const std::int64_t per = step / record.step;
    const std::int64_t first = IndexOf(record, window.start);
    std::vector<std::int64_t> intervals(size_t(duration / step), 0);
    for (size_t k = 0; k < intervals.size(); ++k) {
        const std::int64_t begin = first + std::int64_t(k) * per;
        for (std::int64_t i = begin; i < begin + per; ++i)
            intervals[k] += Known(record.depths[size_t(i)]);
    }
    return intervals;
}

// Prefix sums: sums[i] is the total of the first i values.
template <typename T> std::vector<T> PrefixSums(const std::vector<T> &values)
{
    std::vector<T> sums(values.size() + 1, T(0));
    for (size_t i = 0; i < values.size(); ++i)
        sums[i + 1] = sums[i] + values[i];
    return sums;
}

// The wettest window of `width` intervals starting from `first` to `last`
// (both included); of equals the earliest.
template <typename T>
size_t WettestWindow(const std::vector<T> &sums, size_t width, size_t first, size_t last)
{
    size_t best = first;
    for (size_t s = first + 1; s <= last; ++s)
        if (sums[s + width] - sums[s] > sums[best + width] - sums[best])
            best = s;
    return best;
}

QString SourceNote(const LongStormSettings &settings)
{
    if (settings.source == DesignDepthSource::Formula)
        return QStringLiteral("设计雨量：由暴雨强度总公式按重现期 %1 年推求（H = i × t）")
            .arg(settings.period);
    QString note = QStringLiteral("设计雨量：由记录各嵌套历时的样本（%1）按%2推求，重现期 %3 年")
                       .arg(SamplingMethodName(settings.sampling.method),
                            DistributionName(settings.frequency.distribution))
                       .arg(settings.period);
    if (settings.sampling.method == SamplingMethod::AnnualMultiple && settings.frequency.annualMaximumPeriods)
        note += QStringLiteral("（年最大值法重现期，已换算）");
    return note;
}

// The design storm's wettest window of each nested duration, and by how much
// it exceeds the design depth.
void CheckDesignWindows(const std::vector<double> &depths, int step, std::vector<NestedDuration> &durations,
                        QStringList &notes)
{
    const std::vector<double> sums = PrefixSums(depths);
    for (NestedDuration &nested : durations) {
        const size_t width = size_t(nested.duration / step);
        const size_t start = WettestWindow(sums, width, 0, depths.size() - width);
        nested.designWettestStart = int(start);
        nested.designWettest = sums[start + width] - sums[start];
        // Sums of the same values in another order differ in their last bits.
        const double tolerance = 1e-9 * std::max(1.0, nested.design);
        nested.excess =
            nested.designWettest > nested.design + tolerance ? nested.designWettest - nested.design : 0;
        if (nested.excess > 0)
            notes.append(
                QStringLiteral("设计雨型中最大的 %1 分钟时段雨量 %2 mm，超过该历时的设计雨量 %3 mm 达 %4 mm")
                    .arg(nested.duration)
                    .arg(MmText(nested.designWettest), MmText(nested.design), MmText(nested.excess)));
    }
}

std::vector<double> DesignDepths(const RainRecord &record, const LongStormSettings &settings,
                                 const std::vector<int> &durations)
{
    return settings.source == DesignDepthSource::Formula ? FormulaDesignDepths(settings, durations)
                                                         : RecordDesignDepths(record, settings, durations);
}

void BuildSameFrequency(const RainRecord &record, LongStorm &storm)
{
    const LongStormSettings &settings = storm.settings;
    const int step = settings.step;
    storm.candidates = AnnualStormWindows(record, settings.duration);
    if (storm.candidates.empty())
        throw PluvionError(QStringLiteral("各使用年份的记录中均无降雨，无法选取典型暴雨"));
    // The wettest candidate; of equals the earliest.
    const auto wettest =
        std::max_element(storm.candidates.begin(), storm.candidates.end(),
                         [](const StormWindow &a, const StormWindow &b) { return a.depth < b.depth; });
    if (settings.typicalStart) {
        const auto named =
            std::find_if(storm.candidates.begin(), storm.candidates.end(),
                         [&](const StormWindow &w) { return w.start == *settings.typicalStart; });
        if (named == storm.candidates.end()) {
            QStringList starts;
            for (const StormWindow &window : storm.candidates)
                starts.append(StormStartText(window.start));
            throw PluvionError(
                QStringLiteral("%1 不是候选暴雨的开始时间，候选暴雨开始于：%2")
                    .arg(StormStartText(*settings.typicalStart), starts.join(QStringLiteral("、"))));
        }
        storm.typical = *named;
        storm.typicalChosen = true;
        storm.notes.append(QStringLiteral("典型暴雨：%1 开始的 %2 分钟降雨，雨量 %3 mm，由用户指定（%4 "
                                          "场候选暴雨中最大的开始于 %5，雨量 %6 mm）")
                               .arg(StormStartText(storm.typical.start))
                               .arg(settings.duration)
                               .arg(MmText(storm.typical.depth))
                               .arg(storm.candidates.size())
                               .arg(StormStartText(wettest->start), MmText(wettest->depth)));
    } else {
        storm.typical = *wettest;
        storm.notes.append(
            QStringLiteral("典型暴雨：%1 开始的 %2 分钟降雨，雨量 %3 mm，为 %4 场候选暴雨中最大的")
                .arg(StormStartText(storm.typical.start))
                .arg(settings.duration)
                .arg(MmText(storm.typical.depth))
                .arg(storm.candidates.size()));
    }
    if (storm.typical.missing > 0)
        storm.notes.append(QStringLiteral("典型暴雨的时段内缺测 %1 分钟，按已测雨量计（偏小）")
                               .arg(storm.typical.missing * record.step));

    const std::vector<std::int64_t> exact = ExactIntervals(record, storm.typical, settings.duration, step);
    const size_t n = exact.size();
    storm.typicalDepths.resize(n);
    for (size_t i = 0; i < n; ++i)
        storm.typicalDepths[i] = double(exact[i]) / DepthPerMillimetre;
    const std::vector<std::int64_t> sums = PrefixSums(exact);
    const auto mm = [](std::int64_t thousandths) { return double(thousandths) / DepthPerMillimetre; };

    // The nest: the core is the storm's wettest d1 window, each next window
    // the wettest of its duration that holds the one before. Of equally wet
    // windows the earlier is taken, here as everywhere in the storm.
    std::vector<size_t> ring(n, 0); // the nested duration whose ring each interval belongs to
    size_t start = 0;
    size_t width = 0;
    std::vector<double> factors(storm.durations.size(), NotApplicable);
    for (size_t j = 0; j < storm.durations.size(); ++j) {
        NestedDuration &nested = storm.durations[j];
        const size_t w = size_t(nested.duration / step);
        const size_t first = j == 0 ? 0 : (start + width >= w ? start + width - w : 0);
        const size_t last = j == 0 ? n - w : std::min(start, n - w);
        const size_t chosen = WettestWindow(sums, w, first, last);
        const size_t overall = WettestWindow(sums, w, 0, n - w);
        nested.nestedStart = int(chosen);
        nested.typical = mm(sums[chosen + w] - sums[chosen]);
        nested.typicalWettest = mm(sums[overall + w] - sums[overall]);
        nested.wettest = sums[chosen + w] - sums[chosen] == sums[overall + w] - sums[overall];
        if (!nested.wettest)
            storm.notes.append(
                QStringLiteral(
                    "典型暴雨的 %1 分钟嵌套时段雨量 %2 mm，不是该场暴雨最大的 %1 分钟时段（%3 mm）")
                    .arg(nested.duration)
                    .arg(MmText(nested.typical), MmText(nested.typicalWettest)));
        for (size_t i = chosen; i < chosen + w; ++i)
            if (j == 0 || i < start || i >= start + width)
                ring[i] = j;

        const double designRing = nested.design - (j == 0 ? 0.0 : storm.durations[j - 1].design);
        if (designRing < 0)
            throw PluvionError(
                QStringLiteral("历时 %1 分钟的设计雨量 %2 mm 小于历时 %3 分钟的 %4 mm，无法同频率放大")
                    .arg(nested.duration)
                    .arg(MmText(nested.design))
                    .arg(storm.durations[j - 1].duration)
                    .arg(MmText(storm.durations[j - 1].design)));
        const std::int64_t typicalRing =
            sums[chosen + w] - sums[chosen] - (j == 0 ? 0 : sums[start + width] - sums[start]);
        if (typicalRing > 0) {
            nested.scale = designRing / mm(typicalRing);
            factors[j] = nested.scale;
        } else {
            nested.scale = NotApplicable;
            nested.dryRing = true;
            const size_t count = w - width;
            storm.notes.append(
                QStringLiteral(
                    "典型暴雨在 %1 分钟至 %2 分钟嵌套时段之间无雨，该段设计雨量 %3 mm 均匀分配到 %4 个时段")
                    .arg(j == 0 ? 0 : storm.durations[j - 1].duration)
                    .arg(nested.duration)
                    .arg(MmText(designRing))
                    .arg(count));
            factors[j] = designRing / double(count); // the depth of each interval
        }
        start = chosen;
        width = w;
    }

    storm.depths.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const NestedDuration &nested = storm.durations[ring[i]];
        storm.depths[i] = nested.dryRing ? factors[ring[i]] : storm.typicalDepths[i] * factors[ring[i]];
    }
}

void BuildAverageVariability(const RainRecord &record, LongStorm &storm, const std::vector<double> &design)
{
    const LongStormSettings &settings = storm.settings;
    if (settings.storms == VariabilityStorms::LargestIndependent) {
        storm.storms = LargestStormWindows(record, settings.duration, settings.stormCount);
    } else {
        storm.storms = AnnualStormWindows(record, settings.duration);
        if (storm.storms.empty())
            throw PluvionError(QStringLiteral("各使用年份的记录中均无降雨，无法统计平均雨型"));
    }
    std::vector<std::vector<double>> intervals;
    intervals.reserve(storm.storms.size());
    for (const StormWindow &window : storm.storms) {
        intervals.push_back(StormIntervals(record, window, settings.duration, settings.step));
        if (window.missing > 0)
            storm.notes.append(QStringLiteral("%1 开始的暴雨时段内缺测 %2 分钟，按已测雨量计")
                                   .arg(StormStartText(window.start))
                                   .arg(window.missing * record.step));
    }
    storm.variability = AverageVariabilityPattern(intervals);
    storm.notes.append(settings.storms == VariabilityStorms::LargestIndependent
                           ? QStringLiteral("平均雨型由记录中互不重叠的最大 %1 场 %2 分钟暴雨统计")
                                 .arg(storm.variability.used)
                                 .arg(settings.duration)
                           : QStringLiteral("平均雨型由 %1 个年份各自最大的 %2 分钟暴雨统计")
                                 .arg(storm.variability.used)
                                 .arg(settings.duration));
    if (storm.variability.skipped > 0)
        storm.notes.append(QStringLiteral("%1 场暴雨总雨量为 0，未参与统计").arg(storm.variability.skipped));
    const double total = design.back();
    storm.depths.resize(storm.variability.pattern.size());
    for (size_t i = 0; i < storm.depths.size(); ++i)
        storm.depths[i] = storm.variability.pattern[i] / 100 * total;
    for (NestedDuration &nested : storm.durations) {
        nested.typical = NotApplicable;
        nested.scale = NotApplicable;
        nested.typicalWettest = NotApplicable;
    }
}

} // namespace

std::vector<int> NestedDurations(const LongStormSettings &settings)
{
    const int step = settings.step;
    const int duration = settings.duration;
    if (settings.nested.empty()) {
        std::vector<int> nested{step};
        for (const int d : DefaultNestedDurations)
            if (d > step && d < duration && d % step == 0)
                nested.push_back(d);
        if (duration > step)
            nested.push_back(duration);
        return nested;
    }
    int before = 0;
    for (const int d : settings.nested) {
        if (d <= 0 || d % step != 0)
            throw PluvionError(QStringLiteral("嵌套历时 %1 分钟应为时段长 %2 分钟的整数倍").arg(d).arg(step));
        if (d <= before)
            throw PluvionError(QStringLiteral("嵌套历时 %1 分钟应大于前一历时 %2 分钟").arg(d).arg(before));
        if (d > duration)
            throw PluvionError(QStringLiteral("嵌套历时 %1 分钟超过雨型历时 %2 分钟").arg(d).arg(duration));
        before = d;
    }
    if (before != duration)
        throw PluvionError(QStringLiteral("嵌套历时应以雨型历时 %1 分钟结束，而最后一个为 %2 分钟")
                               .arg(duration)
                               .arg(before));
    return settings.nested;
}

void CheckLongStormSettings(const LongStormSettings &settings, int recordStep)
{
    if (settings.duration <= 0 || settings.duration > MaxRecordDuration)
        throw PluvionError(QStringLiteral("雨型历时 %1 分钟应大于 0 且不超过 %2 分钟")
                               .arg(settings.duration)
                               .arg(MaxRecordDuration));
    if (settings.step <= 0 || settings.duration % settings.step != 0)
        throw PluvionError(QStringLiteral("时段长 %1 分钟不能整除雨型历时 %2 分钟")
                               .arg(settings.step)
                               .arg(settings.duration));
    if (settings.step % recordStep != 0)
        throw PluvionError(
            QStringLiteral("时段长 %1 分钟应为记录步长 %2 分钟的整数倍").arg(settings.step).arg(recordStep));
    if (!(settings.period > 0) || !std::isfinite(settings.period))
        throw PluvionError(QStringLiteral("重现期 %1 年无法推求：重现期必须大于 0 年").arg(settings.period));
    if (settings.method == LongStormMethod::AverageVariability &&
        settings.storms == VariabilityStorms::LargestIndependent && settings.stormCount < 1)
        throw PluvionError(
            QStringLiteral("参与统计的暴雨场数应至少为 1 场，现为 %1 场").arg(settings.stormCount));
}

std::vector<StormWindow> AnnualStormWindows(const RainRecord &record, int duration)
{
    CheckUsedYears(record);
    const std::int64_t width = duration / record.step;
    std::vector<StormWindow> windows;
    int year = -1;
    std::int64_t best = 0;
    std::int64_t at = 0;
    const auto close = [&] {
        if (year >= 0 && best > 0)
            windows.push_back(MakeWindow(record, at, width, best, year));
    };
    EachStormWindow(record, width, [&](std::int64_t start, std::int64_t depth, int y) {
        if (y != year) {
            close();
            year = y;
            best = depth;
            at = start;
        } else if (depth > best) { // of equals the earliest
            best = depth;
            at = start;
        }
    });
    close();
    return windows;
}

std::vector<StormWindow> LargestStormWindows(const RainRecord &record, int duration, int count)
{
    CheckUsedYears(record);
    const std::int64_t width = duration / record.step;
    std::vector<RecordWindow> chosen = LargestIndependentWindows(record, width, size_t(std::max(count, 0)));
    if (chosen.size() < size_t(count))
        throw PluvionError(QStringLiteral("记录中只有 %1 场互不重叠的 %2 分钟降雨，少于要求的 %3 场")
                               .arg(chosen.size())
                               .arg(duration)
                               .arg(count));
    std::sort(chosen.begin(), chosen.end(),
              [](const RecordWindow &a, const RecordWindow &b) { return a.start < b.start; });
    std::vector<StormWindow> windows;
    windows.reserve(chosen.size());
    for (const RecordWindow &window : chosen) {
        StormWindow storm;
        storm.start = std::int32_t(record.start + window.start * record.step);
        storm.depth = double(window.depth) / DepthPerMillimetre;
        storm.year = window.year;
        storm.missing = window.missing;
        windows.push_back(storm);
    }
    return windows;
}

std::vector<double> StormIntervals(const RainRecord &record, const StormWindow &window, int duration,
                                   int step)
{
    const std::vector<std::int64_t> exact = ExactIntervals(record, window, duration, step);
    std::vector<double> depths(exact.size());
    for (size_t k = 0; k < exact.size(); ++k)
        depths[k] = double(exact[k]) / DepthPerMillimetre;
    return depths;
}

std::vector<double> RecordDesignDepths(const RainRecord &record, const LongStormSettings &settings,
                                       const std::vector<int> &durations)
{
    RecordSampling sampling = settings.sampling;
    sampling.durations = durations;
    // The samples are taken at no fewer than three durations: shorter nests
    // are padded with durations of the record's step, sampled but not analysed.
    for (int k = 1; sampling.durations.size() < 3 && k * record.step <= MaxRecordDuration; ++k)
        if (std::find(durations.begin(), durations.end(), k * record.step) == durations.end())
            sampling.durations.push_back(k * record.step);
    const RecordSamples samples = TakeRecordSamples(record, sampling);
    SampleTable table = RecordSampleTable(samples);
    table.durations.resize(durations.size());
    table.samples.resize(durations.size());
    FrequencySettings frequency = settings.frequency;
    frequency.sampling = samples.method;
    frequency.years = samples.years;
    frequency.periods = {settings.period};
    const FrequencyResult result = AnalyseSamples(table, frequency);
    std::vector<double> depths(durations.size());
    for (size_t d = 0; d < durations.size(); ++d)
        depths[d] = result.table.at(d, 0) * durations[d];
    return depths;
}

std::vector<double> FormulaDesignDepths(const LongStormSettings &settings, const std::vector<int> &durations)
{
    std::vector<double> depths(durations.size());
    for (size_t d = 0; d < durations.size(); ++d) {
        depths[d] = FormulaIntensity(settings.formula, durations[d], settings.period) * durations[d];
        if (!(depths[d] > 0) || !std::isfinite(depths[d]))
            throw PluvionError(QStringLiteral("按公式推求的历时 %1 分钟、重现期 %2 年的设计雨量不是正数")
                                   .arg(durations[d])
                                   .arg(settings.period));
    }
    return depths;
}

VariabilityPattern AverageVariabilityPattern(const std::vector<std::vector<double>> &storms)
{
    VariabilityPattern pattern;
    const size_t n = storms.empty() ? 0 : storms.front().size();
    std::vector<std::int64_t> rankSums(n, 0);
    std::vector<double> percentSums(n, 0);
    std::vector<size_t> order(n);
    for (const std::vector<double> &storm : storms) {
        if (storm.size() != n)
            throw PluvionError(QStringLiteral("各场暴雨的时段数不同（%1 与 %2），无法统计平均雨型")
                                   .arg(n)
                                   .arg(storm.size()));
        const double total = std::accumulate(storm.begin(), storm.end(), 0.0);
        if (!(total > 0)) {
            ++pattern.skipped;
            continue;
        }
        ++pattern.used;
        // Wettest first; of equals the earlier position.
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return storm[a] > storm[b]; });
        for (size_t k = 0; k < n; ++k) {
            rankSums[order[k]] += std::int64_t(k + 1);
            percentSums[k] += 100 * storm[order[k]] / total;
        }
    }
    if (pattern.used == 0)
        throw PluvionError(QStringLiteral("没有总雨量大于 0 的暴雨，无法统计平均雨型"));
    pattern.averageRanks.resize(n);
    pattern.averagePercents.resize(n);
    for (size_t k = 0; k < n; ++k) {
        pattern.averageRanks[k] = double(rankSums[k]) / pattern.used;
        pattern.averagePercents[k] = percentSums[k] / pattern.used;
    }
    // The positions by mean rank (compared as exact sums); of equals the earlier.
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rankSums[a] < rankSums[b]; });
    pattern.pattern.resize(n);
    for (size_t k = 0; k < n; ++k)
        pattern.pattern[order[k]] = pattern.averagePercents[k];
    return pattern;
}

LongStorm BuildLongStorm(const RainRecord &record, const LongStormSettings &settings)
{
    CheckLongStormSettings(settings, record.step);
    LongStorm storm;
    storm.settings = settings;
    storm.settings.nested = NestedDurations(settings);
    storm.recordStep = record.step;
    storm.source = settings.source;
    CheckUsedYears(record);
    for (const RecordYear &year : record.years)
        if (year.used)
            storm.years.push_back(year.year);

    const std::vector<double> design = DesignDepths(record, storm.settings, storm.settings.nested);
    for (size_t j = 0; j < design.size(); ++j) {
        NestedDuration nested;
        nested.duration = storm.settings.nested[j];
        nested.design = design[j];
        storm.durations.push_back(nested);
    }
    storm.notes.append(SourceNote(settings));
    if (settings.method == LongStormMethod::SameFrequency)
        BuildSameFrequency(record, storm);
    else
        BuildAverageVariability(record, storm, design);
    CheckDesignWindows(storm.depths, settings.step, storm.durations, storm.notes);
    storm.notes.append(QStringLiteral("雨量相等的时段取较早者"));
    return storm;
}

QString StormStartText(std::int32_t minute)
{
    return RecordTimeText(minute);
}

std::int32_t ParseStormStart(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})\\s+(\\d{1,2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    const auto refuse = [&] {
        return PluvionError(QStringLiteral("开始时间“%1”应为“年-月-日 时:分”的形式，如 2019-07-21 14:05")
                                .arg(ValueExcerpt(text)));
    };
    if (!match.hasMatch())
        throw refuse();
    const int year = match.captured(1).toInt();
    const int month = match.captured(2).toInt();
    const int day = match.captured(3).toInt();
    const int hour = match.captured(4).toInt();
    const int minute = match.captured(5).toInt();
    if (year < FirstRecordYear || year > LastRecordYear || !QDate(year, month, day).isValid() || hour > 23 ||
        minute > 59)
        throw refuse();
    return RecordMinute(year, month, day, hour, minute);
}
