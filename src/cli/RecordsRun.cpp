// From rain-gauge records to the formula: reads the record files, prints each
// year's completeness, the samples and the peak ratio r, then fits as --fit
// does; the storm saved with the fitted formula gets the measured r.
#include "Commands.h"
#include "FitOutputs.h"
#include "RunFiles.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"
#include "records/RecordAnalysis.h"
#include "records/RecordSummary.h"

#include <QFileInfo>
#include <cmath>

namespace {

struct RecordsRequest
{
    QStringList paths;
    RecordSettings record;
    RecordSampling sampling;
    FitSettings fit;
    FitOutputs outputs;
    QString samplesPath;
};

[[noreturn]] void refuse(const QString &message)
{
    throw PluvionError(message);
}

double positiveNumber(const char *option, const QString &text, double high)
{
    const double value = CliNumber(option, text);
    if (!(std::isfinite(value) && value > 0 && value <= high))
        refuse(QStringLiteral("%1 应为大于 0、至多 %2 的数，而不是 '%3'")
                   .arg(QLatin1StringView(option))
                   .arg(high)
                   .arg(ValueExcerpt(text)));
    return value;
}

RecordsRequest parseRecords(const GivenOptions &given, const Separators &sep)
{
    RecordsRequest request;
    if (given.has("--fit"))
        refuse(QStringLiteral("--records 不能与 --fit 同用"));
    RefuseBesidesFit(given, "--records");
    if (given.has("--years"))
        refuse(QStringLiteral("--years 不用于 --records：资料年数由记录得出"));
    if (given.flag("--fit-depth"))
        refuse(QStringLiteral("--fit-depth 只用于 i–t–P 表，样本总是雨量（mm）"));
    request.paths = given.list("--records");

    RecordSettings &record = request.record;
    if (given.has("--record-step")) {
        const QString text = given.value("--record-step");
        int32_t step = 0;
        if (!TryParseInt32(text, &step) || step < 1 || 60 % step != 0)
            refuse(QStringLiteral("--record-step 应为能整除 60 的分钟数（如 1 或 5），而不是 '%1'")
                       .arg(ValueExcerpt(text)));
        record.step = step;
    }
    if (given.has("--record-unit"))
        record.format.unit =
            CliChoice(QStringLiteral("--record-unit"), given.value("--record-unit"),
                      {QStringLiteral("mm"), QStringLiteral("0.1mm")}) == QStringLiteral("mm")
                ? RecordUnit::Millimetre
                : RecordUnit::TenthMillimetre;
    if (given.has("--records-gaps"))
        record.gaps = CliChoice(QStringLiteral("--records-gaps"), given.value("--records-gaps"),
                                {QStringLiteral("zero"), QStringLiteral("missing")}) == QStringLiteral("zero")
                          ? RecordGaps::Zero
                          : RecordGaps::Missing;
    if (given.has("--records-columns"))
        record.format.columns = ParseRecordColumns(given.value("--records-columns"));
    if (given.has("--min-completeness")) {
        const QString text = given.value("--min-completeness");
        record.minCompleteness = CliNumber("--min-completeness", text);
        if (!(record.minCompleteness >= 0 && record.minCompleteness <= 100))
            refuse(QStringLiteral("--min-completeness 应为 0 至 100 之间的百分数，而不是 '%1'")
                       .arg(ValueExcerpt(text)));
    }
    if (given.has("--max-minute-depth"))
        record.maxDepthPerMinute =
            positiveNumber("--max-minute-depth", given.value("--max-minute-depth"), 1000);

    RecordSampling &sampling = request.sampling;
    FrequencySettings &frequency = request.fit.frequency;
    request.fit.input = FitInputKind::Samples;
    if (given.has("--durations")) {
        sampling.durations.clear();
        for (const double duration : CliNumbers("--durations", given.value("--durations"))) {
            if (!(duration >= 1 && duration <= MaxRecordDuration && duration == std::floor(duration)))
                refuse(QStringLiteral("--durations 的历时应为 1 至 %1 之间的整分钟数，而不是 '%2'")
                           .arg(MaxRecordDuration)
                           .arg(ValueExcerpt(given.value("--durations"))));
            sampling.durations.push_back(int(duration));
        }
        // The fit takes at most this many durations; more would be taken
        // from the records only to be refused.
        if (sampling.durations.size() > size_t(MaxTableDurations))
            refuse(QStringLiteral("--durations 有 %1 个历时，超过上限 %2 个")
                       .arg(sampling.durations.size())
                       .arg(MaxTableDurations));
    }
    if (given.has("--samples") &&
        CliChoice(QStringLiteral("--samples"), given.value("--samples"),
                  {QStringLiteral("annual-max"), QStringLiteral("annual-multiple")}) ==
            QStringLiteral("annual-multiple")) {
        sampling.method = SamplingMethod::AnnualMultiple;
        frequency.sampling = SamplingMethod::AnnualMultiple;
        frequency.distribution = FrequencyDistribution::Exponential;
        frequency.annualMaximumPeriods = given.flag("--annual-max-periods");
        if (given.has("--sample-count")) {
            const QString text = given.value("--sample-count");
            int32_t count = 0;
            if (!TryParseInt32(text, &count) || count < 1 || count > MaxSamplesPerDuration)
                refuse(QStringLiteral("--sample-count 应为 1 至 %1 之间的整数，而不是 '%2'")
                           .arg(MaxSamplesPerDuration)
                           .arg(ValueExcerpt(text)));
            sampling.count = count;
        }
    } else {
        for (const char *multipleOnly : {"--sample-count", "--annual-max-periods"}) {
            if (given.has(multipleOnly) || given.flag(multipleOnly))
                refuse(QStringLiteral("%1 只用于 --samples annual-multiple")
                           .arg(QLatin1StringView(multipleOnly)));
        }
    }
    ParseFrequencyOptions(given, request.fit);

    request.samplesPath = given.value("--save-samples");
    if (request.samplesPath == StandardOutputPath)
        refuse(QStringLiteral("--save-samples 的文件不能写到标准输出（-）"));
    request.outputs = ParseFitOutputs(WithoutRecordsOptions(given), sep);
    return request;
}

// The share read, on standard error, every tenth, for files large enough to take a while.
RecordProgress progressOnStandardError(const QStringList &paths, CliOutput &output)
{
    qint64 total = 0;
    for (const QString &path : RecordFilesOf(paths))
        total += QFileInfo(path).size();
    if (total < 32 * 1024 * 1024)
        return {};
    return [&output, shown = 0](double fraction) mutable {
        const int tenth = int(fraction * 10);
        if (tenth > shown) {
            shown = tenth;
            output.err(QStringLiteral("读取记录：%1%\n").arg(tenth * 10));
        }
        return true;
    };
}

} // namespace

ExitStatus RunRecordsCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    RecordsRequest request;
    RecordAnalysis analysis;
    try {
        request = parseRecords(given, sep);
        // Every file asked for is checked before any is written.
        RunFiles files;
        for (const QString &path : RecordFilesOf(request.paths))
            files.input("--records", path);
        files.input("--open", given.value("--open"), "--save-storm");
        files.output("--fit-report", request.outputs.reportPath);
        files.output("--save-storm", request.outputs.storm.saveStormPath);
        files.output("--save-samples", request.samplesPath);
        files.check();
        analysis.record =
            ReadRainRecord(request.paths, request.record, progressOnStandardError(request.paths, output));
        CheckRecordDurations(request.sampling.durations, analysis.record.step);
        output.out(RecordReadLine(analysis.record) + u'\n');
        for (const QString &line : RecordYearLines(analysis.record))
            output.out(line + u'\n');
        if (analysis.record.usedYears() > 0) {
            analysis.samples = TakeRecordSamples(analysis.record, request.sampling);
            analysis.peak = MeasurePeakRatio(analysis.samples);
        }
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    if (analysis.samples.years == 0) {
        output.err(QStringLiteral("出错：") + NoUsedYearMessage(request.record.minCompleteness) + u'\n');
        return ExitStatus::ComputationFailed;
    }
    output.out(QStringLiteral("\n样本（%1，mm）：\n").arg(SamplingMethodName(analysis.samples.method)));
    std::vector<std::pair<int, int>> partial;
    const QStringList sampleLines = RecordSampleLines(analysis.samples, &partial);
    for (const QString &line : sampleLines)
        output.out(line + u'\n');
    // The table ends with a note on each sample measured across a gap; they are warnings too.
    for (qsizetype k = sampleLines.size() - qsizetype(partial.size()); k < sampleLines.size(); ++k)
        output.err(sampleLines[k] + u'\n');
    output.out(QStringLiteral("\n峰值比例：\n"));
    for (const QString &line : PeakRatioLines(analysis.peak))
        output.out(line + u'\n');
    output.out(QStringLiteral("\n"));

    // The storm saved gets the measured r, as printed, unless --peak gives one.
    const double r = StormPeakRatio(analysis.peak);
    if (!given.has("--peak") && IsPeakRatioInside(r))
        request.outputs.storm.storm.peakRatio = r;
    // The samples are kept once taken, whatever the fit does with them.
    FileStage stage;
    try {
        if (!request.samplesPath.isEmpty())
            WriteRecordSamples(FileTarget(request.samplesPath, &stage), analysis.samples);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return FinishFit([&] { return FitRecordSamples(analysis, request.fit); }, request.outputs, sep, output,
                     stage);
}
