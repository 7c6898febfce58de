#include "Commands.h"

#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "program/ProgramInfo.h"

#include <algorithm>

namespace {

using namespace Option;

// What each command accepts. The storm's parameters and the output's
// settings are every command's; the formula is derived by the fit and the
// records, and the batch writes only its folder and charts.
constexpr const CliOption *StormOptions[] = {
    &Open,     &Form,   &A1,      &C,    &B,         &N,          &Log,  &Period,
    &Duration, &Peak,   &Step,    &Mode, &Precision, &TimeFormat, &Size, &Csv,
    &DataDocx, &Report, &Picture, &Swmm, &SaveStorm, &CalcByShow, &Raw,
};
constexpr const CliOption *BatchOptions[] = {
    &Batch,      &Open,   &Form,     &A1,           &C,        &B,          &N,
    &Log,        &Period, &Duration, &Peak,         &Step,     &Mode,       &Precision,
    &TimeFormat, &Size,   &Out,      &CompareChart, &IdfChart, &CalcByShow, &IdfLog,
};
constexpr const CliOption *FitOptions[] = {
    &Fit,       &FitDepth,  &Samples,    &Years,     &Distribution, &FitPeriods, &AnnualMaxPeriods,
    &FitReport, &Log,       &Open,       &Period,    &Duration,     &Peak,       &Step,
    &Mode,      &Precision, &TimeFormat, &SaveStorm, &CalcByShow,   &Bands,      &Resamples,
    &Seed,      &SaveBands,
};
constexpr const CliOption *RecordsOptions[] = {
    &Records,        &RecordStep,
    &RecordUnit,     &RecordsGaps,
    &RecordsColumns, &MinCompleteness,
    &MaxMinuteDepth, &Durations,
    &SampleCount,    &SaveSamples,
    &Samples,        &Distribution,
    &FitPeriods,     &AnnualMaxPeriods,
    &FitReport,      &Log,
    &Open,           &Period,
    &Duration,       &Peak,
    &Step,           &Mode,
    &Precision,      &TimeFormat,
    &SaveStorm,      &CalcByShow,
    &Bands,          &Resamples,
    &Seed,           &SaveBands,
};
// The long-duration storm: the records read as --records reads them, the
// design depths' analysis (or the formula fitted to the records), its own
// settings, P and the storm's outputs.
constexpr const CliOption *LongStormOptions[] = {
    &LongStorm,
    &Records,
    &RecordStep,
    &RecordUnit,
    &RecordsGaps,
    &RecordsColumns,
    &MinCompleteness,
    &MaxMinuteDepth,
    &Durations,
    &SampleCount,
    &Samples,
    &Distribution,
    &FitPeriods,
    &AnnualMaxPeriods,
    &Log,
    &LongDuration,
    &LongStep,
    &Nest,
    &TypicalStorm,
    &LongEvents,
    &Depths,
    &Period,
    &Precision,
    &TimeFormat,
    &Size,
    &Csv,
    &DataDocx,
    &Report,
    &Picture,
    &Swmm,
    &SaveStorm,
    &CalcByShow,
    &Raw,
};
// The formula's parameters, which a derivation gives.
constexpr const CliOption *FormulaOptions[] = {&A1, &C, &B, &N, &Form};

constexpr CliCommand Commands[] = {
    {&Option::LongStorm, LongStormOptions, {}, RunLongStormCommand},
    {&Records, RecordsOptions, FormulaOptions, RunRecordsCommand},
    {&Fit, FitOptions, FormulaOptions, RunFitCommand},
    {&Batch, BatchOptions, {}, RunBatchCommand},
    {nullptr, StormOptions, {}, RunStormCommand},
};

bool listed(CliOptionList list, const CliOption &option)
{
    return std::find(list.begin(), list.end(), &option) != list.end();
}

const CliCommand &stormCommand()
{
    return Commands[std::size(Commands) - 1];
}

QString refusal(const CliCommand &command, const CliOption &option)
{
    const QString name = command.selector ? command.selector->text() : QString();
    if (listed(command.derives, option))
        return QStringLiteral("%1 推求公式参数，不能同时给出 %2").arg(name, option.text());
    for (const CliCommand &other : Commands) {
        if (other.selector == &option)
            return QStringLiteral("%1 不能与 %2 同用").arg(name, option.text());
    }
    if (stormCommand().accepted(option))
        return QStringLiteral("%1 不能与 %2 同用").arg(option.text(), name);
    // Named in the order of the usage text: the batch, the fit, the records, the long storm.
    QStringList only;
    // A command given together with another's selector (--long-storm with
    // --records) is named only for options the other does not take.
    const auto refinesOneTaking = [&option](const CliCommand &command) {
        for (const CliCommand &base : Commands)
            if (&base != &command && base.selector && command.accepted(*base.selector) &&
                base.accepted(option))
                return true;
        return false;
    };
    for (auto other = std::rbegin(Commands); other != std::rend(Commands); ++other) {
        if (other->selector && other->accepted(option) && !refinesOneTaking(*other))
            only.append(other->selector->text());
    }
    return QStringLiteral("%1 只能与 %2 同用").arg(option.text(), only.join(QStringLiteral(" 或 ")));
}

} // namespace

bool CliCommand::accepted(const CliOption &option) const
{
    return listed(accepts, option);
}

std::span<const CliCommand> DeclaredCommands()
{
    return Commands;
}

const CliCommand &SelectedCommand(const GivenOptions &given)
{
    for (const CliCommand &command : Commands) {
        if (!command.selector || given.has(*command.selector))
            return command;
    }
    return stormCommand();
}

void CheckGivenOptions(const CliCommand &command, const GivenOptions &given)
{
    for (const CliOption *option : All) {
        if (given.has(*option) && !command.accepted(*option))
            throw PluvionError(refusal(command, *option));
    }
    for (const CliOption *option : All) {
        if (option->value == OptionValue::OutputFile && given.value(*option) == StandardOutputPath)
            throw PluvionError(QStringLiteral("%1 的文件不能写到标准输出（-）").arg(option->text()));
    }
}

ExitStatus RunCommandLine(const QStringList &arguments, const Separators &sep, CliOutput &output)
{
    // Asking for help or the version wins over everything else on the line.
    for (const QString &argument : arguments) {
        if (argument == QLatin1StringView(Help.name) || argument == QLatin1StringView(ShortHelp.name)) {
            output.out(CliUsage());
            return ExitStatus::Success;
        }
    }
    if (arguments.contains(QLatin1StringView(Version.name))) {
        output.out(QStringLiteral("pluvion-cli ") + ProgramInfo::version() + u'\n');
        return ExitStatus::Success;
    }
    GivenOptions given;
    const CliCommand *command = nullptr;
    try {
        RequireLegacyCodec();
        given = ReadCliOptions(arguments);
        command = &SelectedCommand(given);
        CheckGivenOptions(*command, given);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return command->run(given, sep, output);
}

bool CommandLineDrawsPictures(const QStringList &arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        QString value;
        if (!SplitInlineValue(argument, value) && i + 1 < arguments.size())
            value = arguments[i + 1];
        const CliOption *option = FindOption(argument);
        if (option == &Picture || option == &Report || option == &CompareChart || option == &IdfChart)
            return true;
        // The fit's report draws its chart only into a Word document.
        if (option == &FitReport && !value.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}
