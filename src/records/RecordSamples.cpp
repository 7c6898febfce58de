#include "records/RecordSamples.h"

#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <algorithm>
#include <queue>
#include <set>

namespace {

// Windows in the order of choice: deeper first, earlier first among equals.
bool Before(const RecordWindow &a, const RecordWindow &b)
{
    return a.depth != b.depth ? a.depth > b.depth : a.start < b.start;
}

int PeakOf(const RainRecord &record, std::int64_t start, std::int64_t width)
{
    const std::int32_t *first = record.depths.data() + start;
    return int(std::max_element(first, first + width) - first);
}

// Every window of `width` intervals that starts in a used year and covers no
// missing interval, with its depth and year, in time order.
template <typename Visit> void EachWindow(const RainRecord &record, std::int64_t width, Visit visit)
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
        // Running sum and count of missing intervals over [i, i + width).
        std::int64_t sum = 0;
        std::int64_t missing = 0;
        for (std::int64_t k = begin; k < begin + width; ++k) {
            if (depths[k] == MissingDepth)
                ++missing;
            else
                sum += depths[k];
        }
        const int year = record.years[y].year;
        for (std::int64_t i = begin;; ++i) {
            if (missing == 0)
                visit(i, sum, year);
            if (i + 1 >= end)
                break;
            const std::int32_t out = depths[i];
            const std::int32_t in = depths[i + width];
            if (out == MissingDepth)
                --missing;
            else
                sum -= out;
            if (in == MissingDepth)
                ++missing;
            else
                sum += in;
        }
    }
}

std::vector<RecordWindow> AnnualMaxima(const RainRecord &record, std::int64_t width)
{
    std::vector<RecordWindow> windows;
    RecordWindow best;
    best.year = -1;
    EachWindow(record, width, [&](std::int64_t start, std::int64_t depth, int year) {
        if (year != best.year) {
            if (best.year >= 0 && best.depth > 0)
                windows.push_back(best);
            best = {start, depth, 0, year};
        } else if (depth > best.depth) {
            best.start = start;
            best.depth = depth;
        }
    });
    if (best.year >= 0 && best.depth > 0)
        windows.push_back(best);
    return windows;
}

std::vector<RecordWindow> LargestIndependent(const RainRecord &record, std::int64_t width, size_t count)
{
    // The greedy choice looks at windows largest first; each chosen window
    // rules out at most 2 × width − 1 windows (itself included), so the
    // first `count` choices are among the largest count × (2 × width − 1).
    const size_t kept = count * size_t(2 * width - 1);
    const auto worse = [](const RecordWindow &a, const RecordWindow &b) { return Before(a, b); };
    std::priority_queue<RecordWindow, std::vector<RecordWindow>, decltype(worse)> heap(worse);
    EachWindow(record, width, [&](std::int64_t start, std::int64_t depth, int year) {
        if (depth <= 0)
            return;
        if (heap.size() < kept) {
            heap.push({start, depth, 0, year});
        } else if (depth > heap.top().depth) {
            // Equal depths keep the earlier window, already in the heap.
            heap.pop();
            heap.push({start, depth, 0, year});
        }
    });
    std::vector<RecordWindow> candidates;
    candidates.reserve(heap.size());
    while (!heap.empty()) {
        candidates.push_back(heap.top());
        heap.pop();
    }
    std::sort(candidates.begin(), candidates.end(), Before);
    std::vector<RecordWindow> chosen;
    std::set<std::int64_t> starts;
    for (const RecordWindow &window : candidates) {
        if (chosen.size() == count)
            break;
        const auto next = starts.lower_bound(window.start);
        if (next != starts.end() && *next < window.start + width)
            continue;
        if (next != starts.begin() && *std::prev(next) + width > window.start)
            continue;
        starts.insert(window.start);
        chosen.push_back(window);
    }
    return chosen;
}

// A window holding a whole storm with dry time on both sides is as deep as
// its neighbours that hold the storm too; of such a run of equal windows the
// earliest was chosen. It is moved to the middle of the run, so that the
// storm sits in the middle of it rather than at its end, which would
// otherwise place every short storm's peak late in long windows. It stays in
// its year and clear of the next window chosen.
void CentreOnEqualWindows(const RainRecord &record, std::int64_t width, std::vector<RecordWindow> &windows)
{
    std::vector<size_t> order(windows.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return windows[a].start < windows[b].start; });
    const std::int32_t *depths = record.depths.data();
    const std::int64_t count = std::int64_t(record.depths.size());
    for (size_t k = 0; k < order.size(); ++k) {
        RecordWindow &window = windows[order[k]];
        const size_t y = size_t(window.year - record.years.front().year);
        std::int64_t last = std::min(record.yearStarts[y + 1] - 1, count - width);
        if (k + 1 < order.size())
            last = std::min(last, windows[order[k + 1]].start - width);
        std::int64_t end = window.start;
        while (end < last && depths[end] == depths[end + width] && depths[end + width] != MissingDepth)
            ++end;
        window.start += (end - window.start) / 2;
    }
}

} // namespace

void CheckRecordDurations(const std::vector<int> &durations, int step)
{
    std::set<int> seen;
    for (const int duration : durations) {
        if (duration < step || duration > MaxRecordDuration || duration % step != 0)
            throw PluvionError(QStringLiteral("历时 %1 分钟应为记录步长 %2 分钟的整数倍，且不超过 %3 分钟")
                                   .arg(duration)
                                   .arg(step)
                                   .arg(MaxRecordDuration));
        if (!seen.insert(duration).second)
            throw PluvionError(QStringLiteral("历时 %1 分钟重复").arg(duration));
    }
    if (durations.size() < 3)
        throw PluvionError(QStringLiteral("至少需要3个历时，现只有%1个。").arg(durations.size()));
}

RecordSamples TakeRecordSamples(const RainRecord &record, const RecordSampling &sampling,
                                const RecordProgress &progress)
{
    CheckRecordDurations(sampling.durations, record.step);
    RecordSamples samples;
    samples.method = sampling.method;
    samples.step = record.step;
    samples.years = record.usedYears();
    if (samples.years == 0)
        throw PluvionError(
            QStringLiteral("没有完整率达到 %1% 的年份，无法取样").arg(record.minCompleteness, 0, 'g', 6));
    const size_t count = sampling.count > 0 ? size_t(sampling.count) : size_t(4 * samples.years);
    ReportRecordProgress(progress, 0);
    for (size_t d = 0; d < sampling.durations.size(); ++d) {
        const int duration = sampling.durations[d];
        const std::int64_t width = duration / record.step;
        DurationWindows series{duration, {}};
        series.windows = sampling.method == SamplingMethod::AnnualMaximum
                             ? AnnualMaxima(record, width)
                             : LargestIndependent(record, width, count);
        CentreOnEqualWindows(record, width, series.windows);
        for (RecordWindow &window : series.windows)
            window.peak = PeakOf(record, window.start, width);
        samples.durations.push_back(std::move(series));
        ReportRecordProgress(progress, double(d + 1) / double(sampling.durations.size()));
    }
    return samples;
}

SampleTable RecordSampleTable(const RecordSamples &samples)
{
    SampleTable table;
    for (const DurationWindows &series : samples.durations) {
        table.durations.push_back(series.duration);
        std::vector<double> depths;
        for (const RecordWindow &window : series.windows)
            depths.push_back(double(window.depth) / DepthPerMillimetre);
        table.samples.push_back(std::move(depths));
    }
    return table;
}

QStringList RecordSampleLines(const RecordSamples &samples)
{
    const bool annual = samples.method == SamplingMethod::AnnualMaximum;
    QString header = annual ? QStringLiteral("年份\\历时(min)") : QStringLiteral("序号\\历时(min)");
    for (const DurationWindows &series : samples.durations)
        header += u',' + QString::number(series.duration);
    QStringList lines{header};
    if (annual) {
        std::set<int> years;
        for (const DurationWindows &series : samples.durations)
            for (const RecordWindow &window : series.windows)
                years.insert(window.year);
        for (const int year : years) {
            QString line = QString::number(year);
            for (const DurationWindows &series : samples.durations) {
                line += u',';
                const auto found = std::find_if(series.windows.begin(), series.windows.end(),
                                                [&](const RecordWindow &w) { return w.year == year; });
                if (found != series.windows.end())
                    line += RecordDepthText(found->depth);
            }
            lines.append(line);
        }
    } else {
        size_t rows = 0;
        for (const DurationWindows &series : samples.durations)
            rows = std::max(rows, series.windows.size());
        for (size_t k = 0; k < rows; ++k) {
            QString line = QString::number(k + 1);
            for (const DurationWindows &series : samples.durations) {
                line += u',';
                if (k < series.windows.size())
                    line += RecordDepthText(series.windows[k].depth);
            }
            lines.append(line);
        }
    }
    return lines;
}

QByteArray RecordSampleFileBytes(const RecordSamples &samples)
{
    return EncodeLegacyLines(RecordSampleLines(samples));
}

void WriteRecordSamples(const FileTarget &target, const RecordSamples &samples)
{
    WriteFileBytes(target, RecordSampleFileBytes(samples));
}
