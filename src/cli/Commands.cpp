#include "Commands.h"

#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "program/ProgramInfo.h"

namespace {

// The commands; the storm command, selected by no flag, comes last.
constexpr CliCommand Commands[] = {
    {"--records", RunRecordsCommand},
    {"--fit", RunFitCommand},
    {"--batch", RunBatchCommand},
    {nullptr, RunStormCommand},
};

} // namespace

ExitStatus RunCommandLine(const QStringList &arguments, const Separators &sep, CliOutput &output)
{
    // Asking for help or the version wins over everything else on the line.
    for (const QString &argument : arguments) {
        if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            output.out(CliUsage());
            return ExitStatus::Success;
        }
    }
    if (arguments.contains(QStringLiteral("--version"))) {
        output.out(QStringLiteral("pluvion-cli ") + ProgramInfo::version() + u'\n');
        return ExitStatus::Success;
    }
    GivenOptions given;
    try {
        RequireLegacyCodec();
        given = ReadCliOptions(arguments);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    for (const CliCommand &command : Commands) {
        if (!command.flag || given.has(command.flag) || given.flag(command.flag))
            return command.run(given, sep, output);
    }
    return ExitStatus::BadInput; // not reached: the storm command takes every other line
}

bool CommandLineDrawsPictures(const QStringList &arguments)
{
    for (QString argument : arguments) {
        QString value;
        SplitInlineValue(argument, value);
        if (argument == QStringLiteral("--picture") || argument == QStringLiteral("--report") ||
            argument == QStringLiteral("--compare-chart") || argument == QStringLiteral("--idf-chart") ||
            argument == QStringLiteral("--fit-report"))
            return true;
    }
    return false;
}
