#include "fit/FitTables.h"

#include <cmath>

QString NotConvergedText()
{
    return QStringLiteral("未能收敛");
}

QString FitNumberText(double value)
{
    return QString::number(value, 'g', 10);
}

FitResultTable PeriodFormulaTable(const FitOutcome &o)
{
    FitResultTable table;
    table.header = {QStringLiteral("重现期(a)"), QStringLiteral("A"), QStringLiteral("b"),
                    QStringLiteral("n"), QStringLiteral("残差平方和")};
    for (const PeriodFormula &p : o.periodFormulas) {
        if (p.failure)
            table.rows.append({FitNumberText(p.period), NotConvergedText(), QString(), QString(), QString()});
        else
            table.rows.append({FitNumberText(p.period), ParameterText(p.a), ParameterText(p.b),
                               ParameterText(p.n), QString::number(p.rss, 'g', 6)});
    }
    return table;
}

FitResultTable AccuracyTable(const FitOutcome &o)
{
    FitResultTable table;
    table.header = {QStringLiteral("重现期(a)"), QStringLiteral("平均绝对均方差(mm/min)"),
                    QStringLiteral("平均相对均方差"), QStringLiteral("结论")};
    for (const PeriodAccuracy &a : o.accuracy.periods)
        table.rows.append({FitNumberText(a.period), SigmaText(a.sigma), PercentText(a.relative),
                           AccuracyVerdict(a.assessed, a.passed)});
    table.rows.append({QStringLiteral("2~20年平均"), SigmaText(o.accuracy.meanSigma),
                       PercentText(o.accuracy.meanRelative),
                       AccuracyVerdict(o.accuracy.assessed, o.accuracy.passed)});
    return table;
}

FitResultTable GoodnessTable(const FitOutcome &o)
{
    FitResultTable table;
    table.header = {QStringLiteral("历时(min)"), DistributionName(FrequencyDistribution::PearsonIII),
                    DistributionName(FrequencyDistribution::Gumbel),
                    DistributionName(FrequencyDistribution::Exponential)};
    for (size_t d = 0; d < o.frequency.rmsByDistribution.size(); ++d) {
        QStringList row{FitNumberText(o.table.durations[d])};
        for (double rms : o.frequency.rmsByDistribution[d])
            row.append(std::isfinite(rms) ? QString::number(rms, 'f', 3) : QStringLiteral("—"));
        table.rows.append(row);
    }
    return table;
}
