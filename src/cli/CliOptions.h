#pragma once

#include "model/NumberForms.h"
#include "model/Storm.h"

#include <QHash>
#include <QLatin1StringView>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The exit status of pluvion-cli.
enum class ExitStatus : int
{
    Success = 0,
    ComputationFailed = 1, // a storm could not be computed (in a batch: any storm or its file)
    BadInput = 2,          // a bad argument, or a file that cannot be read or written
};

// The export path that means standard output (for the text exports only).
inline const QString StandardOutputPath = QStringLiteral("-");

// The longest side a picture may have, in pixels.
inline constexpr int MaxPictureSide = 10'000;

// What one run of pluvion-cli is asked to do.
struct CliRequest
{
    Storm storm = StartUpStorm();
    int precision = 4;
    bool calcByShow = false;
    int timeFormat = 0;
    bool raw = false;
    QString saveStormPath;
    // Exports, as the window's commands write them.
    QString csvPath;
    QString dataDocxPath;
    QString reportPath;
    QString picturePath;
    QString swmmPath;       // the storm as a SWMM input-file fragment
    int pictureWidth = 579; // the chart's size in the window's first layout
    int pictureHeight = 480;
    // A batch (--batch): every period with every duration, written into a folder.
    bool batch = false;
    QList<double> periods;   // --period as a list
    QList<double> durations; // --duration as a list
    QString outFolder;
    QString compareChartPath; // the batch's hyetographs overlaid
    QString idfChartPath;     // intensity-duration curves of the formula
    bool idfLogAxes = false;

    bool drawsChart() const { return !reportPath.isEmpty() || !picturePath.isEmpty(); }
    // Whether any file is asked for: then the table is not printed again,
    // only the totals.
    bool writesFiles() const
    {
        const auto file = [](const QString &path) { return !path.isEmpty() && path != StandardOutputPath; };
        return file(csvPath) || file(swmmPath) || file(dataDocxPath) || file(reportPath) ||
               file(picturePath) || file(saveStormPath);
    }
    // Whether the CSV or the SWMM fragment goes to standard output instead of the table.
    bool writesToStandardOutput() const
    {
        return csvPath == StandardOutputPath || swmmPath == StandardOutputPath;
    }
};

// The options as the command line gives them: the last value of each, and
// the flags present.
struct GivenOptions
{
    QHash<QString, QString> values;
    QSet<QString> flags;
    QHash<QString, QStringList> lists; // every value of an option that takes several (--records)

    bool has(const char *name) const { return values.contains(QLatin1StringView(name)); }
    QString value(const char *name) const { return values.value(QLatin1StringView(name)); }
    bool flag(const char *name) const { return flags.contains(QLatin1StringView(name)); }
    QStringList list(const char *name) const { return lists.value(QLatin1StringView(name)); }
};

// The options without those of the records command (--records and its settings).
GivenOptions WithoutRecordsOptions(const GivenOptions &given);

// An argument "--name=value" becomes its name, with the value in `value`;
// false, the argument unchanged, for any other argument.
bool SplitInlineValue(QString &argument, QString &value);

// Reads every option and its value ("--name value" or "--name=value") from
// the arguments (without the program name), refusing names the tool does not
// know and options without their value; a file or folder option with an
// empty value counts as missing its value. --records takes every argument up
// to the next option as one of its files.
GivenOptions ReadCliOptions(const QStringList &arguments);

// `value` when it is one of `allowed`; otherwise PluvionError
// "<option> 的取值应为 a|b，而不是 '<value>'".
QString CliChoice(const QString &option, const QString &value, const QStringList &allowed);
// The option's value as a number ("." the decimal separator) or a whole
// number; PluvionError "<option> 的取值应为数…，而不是 '<value>'" otherwise.
double CliNumber(const char *option, const QString &text);
int CliInteger(const char *option, const QString &text);
// The option's comma-separated list of numbers: "1,2,5".
QList<double> CliNumbers(const char *option, const QString &text);

// Makes the storm command's or the batch's request of the options: the storm
// file first when --open names one, then every other parameter over it.
// Numbers on the command line always use "." as the decimal separator. With
// --batch, --period and --duration take comma-separated lists (a single value
// is a list of one; when omitted, the storm's own value) and --out is
// required; the single-storm exports are refused. Without --batch a list is
// refused as any other bad number, and so are the batch's own options.
// A file or folder option with an empty value counts as missing its value.
// "-" sends the CSV or the SWMM fragment (one of them) to standard output and
// is refused for the other files and with --raw. A picture side may not
// exceed MaxPictureSide.
// Raises PluvionError with the message to show for a bad argument or a file
// that cannot be read or is not a storm file.
CliRequest ParseCliArguments(const GivenOptions &given, const Separators &sep);

// The usage text: every option by group, and the exit statuses.
QString CliUsage();
