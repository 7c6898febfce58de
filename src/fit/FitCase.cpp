#include "fit/FitCase.h"

#include "fit/FitTables.h"
#include "model/PluvionError.h"

#include <algorithm>
#include <cmath>

namespace {

// The digits a formula's parameters are written with.
constexpr int ParameterDecimals = 4;

double Written(double value)
{
    return ParameterText(value).toDouble();
}

// The formula as it is written down: each parameter to the digits it is
// published with, its residual that of those digits. A1 too small to be
// written with them cannot be used.
TotalFormula WrittenFormula(const TotalFormula &fitted, const IntensityTable &table)
{
    TotalFormula written = fitted;
    written.a1 = Written(fitted.a1);
    written.c = Written(fitted.c);
    written.b = Written(fitted.b);
    written.n = Written(fitted.n);
    if (!(written.a1 > 0))
        throw PluvionError(
            QStringLiteral("拟合得到的 A1（%1）写成 %2 位小数为 0，这样的公式不能使用：请检查数据的单位。")
                .arg(fitted.a1, 0, 'g', 6)
                .arg(ParameterDecimals));
    // The written digits may put b where the denominator t + b of the
    // table's shortest duration is no longer positive: no formula at all.
    const double shortest = *std::min_element(table.durations.begin(), table.durations.end());
    if (!(shortest + written.b > 0))
        throw PluvionError(QStringLiteral("总公式的拟合未能收敛：b = %1 使历时 %2 分钟处的分母 t + b "
                                          "不为正，公式在表中的历时上没有定义。")
                               .arg(SignedParameterText(written.b))
                               .arg(shortest));
    written.rss = ResidualSumOfSquares(table, written);
    if (!std::isfinite(written.rss))
        throw PluvionError(
            QStringLiteral("总公式的拟合未能收敛：公式 %1 的残差平方和不是有限数，请检查数据。")
                .arg(FormulaText(written)));
    return written;
}

} // namespace

FitOutcome FitTable(const IntensityTable &table, const FitSettings &settings)
{
    FitOutcome outcome;
    outcome.settings = settings;
    outcome.table = table;
    outcome.periodFormulas = FitPeriodFormulas(table);
    // What the user reads, copies into a storm and signs is what is checked.
    outcome.total = WrittenFormula(FitTotalFormula(table, settings.log), table);
    outcome.accuracy = AssessAccuracy(table, outcome.total);
    for (const PeriodAccuracy &period : outcome.accuracy.periods) {
        if (!std::isfinite(period.sigma) || !std::isfinite(period.relative))
            throw PluvionError(
                QStringLiteral("总公式的拟合未能收敛：重现期 %1 年的精度无法计算，请检查数据。")
                    .arg(period.period));
    }
    return outcome;
}

std::optional<FitInputKind> ApparentInputKind(const QByteArray &bytes)
{
    // The first lines tell; a long file need not be read through.
    const QStringList lines = DecodeFitLines(bytes.left(64 * 1024));
    QStringList firstCells;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            firstCells << SplitCsvLine(line).value(0);
        if (firstCells.size() > 50)
            break;
    }
    if (firstCells.isEmpty())
        return std::nullopt;
    const QString corner = firstCells.takeFirst();
    int years = 0;
    for (const QString &cell : std::as_const(firstCells)) {
        bool whole = false;
        const int value = cell.toInt(&whole);
        if (whole && value >= 1800 && value <= 2200)
            ++years;
    }
    const bool namesPeriod = corner.contains(u'P') || corner.contains(QStringLiteral("重现期"));
    if (namesPeriod && years == 0)
        return FitInputKind::Table;
    const bool namesYears =
        corner.contains(u'年') || corner.contains(QStringLiteral("year"), Qt::CaseInsensitive);
    if ((namesYears && !namesPeriod) || years >= 3)
        return FitInputKind::Samples;
    return std::nullopt;
}

QString ApparentInputText(FitInputKind kind)
{
    return kind == FitInputKind::Samples
               ? QStringLiteral("这些数据看来是样本（第一格为年份，或各行以年份开头）")
               : QStringLiteral("这些数据看来是 i–t–P 表（第一格标明重现期 P）");
}

FitOutcome RunFormulaFit(const QByteArray &bytes, const FitSettings &settings)
{
    if (settings.input == FitInputKind::Table)
        return FitTable(ParseIntensityTable(bytes, settings.values), settings);
    return FitSamples(ParseSampleTable(bytes), settings);
}

FitOutcome FitSamples(const SampleTable &samples, const FitSettings &settings)
{
    FrequencyResult frequency = AnalyseSamples(samples, settings.frequency);
    FitOutcome outcome = FitTable(frequency.table, settings);
    outcome.frequency = std::move(frequency);
    return outcome;
}

Storm StormWithFormula(const Storm &storm, const TotalFormula &formula)
{
    Storm s = storm;
    s.form = FormulaForm::Intensity;
    s.setA1(formula.a1);
    s.c = formula.c;
    s.b = formula.b;
    s.n = formula.n;
    s.log = formula.log;
    return s;
}

std::optional<QString> ChicagoStormRefusal(const TotalFormula &formula)
{
    if (formula.b > 0)
        return std::nullopt;
    return QStringLiteral(
               "b = %1 ≤ 0：芝加哥雨型在峰值处 t = 0，分母 (t + b)^n 为零或没有定义，峰值雨强无界，"
               "此公式不能用于芝加哥雨型。")
        .arg(SignedParameterText(formula.b));
}

QStringList NonConvergedPeriodLines(const FitOutcome &outcome)
{
    QStringList lines;
    for (const PeriodFormula &formula : outcome.periodFormulas) {
        if (formula.failure)
            lines << QStringLiteral("注意：") + *formula.failure +
                         QStringLiteral("单一重现期公式只用于检验，总公式不受影响。");
    }
    return lines;
}

QString SignedParameterText(double value)
{
    return value < 0 ? QStringLiteral("−") + ParameterText(-value) : ParameterText(value);
}

QString ParameterText(double value)
{
    return QString::number(value, 'f', ParameterDecimals);
}

QString SigmaText(double value)
{
    return std::isfinite(value) ? QString::number(value, 'f', 4) : QStringLiteral("—");
}

QString PercentText(double ratio)
{
    return std::isfinite(ratio) ? QString::number(ratio * 100, 'f', 2) + u'%' : QStringLiteral("—");
}

QString FormulaText(const TotalFormula &f)
{
    // A negative b reads (t − 4.0000), not (t + -4.0000).
    const QString b =
        f.b < 0 ? QStringLiteral("− ") + ParameterText(-f.b) : QStringLiteral("+ ") + ParameterText(f.b);
    return QStringLiteral("i = %1(1 + %2 %3P) / (t %4)^%5")
        .arg(ParameterText(f.a1), ParameterText(f.c),
             f.log == Logarithm::Ln ? QStringLiteral("ln") : QStringLiteral("lg"), b, ParameterText(f.n));
}

QStringList FitSummaryLines(const FitOutcome &o)
{
    QStringList lines;
    lines << QStringLiteral("总公式：") + FormulaText(o.total);
    if (const auto refusal = ChicagoStormRefusal(o.total))
        lines << QStringLiteral("注意：") + *refusal;
    lines << QStringLiteral("A1=%1").arg(o.total.a1, 0, 'g', 10)
          << QStringLiteral("C=%1").arg(o.total.c, 0, 'g', 10)
          << QStringLiteral("b=%1").arg(o.total.b, 0, 'g', 10)
          << QStringLiteral("n=%1").arg(o.total.n, 0, 'g', 10)
          << QStringLiteral("残差平方和=%1").arg(o.total.rss, 0, 'g', 6);
    const auto table = [&lines](const QString &title, const FitResultTable &t) {
        lines << title + QStringLiteral("：") + t.header.join(u',');
        for (const QStringList &row : t.rows)
            lines << row.join(u',');
    };
    table(QStringLiteral("单一重现期公式"), PeriodFormulaTable(o));
    table(QStringLiteral("精度检验"), AccuracyTable(o));
    return lines;
}
