#include "CliOptions.h"

#include "CliDocuments.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"

#include <QLatin1StringView>
#include <cstdint>

namespace {

[[noreturn]] void badArgument(const QString &message)
{
    throw PluvionError(message);
}

// The option's value as a number, "." the decimal separator.
double number(const GivenOptions &given, const CliOption &option)
{
    return CliNumber(option, given.value(option));
}

// The picture's type is known to the picture writers, which are loaded only
// for a run that writes a picture.
void requirePictureType(const CliOption &option, const QString &path)
{
    if (!path.isEmpty() && !Documents().isPicturePath(path))
        badArgument(QStringLiteral("%1 的文件扩展名应为 .bmp、.jpg 或 .png：'%2'")
                        .arg(option.text(), ValueExcerpt(path)));
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

QString CliOptionHelp(const CliOption &option)
{
    QString help = QString::fromUtf8(option.help);
    for (int k = 0; k < 2; ++k) {
        if (option.mentions[k])
            help.replace(QStringLiteral("%") + QString::number(k + 1), option.mentions[k]->text());
    }
    return help;
}

const CliOption *FindOption(QStringView name)
{
    for (const CliOption *option : Option::All) {
        if (name == QLatin1StringView(option->name))
            return option;
    }
    return nullptr;
}

QString CliChoice(const CliOption &option, const QString &value, const QStringList &allowed)
{
    if (!allowed.contains(value))
        badArgument(QStringLiteral("%1 的取值应为 %2，而不是 '%3'")
                        .arg(option.text(), allowed.join(u'|'), ValueExcerpt(value)));
    return value;
}

double CliNumber(const CliOption &option, const QString &text)
{
    double value = 0;
    if (!TryParseFloat(text, u'.', &value))
        badArgument(QStringLiteral("%1 的取值应为数（以 . 作小数点），而不是 '%2'")
                        .arg(option.text(), ValueExcerpt(text)));
    return value;
}

int CliInteger(const CliOption &option, const QString &text)
{
    int32_t value = 0;
    if (!TryParseInt32(text, &value))
        badArgument(QStringLiteral("%1 的取值应为整数，而不是 '%2'").arg(option.text(), ValueExcerpt(text)));
    return value;
}

QList<double> CliNumbers(const CliOption &option, const QString &text)
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
        const CliOption *option = FindOption(name);
        if (!option || (option->isFlag() && inlineValue))
            badArgument(QStringLiteral("未知的参数 '%1'").arg(ValueExcerpt(arguments[i])));
        if (option->isFlag()) {
            given.values.insert(option, {});
            continue;
        }
        // Left out: the tool has no arguments of its own, so what follows
        // is either an option or this one's value.
        if (option->value == OptionValue::MaybeSetting && !inlineValue &&
            (i + 1 >= arguments.size() || arguments[i + 1].startsWith(u'-'))) {
            if (given.has(*option))
                badArgument(QStringLiteral("参数 %1 重复给出，只能给一次").arg(name));
            given.values.insert(option, {});
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                badArgument(QStringLiteral("参数 %1 缺少取值").arg(name));
            value = arguments[++i];
        }
        // An empty file name names no file: "--csv ''" is as good as no value.
        if (value.isEmpty() && option->namesFile())
            badArgument(QStringLiteral("参数 %1 缺少取值").arg(name));
        // A value given twice would leave one of them unused without a word;
        // only the records' files add up, however often they are named.
        const bool several = option->value == OptionValue::InputFiles;
        if (!several && given.has(*option))
            badArgument(QStringLiteral("参数 %1 重复给出（'%2' 与 '%3'），只能给一次")
                            .arg(name, ValueExcerpt(given.value(*option)), ValueExcerpt(value)));
        QStringList &values = given.values[option];
        values.append(value);
        // Several files: every value up to the next option.
        while (several && i + 1 < arguments.size() && !arguments[i + 1].startsWith(QStringLiteral("--")) &&
               arguments[i + 1] != QLatin1StringView(Option::ShortHelp.name)) {
            if (arguments[i + 1].isEmpty())
                badArgument(QStringLiteral("参数 %1 缺少取值").arg(name));
            values.append(arguments[++i]);
        }
    }
    return given;
}

namespace {

// The storm file first, wherever --open stands, then every other value over it.
void applyOptions(const GivenOptions &given, CliRequest &request, const Separators &sep)
{
    using namespace Option;
    request.calcByShow = given.has(CalcByShow);
    request.raw = given.has(Raw);
    request.batch = given.has(Batch);
    request.idfLogAxes = given.has(IdfLog);

    Storm &storm = request.storm;
    if (given.has(Open)) {
        if (ReadStormFile(given.value(Open), storm, sep) == StormFileReadResult::NotAStormFile)
            badArgument(NotAStormFileMessage());
    }
    // A long-duration storm's depths are its own: no parameter is laid over them.
    if (storm.kind == StormKind::Long) {
        for (const CliOption *parameter :
             {&Form, &A1, &C, &B, &N, &Log, &Period, &Duration, &Peak, &Step, &Mode})
            if (given.has(*parameter))
                badArgument(QStringLiteral("%1 不能修改长历时雨型（%2 读入的雨型由降雨记录推求）")
                                .arg(parameter->text(), Open.text()));
        if (request.batch)
            badArgument(QStringLiteral("%1 只用于芝加哥雨型，不能用于长历时雨型").arg(Batch.text()));
    }
    if (given.has(Form)) {
        const bool flow = CliChoice(Form, given.value(Form), {QStringLiteral("i"), QStringLiteral("q")}) ==
                          QStringLiteral("q");
        if (!flow || storm.form != FormulaForm::Flow)
            storm.setA1(storm.a1);
        storm.form = flow ? FormulaForm::Flow : FormulaForm::Intensity;
    }
    if (given.has(A1)) {
        // The parameter in the form the storm is entered in, as the dialog takes it.
        const double typed = number(given, A1);
        if (storm.form == FormulaForm::Flow)
            storm.setA1Flow(typed);
        else
            storm.setA1(typed);
    }
    if (given.has(C))
        storm.c = number(given, C);
    if (given.has(B))
        storm.b = number(given, B);
    if (given.has(N))
        storm.n = number(given, N);
    if (given.has(Log))
        storm.log = CliLogarithm(given.value(Log));
    if (request.batch) {
        request.periods =
            given.has(Period) ? CliNumbers(Period, given.value(Period)) : QList<double>{storm.period};
        request.durations =
            given.has(Duration) ? CliNumbers(Duration, given.value(Duration)) : QList<double>{storm.duration};
    } else {
        if (given.has(Period))
            storm.period = number(given, Period);
        if (given.has(Duration))
            storm.duration = number(given, Duration);
    }
    if (given.has(Peak)) {
        // The same rule as the new-storm dialog's: a typed peak ratio lies
        // strictly between 0 and 1.
        storm.peakRatio = number(given, Peak);
        if (!IsPeakRatioInside(storm.peakRatio))
            badArgument(QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1"));
    }
    if (given.has(Step))
        storm.step = CliInteger(Step, given.value(Step));
    if (given.has(Mode)) {
        storm.mode =
            CliChoice(Mode, given.value(Mode), {QStringLiteral("instant"), QStringLiteral("block")}) ==
                    QStringLiteral("block")
                ? CalcMode::Block
                : CalcMode::Instant;
    }
    if (given.has(Precision))
        request.precision = CliInteger(Precision, given.value(Precision));
    if (given.has(TimeFormat)) {
        request.timeFormat =
            CliChoice(TimeFormat, given.value(TimeFormat),
                      {QStringLiteral("clock"), QStringLiteral("min")}) == QStringLiteral("min")
                ? 1
                : 0;
    }
    request.saveStormPath = given.value(SaveStorm);
    request.csvPath = given.value(Csv);
    request.dataDocxPath = given.value(DataDocx);
    request.reportPath = given.value(Report);
    request.picturePath = given.value(Picture);
    request.swmmPath = given.value(Swmm);
    request.outFolder = given.value(Out);
    request.compareChartPath = given.value(CompareChart);
    request.idfChartPath = given.value(IdfChart);
}

// The options that make sense only together, or never together, within the
// options a command accepts.
void checkCombinations(const CliRequest &request)
{
    using namespace Option;
    if (request.batch) {
        if (request.outFolder.isEmpty())
            badArgument(QStringLiteral("%1 需要用 %2 指定输出文件夹").arg(Batch.text(), Out.text()));
        if (request.idfLogAxes && request.idfChartPath.isEmpty())
            badArgument(QStringLiteral("%1 只能与 %2 同用").arg(IdfLog.text(), IdfChart.text()));
    }
    if (request.csvPath == StandardOutputPath && request.swmmPath == StandardOutputPath)
        badArgument(QStringLiteral("%1 与 %2 不能同时写到标准输出（-）").arg(Csv.text(), Swmm.text()));
    if (request.raw && request.writesToStandardOutput())
        badArgument(QStringLiteral("%1 不能与写到标准输出（-）的导出同用").arg(Raw.text()));
    requirePictureType(Picture, request.picturePath);
    requirePictureType(CompareChart, request.compareChartPath);
    requirePictureType(IdfChart, request.idfChartPath);
}

// The pictures' size, "WxH" in pixels.
void applySize(const GivenOptions &given, CliRequest &request)
{
    if (!given.has(Option::Size))
        return;
    const QString text = given.value(Option::Size);
    const QStringList parts = text.split(u'x');
    int32_t width = 0;
    int32_t height = 0;
    if (parts.size() != 2 || !TryParseInt32(parts[0], &width) || !TryParseInt32(parts[1], &height) ||
        width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide)
        badArgument(QStringLiteral("%1 的取值应为 宽x高（像素，1 至 %2），而不是 '%3'")
                        .arg(Option::Size.text())
                        .arg(MaxPictureSide)
                        .arg(ValueExcerpt(text)));
    request.pictureWidth = width;
    request.pictureHeight = height;
}

} // namespace

Logarithm CliLogarithm(const QString &value)
{
    return CliChoice(Option::Log, value, {QStringLiteral("lg"), QStringLiteral("ln")}) == QStringLiteral("ln")
               ? Logarithm::Ln
               : Logarithm::Lg;
}

QString CliUsage()
{
    using namespace Option;
    struct Group
    {
        OptionGroup group;
        QString title;
    };
    const Group groups[] = {
        {OptionGroup::Storm, QStringLiteral("雨型与公式")},
        {OptionGroup::Output,
         QStringLiteral("输出（写出任一文件时，表格不再打印到标准输出，只打印总量三行）")},
        {OptionGroup::Batch, QStringLiteral("批量（%1）").arg(Batch.text())},
        {OptionGroup::Fit, QStringLiteral("暴雨强度公式推求（%1）").arg(Fit.text())},
        {OptionGroup::Records,
         QStringLiteral("由降雨记录推求（%1；另可用 %2、%3、%4、%5、%6、%7，以及 %8 与其选项）")
             .arg(Records.text(), Samples.text(), Distribution.text(), FitPeriods.text(),
                  AnnualMaxPeriods.text(), Log.text(), FitReport.text(), Bands.text())},
        {OptionGroup::LongStorm,
         QStringLiteral("长历时雨型（%1 与 %2 同用；另可用 %3、%4、%5、%6、%7，以及输出选项）")
             .arg(LongStorm.text(), Records.text(), Period.text(), Samples.text(), Distribution.text(),
                  RecordStep.text(), MinCompleteness.text())},
        {OptionGroup::General, QStringLiteral("其他")},
    };
    QString text =
        QStringLiteral("用法: pluvion-cli [雨型与公式] [输出]              "
                       "计算一个芝加哥雨型（不带参数时为启动时的默认雨型）\n") +
        QStringLiteral("      pluvion-cli %1 %2 P1,P2,.. %3 T1,T2,.. %4 DIR [..]\n")
            .arg(Batch.text(), Period.text(), Duration.text(), Out.text()) +
        QStringLiteral("      pluvion-cli %1 FILE [%2 ..] [%3 lg|ln] [%4 FILE] [%5 FILE [雨型参数]]\n")
            .arg(Fit.text(), Samples.text(), Log.text(), FitReport.text(), SaveStorm.text()) +
        QStringLiteral("      pluvion-cli %1 FILE... [%2 1|5] [%3 zero|missing] [%4 ..] [%5 FILE] [%6 FILE] "
                       "[%7 FILE [雨型参数]]\n")
            .arg(Records.text(), RecordStep.text(), RecordsGaps.text(), Samples.text(), SaveSamples.text(),
                 FitReport.text(), SaveStorm.text()) +
        QStringLiteral("      pluvion-cli %1 FILE... %2 same-frequency|pilgrim-cordery %3 P [%4 ..] [输出]\n")
            .arg(Records.text(), LongStorm.text(), Period.text(), Nest.text());
    for (const Group &group : groups) {
        text += u'\n' + group.title + QStringLiteral("：\n");
        for (const CliOption *option : All) {
            if (option->group != group.group)
                continue;
            QString head = QStringLiteral("  ") + option->text();
            if (*option->valueName)
                head += u' ' + QLatin1StringView(option->valueName);
            head = head.leftJustified(36);
            text += head + u' ' + CliOptionHelp(*option) + u'\n';
        }
    }
    text += QStringLiteral(
                "\n%1 与新建雨型对话框同一规则：r 须在 0 与 1 之间（不含 0 和 1），否则作为参数错误拒绝；\n"
                "  雨型文件中的峰值比例照原样读入，与窗口打开该文件时相同。\n"
                "命令行上的数值一律以 \".\" 作小数点；FILE 不能为空，- 只用于 %2 与 %3（其中之一）。\n"
                "%4：在 %5 中为每个雨型写一个 CSV（文件名与窗口导出时相同）和汇总表 雨型汇总.csv，\n"
                "  进度写到标准错误输出；算不出的雨型以 P、T 指明并跳过，其余照常计算。\n"
                "\n退出码：\n"
                "  0  成功\n"
                "  1  计算失败（标准错误输出以“出错：”说明原因；批量中任一雨型失败），或内存不足\n"
                "  2  参数错误，文件无法读取、不是所需的格式或无法写入，或标准输出无法写入\n")
                .arg(Peak.text(), Csv.text(), Swmm.text(), Batch.text(), Out.text());
    return text;
}

CliRequest ParseCliArguments(const GivenOptions &given, const Separators &sep)
{
    CliRequest request;
    applyOptions(given, request, sep);
    checkCombinations(request);
    applySize(given, request);
    return request;
}
