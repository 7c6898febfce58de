#include "DataDocument.h"

#include "model/ShownTexts.h"

namespace {

WordEditStep TableRowsStep(const TableRows &rows)
{
    return [&rows](const QString &document, const QString &rowTemplate) {
        return InsertTableRows(document, rowTemplate, rows);
    };
}

} // namespace

QString DataDocumentProposedName(const Storm &storm, const Separators &sep)
{
    return StormFileName(QStringLiteral("芝加哥雨型计算数据 P=%1年 T=%2分 R=%3.docx"), storm, sep);
}

void WriteDataDocument(QIODevice &target, const TableRows &rows)
{
    FillWordTemplate(DataTemplateName(), target, TableRowsStep(rows));
}

void WriteDataDocument(const QString &path, const TableRows &rows)
{
    FillWordTemplate(DataTemplateName(), path, TableRowsStep(rows));
}
