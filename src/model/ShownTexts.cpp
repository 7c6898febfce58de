#include "ShownTexts.h"

#include "PluvionError.h"

#include <QByteArray>
#include <QRegularExpression>
#include <algorithm>
#include <numeric>

TableRow RowTexts(const RainPoint &point, int timeFormat, int precision, const Separators &sep)
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
    for (const RainPoint &point : points)
        rows.append(RowTexts(point, timeFormat, precision, sep));
    return rows;
}

char *TableRowSource::writePlainRow(qsizetype, char *out) const
{
    return out;
}

namespace {

// A separator that keeps a row plain: ASCII, and neither a field's comma, a
// quote nor a line break.
bool plainSeparator(QChar c)
{
    return c.unicode() > 0 && c.unicode() < 128 && c != u',' && c != u'"' && c != u'\r' && c != u'\n';
}

} // namespace

PointRows::PointRows(const RainPoints &points, int timeFormat, int precision, const Separators &sep)
    : m_points(points), m_timeFormat(timeFormat), m_precision(precision), m_separators(sep),
      m_plain(plainSeparator(sep.decimal) && plainSeparator(sep.time))
{}

char *PointRows::writePlainRow(qsizetype index, char *out) const
{
    const RainPoint &point = m_points[size_t(index)];
    const auto minute = static_cast<int64_t>(point.Time);
    if (m_timeFormat == 0)
        out = WriteClockTime(out, minute, char(m_separators.time.unicode()));
    else if (m_timeFormat == 1)
        out = WriteMinuteTime(out, minute);
    const char decimal = char(m_separators.decimal.unicode());
    *out++ = ',';
    out = WriteShownValue(out, point.Intensity, m_precision, decimal);
    *out++ = ',';
    return WriteShownValue(out, point.Overall, m_precision, decimal);
}

void PointRows::readRow(qsizetype index, TableRow &row) const
{
    const RainPoint &point = m_points[size_t(index)];
    for (QString &cell : row)
        cell.resize(0);
    const auto minute = static_cast<int64_t>(point.Time);
    if (m_timeFormat == 0)
        AppendClockTime(row[0], minute, m_separators);
    else if (m_timeFormat == 1)
        AppendMinuteTime(row[0], minute);
    AppendShownValue(row[1], point.Intensity, m_precision, m_separators);
    AppendShownValue(row[2], point.Overall, m_precision, m_separators);
}

void StreamPlainRows(const TableRowSource &rows, QByteArrayView head, LineEnd lineEnd,
                     const std::function<void(QByteArrayView)> &sink)
{
    const bool crlf = lineEnd == LineEnd::CrLf;
    const qsizetype lineRoom = PlainRowCapacity + 2;
    QByteArray buffer(std::max<qsizetype>(256 * 1024, head.size() + lineRoom), Qt::Uninitialized);
    char *const begin = buffer.data();
    char *const limit = begin + buffer.size() - lineRoom;
    char *out = std::copy(head.begin(), head.end(), begin);
    const qsizetype count = rows.rowCount();
    for (qsizetype i = 0; i < count; ++i) {
        if (out > limit) {
            sink(QByteArrayView(begin, out - begin));
            out = begin;
        }
        out = rows.writePlainRow(i, out);
        if (crlf)
            *out++ = '\r';
        *out++ = '\n';
    }
    if (out != begin)
        sink(QByteArrayView(begin, out - begin));
}

TableRows TableTexts(const TableRowSource &source)
{
    TableRows rows(source.rowCount());
    for (qsizetype i = 0; i < rows.size(); ++i)
        source.readRow(i, rows[i]);
    return rows;
}

double LongStormDesignDepth(const Storm &storm)
{
    const LongStormProfile &profile = storm.longProfile;
    if (!profile.nested.empty())
        return profile.nested.back().design;
    return std::accumulate(profile.depths.begin(), profile.depths.end(), 0.0);
}

std::array<QString, 5> LabelTexts(const Storm &storm, int precision, const Separators &sep)
{
    return {
        QStringLiteral("重现期   P=") + GeneralNumberG(storm.period, sep) + QStringLiteral("年"),
        QStringLiteral("降雨历时t=") + GeneralNumberG(storm.duration, sep) + QStringLiteral("min"),
        // A long-duration storm has no peak ratio: its label names the method.
        storm.kind == StormKind::Long
            ? QStringLiteral("雨型：") + LongStormMethodName(storm.longProfile.method)
            : QStringLiteral("峰值比例r=") + GeneralNumberG(storm.peakRatio, sep),
        QStringLiteral("降雨总量H=") + ShownValue(storm.totalDepth, precision, sep) + QStringLiteral("mm"),
        QStringLiteral("平均雨强i=") + ShownValue(storm.averageIntensity, precision, sep) +
            QStringLiteral("mm/min"),
    };
}

QString FormulaDepthText(const Storm &storm, int precision, const Separators &sep)
{
    if (storm.kind == StormKind::Long)
        return QStringLiteral("设计雨量=") + ShownValue(LongStormDesignDepth(storm), precision, sep) +
               QStringLiteral("mm（") + DesignDepthSourceName(storm.longProfile.source) +
               QStringLiteral("）");
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

QString StormFileName(const QString &pattern, const Storm &storm, const Separators &sep)
{
    if (storm.kind == StormKind::Long) {
        // A long-duration storm is named by P and D alone, as 长历时雨型.
        QString longPattern = pattern;
        longPattern.replace(QStringLiteral("芝加哥雨型"), QStringLiteral("长历时雨型"));
        if (longPattern.startsWith(QStringLiteral("雨型")))
            longPattern.prepend(QStringLiteral("长历时"));
        static const QRegularExpression ratio(QStringLiteral(" [rR]=%3"));
        longPattern.remove(ratio);
        return longPattern.arg(GeneralNumberG(storm.period, sep), GeneralNumberG(storm.duration, sep));
    }
    return pattern.arg(GeneralNumberG(storm.period, sep), GeneralNumberG(storm.duration, sep),
                       GeneralNumberG(storm.peakRatio, sep));
}
