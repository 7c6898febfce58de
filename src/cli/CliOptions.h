#pragma once

#include "model/NumberForms.h"
#include "model/Storm.h"

#include <QHash>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
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

// What an option's value is.
enum class OptionValue : std::uint8_t
{
    None,         // a flag: no value
    Setting,      // a number, a list of numbers or a choice
    MaybeSetting, // a setting that may be left out: the next argument is its value unless it is an option
    InputFile,    // a file read
    InputFiles,   // files or folders read: every argument up to the next option, and every time given
    OutputFile,   // a file written, never standard output
    TextOutput,   // a text file written, or "-" for standard output
    OutputFolder, // a folder written into
};

// The groups the usage text lists the options in.
enum class OptionGroup : std::uint8_t
{
    Storm,
    Output,
    Batch,
    Fit,
    Records,
    LongStorm,
    General,
};

// One option of pluvion-cli, declared once below: the commands list the ones
// they accept, the usage text and the manual page are made of them, and
// every message names an option through its declaration.
struct CliOption
{
    const char *name;
    OptionValue value;
    OptionGroup group;
    const char *valueName; // what the value is, for the usage text; empty for a flag
    const char *help;      // %1 and %2 stand for the options it mentions
    const CliOption *mentions[2] = {nullptr, nullptr};

    QString text() const { return QString::fromLatin1(name); }
    bool isFlag() const { return value == OptionValue::None; }
    // Whether the value names a file or a folder, which cannot be empty.
    bool namesFile() const { return value != OptionValue::None && value != OptionValue::Setting; }
};

// Every option the tool knows, declared after those its help mentions; All lists them in the order of the
// usage text. The exports and the batch's outputs are listed in the order the refusals of a wrong combination
// name them.
namespace Option {
inline constexpr CliOption Batch{"--batch", OptionValue::None, OptionGroup::Batch, "",
                                 "按列出的每个重现期与每个历时计算雨型"};
inline constexpr CliOption Fit{"--fit", OptionValue::InputFile, OptionGroup::Fit, "FILE",
                               "由 i–t–P 表或样本（CSV）推求暴雨强度公式"};
inline constexpr CliOption Samples{"--samples", OptionValue::Setting, OptionGroup::Fit,
                                   "annual-max|annual-multiple", "文件为样本序列：年最大值法或年多个样法"};
inline constexpr CliOption Open{"--open", OptionValue::InputFile, OptionGroup::Storm, "FILE",
                                "读入雨型文件，其余参数在其上修改"};
inline constexpr CliOption Form{"--form", OptionValue::Setting, OptionGroup::Storm, "i|q",
                                "公式形式：i 暴雨强度（A1），q 流量形式（166.7A1）"};
inline constexpr CliOption A1{"--a1", OptionValue::Setting, OptionGroup::Storm, "X",
                              "A1（i 形式）或 166.7A1（q 形式）"};
inline constexpr CliOption C{"--c", OptionValue::Setting, OptionGroup::Storm, "X", "公式参数 C"};
inline constexpr CliOption B{"--b", OptionValue::Setting, OptionGroup::Storm, "X", "公式参数 b（分钟）"};
inline constexpr CliOption N{"--n", OptionValue::Setting, OptionGroup::Storm, "X", "公式参数 n"};
inline constexpr CliOption Log{"--log",
                               OptionValue::Setting,
                               OptionGroup::Storm,
                               "lg|ln",
                               "重现期的对数：lg P 或 ln P（%1 时为推求的公式所用）",
                               {&Fit}};
inline constexpr CliOption Period{
    "--period", OptionValue::Setting, OptionGroup::Storm, "P", "设计重现期（年）；%1 时为逗号分隔的列表",
    {&Batch}};
inline constexpr CliOption Duration{
    "--duration", OptionValue::Setting, OptionGroup::Storm, "T", "降雨历时（分钟）；%1 时为逗号分隔的列表",
    {&Batch}};
inline constexpr CliOption Peak{"--peak", OptionValue::Setting, OptionGroup::Storm, "R",
                                "峰值比例 r，须在 0 与 1 之间（不含 0 和 1）"};
inline constexpr CliOption Step{"--step", OptionValue::Setting, OptionGroup::Storm, "S",
                                "计算步长（整分钟）"};
inline constexpr CliOption Mode{"--mode", OptionValue::Setting, OptionGroup::Storm, "instant|block",
                                "瞬时雨强（默认）或时段平均（总量等于公式雨量）"};
inline constexpr CliOption Precision{"--precision", OptionValue::Setting, OptionGroup::Output, "N",
                                     "显示的小数位数（默认 4）"};
inline constexpr CliOption TimeFormat{"--time-format", OptionValue::Setting, OptionGroup::Output, "clock|min",
                                      "时间列：时:分（默认）或分钟"};
inline constexpr CliOption Size{"--size", OptionValue::Setting, OptionGroup::Output, "WxH",
                                "图片大小（像素，默认 579x480，每边至多 10000）"};
inline constexpr CliOption Csv{"--csv", OptionValue::TextOutput, OptionGroup::Output, "FILE",
                               "写出 CSV（GBK，CR LF）；- 写到标准输出"};
inline constexpr CliOption DataDocx{"--data-docx", OptionValue::OutputFile, OptionGroup::Output, "FILE",
                                    "写出数据表 Word 文档"};
inline constexpr CliOption Report{"--report", OptionValue::OutputFile, OptionGroup::Output, "FILE",
                                  "写出计算书 Word 文档"};
inline constexpr CliOption Picture{"--picture", OptionValue::OutputFile, OptionGroup::Output, "FILE",
                                   "写出雨型图片（.bmp、.jpg 或 .png）"};
inline constexpr CliOption Swmm{"--swmm", OptionValue::TextOutput, OptionGroup::Output, "FILE",
                                "写出 SWMM 5 的 [RAINGAGES] 与 [TIMESERIES] 段；- 写到标准输出"};
inline constexpr CliOption SaveStorm{
    "--save-storm", OptionValue::OutputFile, OptionGroup::Output, "FILE", "保存雨型文件（%1 时为推求的公式）",
    {&Fit}};
inline constexpr CliOption Out{"--out", OptionValue::OutputFolder, OptionGroup::Batch, "DIR",
                               "批量结果的文件夹（不存在时创建）"};
inline constexpr CliOption CompareChart{"--compare-chart", OptionValue::OutputFile, OptionGroup::Batch,
                                        "FILE", "各雨型过程线的对比图"};
inline constexpr CliOption IdfChart{"--idf-chart", OptionValue::OutputFile, OptionGroup::Batch, "FILE",
                                    "各重现期的暴雨强度—历时曲线图"};
inline constexpr CliOption FitDepth{"--fit-depth", OptionValue::None, OptionGroup::Fit, "",
                                    "i–t–P 表中的数值为雨量（mm）而非雨强"};
inline constexpr CliOption Years{"--years", OptionValue::Setting, OptionGroup::Fit, "N",
                                 "年多个样法的资料年数"};
inline constexpr CliOption Distribution{"--distribution", OptionValue::Setting, OptionGroup::Fit,
                                        "p3|gumbel|exp", "频率分布（默认：年最大值法 p3，年多个样法 exp）"};
inline constexpr CliOption FitPeriods{"--fit-periods", OptionValue::Setting, OptionGroup::Fit, "P1,P2,..",
                                      "由样本推求的重现期（年）"};
inline constexpr CliOption AnnualMaxPeriods{"--annual-max-periods", OptionValue::None, OptionGroup::Fit, "",
                                            "年多个样法的重现期换算为年最大值法的重现期"};
inline constexpr CliOption FitReport{"--fit-report", OptionValue::OutputFile, OptionGroup::Fit, "FILE",
                                     "写出推求结果：.docx（Word）或 .csv"};
inline constexpr CliOption Bands{"--bands", OptionValue::MaybeSetting, OptionGroup::Fit, "[LEVEL]",
                                 "给出置信区间：按年有放回地重抽样，重做频率分析与公式拟合；"
                                 "LEVEL 为置信水平（%，默认 90）"};
inline constexpr CliOption Resamples{
    "--bootstrap", OptionValue::Setting, OptionGroup::Fit, "B", "%1 的重抽样次数（默认 1000，2 至 100000）",
    {&Bands}};
inline constexpr CliOption Seed{"--seed",
                                OptionValue::Setting,
                                OptionGroup::Fit,
                                "S",
                                "%1 的随机种子（非负整数，默认 20260531）；同一资料、次数与种子结果相同",
                                {&Bands}};
inline constexpr CliOption SaveBands{"--save-bands",
                                     OptionValue::OutputFile,
                                     OptionGroup::Fit,
                                     "FILE",
                                     "写出 %1 的置信区间表（CSV，GBK，CR LF）",
                                     {&Bands}};
inline constexpr CliOption Records{
    "--records",
    OptionValue::InputFiles,
    OptionGroup::Records,
    "FILE...",
    "由降雨记录推求样本、峰值比例与公式；可给多个文件或文件夹（其中的 .csv 与 .txt），"
    "%1 给出多次时合用全部文件",
    {&Records}};
inline constexpr CliOption RecordStep{"--record-step", OptionValue::Setting, OptionGroup::Records, "1|5",
                                      "记录步长（分钟；默认由记录中最常见的时间间隔判断）"};
inline constexpr CliOption RecordUnit{"--record-unit", OptionValue::Setting, OptionGroup::Records, "mm|0.1mm",
                                      "雨量单位（默认按表头注明的单位，未注明时为 mm）"};
inline constexpr CliOption RecordsGaps{
    "--records-gaps", OptionValue::Setting, OptionGroup::Records, "zero|missing",
    "记录中未列出的时段：zero 无雨（默认，文件只列有雨的时段），missing 缺测"};
inline constexpr CliOption RecordsColumns{
    "--records-columns", OptionValue::Setting, OptionGroup::Records, "LIST",
    "各列的含义，如 time,depth 或 year,month,day,hour,minute,depth（- 跳过一列）"};
inline constexpr CliOption MinCompleteness{"--min-completeness", OptionValue::Setting, OptionGroup::Records,
                                           "PCT", "年份记录完整率的下限（%，默认 90），不足的年份不参与取样"};
inline constexpr CliOption MaxMinuteDepth{"--max-minute-depth", OptionValue::Setting, OptionGroup::Records,
                                          "MM", "每分钟雨量的上限（mm，默认 100），超过即为错误"};
inline constexpr CliOption Durations{"--durations", OptionValue::Setting, OptionGroup::Records, "T1,T2,..",
                                     "取样历时（分钟，默认 5,10,15,20,30,45,60,90,120,150,180，至多 1440）"};
inline constexpr CliOption SampleCount{"--sample-count", OptionValue::Setting, OptionGroup::Records, "N",
                                       "年多个样法每个历时的样本数（默认 4 × 使用的年数）"};
inline constexpr CliOption SaveSamples{"--save-samples",
                                       OptionValue::OutputFile,
                                       OptionGroup::Records,
                                       "FILE",
                                       "保存样本表（CSV，可再用 %1 %2 推求）",
                                       {&Fit, &Samples}};
inline constexpr CliOption LongStorm{
    "--long-storm",
    OptionValue::Setting,
    OptionGroup::LongStorm,
    "same-frequency|pilgrim-cordery",
    "由 %1 的降雨记录推求长历时雨型：同频率放大，或平均变率法（Pilgrim–Cordery）",
    {&Records}};
inline constexpr CliOption LongDuration{"--long-duration", OptionValue::Setting, OptionGroup::LongStorm, "D",
                                        "长历时雨型的历时（分钟，默认 1440，至多 1440）"};
inline constexpr CliOption LongStep{"--long-step", OptionValue::Setting, OptionGroup::LongStorm, "S",
                                    "时段长度（分钟，默认 5）：整除历时，且为记录步长的倍数"};
inline constexpr CliOption Nest{"--nest", OptionValue::Setting, OptionGroup::LongStorm, "d1,d2,..",
                                "嵌套历时（分钟，逐个增大，以历时结束；默认取 "
                                "5,15,30,60,120,180,360,720,1440 中适用者）"};
inline constexpr CliOption TypicalStorm{"--typical-storm", OptionValue::Setting, OptionGroup::LongStorm,
                                        "\"YYYY-MM-DD HH:MM\"",
                                        "同频率放大的典型暴雨：其历时窗口的开始时间（默认为最大的一场）"};
inline constexpr CliOption LongEvents{"--long-events", OptionValue::Setting, OptionGroup::LongStorm, "N",
                                      "平均变率法统计记录中互不重叠的最大 N 场暴雨（默认为各年最大的一场）"};
inline constexpr CliOption Depths{
    "--depths", OptionValue::Setting, OptionGroup::LongStorm, "records|formula",
    "设计雨量：由记录各嵌套历时的样本频率分析（默认），或由记录推求的暴雨强度公式"};
inline constexpr CliOption CalcByShow{"--calc-by-show", OptionValue::None, OptionGroup::Output, "",
                                      "以显示的数值累计降雨总量"};
inline constexpr CliOption Raw{"--raw", OptionValue::None, OptionGroup::Output, "",
                               "以 17 位有效数字输出（分钟、雨强、总量，Tab 分隔）"};
inline constexpr CliOption IdfLog{"--idf-log", OptionValue::None, OptionGroup::Batch, "",
                                  "强度—历时曲线用双对数坐标"};
inline constexpr CliOption Help{"--help", OptionValue::None, OptionGroup::General, "", "显示本说明"};
inline constexpr CliOption ShortHelp{"-h", OptionValue::None, OptionGroup::General, "", "同 --help"};
inline constexpr CliOption Version{"--version", OptionValue::None, OptionGroup::General, "", "显示版本"};

inline constexpr const CliOption *const All[] = {&Open,
                                                 &Form,
                                                 &A1,
                                                 &C,
                                                 &B,
                                                 &N,
                                                 &Log,
                                                 &Period,
                                                 &Duration,
                                                 &Peak,
                                                 &Step,
                                                 &Mode,
                                                 &Precision,
                                                 &TimeFormat,
                                                 &Size,
                                                 &Csv,
                                                 &DataDocx,
                                                 &Report,
                                                 &Picture,
                                                 &Swmm,
                                                 &SaveStorm,
                                                 &Out,
                                                 &CompareChart,
                                                 &IdfChart,
                                                 &Fit,
                                                 &FitDepth,
                                                 &Samples,
                                                 &Years,
                                                 &Distribution,
                                                 &FitPeriods,
                                                 &AnnualMaxPeriods,
                                                 &FitReport,
                                                 &Bands,
                                                 &Resamples,
                                                 &Seed,
                                                 &SaveBands,
                                                 &Records,
                                                 &RecordStep,
                                                 &RecordUnit,
                                                 &RecordsGaps,
                                                 &RecordsColumns,
                                                 &MinCompleteness,
                                                 &MaxMinuteDepth,
                                                 &Durations,
                                                 &SampleCount,
                                                 &SaveSamples,
                                                 &LongStorm,
                                                 &LongDuration,
                                                 &LongStep,
                                                 &Nest,
                                                 &TypicalStorm,
                                                 &LongEvents,
                                                 &Depths,
                                                 &CalcByShow,
                                                 &Raw,
                                                 &Batch,
                                                 &IdfLog,
                                                 &Help,
                                                 &ShortHelp,
                                                 &Version};
} // namespace Option

// The options as the command line gives them: the value of each (every value
// of one that reads several files), and the flags present.
struct GivenOptions
{
    QHash<const CliOption *, QStringList> values;

    bool has(const CliOption &option) const { return values.contains(&option); }
    QString value(const CliOption &option) const
    {
        const auto found = values.constFind(&option);
        return found == values.cend() || found->isEmpty() ? QString() : found->constLast();
    }
    QStringList list(const CliOption &option) const { return values.value(&option); }
};

// The option's help, with the options it mentions.
QString CliOptionHelp(const CliOption &option);

// The option named so ("--years"), or null.
const CliOption *FindOption(QStringView name);

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
QString CliChoice(const CliOption &option, const QString &value, const QStringList &allowed);
// The option's value as a number ("." the decimal separator) or a whole
// number; PluvionError "<option> 的取值应为数…，而不是 '<value>'" otherwise.
double CliNumber(const CliOption &option, const QString &text);
int CliInteger(const CliOption &option, const QString &text);
// The option's comma-separated list of numbers: "1,2,5".
QList<double> CliNumbers(const CliOption &option, const QString &text);

// The logarithm --log names: lg or ln.
Logarithm CliLogarithm(const QString &value);

// Makes the storm command's or the batch's request of the options (and the
// storm a fit saves): the storm file first when --open names one, then every
// other parameter over it. Numbers on the command line always use "." as the
// decimal separator. With --batch, --period and --duration take
// comma-separated lists (a single value is a list of one; when omitted, the
// storm's own value) and --out is required; without it a list is refused as
// any other bad number. Which options apply at all is the command's
// declaration, checked before (CheckGivenOptions). "-" sends the CSV or the
// SWMM fragment (one of them) to standard output and is refused with --raw.
// A picture side may not exceed MaxPictureSide.
// Raises PluvionError with the message to show for a bad argument or a file
// that cannot be read or is not a storm file.
CliRequest ParseCliArguments(const GivenOptions &given, const Separators &sep);

// The usage text: every option by group, and the exit statuses.
QString CliUsage();
