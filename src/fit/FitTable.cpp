#include "fit/FitTable.h"

#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QStringDecoder>
#include <cmath>
#include <limits>
#include <set>

namespace {

// A row of the file: its cells and its 1-based line number.
struct CsvRow
{
    int line = 0;
    QStringList cells;
};

bool IsBlankRow(const QStringList &cells)
{
    for (const QString &cell : cells)
        if (!cell.isEmpty())
            return false;
    return true;
}

std::vector<CsvRow> ReadRows(const QByteArray &bytes)
{
    std::vector<CsvRow> rows;
    const QStringList lines = DecodeFitLines(bytes);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringList cells = SplitCsvLine(lines[i]);
        if (IsBlankRow(cells))
            continue;
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows.push_back({int(i + 1), cells});
    }
    return rows;
}

QString Where(int line, qsizetype column)
{
    return QStringLiteral("第%1行第%2列").arg(line).arg(column + 1);
}

double NumberCell(const CsvRow &row, qsizetype column, const QString &what, double high)
{
    const QString text = column < row.cells.size() ? row.cells[column] : QString();
    if (text.isEmpty())
        throw PluvionError(QStringLiteral("%1缺少%2。").arg(Where(row.line, column), what));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw PluvionError(QStringLiteral("%1的“%2”不是数字（应为%3）。")
                               .arg(Where(row.line, column), ValueExcerpt(text), what));
    if (!(value > 0))
        throw PluvionError(QStringLiteral("%1的%2必须大于0，现为%3。")
                               .arg(Where(row.line, column), what, ValueExcerpt(text)));
    if (value > high)
        throw PluvionError(QStringLiteral("%1的%2 %3 超出了雨量记录的范围（至多 %4）。")
                               .arg(Where(row.line, column), what, ValueExcerpt(text))
                               .arg(high, 0, 'g', 10));
    return value;
}

// Refuses a table with more rows or columns than a real one has.
void RequireAtMost(qsizetype count, int limit, const QString &what)
{
    if (count > limit)
        throw PluvionError(QStringLiteral("表中有%1个%2，超过上限%3个。").arg(count).arg(what).arg(limit));
}

// The header's numbers (periods or durations), distinct, above 0 and at most `high`.
std::vector<double> HeaderNumbers(const CsvRow &header, const QString &what, double high)
{
    std::vector<double> numbers;
    for (qsizetype c = 1; c < header.cells.size(); ++c) {
        const double value = NumberCell(header, c, what, high);
        for (size_t k = 0; k < numbers.size(); ++k)
            if (numbers[k] == value)
                throw PluvionError(QStringLiteral("%1的%2 %3 与第%4列重复。")
                                       .arg(Where(header.line, c), what, header.cells[c])
                                       .arg(k + 2));
        numbers.push_back(value);
    }
    return numbers;
}

void RejectExtraCells(const CsvRow &row, qsizetype width)
{
    if (row.cells.size() > width)
        throw PluvionError(
            QStringLiteral("%1超出了第一行的列数：第一行只有%2列。").arg(Where(row.line, width)).arg(width));
}

} // namespace

QStringList DecodeFitLines(const QByteArray &bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF") && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return DecodeLegacyLines(QByteArray("\xEF\xBB\xBF") + bytes);
    }
    return DecodeLegacyLines(bytes);
}

QStringList SplitCsvLine(const QString &line)
{
    QStringList cells;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar ch = line[i];
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < line.size() && line[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += ch;
            }
        } else if (ch == u'"') {
            quoted = true;
        } else if (ch == u',') {
            cells.append(cell.trimmed());
            cell.clear();
        } else {
            cell += ch;
        }
    }
    cells.append(cell.trimmed());
    return cells;
}

IntensityTable ParseIntensityTable(const QByteArray &bytes, TableValueKind kind)
{
    const std::vector<CsvRow> rows = ReadRows(bytes);
    if (rows.empty())
        throw PluvionError(QStringLiteral("表格是空的：没有找到重现期和历时。"));
    IntensityTable table;
    RequireAtMost(rows[0].cells.size() - 1, MaxTablePeriods, QStringLiteral("重现期"));
    RequireAtMost(qsizetype(rows.size()) - 1, MaxTableDurations, QStringLiteral("历时"));
    table.periods = HeaderNumbers(rows[0], QStringLiteral("重现期（年）"), MaxTablePeriod);
    if (table.periods.empty())
        throw PluvionError(
            QStringLiteral("第%1行没有重现期：第一行应为一个标签，后面是各重现期（年）。").arg(rows[0].line));
    const qsizetype width = qsizetype(table.periods.size()) + 1;
    const QString valueName =
        kind == TableValueKind::Depth ? QStringLiteral("雨量（mm）") : QStringLiteral("雨强（mm/min）");
    for (size_t r = 1; r < rows.size(); ++r) {
        const CsvRow &row = rows[r];
        RejectExtraCells(row, width);
        const double duration = NumberCell(row, 0, QStringLiteral("历时（分钟）"), MaxTableDuration);
        for (size_t k = 0; k < table.durations.size(); ++k)
            if (table.durations[k] == duration)
                throw PluvionError(
                    QStringLiteral("%1的历时 %2 分钟与前面的行重复。").arg(Where(row.line, 0), row.cells[0]));
        table.durations.push_back(duration);
        for (qsizetype c = 1; c < width; ++c) {
            const double value = NumberCell(row, c, valueName, std::numeric_limits<double>::max());
            const double intensity = kind == TableValueKind::Depth ? value / duration : value;
            if (!(intensity >= MinTableIntensity && intensity <= MaxTableIntensity))
                throw PluvionError(
                    QStringLiteral("%1的%2 %3 超出了雨量记录的范围（雨强应在 %4 至 %5 mm/min 之间）。")
                        .arg(Where(row.line, c), valueName, ValueExcerpt(row.cells[c]))
                        .arg(MinTableIntensity, 0, 'g', 6)
                        .arg(MaxTableIntensity, 0, 'g', 6));
            table.values.push_back(intensity);
        }
    }
    if (table.durations.size() < 3)
        throw PluvionError(QStringLiteral("至少需要3个历时，表中只有%1个。").arg(table.durations.size()));
    return table;
}

SampleTable ParseSampleTable(const QByteArray &bytes)
{
    const std::vector<CsvRow> rows = ReadRows(bytes);
    if (rows.empty())
        throw PluvionError(QStringLiteral("样本表是空的：没有找到历时和样本。"));
    SampleTable table;
    RequireAtMost(rows[0].cells.size() - 1, MaxTableDurations, QStringLiteral("历时"));
    RequireAtMost(qsizetype(rows.size()) - 1, MaxSamplesPerDuration, QStringLiteral("样本行"));
    table.durations = HeaderNumbers(rows[0], QStringLiteral("历时（分钟）"), MaxTableDuration);
    if (table.durations.size() < 3)
        throw PluvionError(QStringLiteral("第%1行至少需要3个历时，现只有%2个。")
                               .arg(rows[0].line)
                               .arg(table.durations.size()));
    const qsizetype width = qsizetype(table.durations.size()) + 1;
    table.samples.resize(table.durations.size());
    for (size_t r = 1; r < rows.size(); ++r) {
        const CsvRow &row = rows[r];
        RejectExtraCells(row, width);
        for (qsizetype c = 1; c < row.cells.size(); ++c)
            if (!row.cells[c].isEmpty()) {
                const double depth = NumberCell(row, c, QStringLiteral("雨量（mm）"), MaxSampleDepth);
                if (depth < MinSampleDepth)
                    throw PluvionError(QStringLiteral("%1的雨量（mm） %2 超出了雨量记录的范围（至少 %3）。")
                                           .arg(Where(row.line, c), ValueExcerpt(row.cells[c]))
                                           .arg(MinSampleDepth));
                table.samples[size_t(c - 1)].push_back(depth);
            }
    }
    for (size_t d = 0; d < table.durations.size(); ++d)
        if (table.samples[d].empty())
            throw PluvionError(QStringLiteral("历时 %1 分钟（第%2列）没有样本。")
                                   .arg(rows[0].cells[qsizetype(d + 1)])
                                   .arg(d + 2));
    return table;
}

QStringList IntensityTableLines(const IntensityTable &table)
{
    QStringList lines;
    QString header = QStringLiteral("历时(min)\\重现期(a)");
    for (double p : table.periods)
        header += u',' + QString::number(p, 'g', 15);
    lines.append(header);
    for (size_t d = 0; d < table.durations.size(); ++d) {
        QString line = QString::number(table.durations[d], 'g', 15);
        for (size_t p = 0; p < table.periods.size(); ++p)
            line += u',' + QString::number(table.at(d, p), 'f', 4);
        lines.append(line);
    }
    return lines;
}
