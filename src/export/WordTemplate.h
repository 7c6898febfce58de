#pragma once

#include "export/CsvExport.h"
#include "io/FileBytes.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>
#include <map>

// Word documents made from the templates compiled into the program: a template
// package is unpacked in memory, its main document is edited by replacing
// placeholders (XML comments), further parts may be put in, and the parts are
// packed again as the user's .docx.

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

// The parts of an unpacked package: each file's bytes by its "/"-separated name.
using WordParts = std::map<QString, QByteArray>;

// Given the unpacked package, may add or replace parts in it.
using WordExtraFileStep = std::function<void(WordParts &parts)>;

// The compiled-in package of the named template. Raises PluvionError when the
// program carries no template of that name.
QByteArray WordTemplatePackage(const QString &templateName);

// The most rows a Word table of the program holds. A table of a whole day
// minute by minute has 1,441; Word itself grows slow and unstable long before
// a million, and building one costs gigabytes, so larger tables go to CSV.
inline constexpr qsizetype WordTableRowLimit = 100000;

// The message for a table over WordTableRowLimit rows.
QString TooManyWordRowsMessage(qsizetype rows);

// The rows of a Word table formed from `source`; TooManyWordRowsMessage,
// before any row is formed, when there are more than WordTableRowLimit.
TableRows WordTableTexts(const TableRowSource &source);

// The document text with the table rows in place: for each row, the row
// template with its three "%s", in order, replaced by the row's time, intensity
// and total texts (XML-escaped, so whatever a user typed into a cell stays
// text); the rows follow one another with nothing between them, and every
// occurrence of TableRowsPlaceholder() is replaced by them. Raises PluvionError
// when the row template does not hold exactly three "%s", and
// TooManyWordRowsMessage when there are more than WordTableRowLimit rows.
QString InsertTableRows(const QString &document, const QString &rowTemplate, const TableRows &rows);

// The document with the templates' time heading "时间(min)" replaced by the
// heading of the time format the rows are in (TimeColumnHeading); another
// format keeps the template's heading.
QString WithTimeHeading(const QString &document, int timeFormat);

// Fills the named template and writes the resulting .docx package to `target`,
// which must be open for writing. Unpacks the template in memory, runs
// `editStep` on the main document, runs `extraFileStep` (when given) on the
// parts, and packs every part: one Deflate entry per part (zlib's default
// level), named by its "/"-separated path in UTF-8 with the time it was made,
// no folder entries. Raises PluvionError on failure.
void FillWordTemplate(const QString &templateName, QIODevice &target, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep = {});

// As above, writing the package to the file `targetPath`, which it creates or
// replaces as a whole: the package is written under a unique temporary name
// in the target's folder and then renamed over the target (FileWriter), so a
// failure leaves an existing file as it was and no stray file beside it.
// Raises PluvionError "Cannot create file "<path>". <reason>" when the file
// cannot be written, and FileWriter's refusal for a target that is no regular
// file. Opens nothing.
void FillWordTemplate(const QString &templateName, const FileTarget &target, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep = {});

// The step that puts a chart into the report template (the calculation
// report and the fit report alike): `chartPng` replaces the template's
// picture part; an empty picture keeps the template's. The picture is drawn
// at ReportPictureSize.
WordExtraFileStep ReportPictureStep(const QByteArray &chartPng);

// The file a name chosen in the save dialog stands for: the extension of its
// last component (from its last ".") replaced by ".docx", or ".docx" appended
// when that component has no "." (report.doc -> report.docx, report -> report.docx).
QString WordDocumentPath(const QString &chosenName);
