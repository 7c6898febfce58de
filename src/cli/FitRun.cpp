// The formula fit: derives the storm-intensity formula from an i–t–P table
// or sample series, prints the parameters and the accuracy table, and writes
// the fit report and a storm file with the fitted formula on request.
#include "CliDrawing.h"
#include "Commands.h"
#include "FitOutputs.h"
#include "RunFiles.h"
#include "export/CalcReport.h"
#include "export/FitReport.h"
#include "fit/FitCase.h"
#include "io/FileBytes.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"

#include <cmath>
#include <set>

namespace {

// The fit's own request; the storm options describe the storm for --save-storm.
struct FitRequest
{
    QString file;
    FitSettings settings;
    FitOutputs outputs;
};

[[noreturn]] void refuse(const QString &message)
{
    throw PluvionError(message);
}

// The periods of --fit-periods: positive, finite, no two alike, at least two.
std::vector<double> fitPeriods(const QString &text)
{
    std::vector<double> periods;
    std::set<double> seen;
    for (const double period : CliNumbers("--fit-periods", text)) {
        if (!(std::isfinite(period) && period > 0 && period <= MaxTablePeriod))
            refuse(QStringLiteral("--fit-periods 的重现期应为大于 0、至多 %1 年的数，而不是 '%2'")
                       .arg(MaxTablePeriod)
                       .arg(ValueExcerpt(text)));
        if (!seen.insert(period).second)
            refuse(QStringLiteral("--fit-periods 的重现期 %1 重复").arg(period));
        periods.push_back(period);
    }
    if (periods.size() < 2)
        refuse(QStringLiteral("--fit-periods 至少需要两个不同的重现期"));
    if (periods.size() > size_t(MaxTablePeriods))
        refuse(QStringLiteral("--fit-periods 有 %1 个重现期，超过上限 %2 个")
                   .arg(periods.size())
                   .arg(MaxTablePeriods));
    return periods;
}

FitRequest parseFit(const GivenOptions &given, const Separators &sep)
{
    FitRequest request;
    request.file = given.value("--fit");
    RefuseBesidesFit(given, "--fit");

    FitSettings &settings = request.settings;
    FrequencySettings &frequency = settings.frequency;
    const bool samples = given.has("--samples");
    if (given.flag("--fit-depth")) {
        if (samples)
            refuse(QStringLiteral("--fit-depth 只用于 i–t–P 表，样本总是雨量（mm）"));
        settings.values = TableValueKind::Depth;
    }
    if (samples) {
        settings.input = FitInputKind::Samples;
        frequency.sampling = CliChoice(QStringLiteral("--samples"), given.value("--samples"),
                                       {QStringLiteral("annual-max"), QStringLiteral("annual-multiple")}) ==
                                     QStringLiteral("annual-max")
                                 ? SamplingMethod::AnnualMaximum
                                 : SamplingMethod::AnnualMultiple;
    } else {
        for (const char *sampleOnly :
             {"--distribution", "--years", "--fit-periods", "--annual-max-periods"}) {
            if (given.has(sampleOnly) || given.flag(sampleOnly))
                refuse(QStringLiteral("%1 只用于 --samples").arg(QLatin1StringView(sampleOnly)));
        }
    }
    const bool multiple = samples && frequency.sampling == SamplingMethod::AnnualMultiple;
    if (samples && !multiple) {
        for (const char *multipleOnly : {"--years", "--annual-max-periods"}) {
            if (given.has(multipleOnly) || given.flag(multipleOnly))
                refuse(QStringLiteral("%1 只用于 --samples annual-multiple")
                           .arg(QLatin1StringView(multipleOnly)));
        }
    }
    if (multiple) {
        if (!given.has("--years"))
            refuse(QStringLiteral("--samples annual-multiple 需要 --years 给出资料年数"));
        frequency.years = CliInteger("--years", given.value("--years"));
        if (frequency.years < 1 || frequency.years > MaxRecordYears)
            refuse(QStringLiteral("--years 应为 1 至 %1 之间的整数").arg(MaxRecordYears));
        frequency.annualMaximumPeriods = given.flag("--annual-max-periods");
        frequency.distribution = FrequencyDistribution::Exponential;
    }
    ParseFrequencyOptions(given, settings);
    request.outputs = ParseFitOutputs(given, sep);
    return request;
}

} // namespace

void RefuseBesidesFit(const GivenOptions &given, const char *command)
{
    const QLatin1StringView name(command);
    for (const char *formula : {"--a1", "--c", "--b", "--n", "--form"}) {
        if (given.has(formula))
            refuse(QStringLiteral("%1 推求公式参数，不能同时给出 %2").arg(name, QLatin1StringView(formula)));
    }
    for (const char *other : {"--csv", "--data-docx", "--report", "--picture", "--swmm", "--raw", "--batch",
                              "--out", "--compare-chart", "--idf-chart", "--idf-log", "--size"}) {
        if (given.has(other) || given.flag(other))
            refuse(QStringLiteral("%1 只能与 --save-storm、--fit-report 和雨型参数同用，不能同时给出 %2")
                       .arg(name, QLatin1StringView(other)));
    }
}

void ParseFrequencyOptions(const GivenOptions &given, FitSettings &settings)
{
    FrequencySettings &frequency = settings.frequency;
    if (given.has("--distribution")) {
        const QString d = CliChoice(QStringLiteral("--distribution"), given.value("--distribution"),
                                    {QStringLiteral("p3"), QStringLiteral("gumbel"), QStringLiteral("exp")});
        frequency.distribution = d == QStringLiteral("p3")       ? FrequencyDistribution::PearsonIII
                                 : d == QStringLiteral("gumbel") ? FrequencyDistribution::Gumbel
                                                                 : FrequencyDistribution::Exponential;
    }
    if (given.has("--fit-periods"))
        frequency.periods = fitPeriods(given.value("--fit-periods"));
    if (given.has("--log")) {
        settings.log = CliChoice(QStringLiteral("--log"), given.value("--log"),
                                 {QStringLiteral("lg"), QStringLiteral("ln")}) == QStringLiteral("ln")
                           ? Logarithm::Ln
                           : Logarithm::Lg;
    }
}

FitOutputs ParseFitOutputs(const GivenOptions &given, const Separators &sep)
{
    FitOutputs request;
    // The report is written under exactly the name given, its kind chosen by
    // the extension.
    request.reportPath = given.value("--fit-report");
    if (!request.reportPath.isEmpty()) {
        if (request.reportPath == StandardOutputPath)
            refuse(QStringLiteral("--fit-report 的文件不能写到标准输出（-）"));
        if (request.reportPath.endsWith(QStringLiteral(".docx"), Qt::CaseInsensitive))
            request.reportKind = ReportKind::Word;
        else if (request.reportPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
            request.reportKind = ReportKind::Csv;
        else
            refuse(QStringLiteral("--fit-report 的文件扩展名应为 .docx 或 .csv：'%1'")
                       .arg(ValueExcerpt(request.reportPath)));
    }

    // The storm options describe the storm saved with the fitted formula:
    // the formula options were refused above, the rest is the storm command's.
    GivenOptions stormOptions = given;
    for (const char *fitOnly :
         {"--fit", "--samples", "--years", "--distribution", "--fit-periods", "--log", "--fit-report"})
        stormOptions.values.remove(QLatin1StringView(fitOnly));
    for (const char *fitFlag : {"--fit-depth", "--annual-max-periods"})
        stormOptions.flags.remove(QLatin1StringView(fitFlag));
    request.storm = ParseCliArguments(stormOptions, sep);
    // The storm saved with the fitted formula: parameters that can make no
    // storm are the user's to mend, told before anything is fitted.
    const Storm &storm = request.storm.storm;
    const auto givenText = [&](const char *option, const QString &fallback) {
        return given.has(option) ? given.value(option) : fallback;
    };
    if (!(std::isfinite(storm.period) && storm.period > 0))
        refuse(QStringLiteral("--period 的重现期应为大于 0 的年数，而不是 '%1'")
                   .arg(ValueExcerpt(givenText("--period", QString::number(storm.period)))));
    if (!(std::isfinite(storm.duration) && storm.duration > 0))
        refuse(QStringLiteral("--duration 的降雨历时应为大于 0 的分钟数，而不是 '%1'")
                   .arg(ValueExcerpt(givenText("--duration", QString::number(storm.duration)))));
    if (storm.step < 1)
        refuse(QStringLiteral("--step 的计算步长应为正的整分钟数，而不是 '%1'")
                   .arg(ValueExcerpt(givenText("--step", QString::number(storm.step)))));
    return request;
}

ExitStatus FinishFit(const std::function<FitOutcome()> &fit, const FitOutputs &outputs, const Separators &sep,
                     CliOutput &output, FileStage &stage)
{
    // What is already staged (the samples taken from records) is kept
    // whatever the fit does; the fit's own files only with a fit.
    const auto commitStaged = [&](ExitStatus status) {
        if (!output.finish())
            return ExitStatus::BadInput;
        try {
            stage.commit();
        } catch (const PluvionError &error) {
            output.err(error.description() + u'\n');
            return ExitStatus::BadInput;
        }
        return status;
    };
    FitOutcome outcome;
    Storm fittedStorm;
    try {
        outcome = fit();
        // The storm saved with the fitted formula goes through the storm's
        // own checks: one the generator refuses is not saved.
        if (!outputs.storm.saveStormPath.isEmpty()) {
            if (const auto refusal = ChicagoStormRefusal(outcome.total))
                throw PluvionError(QStringLiteral("推求的公式不能保存为雨型：") + *refusal);
            fittedStorm = StormWithFormula(outputs.storm.storm, outcome.total);
            Storm computed = fittedStorm;
            RainPoints points;
            if (const auto failure = CalcRainPoints(computed, points, false, outputs.storm.precision))
                throw PluvionError(QStringLiteral("推求的公式所生成的雨型无法计算：") + *failure);
        }
    } catch (const PluvionError &error) {
        output.err(QStringLiteral("出错：") + error.description() + u'\n');
        return commitStaged(ExitStatus::ComputationFailed);
    }
    for (const QString &line : FitSummaryLines(outcome))
        output.out(line + u'\n');
    for (const QString &line : NonConvergedPeriodLines(outcome))
        output.err(line + u'\n');

    try {
        if (outputs.reportKind == ReportKind::Csv)
            WriteFitReportCsv(FileTarget(outputs.reportPath, &stage), outcome);
        else if (outputs.reportKind == ReportKind::Word)
            WriteFitReportDocx(FileTarget(outputs.reportPath, &stage), outcome,
                               Drawing().fitChartPng(outcome, ReportPictureSize, false));
        if (!outputs.storm.saveStormPath.isEmpty())
            WriteStormFile(FileTarget(outputs.storm.saveStormPath, &stage), fittedStorm, sep);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return commitStaged(ExitStatus::Success);
}

ExitStatus RunFitCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    FitRequest request;
    IntensityTable table;
    SampleTable samples;
    try {
        request = parseFit(given, sep);
        // Every file asked for is checked before any is written.
        RunFiles files;
        files.input("--fit", request.file);
        files.input("--open", given.value("--open"), "--save-storm");
        files.output("--fit-report", request.outputs.reportPath);
        files.output("--save-storm", request.outputs.storm.saveStormPath);
        files.check();
        const QByteArray bytes = ReadFileBytes(request.file, FitFileLimit);
        // Data plainly of the other layout are fitted as asked, with a word on what they look like.
        if (const auto apparent = ApparentInputKind(bytes); apparent && *apparent != request.settings.input)
            output.err(QStringLiteral("注意：") + ApparentInputText(*apparent) +
                       (*apparent == FitInputKind::Samples
                            ? QStringLiteral("：样本请加 --samples annual-max 或 annual-multiple。\n")
                            : QStringLiteral("：i–t–P 表不用 --samples。\n")));
        // Read once; a file that is not in the layout is a bad input, as a bad storm file is.
        if (request.settings.input == FitInputKind::Table)
            table = ParseIntensityTable(bytes, request.settings.values);
        else
            samples = ParseSampleTable(bytes);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    FileStage stage;
    return FinishFit(
        [&] {
            return request.settings.input == FitInputKind::Table ? FitTable(table, request.settings)
                                                                 : FitSamples(samples, request.settings);
        },
        request.outputs, sep, output, stage);
}
