#include "records/RecordSamples.h"

#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <algorithm>
#include <limits>
#include <set>

namespace {

// Windows in the order of choice: deeper first; among equals the one with
// fewer missing intervals, whose depth is surer, then the earlier.
bool Before(const RecordWindow &a, const RecordWindow &b)
{
    if (a.depth != b.depth)
        return a.depth > b.depth;
    return a.missing != b.missing ? a.missing < b.missing : a.start < b.start;
}

// The depth of interval `index` for placing a storm in its window: beyond
// either end of the record there is no record, and so no rain in it.
std::int32_t DepthAt(const RainRecord &record, std::int64_t index)
{
    return index < 0 || index >= std::int64_t(record.depths.size()) ? 0 : record.depths[size_t(index)];
}

int PeakOf(const RainRecord &record, std::int64_t start, std::int64_t width)
{
    int peak = 0;
    for (std::int64_t k = 1; k < width; ++k)
        if (DepthAt(record, start + k) > DepthAt(record, start + peak))
            peak = int(k);
    return peak;
}

// Every window of `width` intervals that starts in a used year and lies within
// the record, with its known depth (a missing interval counts as nothing),
// the number of its missing intervals and its year, in time order; only
// those starting from `from` up to `to` (excluded) when given.
template <typename Visit>
void EachWindow(const RainRecord &record, std::int64_t width, Visit visit, std::int64_t from = 0,
                std::int64_t to = std::numeric_limits<std::int64_t>::max())
{
    const std::int32_t *depths = record.depths.data();
    const std::int64_t count = std::int64_t(record.depths.size());
    for (size_t y = 0; y < record.years.size(); ++y) {
        if (!record.years[y].used)
            continue;
        const std::int64_t begin = std::max(record.yearStarts[y], from);
        const std::int64_t end = std::min({record.yearStarts[y + 1], count - width + 1, to});
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
            visit(i, sum, missing, year);
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
    EachWindow(record, width, [&](std::int64_t start, std::int64_t depth, std::int64_t missing, int year) {
        if (year != best.year) {
            if (best.year >= 0 && best.depth > 0)
                windows.push_back(best);
            best = {start, depth, 0, year, missing};
        } else {
            const RecordWindow window{start, depth, 0, year, missing};
            if (Before(window, best))
                best = window;
        }
    });
    if (best.year >= 0 && best.depth > 0)
        windows.push_back(best);
    return windows;
}

// A window holding a whole storm with dry time on both sides is as deep as
// its neighbours that hold the storm too. Of such a run of equally deep
// windows the middle one is taken, so that the storm sits in the middle of
// its window rather than at an end, which would otherwise place every short
// storm's peak late in long windows. The run is the same wherever the storm
// falls in the calendar:
// - it is followed across the year's end both ways, as any window holds the
//   intervals after its start whatever year they belong to; the sample keeps
//   the year of the window found, and its depth;
// - it is followed beyond either end of the record, where there is no record
//   and so no rain: a storm on the record's last 31 December is placed in its
//   window as one in July, and the window's depth stays what the record holds;
// - it stops at a missing interval inside the record, which is never taken
//   for a dry one, and it stays clear of the neighbouring windows chosen, so
//   that independent samples stay independent.
void CentreOnEqualWindows(const RainRecord &record, std::int64_t width, std::vector<RecordWindow> &windows)
{
    std::vector<size_t> order(windows.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return windows[a].start < windows[b].start; });
    // Moving a window by one interval leaves one interval and takes another:
    // its depth stays when both are known and equal.
    const auto same = [&](std::int64_t leaving, std::int64_t taken) {
        const std::int32_t in = DepthAt(record, taken);
        return in != MissingDepth && DepthAt(record, leaving) == in;
    };
    for (size_t k = 0; k < order.size(); ++k) {
        RecordWindow &window = windows[order[k]];
        std::int64_t first = std::numeric_limits<std::int64_t>::min();
        std::int64_t last = std::numeric_limits<std::int64_t>::max();
        if (k > 0)
            first = windows[order[k - 1]].start + width;
        if (k + 1 < order.size())
            last = windows[order[k + 1]].start - width;
        std::int64_t begin = window.start;
        while (begin > first && same(begin - 1 + width, begin - 1))
            --begin;
        std::int64_t end = window.start;
        while (end < last && same(end, end + width))
            ++end;
        window.start = begin + (end - begin) / 2;
    }
}

} // namespace

std::vector<RecordWindow> LargestIndependentWindows(const RainRecord &record, std::int64_t width,
                                                    size_t count)
{
    // The windows are grouped by start into blocks, each keeping its best
    // window still free. A window chosen rules out those starting less than
    // `width` from it, which lie in at most three blocks: only these are
    // searched again, so the record is read once and then a few blocks per choice.
    const std::int64_t block = std::max<std::int64_t>(width, 4096);
    const std::int64_t starts = std::int64_t(record.depths.size()) - width + 1;
    if (starts <= 0 || count == 0)
        return {};
    std::vector<RecordWindow> best(size_t((starts + block - 1) / block));
    for (RecordWindow &window : best)
        window.depth = 0; // none: only windows with rain are chosen
    std::set<std::int64_t> chosenStarts;
    const auto isFree = [&](std::int64_t start) {
        const auto next = chosenStarts.lower_bound(start);
        if (next != chosenStarts.end() && *next < start + width)
            return false;
        return next == chosenStarts.begin() || *std::prev(next) + width <= start;
    };
    const auto visit = [&](std::int64_t start, std::int64_t depth, std::int64_t missing, int year) {
        RecordWindow &kept = best[size_t(start / block)];
        const RecordWindow window{start, depth, 0, year, missing};
        if (depth > 0 && (kept.depth == 0 || Before(window, kept)) && isFree(start))
            kept = window;
    };
    EachWindow(record, width, visit);
    // The blocks by their best window, best first; an entry whose block has
    // since changed its best is passed over.
    std::vector<std::pair<RecordWindow, size_t>> heap;
    const auto heapWorse = [](const std::pair<RecordWindow, size_t> &a,
                              const std::pair<RecordWindow, size_t> &b) { return Before(b.first, a.first); };
    for (size_t b = 0; b < best.size(); ++b)
        if (best[b].depth > 0)
            heap.emplace_back(best[b], b);
    std::make_heap(heap.begin(), heap.end(), heapWorse);
    std::vector<RecordWindow> chosen;
    while (chosen.size() < count && !heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), heapWorse);
        const auto [window, b] = heap.back();
        heap.pop_back();
        if (best[b].depth == 0 || best[b].start != window.start)
            continue;
        chosen.push_back(window);
        chosenStarts.insert(window.start);
        const std::int64_t first = std::max<std::int64_t>(window.start - width + 1, 0) / block;
        const std::int64_t last = std::min(window.start + width - 1, starts - 1) / block;
        for (std::int64_t k = first; k <= last; ++k) {
            best[size_t(k)].depth = 0;
            EachWindow(record, width, visit, k * block, (k + 1) * block);
            if (best[size_t(k)].depth > 0) {
                heap.emplace_back(best[size_t(k)], size_t(k));
                std::push_heap(heap.begin(), heap.end(), heapWorse);
            }
        }
    }
    return chosen;
}

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
                             : LargestIndependentWindows(record, width, count);
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

QString PartialSampleText(const RecordSamples &samples, const DurationWindows &series, size_t rank)
{
    const RecordWindow &window = series.windows[rank];
    const QString sample = samples.method == SamplingMethod::AnnualMaximum
                               ? QStringLiteral("%1 年 %2 分钟样本").arg(window.year).arg(series.duration)
                               : QStringLiteral("%1 分钟第 %2 个样本（%3 年）")
                                     .arg(series.duration)
                                     .arg(rank + 1)
                                     .arg(window.year);
    return sample + QStringLiteral("的时段内缺测 %1 分钟").arg(window.missing * samples.step);
}

QStringList RecordSampleLines(const RecordSamples &samples, std::vector<std::pair<int, int>> *partial)
{
    const bool annual = samples.method == SamplingMethod::AnnualMaximum;
    QString header = annual ? QStringLiteral("年份\\历时(min)") : QStringLiteral("序号\\历时(min)");
    for (const DurationWindows &series : samples.durations)
        header += u',' + QString::number(series.duration);
    QStringList lines{header};
    // The line of each sample, by duration and rank.
    std::vector<std::vector<int>> lineOf(samples.durations.size());
    if (annual) {
        std::set<int> years;
        for (const DurationWindows &series : samples.durations)
            for (const RecordWindow &window : series.windows)
                years.insert(window.year);
        for (const int year : years) {
            QString line = QString::number(year);
            for (size_t d = 0; d < samples.durations.size(); ++d) {
                const DurationWindows &series = samples.durations[d];
                line += u',';
                const auto found = std::find_if(series.windows.begin(), series.windows.end(),
                                                [&](const RecordWindow &w) { return w.year == year; });
                if (found != series.windows.end()) {
                    line += RecordDepthText(found->depth);
                    lineOf[d].resize(series.windows.size());
                    lineOf[d][size_t(found - series.windows.begin())] = int(lines.size());
                }
            }
            lines.append(line);
        }
    } else {
        size_t rows = 0;
        for (const DurationWindows &series : samples.durations)
            rows = std::max(rows, series.windows.size());
        for (size_t k = 0; k < rows; ++k) {
            QString line = QString::number(k + 1);
            for (size_t d = 0; d < samples.durations.size(); ++d) {
                const DurationWindows &series = samples.durations[d];
                line += u',';
                if (k < series.windows.size()) {
                    line += RecordDepthText(series.windows[k].depth);
                    lineOf[d].push_back(int(lines.size()));
                }
            }
            lines.append(line);
        }
    }
    // The notes, by table line and column.
    std::vector<std::pair<std::pair<int, int>, QString>> notes;
    for (size_t d = 0; d < samples.durations.size(); ++d) {
        const DurationWindows &series = samples.durations[d];
        for (size_t k = 0; k < series.windows.size(); ++k)
            if (series.windows[k].missing > 0)
                notes.emplace_back(std::pair(lineOf[d][k], int(d) + 1),
                                   QStringLiteral("注：") + PartialSampleText(samples, series, k) +
                                       QStringLiteral("，样本为已测雨量（偏小）"));
    }
    std::sort(notes.begin(), notes.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[cell, note] : notes) {
        lines.append(note);
        if (partial)
            partial->push_back(cell);
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
