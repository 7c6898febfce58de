#include "FitRun.h"

#include "CliOptions.h"
#include "chart/FitChart.h"
#include "export/CalcReport.h"
#include "export/ExportTarget.h"
#include "fit/FitCase.h"
#include "fit/FitReport.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"

#include <QFile>
#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// The fit's own options; the rest describe the storm for --save-storm.
struct FitRequest
{
    QString file;
    FitSettings settings;
    bool samplesGiven = false;
    QString reportPath;
    QString saveStormPath;
    QStringList stormArguments;
};

QString takeValue(const QStringList &arguments, qsizetype &i, const QString &option,
                  const QString &inlineValue, bool hasInline)
{
    if (hasInline)
        return inlineValue;
    if (i + 1 >= arguments.size())
        throw PluvionError(QStringLiteral("参数 %1 缺少取值").arg(option));
    return arguments[++i];
}

QString choice(const QString &option, const QString &value, const QStringList &allowed)
{
    if (!allowed.contains(value))
        throw PluvionError(QStringLiteral("%1 的取值应为 %2，而不是 '%3'")
                               .arg(option, allowed.join(u'|'), ValueExcerpt(value)));
    return value;
}

FitRequest ParseFitArguments(const QStringList &arguments)
{
    FitRequest request;
    bool distributionGiven = false, yearsGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        QString inlineValue;
        const bool hasInline = SplitInlineValue(option, inlineValue);
        const auto value = [&]() { return takeValue(arguments, i, option, inlineValue, hasInline); };
        if (option == QStringLiteral("--fit")) {
            request.file = value();
        } else if (option == QStringLiteral("--fit-depth") && !hasInline) {
            request.settings.values = TableValueKind::Depth;
        } else if (option == QStringLiteral("--annual-max-periods") && !hasInline) {
            request.settings.frequency.annualMaximumPeriods = true;
        } else if (option == QStringLiteral("--samples")) {
            request.samplesGiven = true;
            request.settings.input = FitInputKind::Samples;
            request.settings.frequency.sampling =
                choice(option, value(), {QStringLiteral("annual-max"), QStringLiteral("annual-multiple")}) ==
                        QStringLiteral("annual-max")
                    ? SamplingMethod::AnnualMaximum
                    : SamplingMethod::AnnualMultiple;
        } else if (option == QStringLiteral("--years")) {
            request.settings.frequency.years = StrToInt(value());
            yearsGiven = true;
            if (request.settings.frequency.years < 1)
                throw PluvionError(QStringLiteral("--years 应为正整数"));
        } else if (option == QStringLiteral("--distribution")) {
            const QString d = choice(option, value(),
                                     {QStringLiteral("p3"), QStringLiteral("gumbel"), QStringLiteral("exp")});
            request.settings.frequency.distribution =
                d == QStringLiteral("p3")       ? FrequencyDistribution::PearsonIII
                : d == QStringLiteral("gumbel") ? FrequencyDistribution::Gumbel
                                                : FrequencyDistribution::Exponential;
            distributionGiven = true;
        } else if (option == QStringLiteral("--fit-periods")) {
            request.settings.frequency.periods.clear();
            for (const QString &item : value().split(u','))
                request.settings.frequency.periods.push_back(StrToFloat(item, u'.'));
        } else if (option == QStringLiteral("--log")) {
            request.settings.log =
                choice(option, value(), {QStringLiteral("lg"), QStringLiteral("ln")}) == QStringLiteral("ln")
                    ? Logarithm::Ln
                    : Logarithm::Lg;
        } else if (option == QStringLiteral("--fit-report")) {
            request.reportPath = value();
        } else if (option == QStringLiteral("--save-storm")) {
            request.saveStormPath = value();
        } else if (QStringList{QStringLiteral("--a1"), QStringLiteral("--c"), QStringLiteral("--b"),
                               QStringLiteral("--n"), QStringLiteral("--form")}
                       .contains(option)) {
            throw PluvionError(QStringLiteral("--fit 推求公式参数，不能同时给出 %1").arg(option));
        } else {
            request.stormArguments.append(arguments[i]);
        }
    }
    if (request.file.isEmpty())
        throw PluvionError(QStringLiteral("--fit 缺少文件名"));
    if (!request.samplesGiven && (distributionGiven || yearsGiven))
        throw PluvionError(QStringLiteral("--years 和 --distribution 只用于 --samples"));
    if (request.samplesGiven && request.settings.values == TableValueKind::Depth)
        throw PluvionError(QStringLiteral("--fit-depth 只用于 i–t–P 表，样本总是雨量（mm）"));
    if (request.settings.frequency.sampling == SamplingMethod::AnnualMultiple && !yearsGiven)
        throw PluvionError(QStringLiteral("--samples annual-multiple 需要 --years 给出资料年数"));
    if (!distributionGiven && request.settings.frequency.sampling == SamplingMethod::AnnualMultiple)
        request.settings.frequency.distribution = FrequencyDistribution::Exponential;
    return request;
}

} // namespace

bool IsFitRequest(const QStringList &arguments)
{
    for (const QString &argument : arguments)
        if (argument == QStringLiteral("--fit") || argument.startsWith(QStringLiteral("--fit=")))
            return true;
    return false;
}

ExitStatus RunFit(const QStringList &arguments, const Separators &sep)
{
    FitRequest request;
    CliRequest storm;
    QByteArray bytes;
    try {
        RequireLegacyCodec();
        request = ParseFitArguments(arguments);
        storm = ParseCliArguments(request.stormArguments, sep);
        if (storm.batch || storm.raw || !storm.csvPath.isEmpty() || !storm.dataDocxPath.isEmpty() ||
            !storm.reportPath.isEmpty() || !storm.picturePath.isEmpty() || !storm.swmmPath.isEmpty())
            throw PluvionError(QStringLiteral("--fit 只能与 --save-storm、--fit-report 和雨型参数同用"));
        bytes = ReadFileBytes(request.file, FitFileLimit);
        // A file that is not in the layout is a bad input, as a bad storm file is.
        if (request.settings.input == FitInputKind::Table)
            ParseIntensityTable(bytes, request.settings.values);
        else
            ParseSampleTable(bytes);
    } catch (const PluvionError &error) {
        print(stderr, error.description() + u'\n');
        return ExitStatus::BadInput;
    }

    FitOutcome outcome;
    try {
        outcome = RunFormulaFit(bytes, request.settings);
    } catch (const PluvionError &error) {
        print(stderr, QStringLiteral("出错：") + error.description() + u'\n');
        return ExitStatus::ComputationFailed;
    }
    for (const QString &line : FitSummaryLines(outcome))
        print(stdout, line + u'\n');

    try {
        if (!request.reportPath.isEmpty()) {
            if (request.reportPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
                WriteFitReportCsv(request.reportPath, outcome);
            else
                WriteFitReportDocx(WordDocumentPath(request.reportPath), outcome,
                                   FitChartPng(outcome, ReportPictureSize));
        }
        if (!request.saveStormPath.isEmpty())
            WriteStormFile(request.saveStormPath, StormWithFormula(storm.storm, outcome.total), sep);
    } catch (const PluvionError &error) {
        print(stderr, error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return ExitStatus::Success;
}
