#include "CliOptions.h"

#include "export/PictureFiles.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"

#include <QHash>

namespace {

const QStringList ValueOptions = {
    QStringLiteral("--open"),
    QStringLiteral("--form"),
    QStringLiteral("--a1"),
    QStringLiteral("--c"),
    QStringLiteral("--b"),
    QStringLiteral("--n"),
    QStringLiteral("--log"),
    QStringLiteral("--period"),
    QStringLiteral("--duration"),
    QStringLiteral("--peak"),
    QStringLiteral("--step"),
    QStringLiteral("--precision"),
    QStringLiteral("--time-format"),
    QStringLiteral("--save-storm"),
    QStringLiteral("--csv"),
    QStringLiteral("--data-docx"),
    QStringLiteral("--report"),
    QStringLiteral("--picture"),
    QStringLiteral("--size"),
    QStringLiteral("--mode"),
    QStringLiteral("--swmm"),
    QStringLiteral("--out"),
    QStringLiteral("--compare-chart"),
    QStringLiteral("--idf-chart"),
};
const QStringList FlagOptions = {
    QStringLiteral("--calc-by-show"), QStringLiteral("--raw"),
    QStringLiteral("--help"),         QStringLiteral("-h"),
    QStringLiteral("--batch"),        QStringLiteral("--idf-log"),
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
        badArgument(QStringLiteral("%1 的取值应为 %2，而不是 '%3'").arg(option, allowed.join(u'|'), value));
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
        badArgument(QStringLiteral("%1 的文件扩展名应为 .bmp、.jpg 或 .png：'%2'").arg(option, path));
}

} // namespace

QString CliUsage()
{
    return QStringLiteral(
        "用法: pluvion-cli [--open FILE] [--form i|q] [--a1 X] [--c X] [--b X] [--n X] [--log lg|ln]\n"
        "                  [--period P] [--duration T] [--peak R] [--step S] [--mode instant|block]\n"
        "                  [--precision N] [--calc-by-show] [--time-format clock|min]\n"
        "                  [--raw] [--save-storm FILE]\n"
        "                  [--csv FILE] [--data-docx FILE] [--report FILE] [--picture FILE] [--size WxH]\n"
        "                  [--swmm FILE]\n"
        "       pluvion-cli --batch --period P1,P2,.. --duration T1,T2,.. --out DIR\n"
        "                  [公式、--peak、--step、--mode、--precision、--calc-by-show、--time-format]\n"
        "                  [--compare-chart FILE] [--idf-chart FILE [--idf-log]] [--size WxH]\n"
        "不带参数时计算程序启动时的默认雨型（芝加哥雨型）。\n"
        "--mode instant 为瞬时雨强（默认），block 为时段平均（雨量与公式雨量一致，适合 SWMM）。\n"
        "--swmm 写出可粘贴进 SWMM 5 输入文件的 [RAINGAGES] 与 [TIMESERIES] 段。\n"
        "--batch 按列出的每个重现期与每个历时计算一个雨型（先按重现期、再按历时的顺序），\n"
        "  在 --out 文件夹（不存在时创建）中为每个雨型写一个 CSV（文件名与窗口导出时相同），\n"
        "  并写出汇总表 雨型汇总.csv：重现期、历时、峰值比例、步长、计算模式、降雨总量H、平均雨强、\n"
        "  峰值雨强及其分钟、公式雨量，每个算成的雨型一行。进度逐个写到标准错误输出，\n"
        "  算不出的雨型以 P、T 指明并跳过，其余照常计算；有雨型失败时退出码为 1。\n"
        "--compare-chart 把批量中各雨型的过程线画在一张图上；--idf-chart 画各重现期的\n"
        "  暴雨强度—历时曲线（历时到列出的最长历时），--idf-log 用双对数坐标。\n"
        "命令行上的数值一律以 \".\" 作小数点。\n");
}

CliRequest ParseCliArguments(const QStringList &arguments, const Separators &sep)
{
    // Collect option values first, so that --open applies before the rest
    // wherever it stands.
    QHash<QString, QString> values;
    QStringList order;
    CliRequest request;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        QString value;
        bool inlineValue = false;
        const qsizetype equals = option.indexOf(u'=');
        if (option.startsWith(QStringLiteral("--")) && equals > 0) {
            value = option.mid(equals + 1);
            option = option.left(equals);
            inlineValue = true;
        }
        if (FlagOptions.contains(option) && !inlineValue) {
            if (option == QStringLiteral("--calc-by-show"))
                request.calcByShow = true;
            else if (option == QStringLiteral("--raw"))
                request.raw = true;
            else if (option == QStringLiteral("--batch"))
                request.batch = true;
            else if (option == QStringLiteral("--idf-log"))
                request.idfLogAxes = true;
            else
                request.help = true;
            continue;
        }
        if (!ValueOptions.contains(option))
            badArgument(QStringLiteral("未知的参数 '%1'").arg(arguments[i]));
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                badArgument(QStringLiteral("参数 %1 缺少取值").arg(option));
            value = arguments[++i];
        }
        values.insert(option, value);
        order.removeAll(option);
        order.append(option);
    }

    TExpressionObject &storm = request.storm;
    if (values.contains(QStringLiteral("--open"))) {
        const QString path = values.value(QStringLiteral("--open"));
        if (ReadStormFile(path, storm, sep) == StormFileReadResult::NotAStormFile)
            badArgument(NotAStormFileMessage());
    }

    const auto has = [&](const char *option) { return values.contains(QString::fromLatin1(option)); };
    const auto value = [&](const char *option) { return values.value(QString::fromLatin1(option)); };

    if (has("--form")) {
        const bool flow = choice(QStringLiteral("--form"), value("--form"),
                                 {QStringLiteral("i"), QStringLiteral("q")}) == QStringLiteral("q");
        if (!flow || storm.F_type != 1)
            storm.a1_167 = storm.a1 / FlowFormFactor;
        storm.F_type = flow ? 1 : 0;
    }
    if (has("--a1")) {
        // The parameter in the form the storm is entered in, as the dialog takes it.
        const double typed = number(value("--a1"));
        if (storm.F_type == 1) {
            storm.a1_167 = typed;
            storm.a1 = typed * FlowFormFactor;
        } else {
            storm.a1 = typed;
            storm.a1_167 = typed / FlowFormFactor;
        }
    }
    if (has("--c"))
        storm.c = number(value("--c"));
    if (has("--b"))
        storm.b = number(value("--b"));
    if (has("--n"))
        storm.n = number(value("--n"));
    if (has("--log")) {
        storm.LG_LN = choice(QStringLiteral("--log"), value("--log"),
                             {QStringLiteral("lg"), QStringLiteral("ln")}) == QStringLiteral("ln")
                          ? Logarithm::Ln
                          : Logarithm::Lg;
    }
    if (request.batch) {
        request.periods =
            has("--period") ? numbers(value("--period")) : QList<double>{storm.Storm_RepeatYear};
        request.durations =
            has("--duration") ? numbers(value("--duration")) : QList<double>{storm.Storm_Time};
    } else {
        if (has("--period"))
            storm.Storm_RepeatYear = number(value("--period"));
        if (has("--duration"))
            storm.Storm_Time = number(value("--duration"));
    }
    if (has("--peak"))
        storm.Storm_Percent = number(value("--peak"));
    if (has("--step"))
        storm.Storm_Step = StrToInt(value("--step"));
    if (has("--mode")) {
        storm.StormMode =
            choice(QStringLiteral("--mode"), value("--mode"),
                   {QStringLiteral("instant"), QStringLiteral("block")}) == QStringLiteral("block")
                ? CalcMode::Block
                : CalcMode::Instant;
    }
    if (has("--precision"))
        request.precision = StrToInt(value("--precision"));
    if (has("--time-format")) {
        request.timeFormat = choice(QStringLiteral("--time-format"), value("--time-format"),
                                    {QStringLiteral("clock"), QStringLiteral("min")}) == QStringLiteral("min")
                                 ? 1
                                 : 0;
    }
    if (has("--save-storm"))
        request.saveStormPath = value("--save-storm");
    request.csvPath = value("--csv");
    request.dataDocxPath = value("--data-docx");
    request.reportPath = value("--report");
    request.picturePath = value("--picture");
    request.swmmPath = value("--swmm");
    request.outFolder = value("--out");
    request.compareChartPath = value("--compare-chart");
    request.idfChartPath = value("--idf-chart");
    if (request.batch) {
        for (const char *single :
             {"--csv", "--data-docx", "--report", "--picture", "--swmm", "--save-storm"}) {
            if (has(single))
                badArgument(QStringLiteral("%1 不能与 --batch 同用").arg(QString::fromLatin1(single)));
        }
        if (request.raw)
            badArgument(QStringLiteral("--raw 不能与 --batch 同用"));
        if (request.outFolder.isEmpty())
            badArgument(QStringLiteral("--batch 需要用 --out 指定输出文件夹"));
        if (request.idfLogAxes && request.idfChartPath.isEmpty())
            badArgument(QStringLiteral("--idf-log 只能与 --idf-chart 同用"));
    } else {
        for (const char *batchOnly : {"--out", "--compare-chart", "--idf-chart"}) {
            if (has(batchOnly))
                badArgument(QStringLiteral("%1 只能与 --batch 同用").arg(QString::fromLatin1(batchOnly)));
        }
        if (request.idfLogAxes)
            badArgument(QStringLiteral("--idf-log 只能与 --batch 同用"));
    }
    requirePictureType(QStringLiteral("--picture"), request.picturePath);
    requirePictureType(QStringLiteral("--compare-chart"), request.compareChartPath);
    requirePictureType(QStringLiteral("--idf-chart"), request.idfChartPath);
    if (has("--size")) {
        const QStringList parts = value("--size").split(u'x');
        int32_t width = 0;
        int32_t height = 0;
        if (parts.size() != 2 || !TryParseInt32(parts[0], &width) || !TryParseInt32(parts[1], &height) ||
            width < 1 || height < 1 || width > 20000 || height > 20000)
            badArgument(QStringLiteral("--size 的取值应为 宽x高（像素，1 至 20000），而不是 '%1'")
                            .arg(value("--size")));
        request.pictureWidth = width;
        request.pictureHeight = height;
    }
    return request;
}
