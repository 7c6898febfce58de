#include "records/RainRecord.h"

#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numeric>
#include <unistd.h>
#include <unordered_map>

namespace {

// An interval no file lists, while the files are merged.
constexpr std::int32_t Unlisted = -2;

// How far apart successive timestamps lie: the most common positive
// difference and the greatest common divisor of all (0 without two times).
struct TimeSpacing
{
    int mostCommon = 0;
    std::int64_t divisor = 0;
};

TimeSpacing SpacingOf(const std::vector<RecordRows> &files)
{
    std::vector<std::int64_t> counts(1441, 0);
    TimeSpacing spacing;
    for (const RecordRows &rows : files) {
        const std::vector<std::int32_t> *minutes = &rows.minutes;
        std::vector<std::int32_t> sorted;
        if (!std::is_sorted(minutes->begin(), minutes->end())) {
            sorted = *minutes;
            std::sort(sorted.begin(), sorted.end());
            minutes = &sorted;
        }
        for (size_t i = 1; i < minutes->size(); ++i) {
            const std::int64_t difference = std::int64_t((*minutes)[i]) - (*minutes)[i - 1];
            if (difference > 0 && difference <= 1440)
                ++counts[size_t(difference)];
            spacing.divisor = std::gcd(spacing.divisor, difference);
        }
    }
    const auto most = std::max_element(counts.begin(), counts.end());
    if (*most > 0)
        spacing.mostCommon = int(most - counts.begin());
    return spacing;
}

// The step the timestamps show: their most common difference.
int DetectStep(const TimeSpacing &spacing)
{
    if (spacing.mostCommon == 0)
        throw PluvionError(QStringLiteral("记录太少，无法判断记录的步长，请指定步长"));
    const int step = spacing.mostCommon;
    if (60 % step != 0)
        throw PluvionError(
            QStringLiteral("记录中最常见的时间间隔为 %1 分钟，不能作为步长（应能整除 60 分钟），请指定步长")
                .arg(step));
    return step;
}

// A step given for records that are plainly coarser is refused: every
// timestamp lies on a grid of a multiple of it, and that grid is also the
// most common difference, as with 5-minute records read at 1 minute, whose
// storms would be read as four dry minutes and one wet one. Records at the
// given step with gaps, and listings of rain intervals only, keep a
// difference of the step somewhere and are fine.
void CheckGivenStep(const TimeSpacing &spacing, int step)
{
    if (spacing.divisor > step && spacing.divisor % step == 0 && spacing.mostCommon == spacing.divisor)
        throw PluvionError(QStringLiteral("记录的时间间隔为 %1 分钟，与指定的步长 %2 分钟不符")
                               .arg(spacing.divisor)
                               .arg(step));
}

// Where the row listed before (file f, row r) with the same minute is.
std::pair<size_t, size_t> EarlierRow(const std::vector<RecordRows> &files, std::int32_t minute, size_t f,
                                     size_t r)
{
    for (size_t g = 0; g <= f; ++g) {
        const size_t end = g == f ? r : files[g].minutes.size();
        for (size_t k = 0; k < end; ++k)
            if (files[g].minutes[k] == minute)
                return {g, k};
    }
    return {f, r};
}

} // namespace

QString CompletenessText(double percent, double threshold)
{
    // One decimal, or as many more as it takes to show on which side of the
    // threshold the share lies: 105,119 of 105,120 intervals are 99.999 %.
    for (int decimals = 1;; ++decimals) {
        const QString text = QString::number(percent, 'f', decimals);
        if (decimals >= 12 || (text.toDouble() < threshold) == (percent < threshold))
            return text;
    }
}

int RainRecord::usedYears() const
{
    return int(std::count_if(years.begin(), years.end(), [](const RecordYear &y) { return y.used; }));
}

QStringList RecordFilesOf(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isDir()) {
            files.append(path);
            continue;
        }
        // A folder that cannot be listed says why, rather than that it holds nothing.
        // (Listing a folder's files needs both reading and searching it.)
        if (access(QFile::encodeName(path).constData(), R_OK | X_OK) != 0)
            throw PluvionError(QStringLiteral("无法读取文件夹 %1：%2").arg(path, SystemErrorReason(errno)));
        const QDir folder(path);
        // Files that cannot be read are listed too, so that reading them names the reason.
        const QStringList names = folder.entryList({QStringLiteral("*.csv"), QStringLiteral("*.txt"),
                                                    QStringLiteral("*.CSV"), QStringLiteral("*.TXT")},
                                                   QDir::Files, QDir::Name);
        if (names.isEmpty())
            throw PluvionError(QStringLiteral("文件夹 %1 中没有 .csv 或 .txt 记录文件").arg(path));
        for (const QString &name : names)
            files.append(folder.filePath(name));
    }
    return files;
}

RainRecord MergeRecordRows(std::vector<RecordRows> files, const RecordSettings &settings)
{
    RainRecord record;
    record.gaps = settings.gaps;
    record.minCompleteness = settings.minCompleteness;
    std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
    std::int32_t highest = std::numeric_limits<std::int32_t>::min();
    for (const RecordRows &rows : files) {
        record.files.append(rows.file);
        record.rows += std::int64_t(rows.minutes.size());
        for (const std::int32_t minute : rows.minutes) {
            lowest = std::min(lowest, minute);
            highest = std::max(highest, minute);
        }
    }
    if (record.rows == 0)
        throw PluvionError(QStringLiteral("记录文件中没有任何记录"));
    const TimeSpacing spacing = SpacingOf(files);
    if (settings.step > 0)
        CheckGivenStep(spacing, settings.step);
    record.step = settings.step > 0 ? settings.step : DetectStep(spacing);
    record.stepDetected = settings.step <= 0;
    const int step = record.step;

    const int firstYear = RecordYearOf(lowest);
    const int lastYear = RecordYearOf(highest);
    if (lastYear - firstYear + 1 > MaxRecordSpanYears)
        throw PluvionError(QStringLiteral("记录从 %1 年到 %2 年，跨越超过 %3 年，请检查时间是否有误")
                               .arg(firstYear)
                               .arg(lastYear)
                               .arg(MaxRecordSpanYears));
    record.start = RecordMinute(firstYear, 1, 1, 0, 0);
    for (int year = firstYear; year <= lastYear + 1; ++year)
        record.yearStarts.push_back((std::int64_t(RecordMinute(year, 1, 1, 0, 0)) - record.start) / step);
    ReserveRecordValues(record.depths, size_t(record.yearStarts.back()));
    record.depths.assign(size_t(record.yearStarts.back()), Unlisted);
    record.years.resize(size_t(lastYear - firstYear + 1));
    for (size_t y = 0; y < record.years.size(); ++y) {
        record.years[y].year = firstYear + int(y);
        record.years[y].intervals = record.yearStarts[y + 1] - record.yearStarts[y];
    }

    const std::int64_t limit = std::llround(settings.maxDepthPerMinute * step * DepthPerMillimetre);
    for (size_t f = 0; f < files.size(); ++f) {
        const RecordRows &rows = files[f];
        size_t y = 0;
        for (size_t r = 0; r < rows.minutes.size(); ++r) {
            const std::int32_t minute = rows.minutes[r];
            const std::int64_t offset = std::int64_t(minute) - record.start;
            if (offset % step != 0)
                throw PluvionError(
                    RecordPlace(rows.file, rows.line(r), rows.timeColumn) +
                    QStringLiteral("时间 %1 不在 %2 分钟步长的整点上").arg(RecordTimeText(minute)).arg(step));
            const std::int32_t depth = rows.depths[r];
            if (depth > limit)
                throw PluvionError(RecordPlace(rows.file, rows.line(r), rows.depthColumn) +
                                   QStringLiteral("雨量 %1 mm 超过了 %2 分钟内可能测得的上限 %3 mm")
                                       .arg(RecordDepthText(depth))
                                       .arg(step)
                                       .arg(RecordDepthText(limit)));
            const std::int64_t index = offset / step;
            std::int32_t &slot = record.depths[size_t(index)];
            if (slot != Unlisted) {
                if (slot == depth) {
                    ++record.duplicates;
                    continue;
                }
                const auto [g, k] = EarlierRow(files, minute, f, r);
                throw PluvionError(
                    QStringLiteral(
                        "文件 %1 第 %2 行与文件 %3 第 %4 行的时间同为 %5，雨量却不同（%6 与 %7 mm）")
                        .arg(files[g].file)
                        .arg(files[g].line(k))
                        .arg(rows.file)
                        .arg(rows.line(r))
                        .arg(RecordTimeText(minute), RecordDepthText(files[g].depths[k]),
                             RecordDepthText(depth)));
            }
            slot = depth;
            // Rows mostly come in time order: the year is found from the last one.
            if (index < record.yearStarts[y] || index >= record.yearStarts[y + 1])
                y = size_t(std::upper_bound(record.yearStarts.begin(), record.yearStarts.end(), index) -
                           record.yearStarts.begin() - 1);
            RecordYear &year = record.years[y];
            if (year.rows == 0 || minute < year.first)
                year.first = minute;
            if (year.rows == 0 || minute > year.last)
                year.last = minute;
            ++year.rows;
            year.total += depth;
        }
    }
    files.clear();
    files.shrink_to_fit();

    for (size_t y = 0; y < record.years.size(); ++y) {
        RecordYear &year = record.years[y];
        std::int32_t *begin = record.depths.data() + record.yearStarts[y];
        std::int32_t *end = record.depths.data() + record.yearStarts[y + 1];
        if (settings.gaps == RecordGaps::Zero && year.rows > 0) {
            std::replace(begin, end, Unlisted, std::int32_t(0));
            year.present = year.intervals;
        } else {
            std::replace(begin, end, Unlisted, MissingDepth);
            year.present = year.rows;
        }
        if (year.rows == 0) {
            year.reason = QStringLiteral("没有任何记录");
        } else if (year.percent() < settings.minCompleteness) {
            year.reason = QStringLiteral("记录完整率 %1% 低于 %2%")
                              .arg(CompletenessText(year.percent(), settings.minCompleteness))
                              .arg(settings.minCompleteness, 0, 'g', 6);
        } else {
            year.used = true;
        }
    }
    return record;
}

RainRecord ReadRainRecord(const QStringList &paths, const RecordSettings &settings,
                          const RecordProgress &progress)
{
    const QStringList files = RecordFilesOf(paths);
    std::vector<qint64> sizes;
    qint64 total = 0;
    for (const QString &file : files) {
        sizes.push_back(std::max<qint64>(QFileInfo(file).size(), 1));
        total += sizes.back();
    }
    // Reading is most of the work: 90 % of the progress.
    std::vector<RecordRows> rows;
    qint64 before = 0;
    ReportRecordProgress(progress, 0);
    for (qsizetype f = 0; f < files.size(); ++f) {
        rows.push_back(ReadRecordFile(files[f], settings.format, [&](qint64 read) {
            ReportRecordProgress(progress,
                                 0.9 * double(before + std::min(read, sizes[size_t(f)])) / double(total));
        }));
        before += sizes[size_t(f)];
    }
    RainRecord record = MergeRecordRows(std::move(rows), settings);
    ReportRecordProgress(progress, 1);
    return record;
}
