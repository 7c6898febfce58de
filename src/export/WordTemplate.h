#pragma once

#include "export/CsvExport.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>

// Word documents made from the templates compiled into the program: a template
// package is unpacked into a working folder of its own, its main document is
// edited by replacing placeholders (XML comments), further files may be put in,
// and the folder is packed again as the user's .docx.

// The two templates, by their resource names (compared without letter case).
inline QString DataTemplateName()
{
    return QStringLiteral("CalcData");
}
inline QString ReportTemplateName()
{
    return QStringLiteral("CalcBook");
}

// The placeholder in a template's main document where the data rows go: right
// after the header row of the data table.
inline QString TableRowsPlaceholder()
{
    return QStringLiteral("<!--雨量计算数据表格-->");
}

// Given the text of "word/document.xml" and of the row template
// "word/TableRow.xml", returns the edited document text.
using WordEditStep = std::function<QString(const QString &document, const QString &rowTemplate)>;

// Given the working folder (the unpacked package), may add or replace files in it.
using WordExtraFileStep = std::function<void(const QString &workingFolder)>;

// The compiled-in package of the named template. Raises PluvionError when the
// program carries no template of that name.
QByteArray WordTemplatePackage(const QString &templateName);

// The document text with the table rows in place: for each row, the row
// template with its three "%s", in order, replaced by the row's time, intensity
// and total texts (XML-escaped, so whatever a user typed into a cell stays
// text); the rows follow one another with nothing between them, and every
// occurrence of TableRowsPlaceholder() is replaced by them. Raises PluvionError
// when the row template does not hold exactly three "%s".
QString InsertTableRows(const QString &document, const QString &rowTemplate, const TableRows &rows);

// Fills the named template and writes the resulting .docx package to `target`,
// which must be open for writing. Unpacks the template into a fresh temporary
// folder, runs `editStep` on the main document, writes it back, runs
// `extraFileStep` (when given) on the folder, and packs every file below the
// folder: one Deflate entry per file (zlib's default level), named by its
// "/"-separated path in UTF-8 with its modification time, no folder entries.
// The working folder is removed in every case. Raises PluvionError on failure.
void FillWordTemplate(const QString &templateName, QIODevice &target, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep = {});

// As above, writing the package to the file `targetPath`, which it creates or
// replaces as a whole: the package is written under a unique temporary name
// in the target's folder and then renamed over the target, so a failure leaves
// an existing file as it was and no stray file beside it. Raises PluvionError
// naming the file when an existing target cannot be replaced (open in another
// program, or not a file), and "Cannot create file "<path>". <reason>" when the
// file cannot be written. Opens nothing.
void FillWordTemplate(const QString &templateName, const QString &targetPath, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep = {});

// The file a name chosen in the save dialog stands for: the extension of its
// last component (from its last ".") replaced by ".docx", or ".docx" appended
// when that component has no "." (report.doc -> report.docx, report -> report.docx).
QString WordDocumentPath(const QString &chosenName);
