#include "export/CsvExport.h"

#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <QIODevice>

QString CsvProposedName(const Storm &storm, const Separators &sep)
{
    return StormFileName(QStringLiteral("芝加哥雨型计算数据P=%1年 t=%2分 r=%3.csv"), storm, sep);
}

QString CsvTargetPath(const QString &chosenName)
{
    return ChangeFileExtension(chosenName, QStringLiteral(".csv"));
}

std::optional<QString> TimeColumnHeading(int timeFormat)
{
    switch (timeFormat) {
    case 0:
        return QStringLiteral("时间(HH:MM)");
    case 1:
        return QStringLiteral("时间(min)");
    default:
        return std::nullopt;
    }
}

std::optional<QString> CsvHeaderLine(int timeFormat)
{
    const std::optional<QString> time = TimeColumnHeading(timeFormat);
    if (!time)
        return std::nullopt;
    return *time + QStringLiteral(",降雨强度(mm/min),降雨总量(mm)");
}

namespace {

// A cell holding a comma, a quote or a line break goes in double quotes.
bool needsQuotes(QStringView cell)
{
    return cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\r') || cell.contains(u'\n');
}

} // namespace

QString CsvField(const QString &cell)
{
    if (!needsQuotes(cell))
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

namespace {

// Rows encoded and handed on at a time: large enough that the encoder's and the
// file's per-call costs vanish, small enough that the buffer stays at a few
// hundred kilobytes whatever the table's length.
constexpr qsizetype CsvChunkRows = 4096;

void appendField(QString &text, const QString &cell)
{
    if (!needsQuotes(cell)) {
        text += cell;
        return;
    }
    text += u'"';
    for (const QChar c : cell) {
        if (c == u'"')
            text += u'"';
        text += c;
    }
    text += u'"';
}

} // namespace

void StreamCsv(const TableRowSource &rows, int timeFormat, const std::function<void(QByteArrayView)> &sink)
{
    LegacyEncoder encoder;
    if (rows.hasPlainRows()) {
        const std::optional<QString> header = CsvHeaderLine(timeFormat);
        // Plain rows are ASCII, the same bytes in GBK.
        const QByteArray head = header ? encoder.encode(*header + QLatin1String("\r\n")) : QByteArray();
        StreamPlainRows(rows, head, LineEnd::CrLf, sink);
        return;
    }
    QString text;
    const auto flush = [&] {
        if (text.isEmpty())
            return;
        sink(encoder.encode(text));
        text.resize(0);
    };
    if (const std::optional<QString> header = CsvHeaderLine(timeFormat)) {
        text += *header;
        text += QLatin1String("\r\n");
    }
    TableRow row;
    const qsizetype count = rows.rowCount();
    for (qsizetype i = 0; i < count; ++i) {
        rows.readRow(i, row);
        appendField(text, row[0]);
        text += u',';
        appendField(text, row[1]);
        text += u',';
        appendField(text, row[2]);
        text += QLatin1String("\r\n");
        if ((i + 1) % CsvChunkRows == 0)
            flush();
    }
    flush();
}

QByteArray CsvBytes(const TableRows &rows, int timeFormat)
{
    QByteArray bytes;
    StreamCsv(ListedRows(rows), timeFormat, [&](QByteArrayView chunk) { bytes += chunk; });
    return bytes;
}

void WriteCsv(QIODevice &device, const TableRows &rows, int timeFormat)
{
    WriteCsv(device, ListedRows(rows), timeFormat);
}

void WriteCsv(QIODevice &device, const TableRowSource &rows, int timeFormat)
{
    StreamCsv(rows, timeFormat, [&](QByteArrayView chunk) {
        if (!WriteAllBytes(device, chunk))
            throw PluvionError(device.errorString());
    });
}

void WriteCsvFile(const FileTarget &target, const TableRows &rows, int timeFormat)
{
    WriteCsvFile(target, ListedRows(rows), timeFormat);
}

void WriteCsvFile(const FileTarget &target, const TableRowSource &rows, int timeFormat)
{
    // Refused before anything is written when GBK is missing.
    LegacyEncoder{};
    FileWriter writer(target);
    StreamCsv(rows, timeFormat, [&](QByteArrayView chunk) { writer.write(chunk); });
    writer.commit();
}
