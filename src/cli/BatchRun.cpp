#include "CliDocuments.h"
#include "CliDrawing.h"
#include "Commands.h"
#include "RunFiles.h"
#include "export/StormBatch.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFileInfo>
#include <QSize>
#include <cmath>
#include <cstdio>

namespace {

QString progressLine(const BatchStorm &storm, int place, int count)
{
    QString line = QStringLiteral("[%1/%2] ").arg(place).arg(count) + BatchStormName(storm.storm);
    if (storm.failure)
        line += QStringLiteral(" 出错：") + *storm.failure;
    return line + u'\n';
}

// The longest listed duration the curves can reach.
double longestDuration(const QList<double> &durations)
{
    double longest = 0;
    for (const double duration : durations) {
        if (std::isfinite(duration))
            longest = std::max(longest, duration);
    }
    return longest;
}

// Draws one chart and stages it.
template <typename Draw> void saveChart(const QString &path, Draw draw, FileStage &stage)
{
    if (!path.isEmpty())
        Documents().saveChartPicture(FileTarget(path, &stage), draw());
}

// The batch's files against each other, the charts and the storm file read;
// the folder is made first (and removed again on a refusal) so that the
// charts may go into it.
void checkFiles(const GivenOptions &given, const CliRequest &request, const StormBatchRequest &batch,
                const Separators &sep)
{
    const QString folder = QDir::cleanPath(request.outFolder);
    const bool existed = QFileInfo::exists(folder);
    try {
        RunFiles files;
        files.input(Option::Open, given.value(Option::Open));
        if (existed ? !QFileInfo(folder).isDir() : !QDir().mkpath(folder))
            throw PluvionError(QStringLiteral("无法创建输出文件夹 \"%1\"").arg(request.outFolder));
        for (const QString &path : BatchFilePaths(batch, sep))
            files.output(Option::Out, path);
        files.output(Option::CompareChart, request.compareChartPath);
        files.output(Option::IdfChart, request.idfChartPath);
        files.check();
    } catch (const PluvionError &) {
        if (!existed)
            QDir().rmdir(folder);
        throw;
    }
}

} // namespace

ExitStatus RunBatchCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    CliRequest request;
    StormBatchRequest batch;
    FileStage stage;
    try {
        request = ParseCliArguments(given, sep);
        batch.storm = request.storm;
        batch.periods = request.periods;
        batch.durations = request.durations;
        batch.precision = request.precision;
        batch.calcByShow = request.calcByShow;
        batch.timeFormat = request.timeFormat;
        batch.folder = request.outFolder;
        batch.keepRows = !request.compareChartPath.isEmpty();
        batch.stage = &stage;
        checkFiles(given, request, batch, sep);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }

    StormBatchOutcome outcome;
    try {
        outcome = RunStormBatch(batch, sep, [&output](const BatchStorm &storm, int place, int count) {
            output.err(progressLine(storm, place, count));
        });
        const QSize size(request.pictureWidth, request.pictureHeight);
        saveChart(
            request.compareChartPath, [&] { return Drawing().batchCompareChart(outcome.storms, size, sep); },
            stage);
        saveChart(
            request.idfChartPath,
            [&] {
                return Drawing().batchIdfChart(request.storm, request.periods,
                                               longestDuration(request.durations), request.idfLogAxes, size,
                                               sep);
            },
            stage);
        // Every file of the batch is put in place together, once standard
        // output has taken what it was given.
        if (!output.finish())
            return ExitStatus::BadInput;
        stage.commit();
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    const int failed = outcome.failedCount();
    output.err(QStringLiteral("批量计算完成：成功 %1 个，失败 %2 个；汇总表 %3\n")
                   .arg(outcome.storms.size() - failed)
                   .arg(failed)
                   .arg(outcome.summaryPath));
    return failed > 0 ? ExitStatus::ComputationFailed : ExitStatus::Success;
}
