#include "DataDocument.h"

#include "model/ShownTexts.h"

namespace {

WordEditStep TableRowsStep(const TableRows &rows, int timeFormat)
{
    return [&rows, timeFormat](const QString &document, const QString &rowTemplate) {
        return InsertTableRows(WithTimeHeading(document, timeFormat), rowTemplate, rows);
    };
}

} // namespace

QString DataDocumentProposedName(const Storm &storm, const Separators &sep)
{
    return StormFileName(QStringLiteral("芝加哥雨型计算数据 P=%1年 T=%2分 R=%3.docx"), storm, sep);
}

void WriteDataDocument(QIODevice &target, const TableRows &rows, int timeFormat)
{
    FillWordTemplate(DataTemplateName(), target, TableRowsStep(rows, timeFormat));
}

void WriteDataDocument(const FileTarget &target, const TableRows &rows, int timeFormat)
{
    FillWordTemplate(DataTemplateName(), target, TableRowsStep(rows, timeFormat));
}
