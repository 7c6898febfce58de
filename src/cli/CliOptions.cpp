#include "CliOptions.h"

#include "export/PictureFiles.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"

#include <QHash>
#include <QLatin1StringView>
#include <QSet>
#include <cstdint>

namespace {

// What an option takes, which decides where it may stand.
enum class OptionKind : std::uint8_t
{
    Flag,        // takes no value
    Setting,     // a number, a list of numbers or a choice
    StormFile,   // a storm file to read
    Export,      // a single storm's file
    TextExport,  // a single storm's text file, which "-" sends to standard output
    BatchOutput, // a batch's folder or chart
};

struct OptionSpec
{
    const char *name;
    OptionKind kind;
};

// Every option the tool knows. The exports and the batch's outputs are
// listed in the order the refusals of a wrong combination name them.
constexpr OptionSpec Options[] = {
    {"--open", OptionKind::StormFile},
    {"--form", OptionKind::Setting},
    {"--a1", OptionKind::Setting},
    {"--c", OptionKind::Setting},
    {"--b", OptionKind::Setting},
    {"--n", OptionKind::Setting},
    {"--log", OptionKind::Setting},
    {"--period", OptionKind::Setting},
    {"--duration", OptionKind::Setting},
    {"--peak", OptionKind::Setting},
    {"--step", OptionKind::Setting},
    {"--mode", OptionKind::Setting},
    {"--precision", OptionKind::Setting},
    {"--time-format", OptionKind::Setting},
    {"--size", OptionKind::Setting},
    {"--csv", OptionKind::TextExport},
    {"--data-docx", OptionKind::Export},
    {"--report", OptionKind::Export},
    {"--picture", OptionKind::Export},
    {"--swmm", OptionKind::TextExport},
    {"--save-storm", OptionKind::Export},
    {"--out", OptionKind::BatchOutput},
    {"--compare-chart", OptionKind::BatchOutput},
    {"--idf-chart", OptionKind::BatchOutput},
    {"--calc-by-show", OptionKind::Flag},
    {"--raw", OptionKind::Flag},
    {"--help", OptionKind::Flag},
    {"-h", OptionKind::Flag},
    {"--batch", OptionKind::Flag},
    {"--idf-log", OptionKind::Flag},
};

bool isExport(OptionKind kind)
{
    return kind == OptionKind::Export || kind == OptionKind::TextExport;
}

// Whether the option's value names a file or a folder, which cannot be empty.
bool namesFile(OptionKind kind)
{
    return kind == OptionKind::StormFile || isExport(kind) || kind == OptionKind::BatchOutput;
}

const OptionSpec *findOption(const QString &name)
{
    for (const OptionSpec &option : Options) {
        if (name == QLatin1StringView(option.name))
            return &option;
    }
    return nullptr;
}

// The options as the command line gives them: the last value of each, and
// the flags present.
struct GivenOptions
{
    QHash<QString, QString> values;
    QSet<QString> flags;

    bool has(const char *name) const { return values.contains(QLatin1StringView(name)); }
    QString value(const char *name) const { return values.value(QLatin1StringView(name)); }
    bool flag(const char *name) const { return flags.contains(QLatin1StringView(name)); }
};

[[noreturn]] void badArgument(const QString &message)
{
    throw PluvionError(message);
}

double number(const QString &text)
{
    return StrToFloat(text, u'.');
}

QString choice(const QString &option, const QString &value, const QStringList &allowed)
{
    if (!allowed.contains(value))
        badArgument(QStringLiteral("%1 的取值应为 %2，而不是 '%3'")
                        .arg(option, allowed.join(u'|'), ValueExcerpt(value)));
    return value;
}

// A comma-separated list of numbers: "1,2,5".
QList<double> numbers(const QString &text)
{
    QList<double> list;
    for (const QString &item : text.split(u','))
        list.append(number(item));
    return list;
}

void requirePictureType(const QString &option, const QString &path)
{
    if (!path.isEmpty() && !PictureTypeOfPath(path))
        badArgument(
            QStringLiteral("%1 的文件扩展名应为 .bmp、.jpg 或 .png：'%2'").arg(option, ValueExcerpt(path)));
}

} // namespace

bool SplitInlineValue(QString &argument, QString &value)
{
    const qsizetype equals = argument.indexOf(u'=');
    if (!argument.startsWith(QStringLiteral("--")) || equals <= 0)
        return false;
    value = argument.mid(equals + 1);
    argument.truncate(equals);
    return true;
}

namespace {

// Reads every option and its value ("--name value" or "--name=value"),
// refusing names it does not know and options without their value.
GivenOptions readOptions(const QStringList &arguments)
{
    GivenOptions given;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        const bool inlineValue = SplitInlineValue(name, value);
        const OptionSpec *option = findOption(name);
        if (!option || (option->kind == OptionKind::Flag && inlineValue))
            badArgument(QStringLiteral("未知的参数 '%1'").arg(ValueExcerpt(arguments[i])));
        if (option->kind == OptionKind::Flag) {
            given.flags.insert(name);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                badArgument(QStringLiteral("参数 %1 缺少取值").arg(name));
            value = arguments[++i];
        }
        // An empty file name names no file: "--csv ''" is as good as no value.
        if (value.isEmpty() && namesFile(option->kind))
            badArgument(QStringLiteral("参数 %1 缺少取值").arg(name));
        given.values.insert(name, value);
    }
    return given;
}

// The storm file first, wherever --open stands, then every other value over it.
void applyOptions(const GivenOptions &given, CliRequest &request, const Separators &sep)
{
    request.help = given.flag("--help") || given.flag("-h");
    request.calcByShow = given.flag("--calc-by-show");
    request.raw = given.flag("--raw");
    request.batch = given.flag("--batch");
    request.idfLogAxes = given.flag("--idf-log");

    Storm &storm = request.storm;
    if (given.has("--open")) {
        if (ReadStormFile(given.value("--open"), storm, sep) == StormFileReadResult::NotAStormFile)
            badArgument(NotAStormFileMessage());
    }
    if (given.has("--form")) {
        const bool flow = choice(QStringLiteral("--form"), given.value("--form"),
                                 {QStringLiteral("i"), QStringLiteral("q")}) == QStringLiteral("q");
        if (!flow || storm.form != FormulaForm::Flow)
            storm.setA1(storm.a1);
        storm.form = flow ? FormulaForm::Flow : FormulaForm::Intensity;
    }
    if (given.has("--a1")) {
        // The parameter in the form the storm is entered in, as the dialog takes it.
        const double typed = number(given.value("--a1"));
        if (storm.form == FormulaForm::Flow)
            storm.setA1Flow(typed);
        else
            storm.setA1(typed);
    }
    if (given.has("--c"))
        storm.c = number(given.value("--c"));
    if (given.has("--b"))
        storm.b = number(given.value("--b"));
    if (given.has("--n"))
        storm.n = number(given.value("--n"));
    if (given.has("--log")) {
        storm.log = choice(QStringLiteral("--log"), given.value("--log"),
                           {QStringLiteral("lg"), QStringLiteral("ln")}) == QStringLiteral("ln")
                        ? Logarithm::Ln
                        : Logarithm::Lg;
    }
    if (request.batch) {
        request.periods =
            given.has("--period") ? numbers(given.value("--period")) : QList<double>{storm.period};
        request.durations =
            given.has("--duration") ? numbers(given.value("--duration")) : QList<double>{storm.duration};
    } else {
        if (given.has("--period"))
            storm.period = number(given.value("--period"));
        if (given.has("--duration"))
            storm.duration = number(given.value("--duration"));
    }
    if (given.has("--peak"))
        storm.peakRatio = number(given.value("--peak"));
    if (given.has("--step"))
        storm.step = StrToInt(given.value("--step"));
    if (given.has("--mode")) {
        storm.mode = choice(QStringLiteral("--mode"), given.value("--mode"),
                            {QStringLiteral("instant"), QStringLiteral("block")}) == QStringLiteral("block")
                         ? CalcMode::Block
                         : CalcMode::Instant;
    }
    if (given.has("--precision"))
        request.precision = StrToInt(given.value("--precision"));
    if (given.has("--time-format")) {
        request.timeFormat = choice(QStringLiteral("--time-format"), given.value("--time-format"),
                                    {QStringLiteral("clock"), QStringLiteral("min")}) == QStringLiteral("min")
                                 ? 1
                                 : 0;
    }
    request.saveStormPath = given.value("--save-storm");
    request.csvPath = given.value("--csv");
    request.dataDocxPath = given.value("--data-docx");
    request.reportPath = given.value("--report");
    request.picturePath = given.value("--picture");
    request.swmmPath = given.value("--swmm");
    request.outFolder = given.value("--out");
    request.compareChartPath = given.value("--compare-chart");
    request.idfChartPath = given.value("--idf-chart");
}

// The options that make sense only together, or never together.
void checkCombinations(const GivenOptions &given, const CliRequest &request)
{
    if (request.batch) {
        for (const OptionSpec &option : Options) {
            if (isExport(option.kind) && given.has(option.name))
                badArgument(QStringLiteral("%1 不能与 --batch 同用").arg(QLatin1StringView(option.name)));
        }
        if (request.raw)
            badArgument(QStringLiteral("--raw 不能与 --batch 同用"));
        if (request.outFolder.isEmpty())
            badArgument(QStringLiteral("--batch 需要用 --out 指定输出文件夹"));
        if (request.idfLogAxes && request.idfChartPath.isEmpty())
            badArgument(QStringLiteral("--idf-log 只能与 --idf-chart 同用"));
    } else {
        for (const OptionSpec &option : Options) {
            if (option.kind == OptionKind::BatchOutput && given.has(option.name))
                badArgument(QStringLiteral("%1 只能与 --batch 同用").arg(QLatin1StringView(option.name)));
        }
        if (request.idfLogAxes)
            badArgument(QStringLiteral("--idf-log 只能与 --batch 同用"));
    }
    for (const OptionSpec &option : Options) {
        if (option.kind == OptionKind::Export && given.value(option.name) == StandardOutputPath)
            badArgument(QStringLiteral("%1 的文件不能写到标准输出（-）").arg(QLatin1StringView(option.name)));
    }
    if (request.csvPath == StandardOutputPath && request.swmmPath == StandardOutputPath)
        badArgument(QStringLiteral("--csv 与 --swmm 不能同时写到标准输出（-）"));
    if (request.raw && request.writesToStandardOutput())
        badArgument(QStringLiteral("--raw 不能与写到标准输出（-）的导出同用"));
    requirePictureType(QStringLiteral("--picture"), request.picturePath);
    requirePictureType(QStringLiteral("--compare-chart"), request.compareChartPath);
    requirePictureType(QStringLiteral("--idf-chart"), request.idfChartPath);
}

// The pictures' size, "WxH" in pixels.
void applySize(const GivenOptions &given, CliRequest &request)
{
    if (!given.has("--size"))
        return;
    const QString text = given.value("--size");
    const QStringList parts = text.split(u'x');
    int32_t width = 0;
    int32_t height = 0;
    if (parts.size() != 2 || !TryParseInt32(parts[0], &width) || !TryParseInt32(parts[1], &height) ||
        width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide)
        badArgument(QStringLiteral("--size 的取值应为 宽x高（像素，1 至 %1），而不是 '%2'")
                        .arg(MaxPictureSide)
                        .arg(ValueExcerpt(text)));
    request.pictureWidth = width;
    request.pictureHeight = height;
}

} // namespace

QString CliUsage()
{
    return QStringLiteral(
               "用法: pluvion-cli [--open FILE] [--form i|q] [--a1 X] [--c X] [--b X] [--n X] [--log lg|ln]\n"
               "                  [--period P] [--duration T] [--peak R] [--step S] [--mode instant|block]\n"
               "                  [--precision N] [--calc-by-show] [--time-format clock|min]\n"
               "                  [--raw] [--save-storm FILE]\n"
               "                  [--csv FILE] [--data-docx FILE] [--report FILE] [--picture FILE] [--size "
               "WxH]\n"
               "                  [--swmm FILE]\n"
               "       pluvion-cli --batch --period P1,P2,.. --duration T1,T2,.. --out DIR\n"
               "                  "
               "[公式、--peak、--step、--mode、--precision、--calc-by-show、--time-format]\n"
               "                  [--compare-chart FILE] [--idf-chart FILE [--idf-log]] [--size WxH]\n"
               "不带参数时计算程序启动时的默认雨型（芝加哥雨型）。\n"
               "--mode instant 为瞬时雨强（默认），block 为时段平均（雨量与公式雨量一致，适合 SWMM）。\n"
               "--swmm 写出可粘贴进 SWMM 5 输入文件的 [RAINGAGES] 与 [TIMESERIES] 段。\n"
               "--csv - 或 --swmm - 把该文件写到标准输出（代替表格）；--size 每边至多 %1 像素。\n"
               "--batch 按列出的每个重现期与每个历时计算一个雨型（先按重现期、再按历时的顺序），\n"
               "  在 --out 文件夹（不存在时创建）中为每个雨型写一个 CSV（文件名与窗口导出时相同），\n"
               "  并写出汇总表 雨型汇总.csv：重现期、历时、峰值比例、步长、计算模式、降雨总量H、平均雨强、\n"
               "  峰值雨强及其分钟、公式雨量，每个算成的雨型一行。进度逐个写到标准错误输出，\n"
               "  算不出的雨型以 P、T 指明并跳过，其余照常计算；有雨型失败时退出码为 1。\n"
               "--compare-chart 把批量中各雨型的过程线画在一张图上；--idf-chart 画各重现期的\n"
               "  暴雨强度—历时曲线（历时到列出的最长历时），--idf-log 用双对数坐标。\n"
               "命令行上的数值一律以 \".\" 作小数点。\n")
        .arg(MaxPictureSide);
}

CliRequest ParseCliArguments(const QStringList &arguments, const Separators &sep)
{
    const GivenOptions given = readOptions(arguments);
    CliRequest request;
    applyOptions(given, request, sep);
    checkCombinations(given, request);
    applySize(given, request);
    return request;
}
