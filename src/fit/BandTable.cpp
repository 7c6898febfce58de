#include "fit/BandTable.h"

#include "io/LegacyText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Intensities as the other tables show them: mm/min to 4 decimals.
QString IntensityText(double value)
{
    return std::isfinite(value) ? QString::number(value, 'f', 4) : QStringLiteral("—");
}

} // namespace

QString BandLevelText(double level)
{
    return QString::number(level, 'g', 6) + u'%';
}

FitResultTable BandTable(const BootstrapResult &result)
{
    const QString level = BandLevelText(result.level);
    FitResultTable table;
    table.header = {QStringLiteral("历时(min)"),
                    QStringLiteral("重现期(a)"),
                    QStringLiteral("表中雨强(mm/min)"),
                    QStringLiteral("表中雨强%1下限(mm/min)").arg(level),
                    QStringLiteral("表中雨强%1上限(mm/min)").arg(level),
                    QStringLiteral("公式雨强(mm/min)"),
                    QStringLiteral("公式雨强%1下限(mm/min)").arg(level),
                    QStringLiteral("公式雨强%1上限(mm/min)").arg(level)};
    const IntensityTable &grid = result.estimate.table;
    for (size_t d = 0; d < grid.durations.size(); ++d) {
        for (size_t p = 0; p < grid.periods.size(); ++p) {
            const Band &cell = result.tableBand(d, p);
            const double none = std::numeric_limits<double>::quiet_NaN();
            const Band formula = result.formula.empty() ? Band{none, none, none} : result.formulaBand(d, p);
            table.rows.append({FitNumberText(grid.durations[d]), FitNumberText(grid.periods[p]),
                               IntensityText(cell.estimate), IntensityText(cell.lower),
                               IntensityText(cell.upper), IntensityText(formula.estimate),
                               IntensityText(formula.lower), IntensityText(formula.upper)});
        }
    }
    return table;
}

FitResultTable ParameterBandTable(const BootstrapResult &result)
{
    const QString level = BandLevelText(result.level);
    FitResultTable table;
    table.header = {QStringLiteral("参数"), QStringLiteral("估计值"), level + QStringLiteral("下限"),
                    level + QStringLiteral("上限"), QStringLiteral("相对半宽")};
    const auto row = [&table](const QString &name, const Band &band) {
        table.rows.append({name, ParameterText(band.estimate), ParameterText(band.lower),
                           ParameterText(band.upper), PercentText(band.relativeHalfWidth())});
    };
    if (result.banded == BandedResults::TableAndFormula) {
        row(QStringLiteral("A1"), result.a1);
        row(QStringLiteral("C"), result.c);
        row(QStringLiteral("b"), result.b);
        row(QStringLiteral("n"), result.n);
    }
    if (result.r)
        row(QStringLiteral("r"), *result.r);
    return table;
}

QString BandReading(const BootstrapResult &result, double period, double minutes)
{
    const Band band = FormulaBand(result, minutes, period);
    return QStringLiteral("P = %1 a，t = %2 min：i = %3 mm/min（%4：%5 ~ %6）")
        .arg(FitNumberText(period), FitNumberText(minutes), IntensityText(band.estimate),
             BandLevelText(result.level), IntensityText(band.lower), IntensityText(band.upper));
}

QStringList DesignBandReadings(const BootstrapResult &result)
{
    const IntensityTable &grid = result.estimate.table;
    QStringList lines;
    if (result.formulas.empty() || grid.periods.empty() || grid.durations.empty())
        return lines;
    const auto [pLow, pHigh] = std::minmax_element(grid.periods.begin(), grid.periods.end());
    const auto [tLow, tHigh] = std::minmax_element(grid.durations.begin(), grid.durations.end());
    for (const double period : {2.0, 10.0, 50.0}) {
        if (period < *pLow || period > *pHigh)
            continue;
        for (const double minutes : {5.0, 60.0, 180.0}) {
            if (minutes >= *tLow && minutes <= *tHigh)
                lines << BandReading(result, period, minutes);
        }
    }
    return lines;
}

QString BootstrapSentence(const BootstrapResult &result)
{
    const double tail = (100 - result.level) / 2;
    QString text =
        result.unit == ResamplingUnit::Years
            ? QStringLiteral("按年重抽样：从所用的 %1 年中有放回地抽取 %1 年，各历时取抽到年份的样本")
                  .arg(result.years)
            : QStringLiteral("按样本位置重抽样：样本表未注明各样本的年份，各历时按同一组随机位置有放回地"
                             "重抽其样本（年最大值法的表没有空格时即为抽取整行年份）");
    text += QStringLiteral(
                "，重新进行频率分析和总公式拟合，共 %1 次（随机种子 %2）；%3区间的下限、上限为各次结果的 "
                "%4、%5 分位数（线性插值）。")
                .arg(result.resamples)
                .arg(result.seed)
                .arg(BandLevelText(result.level), BandLevelText(tail), BandLevelText(100 - tail));
    if (result.failed == 0)
        return text + QStringLiteral("各次拟合均成功。");
    text += QStringLiteral("其中 %1 次拟合失败，未计入区间").arg(result.failed);
    QStringList named;
    for (const ResampleFailure &failure : result.failures) {
        // The reasons are joined by semicolons, so their own full stops go.
        QString reason = failure.reason;
        if (reason.endsWith(u'。'))
            reason.chop(1);
        named << QStringLiteral("第 %1 次：%2").arg(failure.index + 1).arg(reason);
    }
    return text + QStringLiteral("：") + named.join(QStringLiteral("；")) +
           (result.failed > int(result.failures.size()) ? QStringLiteral("；……。") : QStringLiteral("。"));
}

QStringList BandTableLines(const BootstrapResult &result)
{
    const FitResultTable table = BandTable(result);
    QStringList lines{table.header.join(u',')};
    for (const QStringList &row : table.rows)
        lines << row.join(u',');
    return lines;
}

QByteArray BandTableFileBytes(const BootstrapResult &result)
{
    return EncodeLegacyLines(BandTableLines(result));
}

void WriteBandTable(const FileTarget &target, const BootstrapResult &result)
{
    WriteFileBytes(target, BandTableFileBytes(result));
}
