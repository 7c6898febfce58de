// The formula fit: derives the storm-intensity formula from an i–t–P table
// or sample series, prints the parameters and the accuracy table, and writes
// the fit report and a storm file with the fitted formula on request.
#include "CliDocuments.h"
#include "CliDrawing.h"
#include "Commands.h"
#include "FitOutputs.h"
#include "RunFiles.h"
#include "export/CalcReport.h"
#include "fit/BandTable.h"
#include "fit/FitCase.h"
#include "io/FileBytes.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"

#include <QElapsedTimer>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
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
    const QString name = Option::FitPeriods.text();
    std::vector<double> periods;
    std::set<double> seen;
    for (const double period : CliNumbers(Option::FitPeriods, text)) {
        if (!(std::isfinite(period) && period > 0 && period <= MaxTablePeriod))
            refuse(QStringLiteral("%1 的重现期应为大于 0、至多 %2 年的数，而不是 '%3'")
                       .arg(name)
                       .arg(MaxTablePeriod)
                       .arg(ValueExcerpt(text)));
        if (!seen.insert(period).second)
            refuse(QStringLiteral("%1 的重现期 %2 重复").arg(name).arg(period));
        periods.push_back(period);
    }
    if (periods.size() < 2)
        refuse(QStringLiteral("%1 至少需要两个不同的重现期").arg(name));
    if (periods.size() > size_t(MaxTablePeriods))
        refuse(QStringLiteral("%1 有 %2 个重现期，超过上限 %3 个")
                   .arg(name)
                   .arg(periods.size())
                   .arg(MaxTablePeriods));
    return periods;
}

// Refuses each option given of `options`: it applies only to `applies`
// ("--samples annual-multiple").
void refuseUnless(const GivenOptions &given, std::initializer_list<const CliOption *> options,
                  const QString &applies)
{
    for (const CliOption *option : options) {
        if (given.has(*option))
            refuse(QStringLiteral("%1 只用于 %2").arg(option->text(), applies));
    }
}

FitRequest parseFit(const GivenOptions &given, const Separators &sep)
{
    using namespace Option;
    FitRequest request;
    request.file = given.value(Fit);

    FitSettings &settings = request.settings;
    FrequencySettings &frequency = settings.frequency;
    const bool samples = given.has(Samples);
    if (given.has(FitDepth)) {
        if (samples)
            refuse(FitDepthOnlyForTables());
        settings.values = TableValueKind::Depth;
    }
    if (samples) {
        settings.input = FitInputKind::Samples;
        frequency.sampling = CliSampling(given.value(Samples));
    } else {
        // The bands redraw samples; an i–t–P table has none to draw.
        refuseUnless(given, {&Distribution, &Years, &FitPeriods, &AnnualMaxPeriods, &Bands}, Samples.text());
    }
    const bool multiple = samples && frequency.sampling == SamplingMethod::AnnualMultiple;
    if (samples && !multiple)
        refuseUnless(given, {&Years, &AnnualMaxPeriods}, AnnualMultipleText());
    if (multiple) {
        if (!given.has(Years))
            refuse(QStringLiteral("%1 需要 %2 给出资料年数").arg(AnnualMultipleText(), Years.text()));
        frequency.years = CliInteger(Years, given.value(Years));
        if (frequency.years < 1 || frequency.years > MaxRecordYears)
            refuse(QStringLiteral("%1 应为 1 至 %2 之间的整数").arg(Years.text()).arg(MaxRecordYears));
        frequency.annualMaximumPeriods = given.has(AnnualMaxPeriods);
        frequency.distribution = DefaultDistribution(frequency.sampling);
    }
    ParseFrequencyOptions(given, settings);
    request.outputs = ParseFitOutputs(given, sep);
    return request;
}

} // namespace

QString AnnualMultipleText()
{
    return Option::Samples.text() + QStringLiteral(" annual-multiple");
}

SamplingMethod CliSampling(const QString &value)
{
    return CliChoice(Option::Samples, value,
                     {QStringLiteral("annual-max"), QStringLiteral("annual-multiple")}) ==
                   QStringLiteral("annual-max")
               ? SamplingMethod::AnnualMaximum
               : SamplingMethod::AnnualMultiple;
}

QString FitDepthOnlyForTables()
{
    return QStringLiteral("%1 只用于 i–t–P 表，样本总是雨量（mm）").arg(Option::FitDepth.text());
}

void ParseFrequencyOptions(const GivenOptions &given, FitSettings &settings)
{
    using namespace Option;
    FrequencySettings &frequency = settings.frequency;
    if (given.has(Distribution)) {
        const QString d = CliChoice(Distribution, given.value(Distribution),
                                    {QStringLiteral("p3"), QStringLiteral("gumbel"), QStringLiteral("exp")});
        frequency.distribution = d == QStringLiteral("p3")       ? FrequencyDistribution::PearsonIII
                                 : d == QStringLiteral("gumbel") ? FrequencyDistribution::Gumbel
                                                                 : FrequencyDistribution::Exponential;
    }
    if (given.has(FitPeriods))
        frequency.periods = fitPeriods(given.value(FitPeriods));
    if (given.has(Log))
        settings.log = CliLogarithm(given.value(Log));
}

FitOutputs ParseFitOutputs(const GivenOptions &given, const Separators &sep)
{
    using namespace Option;
    FitOutputs request;
    // The report is written under exactly the name given, its kind chosen by
    // the extension.
    request.reportPath = given.value(FitReport);
    if (!request.reportPath.isEmpty()) {
        request.reportKind = FitReportKindOfPath(request.reportPath);
        if (!request.reportKind)
            refuse(QStringLiteral("%1 的文件扩展名应为 .docx 或 .csv：'%2'")
                       .arg(FitReport.text(), ValueExcerpt(request.reportPath)));
    }

    if (given.has(Bands)) {
        BootstrapSettings &bands = request.bands.emplace();
        if (const QString text = given.value(Bands); !text.isEmpty()) {
            bands.level = CliNumber(Bands, text);
            if (!(bands.level > 0 && bands.level < 100))
                refuse(QStringLiteral("%1 的置信水平应为大于 0、小于 100 的百分数，而不是 '%2'")
                           .arg(Bands.text(), ValueExcerpt(text)));
        }
        if (given.has(Resamples)) {
            const QString text = given.value(Resamples);
            int32_t count = 0;
            if (!TryParseInt32(text, &count) || count < 2 || count > MaxResamples)
                refuse(QStringLiteral("%1 应为 2 至 %2 之间的整数，而不是 '%3'")
                           .arg(Resamples.text())
                           .arg(MaxResamples)
                           .arg(ValueExcerpt(text)));
            bands.resamples = count;
        }
        if (given.has(Seed)) {
            const QString text = given.value(Seed);
            bool ok = false;
            bands.seed = text.toULongLong(&ok);
            if (!ok || !text.front().isDigit())
                refuse(QStringLiteral("%1 应为非负整数（至多 %2），而不是 '%3'")
                           .arg(Seed.text())
                           .arg(std::numeric_limits<std::uint64_t>::max())
                           .arg(ValueExcerpt(text)));
        }
        request.bandsPath = given.value(SaveBands);
    } else {
        for (const CliOption *option : {&Resamples, &Seed, &SaveBands}) {
            if (given.has(*option))
                refuse(QStringLiteral("%1 只能与 %2 同用").arg(option->text(), Bands.text()));
        }
    }

    // The storm saved with the fitted formula, read as the storm command
    // reads it: the command accepts no formula and no export of the storm's.
    request.storm = ParseCliArguments(given, sep);
    // Parameters that can make no storm are the user's to mend, told before
    // anything is fitted.
    const Storm &storm = request.storm.storm;
    if (storm.kind == StormKind::Long)
        refuse(QStringLiteral("%1 读入的是长历时雨型，不能用作保存推求公式的芝加哥雨型").arg(Open.text()));
    const auto givenText = [&](const CliOption &option, double fallback) {
        return ValueExcerpt(given.has(option) ? given.value(option) : QString::number(fallback));
    };
    if (!(std::isfinite(storm.period) && storm.period > 0))
        refuse(QStringLiteral("%1 的重现期应为大于 0 的年数，而不是 '%2'")
                   .arg(Period.text(), givenText(Period, storm.period)));
    if (!(std::isfinite(storm.duration) && storm.duration > 0))
        refuse(QStringLiteral("%1 的降雨历时应为大于 0 的分钟数，而不是 '%2'")
                   .arg(Duration.text(), givenText(Duration, storm.duration)));
    if (storm.step < 1)
        refuse(QStringLiteral("%1 的计算步长应为正的整分钟数，而不是 '%2'")
                   .arg(Step.text(), givenText(Step, storm.step)));
    return request;
}

namespace {

// The share of resamples done, on standard error, every tenth once the work
// has taken a second: a quick run prints nothing.
BootstrapProgress bandsProgressOnStandardError(CliOutput &output)
{
    return [&output, shown = 0, clock = std::make_shared<QElapsedTimer>()](double fraction) mutable {
        if (!clock->isValid())
            clock->start();
        const int tenth = int(fraction * 10);
        if (tenth > shown && clock->elapsed() >= 1000) {
            shown = tenth;
            output.err(QStringLiteral("重抽样：%1%\n").arg(tenth * 10));
        }
        return true;
    };
}

// What the bands add to the fit's printed summary.
QStringList bandLines(const BootstrapResult &bands)
{
    QStringList lines;
    const auto table = [&lines](const QString &title, const FitResultTable &t) {
        lines << title + QStringLiteral("：") + t.header.join(u',');
        for (const QStringList &row : t.rows)
            lines << row.join(u',');
    };
    const QString level = BandLevelText(bands.level);
    table(QStringLiteral("置信区间（%1）").arg(level), ParameterBandTable(bands));
    table(QStringLiteral("i–t–P表各格的置信区间"), BandTable(bands));
    lines << DesignBandReadings(bands);
    lines << BootstrapSentence(bands);
    return lines;
}

// The failed resamples, with the first reasons, for standard error.
QString failedResamplesLine(const BootstrapResult &bands)
{
    QStringList named;
    for (const ResampleFailure &failure : bands.failures)
        named << QStringLiteral("第 %1 次：%2").arg(failure.index + 1).arg(failure.reason);
    return QStringLiteral("注意：%1 次重抽样中有 %2 次拟合失败，未计入区间。%3%4")
        .arg(bands.resamples)
        .arg(bands.failed)
        .arg(named.join(QStringLiteral(" ")),
             bands.failed > int(bands.failures.size()) ? QStringLiteral(" ……") : QString());
}

} // namespace

ExitStatus FinishFit(const std::function<FitOutcome()> &fit, const FitOutputs &outputs, const Separators &sep,
                     CliOutput &output, FileStage &stage, const FitBands &bands)
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
    std::optional<BootstrapResult> banded;
    Storm fittedStorm;
    try {
        if (outputs.bands && bands) {
            banded = bands(*outputs.bands, bandsProgressOnStandardError(output));
            outcome = banded->estimate;
        } else {
            outcome = fit();
        }
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
    const BootstrapResult *bandsShown = banded ? &*banded : nullptr;
    if (banded) {
        for (const QString &line : bandLines(*banded))
            output.out(line + u'\n');
        if (banded->failed > 0)
            output.err(failedResamplesLine(*banded) + u'\n');
    }

    try {
        if (outputs.reportKind == FitReportKind::Csv)
            Documents().writeFitReportCsv(FileTarget(outputs.reportPath, &stage), outcome, bandsShown);
        else if (outputs.reportKind == FitReportKind::Word)
            Documents().writeFitReportDocx(
                FileTarget(outputs.reportPath, &stage), outcome,
                Drawing().fitChartPng(outcome, ReportPictureSize, false, bandsShown), bandsShown);
        if (banded && !outputs.bandsPath.isEmpty())
            WriteBandTable(FileTarget(outputs.bandsPath, &stage), *banded);
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
        files.input(Option::Fit, request.file);
        files.input(Option::Open, given.value(Option::Open), &Option::SaveStorm);
        files.output(Option::FitReport, request.outputs.reportPath);
        files.output(Option::SaveStorm, request.outputs.storm.saveStormPath);
        files.output(Option::SaveBands, request.outputs.bandsPath);
        files.check();
        const QByteArray bytes = ReadFileBytes(request.file, FitFileLimit);
        // Data plainly of the other layout are fitted as asked, with a word on what they look like.
        if (const auto apparent = ApparentInputKind(bytes); apparent && *apparent != request.settings.input)
            output.err(QStringLiteral("注意：") + ApparentInputText(*apparent) +
                       (*apparent == FitInputKind::Samples
                            ? QStringLiteral("：样本请加 %1 annual-max 或 annual-multiple。\n")
                            : QStringLiteral("：i–t–P 表不用 %1。\n"))
                           .arg(Option::Samples.text()));
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
        request.outputs, sep, output, stage,
        [&](BootstrapSettings settings, const BootstrapProgress &progress) {
            settings.fit = request.settings;
            return RunBootstrap(SampleTableResampling(samples), settings, progress);
        });
}
