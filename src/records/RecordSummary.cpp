#include "records/RecordSummary.h"

#include <cmath>

QString RecordReadLine(const RainRecord &record)
{
    QString line = QStringLiteral("记录文件 %1 个，共 %2 行").arg(record.files.size()).arg(record.rows);
    if (record.duplicates > 0)
        line += QStringLiteral("（其中重复的 %1 行只计一次）").arg(record.duplicates);
    line += QStringLiteral("；步长 %1 分钟%2；未列出的时段按%3计")
                .arg(record.step)
                .arg(record.stepDetected ? QStringLiteral("（由记录判断）") : QString())
                .arg(record.gaps == RecordGaps::Zero ? QStringLiteral("无雨") : QStringLiteral("缺测"));
    return line;
}

QStringList RecordYearLines(const RainRecord &record)
{
    QStringList lines{QStringLiteral("年份,首条记录,末条记录,记录行数,完整率,总雨量(mm),说明")};
    int used = 0;
    for (const RecordYear &year : record.years) {
        used += year.used;
        lines.append(QStringLiteral("%1,%2,%3,%4,%5%,%6,%7")
                         .arg(year.year)
                         .arg(year.rows > 0 ? RecordTimeText(year.first) : QString())
                         .arg(year.rows > 0 ? RecordTimeText(year.last) : QString())
                         .arg(year.rows)
                         .arg(CompletenessText(year.percent(), record.minCompleteness))
                         .arg(RecordDepthText(year.total))
                         .arg(year.used ? QStringLiteral("使用") : QStringLiteral("未使用：") + year.reason));
    }
    lines.append(QStringLiteral("使用 %1 年，未使用 %2 年（完整率下限 %3%）")
                     .arg(used)
                     .arg(record.years.size() - size_t(used))
                     .arg(record.minCompleteness, 0, 'g', 6));
    return lines;
}

QStringList PeakRatioLines(const PeakRatio &peak)
{
    QStringList lines{QStringLiteral("历时(min),样本数,r均值,标准差,计入r")};
    QStringList used;
    for (const DurationPeakRatio &d : peak.durations) {
        lines.append(QStringLiteral("%1,%2,%3,%4,%5")
                         .arg(d.duration)
                         .arg(d.events)
                         .arg(d.events ? QString::number(d.mean, 'f', 3) : QString())
                         .arg(d.events ? QString::number(d.deviation, 'f', 3) : QString())
                         .arg(d.used ? QStringLiteral("是") : QStringLiteral("否")));
        if (d.used)
            used.append(QString::number(d.duration));
    }
    if (std::isnan(peak.r))
        lines.append(
            QStringLiteral("没有足够长（至少 %1 个记录步长）的历时，无法确定峰值比例 r").arg(MinPeakSteps));
    else
        lines.append(QStringLiteral("峰值比例 r = %1（历时 %2 分钟的平均）")
                         .arg(QString::number(peak.r, 'f', 3), used.join(QStringLiteral("、"))));
    lines.append(peak.notes);
    return lines;
}
