#include "ShownTexts.h"

#include "PluvionError.h"

TableRow RowTexts(const TRainPoint &point, int timeFormat, int precision, const Separators &sep)
{
    const auto minute = static_cast<int64_t>(point.Time);
    QString time;
    if (timeFormat == 0)
        time = ClockTime(minute, sep);
    else if (timeFormat == 1)
        time = MinuteTime(minute);
    return {time, ShownValue(point.Intensity, precision, sep), ShownValue(point.Overall, precision, sep)};
}

TableRows TableTexts(const RainPoints &points, int timeFormat, int precision, const Separators &sep)
{
    TableRows rows;
    rows.reserve(qsizetype(points.size()));
    for (const TRainPoint &point : points)
        rows.append(RowTexts(point, timeFormat, precision, sep));
    return rows;
}

std::array<QString, 5> LabelTexts(const TExpressionObject &storm, int precision, const Separators &sep)
{
    return {
        QStringLiteral("重现期   P=") + GeneralNumberG(storm.Storm_RepeatYear, sep) + QStringLiteral("年"),
        QStringLiteral("降雨历时t=") + GeneralNumberG(storm.Storm_Time, sep) + QStringLiteral("min"),
        QStringLiteral("峰值比例r=") + GeneralNumberG(storm.Storm_Percent, sep),
        QStringLiteral("降雨总量H=") + ShownValue(storm.Strom_Overall_Rainfall, precision, sep) +
            QStringLiteral("mm"),
        QStringLiteral("平均雨强i=") + ShownValue(storm.Strom_Average_Rainfall_Intensity, precision, sep) +
            QStringLiteral("mm/min"),
    };
}

QString FormulaDepthText(const TExpressionObject &storm, int precision, const Separators &sep)
{
    QString depth;
    try {
        depth = ShownValue(FormulaDepth(storm), precision, sep) + QStringLiteral("mm");
    } catch (const PluvionError &) {
        depth = QStringLiteral("无法计算");
    }
    return QStringLiteral("公式雨量=") + depth;
}

QString StormModeName(CalcMode mode)
{
    return mode == CalcMode::Block ? QStringLiteral("时段平均") : QStringLiteral("瞬时雨强");
}
