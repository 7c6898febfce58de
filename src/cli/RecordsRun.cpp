// From rain-gauge records to the formula: reads the record files, prints each
// year's completeness, the samples and the peak ratio r, then fits as --fit
// does; the storm saved with the fitted formula gets the measured r.
#include "Commands.h"
#include "FitOutputs.h"
#include "RecordOptions.h"
#include "RunFiles.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"
#include "records/RecordAnalysis.h"
#include "records/RecordBootstrap.h"
#include "records/RecordSummary.h"

#include <QFileInfo>
#include <cmath>

namespace {

// The records run the options ask for, as the window asks for it too, and
// what the command line writes besides.
struct RecordsRun : RecordsRequest
{
    FitOutputs outputs;
    QString samplesPath;
};

[[noreturn]] void refuse(const QString &message)
{
    throw PluvionError(message);
}

double positiveNumber(const CliOption &option, const QString &text, double high)
{
    const double value = CliNumber(option, text);
    if (!(std::isfinite(value) && value > 0 && value <= high))
        refuse(QStringLiteral("%1 应为大于 0、至多 %2 的数，而不是 '%3'")
                   .arg(option.text())
                   .arg(high)
                   .arg(ValueExcerpt(text)));
    return value;
}

RecordsRun parseRecords(const GivenOptions &given, const Separators &sep)
{
    using namespace Option;
    RecordsRun request;
    request.paths = given.list(Records);
    ParseRecordOptions(given, request.read, request.sampling, request.fit);
    request.samplesPath = given.value(SaveSamples);
    request.outputs = ParseFitOutputs(given, sep);
    return request;
}

} // namespace

void ParseRecordOptions(const GivenOptions &given, RecordSettings &record, RecordSampling &sampling,
                        FitSettings &fit)
{
    using namespace Option;
    if (given.has(RecordStep)) {
        const QString text = given.value(RecordStep);
        int32_t step = 0;
        if (!TryParseInt32(text, &step) || step < 1 || 60 % step != 0)
            refuse(QStringLiteral("%1 应为能整除 60 的分钟数（如 1 或 5），而不是 '%2'")
                       .arg(RecordStep.text(), ValueExcerpt(text)));
        record.step = step;
    }
    if (given.has(Option::RecordUnit))
        record.format.unit =
            CliChoice(Option::RecordUnit, given.value(Option::RecordUnit),
                      {QStringLiteral("mm"), QStringLiteral("0.1mm")}) == QStringLiteral("mm")
                ? ::RecordUnit::Millimetre
                : ::RecordUnit::TenthMillimetre;
    if (given.has(RecordsGaps))
        record.gaps = CliChoice(RecordsGaps, given.value(RecordsGaps),
                                {QStringLiteral("zero"), QStringLiteral("missing")}) == QStringLiteral("zero")
                          ? RecordGaps::Zero
                          : RecordGaps::Missing;
    if (given.has(RecordsColumns))
        record.format.columns = ParseRecordColumns(given.value(RecordsColumns));
    if (given.has(MinCompleteness)) {
        const QString text = given.value(MinCompleteness);
        record.minCompleteness = CliNumber(MinCompleteness, text);
        if (!(record.minCompleteness >= 0 && record.minCompleteness <= 100))
            refuse(QStringLiteral("%1 应为 0 至 100 之间的百分数，而不是 '%2'")
                       .arg(MinCompleteness.text(), ValueExcerpt(text)));
    }
    if (given.has(MaxMinuteDepth))
        record.maxDepthPerMinute = positiveNumber(MaxMinuteDepth, given.value(MaxMinuteDepth), 1000);

    FrequencySettings &frequency = fit.frequency;
    fit.input = FitInputKind::Samples;
    if (given.has(Durations)) {
        sampling.durations.clear();
        for (const double duration : CliNumbers(Durations, given.value(Durations))) {
            if (!(duration >= 1 && duration <= MaxRecordDuration && duration == std::floor(duration)))
                refuse(QStringLiteral("%1 的历时应为 1 至 %2 之间的整分钟数，而不是 '%3'")
                           .arg(Durations.text())
                           .arg(MaxRecordDuration)
                           .arg(ValueExcerpt(given.value(Durations))));
            sampling.durations.push_back(int(duration));
        }
        // The fit takes at most this many durations; more would be taken
        // from the records only to be refused.
        if (sampling.durations.size() > size_t(MaxTableDurations))
            refuse(QStringLiteral("%1 有 %2 个历时，超过上限 %3 个")
                       .arg(Durations.text())
                       .arg(sampling.durations.size())
                       .arg(MaxTableDurations));
    }
    if (given.has(Samples) && CliSampling(given.value(Samples)) == SamplingMethod::AnnualMultiple) {
        sampling.method = SamplingMethod::AnnualMultiple;
        frequency.sampling = SamplingMethod::AnnualMultiple;
        frequency.distribution = DefaultDistribution(frequency.sampling);
        frequency.annualMaximumPeriods = given.has(AnnualMaxPeriods);
        if (given.has(SampleCount)) {
            const QString text = given.value(SampleCount);
            int32_t count = 0;
            if (!TryParseInt32(text, &count) || count < 1 || count > MaxSamplesPerDuration)
                refuse(QStringLiteral("%1 应为 1 至 %2 之间的整数，而不是 '%3'")
                           .arg(SampleCount.text())
                           .arg(MaxSamplesPerDuration)
                           .arg(ValueExcerpt(text)));
            sampling.count = count;
        }
    } else {
        for (const CliOption *multipleOnly : {&SampleCount, &AnnualMaxPeriods}) {
            if (given.has(*multipleOnly))
                refuse(QStringLiteral("%1 只用于 %2").arg(multipleOnly->text(), AnnualMultipleText()));
        }
    }
    ParseFrequencyOptions(given, fit);
}

RecordProgress RecordProgressOnStandardError(const QStringList &paths, CliOutput &output)
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

ExitStatus RunRecordsCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    RecordsRun request;
    RecordAnalysis analysis;
    try {
        request = parseRecords(given, sep);
        // Every file asked for is checked before any is written.
        RunFiles files;
        for (const QString &path : RecordFilesOf(request.paths))
            files.input(Option::Records, path);
        files.input(Option::Open, given.value(Option::Open), &Option::SaveStorm);
        files.output(Option::FitReport, request.outputs.reportPath);
        files.output(Option::SaveStorm, request.outputs.storm.saveStormPath);
        files.output(Option::SaveSamples, request.samplesPath);
        files.output(Option::SaveBands, request.outputs.bandsPath);
        files.check();
        analysis.record =
            ReadRainRecord(request.paths, request.read, RecordProgressOnStandardError(request.paths, output));
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
        output.err(QStringLiteral("出错：") + NoUsedYearMessage(request.read.minCompleteness) + u'\n');
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
    if (!given.has(Option::Peak) && IsPeakRatioInside(r))
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
                     stage,
                     [&](BootstrapSettings settings, const BootstrapProgress &progress) {
                         settings.fit = request.fit;
                         return BootstrapRecords(analysis, settings, progress);
                     });
}
