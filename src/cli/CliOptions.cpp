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
    Flag,           // takes no value
    Setting,        // a number, a list of numbers or a choice
    StormFile,      // a storm file to read
    Export,         // a single storm's file
    TextExport,     // a single storm's text file, which "-" sends to standard output
    BatchOutput,    // a batch's folder or chart
    FitInput,       // the statistics the formula is derived from
    FitSetting,     // a choice of the derivation
    FitFlag,        // a switch of the derivation
    FitOutput,      // the derivation's report
    RecordsInput,   // the rain-gauge record files or folders (several values)
    RecordsSetting, // a choice of reading or sampling the records
    RecordsOutput,  // the samples taken from the records
};

// The groups the usage text lists the options in.
enum class OptionGroup : std::uint8_t
{
    Storm,
    Output,
    Batch,
    Fit,
    Records,
    General,
};

struct OptionSpec
{
    const char *name;
    OptionKind kind;
    OptionGroup group;
    const char *value; // what the value is, for the usage text; empty for a flag
    const char *help;
};

// Every option the tool knows, in the order the usage text lists them. The
// exports and the batch's outputs are listed in the order the refusals of a
// wrong combination name them.
constexpr OptionSpec Options[] = {
    {"--open", OptionKind::StormFile, OptionGroup::Storm, "FILE", "读入雨型文件，其余参数在其上修改"},
    {"--form", OptionKind::Setting, OptionGroup::Storm, "i|q",
     "公式形式：i 暴雨强度（A1），q 流量形式（166.7A1）"},
    {"--a1", OptionKind::Setting, OptionGroup::Storm, "X", "A1（i 形式）或 166.7A1（q 形式）"},
    {"--c", OptionKind::Setting, OptionGroup::Storm, "X", "公式参数 C"},
    {"--b", OptionKind::Setting, OptionGroup::Storm, "X", "公式参数 b（分钟）"},
    {"--n", OptionKind::Setting, OptionGroup::Storm, "X", "公式参数 n"},
    {"--log", OptionKind::Setting, OptionGroup::Storm, "lg|ln",
     "重现期的对数：lg P 或 ln P（--fit 时为推求的公式所用）"},
    {"--period", OptionKind::Setting, OptionGroup::Storm, "P",
     "设计重现期（年）；--batch 时为逗号分隔的列表"},
    {"--duration", OptionKind::Setting, OptionGroup::Storm, "T",
     "降雨历时（分钟）；--batch 时为逗号分隔的列表"},
    {"--peak", OptionKind::Setting, OptionGroup::Storm, "R", "峰值比例 r，须在 0 与 1 之间（不含 0 和 1）"},
    {"--step", OptionKind::Setting, OptionGroup::Storm, "S", "计算步长（整分钟）"},
    {"--mode", OptionKind::Setting, OptionGroup::Storm, "instant|block",
     "瞬时雨强（默认）或时段平均（总量等于公式雨量）"},
    {"--precision", OptionKind::Setting, OptionGroup::Output, "N", "显示的小数位数（默认 4）"},
    {"--time-format", OptionKind::Setting, OptionGroup::Output, "clock|min", "时间列：时:分（默认）或分钟"},
    {"--size", OptionKind::Setting, OptionGroup::Output, "WxH",
     "图片大小（像素，默认 579x480，每边至多 10000）"},
    {"--csv", OptionKind::TextExport, OptionGroup::Output, "FILE", "写出 CSV（GBK，CR LF）；- 写到标准输出"},
    {"--data-docx", OptionKind::Export, OptionGroup::Output, "FILE", "写出数据表 Word 文档"},
    {"--report", OptionKind::Export, OptionGroup::Output, "FILE", "写出计算书 Word 文档"},
    {"--picture", OptionKind::Export, OptionGroup::Output, "FILE", "写出雨型图片（.bmp、.jpg 或 .png）"},
    {"--swmm", OptionKind::TextExport, OptionGroup::Output, "FILE",
     "写出 SWMM 5 的 [RAINGAGES] 与 [TIMESERIES] 段；- 写到标准输出"},
    {"--save-storm", OptionKind::Export, OptionGroup::Output, "FILE", "保存雨型文件（--fit 时为推求的公式）"},
    {"--out", OptionKind::BatchOutput, OptionGroup::Batch, "DIR", "批量结果的文件夹（不存在时创建）"},
    {"--compare-chart", OptionKind::BatchOutput, OptionGroup::Batch, "FILE", "各雨型过程线的对比图"},
    {"--idf-chart", OptionKind::BatchOutput, OptionGroup::Batch, "FILE", "各重现期的暴雨强度—历时曲线图"},
    {"--fit", OptionKind::FitInput, OptionGroup::Fit, "FILE", "由 i–t–P 表或样本（CSV）推求暴雨强度公式"},
    {"--fit-depth", OptionKind::FitFlag, OptionGroup::Fit, "", "i–t–P 表中的数值为雨量（mm）而非雨强"},
    {"--samples", OptionKind::FitSetting, OptionGroup::Fit, "annual-max|annual-multiple",
     "文件为样本序列：年最大值法或年多个样法"},
    {"--years", OptionKind::FitSetting, OptionGroup::Fit, "N", "年多个样法的资料年数"},
    {"--distribution", OptionKind::FitSetting, OptionGroup::Fit, "p3|gumbel|exp",
     "频率分布（默认：年最大值法 p3，年多个样法 exp）"},
    {"--fit-periods", OptionKind::FitSetting, OptionGroup::Fit, "P1,P2,..", "由样本推求的重现期（年）"},
    {"--annual-max-periods", OptionKind::FitFlag, OptionGroup::Fit, "",
     "年多个样法的重现期换算为年最大值法的重现期"},
    {"--fit-report", OptionKind::FitOutput, OptionGroup::Fit, "FILE", "写出推求结果：.docx（Word）或 .csv"},
    {"--records", OptionKind::RecordsInput, OptionGroup::Records, "FILE...",
     "由降雨记录推求样本、峰值比例与公式；可给多个文件或文件夹（其中的 .csv 与 .txt），"
     "--records 给出多次时合用全部文件"},
    {"--record-step", OptionKind::RecordsSetting, OptionGroup::Records, "1|5",
     "记录步长（分钟；默认由记录中最常见的时间间隔判断）"},
    {"--record-unit", OptionKind::RecordsSetting, OptionGroup::Records, "mm|0.1mm", "雨量单位（默认按表头注明的单位，未注明时为 mm）"},
    {"--records-gaps", OptionKind::RecordsSetting, OptionGroup::Records, "zero|missing",
     "记录中未列出的时段：zero 无雨（默认，文件只列有雨的时段），missing 缺测"},
    {"--records-columns", OptionKind::RecordsSetting, OptionGroup::Records, "LIST",
     "各列的含义，如 time,depth 或 year,month,day,hour,minute,depth（- 跳过一列）"},
    {"--min-completeness", OptionKind::RecordsSetting, OptionGroup::Records, "PCT",
     "年份记录完整率的下限（%，默认 90），不足的年份不参与取样"},
    {"--max-minute-depth", OptionKind::RecordsSetting, OptionGroup::Records, "MM",
     "每分钟雨量的上限（mm，默认 100），超过即为错误"},
    {"--durations", OptionKind::RecordsSetting, OptionGroup::Records, "T1,T2,..",
     "取样历时（分钟，默认 5,10,15,20,30,45,60,90,120,150,180，至多 1440）"},
    {"--sample-count", OptionKind::RecordsSetting, OptionGroup::Records, "N",
     "年多个样法每个历时的样本数（默认 4 × 使用的年数）"},
    {"--save-samples", OptionKind::RecordsOutput, OptionGroup::Records, "FILE",
     "保存样本表（CSV，可再用 --fit --samples 推求）"},
    {"--calc-by-show", OptionKind::Flag, OptionGroup::Output, "", "以显示的数值累计降雨总量"},
    {"--raw", OptionKind::Flag, OptionGroup::Output, "",
     "以 17 位有效数字输出（分钟、雨强、总量，Tab 分隔）"},
    {"--batch", OptionKind::Flag, OptionGroup::Batch, "", "按列出的每个重现期与每个历时计算雨型"},
    {"--idf-log", OptionKind::Flag, OptionGroup::Batch, "", "强度—历时曲线用双对数坐标"},
    {"--help", OptionKind::Flag, OptionGroup::General, "", "显示本说明"},
    {"-h", OptionKind::Flag, OptionGroup::General, "", "同 --help"},
    {"--version", OptionKind::Flag, OptionGroup::General, "", "显示版本"},
};

bool isExport(OptionKind kind)
{
    return kind == OptionKind::Export || kind == OptionKind::TextExport;
}

// Whether the option's value names a file or a folder, which cannot be empty.
bool namesFile(OptionKind kind)
{
    return kind == OptionKind::StormFile || isExport(kind) || kind == OptionKind::BatchOutput ||
           kind == OptionKind::FitInput || kind == OptionKind::FitOutput ||
           kind == OptionKind::RecordsInput || kind == OptionKind::RecordsOutput;
}

bool isFlag(OptionKind kind)
{
    return kind == OptionKind::Flag || kind == OptionKind::FitFlag;
}

const OptionSpec *findOption(const QString &name)
{
    for (const OptionSpec &option : Options) {
        if (name == QLatin1StringView(option.name))
            return &option;
    }
    return nullptr;
}

[[noreturn]] void badArgument(const QString &message)
{
    throw PluvionError(message);
}

// The option's value as a number, "." the decimal separator.
double number(const char *option, const QString &text)
{
    return CliNumber(option, text);
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

QString CliChoice(const QString &option, const QString &value, const QStringList &allowed)
{
    if (!allowed.contains(value))
        badArgument(QStringLiteral("%1 的取值应为 %2，而不是 '%3'")
                        .arg(option, allowed.join(u'|'), ValueExcerpt(value)));
    return value;
}

double CliNumber(const char *option, const QString &text)
{
    double value = 0;
    if (!TryParseFloat(text, u'.', &value))
        badArgument(QStringLiteral("%1 的取值应为数（以 . 作小数点），而不是 '%2'")
                        .arg(QLatin1StringView(option), ValueExcerpt(text)));
    return value;
}

int CliInteger(const char *option, const QString &text)
{
    int32_t value = 0;
    if (!TryParseInt32(text, &value))
        badArgument(QStringLiteral("%1 的取值应为整数，而不是 '%2'")
                        .arg(QLatin1StringView(option), ValueExcerpt(text)));
    return value;
}

QList<double> CliNumbers(const char *option, const QString &text)
{
    QList<double> list;
    for (const QString &item : text.split(u','))
        list.append(CliNumber(option, item));
    return list;
}

GivenOptions ReadCliOptions(const QStringList &arguments)
{
    GivenOptions given;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        const bool inlineValue = SplitInlineValue(name, value);
        const OptionSpec *option = findOption(name);
        if (!option || (isFlag(option->kind) && inlineValue))
            badArgument(QStringLiteral("未知的参数 '%1'").arg(ValueExcerpt(arguments[i])));
        if (isFlag(option->kind)) {
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
        // A value given twice would leave one of them unused without a word;
        // only the records' files add up, however often they are named.
        const bool several = option->kind == OptionKind::RecordsInput;
        if (!several && given.values.contains(name))
            badArgument(QStringLiteral("参数 %1 重复给出（'%2' 与 '%3'），只能给一次")
                            .arg(name, ValueExcerpt(given.values.value(name)), ValueExcerpt(value)));
        given.values.insert(name, value);
        // Several files: every value up to the next option.
        if (several) {
            QStringList &list = given.lists[name];
            list.append(value);
            while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QStringLiteral("--")) &&
                   arguments[i + 1] != QStringLiteral("-h")) {
                if (arguments[i + 1].isEmpty())
                    badArgument(QStringLiteral("参数 %1 缺少取值").arg(name));
                list.append(arguments[++i]);
            }
        }
    }
    return given;
}

namespace {

// The storm file first, wherever --open stands, then every other value over it.
void applyOptions(const GivenOptions &given, CliRequest &request, const Separators &sep)
{
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
        const bool flow = CliChoice(QStringLiteral("--form"), given.value("--form"),
                                    {QStringLiteral("i"), QStringLiteral("q")}) == QStringLiteral("q");
        if (!flow || storm.form != FormulaForm::Flow)
            storm.setA1(storm.a1);
        storm.form = flow ? FormulaForm::Flow : FormulaForm::Intensity;
    }
    if (given.has("--a1")) {
        // The parameter in the form the storm is entered in, as the dialog takes it.
        const double typed = number("--a1", given.value("--a1"));
        if (storm.form == FormulaForm::Flow)
            storm.setA1Flow(typed);
        else
            storm.setA1(typed);
    }
    if (given.has("--c"))
        storm.c = number("--c", given.value("--c"));
    if (given.has("--b"))
        storm.b = number("--b", given.value("--b"));
    if (given.has("--n"))
        storm.n = number("--n", given.value("--n"));
    if (given.has("--log")) {
        storm.log = CliChoice(QStringLiteral("--log"), given.value("--log"),
                              {QStringLiteral("lg"), QStringLiteral("ln")}) == QStringLiteral("ln")
                        ? Logarithm::Ln
                        : Logarithm::Lg;
    }
    if (request.batch) {
        request.periods = given.has("--period") ? CliNumbers("--period", given.value("--period"))
                                                : QList<double>{storm.period};
        request.durations = given.has("--duration") ? CliNumbers("--duration", given.value("--duration"))
                                                    : QList<double>{storm.duration};
    } else {
        if (given.has("--period"))
            storm.period = number("--period", given.value("--period"));
        if (given.has("--duration"))
            storm.duration = number("--duration", given.value("--duration"));
    }
    if (given.has("--peak")) {
        // The same rule as the new-storm dialog's: a typed peak ratio lies
        // strictly between 0 and 1.
        storm.peakRatio = number("--peak", given.value("--peak"));
        if (!IsPeakRatioInside(storm.peakRatio))
            badArgument(QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1"));
    }
    if (given.has("--step"))
        storm.step = CliInteger("--step", given.value("--step"));
    if (given.has("--mode")) {
        storm.mode =
            CliChoice(QStringLiteral("--mode"), given.value("--mode"),
                      {QStringLiteral("instant"), QStringLiteral("block")}) == QStringLiteral("block")
                ? CalcMode::Block
                : CalcMode::Instant;
    }
    if (given.has("--precision"))
        request.precision = CliInteger("--precision", given.value("--precision"));
    if (given.has("--time-format")) {
        request.timeFormat =
            CliChoice(QStringLiteral("--time-format"), given.value("--time-format"),
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
        const bool fitOption = option.group == OptionGroup::Fit;
        if (fitOption && (given.has(option.name) || given.flag(option.name)))
            badArgument(QStringLiteral("%1 只能与 --fit 同用").arg(QLatin1StringView(option.name)));
        if (option.group == OptionGroup::Records && given.has(option.name))
            badArgument(QStringLiteral("%1 只能与 --records 同用").arg(QLatin1StringView(option.name)));
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

GivenOptions WithoutRecordsOptions(const GivenOptions &given)
{
    GivenOptions rest = given;
    for (const OptionSpec &option : Options) {
        if (option.group == OptionGroup::Records) {
            rest.values.remove(QLatin1StringView(option.name));
            rest.lists.remove(QLatin1StringView(option.name));
        }
    }
    return rest;
}

QString CliUsage()
{
    struct Group
    {
        OptionGroup group;
        const char16_t *title;
    };
    constexpr Group groups[] = {
        {OptionGroup::Storm, u"雨型与公式"},
        {OptionGroup::Output, u"输出（写出任一文件时，表格不再打印到标准输出，只打印总量三行）"},
        {OptionGroup::Batch, u"批量（--batch）"},
        {OptionGroup::Fit, u"暴雨强度公式推求（--fit）"},
        {OptionGroup::Records, u"由降雨记录推求（--records；另可用 --samples、--distribution、--fit-periods、"
                               u"--annual-max-periods、--log、--fit-report）"},
        {OptionGroup::General, u"其他"},
    };
    QString text = QStringLiteral(
        "用法: pluvion-cli [雨型与公式] [输出]              "
        "计算一个芝加哥雨型（不带参数时为启动时的默认雨型）\n"
        "      pluvion-cli --batch --period P1,P2,.. --duration T1,T2,.. --out DIR [..]\n"
        "      pluvion-cli --fit FILE [--samples ..] [--log lg|ln] [--fit-report FILE] [--save-storm FILE "
        "[雨型参数]]\n"
        "      pluvion-cli --records FILE... [--record-step 1|5] [--records-gaps zero|missing] [--samples "
        "..] "
        "[--save-samples FILE] [--fit-report FILE] [--save-storm FILE [雨型参数]]\n");
    for (const Group &group : groups) {
        text += u'\n' + QString::fromUtf16(group.title) + QStringLiteral("：\n");
        for (const OptionSpec &option : Options) {
            if (option.group != group.group)
                continue;
            QString head = QStringLiteral("  ") + QLatin1StringView(option.name);
            if (*option.value)
                head += u' ' + QLatin1StringView(option.value);
            head = head.leftJustified(36);
            text += head + u' ' + QString::fromUtf8(option.help) + u'\n';
        }
    }
    text += QStringLiteral(
        "\n--peak 与新建雨型对话框同一规则：r 须在 0 与 1 之间（不含 0 和 1），否则作为参数错误拒绝；\n"
        "  雨型文件中的峰值比例照原样读入，与窗口打开该文件时相同。\n"
        "命令行上的数值一律以 \".\" 作小数点；FILE 不能为空，- 只用于 --csv 与 --swmm（其中之一）。\n"
        "--batch：在 --out 中为每个雨型写一个 CSV（文件名与窗口导出时相同）和汇总表 雨型汇总.csv，\n"
        "  进度写到标准错误输出；算不出的雨型以 P、T 指明并跳过，其余照常计算。\n"
        "\n退出码：\n"
        "  0  成功\n"
        "  1  计算失败（标准错误输出以“出错：”说明原因；批量中任一雨型失败），或内存不足\n"
        "  2  参数错误，文件无法读取、不是所需的格式或无法写入，或标准输出无法写入\n");
    return text;
}

CliRequest ParseCliArguments(const GivenOptions &given, const Separators &sep)
{
    CliRequest request;
    applyOptions(given, request, sep);
    checkCombinations(given, request);
    applySize(given, request);
    return request;
}
