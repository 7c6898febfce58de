#include "export/CsvExport.h"

#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QIODevice>

QString CsvProposedName(const TExpressionObject &storm, const Separators &sep)
{
    return QStringLiteral("芝加哥雨型计算数据P=%1年 t=%2分 r=%3.csv")
        .arg(GeneralNumberG(storm.Storm_RepeatYear, sep), GeneralNumberG(storm.Storm_Time, sep),
             GeneralNumberG(storm.Storm_Percent, sep));
}

QString CsvTargetPath(const QString &chosenName)
{
    return ChangeFileExtension(chosenName, QStringLiteral(".csv"));
}

std::optional<QString> CsvHeaderLine(int timeFormat)
{
    switch (timeFormat) {
    case 0:
        return QStringLiteral("时间(HH:MM),降雨强度(mm/min),降雨总量(mm)");
    case 1:
        return QStringLiteral("时间(min),降雨强度(mm/min),降雨总量(mm)");
    default:
        return std::nullopt;
    }
}

QString CsvField(const QString &cell)
{
    const bool needsQuotes =
        cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\r') || cell.contains(u'\n');
    if (!needsQuotes)
        return cell;
    QString field = cell;
    field.replace(u'"', QLatin1String("\"\""));
    return u'"' + field + u'"';
}

QStringList CsvLines(const TableRows &rows, int timeFormat)
{
    QStringList lines;
    lines.reserve(rows.size() + 1);
    if (const std::optional<QString> header = CsvHeaderLine(timeFormat))
        lines.append(*header);
    for (const TableRow &row : rows)
        lines.append(CsvField(row[0]) + u',' + CsvField(row[1]) + u',' + CsvField(row[2]));
    return lines;
}

QByteArray CsvBytes(const TableRows &rows, int timeFormat)
{
    return EncodeLegacyLines(CsvLines(rows, timeFormat));
}

void WriteCsv(QIODevice &device, const TableRows &rows, int timeFormat)
{
    if (!WriteAllBytes(device, CsvBytes(rows, timeFormat)))
        throw PluvionError(device.errorString());
}

void WriteCsvFile(const QString &path, const TableRows &rows, int timeFormat)
{
    WriteFileBytes(path, CsvBytes(rows, timeFormat));
}
