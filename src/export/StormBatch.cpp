#include "export/StormBatch.h"

#include "export/CsvExport.h"
#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cmath>

namespace {

QString summaryHeader()
{
    return QStringLiteral("重现期P(年),降雨历时T(min),峰值比例r,计算步长(min),计算模式,降雨总量H(mm),"
                          "平均雨强i(mm/min),峰值雨强(mm/min),峰值时刻(min),公式雨量(mm)");
}

Storm combination(const StormBatchRequest &request, double period, double duration)
{
    Storm storm = request.storm;
    storm.period = period;
    storm.duration = duration;
    storm.totalDepth = 0;
    storm.averageIntensity = 0;
    return storm;
}

// Computes one storm and stages its CSV; a failure of the computation is kept
// in the storm, one of the file raised.
void computeOne(BatchStorm &entry, const StormBatchRequest &request, const QDir &folder,
                const Separators &sep, FileStage &stage)
{
    RainPoints rows;
    if (const auto failure = CalcRainPoints(entry.storm, rows, request.calcByShow, request.precision)) {
        entry.failure = *failure;
        return;
    }
    try {
        entry.formulaDepth = FormulaDepth(entry.storm);
    } catch (const PluvionError &error) {
        entry.failure = error.description();
        return;
    }
    // The table's peak: the first of the largest listed intensities.
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || rows[i].Intensity > entry.peakIntensity) {
            entry.peakIntensity = rows[i].Intensity;
            entry.peakMinute = rows[i].Time;
        }
    }

    const QString path = folder.filePath(CsvProposedName(entry.storm, sep));
    WriteCsvFile(FileTarget(path, &stage), PointRows(rows, request.timeFormat, request.precision, sep),
                 request.timeFormat);
    entry.csvPath = path;
    if (request.keepRows)
        entry.rows = std::move(rows);
}

} // namespace

int StormBatchOutcome::failedCount() const
{
    int failed = 0;
    for (const BatchStorm &storm : storms)
        failed += storm.failure ? 1 : 0;
    return failed;
}

QString BatchSummaryFileName()
{
    return QStringLiteral("雨型汇总.csv");
}

QString BatchStormName(const Storm &storm)
{
    return QStringLiteral("P=%1 T=%2").arg(GeneralNumber(storm.period), GeneralNumber(storm.duration));
}

QStringList BatchSummaryLines(const QList<BatchStorm> &storms, int precision, const Separators &sep)
{
    QStringList lines{summaryHeader()};
    for (const BatchStorm &entry : storms) {
        if (entry.failure)
            continue;
        const Storm &storm = entry.storm;
        const QStringList fields = {
            GeneralNumberG(storm.period, sep),
            GeneralNumberG(storm.duration, sep),
            GeneralNumberG(storm.peakRatio, sep),
            QString::number(storm.step),
            StormModeName(storm.mode),
            ShownValue(storm.totalDepth, precision, sep),
            ShownValue(storm.averageIntensity, precision, sep),
            ShownValue(entry.peakIntensity, precision, sep),
            QString::number(static_cast<qint64>(entry.peakMinute)),
            ShownValue(entry.formulaDepth, precision, sep),
        };
        QStringList quoted;
        quoted.reserve(fields.size());
        for (const QString &field : fields)
            quoted.append(CsvField(field));
        lines.append(quoted.join(u','));
    }
    return lines;
}

namespace {

// Every combination in batch order; raises PluvionError for an empty list or
// two storms under one file name.
QList<BatchStorm> Combinations(const StormBatchRequest &request, const Separators &sep)
{
    if (request.periods.isEmpty() || request.durations.isEmpty())
        throw PluvionError(QStringLiteral("批量计算至少需要一个重现期和一个降雨历时"));
    QList<BatchStorm> storms;
    storms.reserve(request.periods.size() * request.durations.size());
    QSet<QString> names;
    for (const double period : request.periods) {
        for (const double duration : request.durations) {
            BatchStorm entry;
            entry.storm = combination(request, period, duration);
            // Two storms under one name would leave only the second's file.
            const QString name = CsvProposedName(entry.storm, sep);
            if (names.contains(name))
                throw PluvionError(QStringLiteral("批量计算中有两个雨型的文件名相同：%1").arg(name));
            names.insert(name);
            storms.append(std::move(entry));
        }
    }
    return storms;
}

} // namespace

QStringList BatchFilePaths(const StormBatchRequest &request, const Separators &sep)
{
    const QDir folder(QDir::cleanPath(request.folder));
    QStringList paths;
    for (const BatchStorm &entry : Combinations(request, sep))
        paths.append(folder.filePath(CsvProposedName(entry.storm, sep)));
    paths.append(folder.filePath(BatchSummaryFileName()));
    return paths;
}

StormBatchOutcome RunStormBatch(const StormBatchRequest &request, const Separators &sep,
                                const BatchProgress &progress)
{
    StormBatchOutcome outcome;
    outcome.storms = Combinations(request, sep);

    const QString folderPath = QDir::cleanPath(request.folder);
    const bool folderExisted = QFileInfo::exists(folderPath);
    if (!QDir().mkpath(folderPath) || !QFileInfo(folderPath).isDir())
        throw PluvionError(QStringLiteral("无法创建输出文件夹 \"%1\"").arg(request.folder));
    const QDir folder(folderPath);

    FileStage ownStage;
    FileStage &stage = request.stage ? *request.stage : ownStage;
    try {
        const int count = int(outcome.storms.size());
        for (int i = 0; i < count; ++i) {
            BatchStorm &entry = outcome.storms[i];
            computeOne(entry, request, folder, sep, stage);
            if (progress)
                progress(entry, i + 1, count);
        }
        outcome.summaryPath = folder.filePath(BatchSummaryFileName());
        WriteFileBytes(FileTarget(outcome.summaryPath, &stage),
                       EncodeLegacyLines(BatchSummaryLines(outcome.storms, request.precision, sep)));
        if (!request.stage)
            stage.commit();
    } catch (const PluvionError &) {
        // Nothing of the batch is left behind, its folder included.
        stage.discard();
        if (!folderExisted)
            QDir().rmdir(folderPath);
        throw;
    }
    return outcome;
}

std::optional<double> FormulaIntensity(const Storm &storm, double minutes)
{
    if (!(minutes > 0))
        return std::nullopt;
    Storm at = storm;
    at.duration = minutes;
    try {
        const double intensity = FormulaDepth(at) / minutes;
        if (!std::isfinite(intensity))
            return std::nullopt;
        return intensity;
    } catch (const PluvionError &) {
        return std::nullopt;
    }
}
