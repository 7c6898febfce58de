#pragma once

#include "fit/Bootstrap.h"
#include "fit/FitCase.h"
#include "io/FileBytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The fit report: the fitted formula, the method, the single-period
// formulas, the accuracy table (and, from samples, the goodness of each
// distribution) and the i–t–P table, as CSV and as a Word document in the
// style of the calculation report.

// The two kinds of fit report.
enum class FitReportKind
{
    Word,
    Csv,
};

// The kind a report's file name asks for by its extension, .docx or .csv in
// any case; none for another. Every front end chooses the kind by this rule.
// Inline, so that the command line, which writes reports only through its
// documents module, does not link the Word writer for it.
inline std::optional<FitReportKind> FitReportKindOfPath(const QString &path)
{
    if (path.endsWith(QStringLiteral(".docx"), Qt::CaseInsensitive))
        return FitReportKind::Word;
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return FitReportKind::Csv;
    return std::nullopt;
}

// Every report below takes the fit's confidence bands when it has them
// (`bands`, of this outcome): then it ends with a section on them, the
// resampling in words, the parameters' and the table's bands and the
// readings for design storms; without them it is the report of the fit alone.

// The CSV's lines (cells holding a comma are quoted).
QStringList FitReportCsvLines(const FitOutcome &outcome, const BootstrapResult *bands = nullptr);

// Writes the CSV (GBK, CR LF) to `path`, replacing it as a whole. Raises
// PluvionError when it cannot be written.
void WriteFitReportCsv(const FileTarget &target, const FitOutcome &outcome,
                       const BootstrapResult *bands = nullptr);

// The report's main document: a complete document.xml in the calculation
// report's styles; `sectionProperties` is the template's page set-up, and the
// chart is the template's picture part.
QString FitReportDocument(const FitOutcome &outcome, const QString &sectionProperties,
                          const BootstrapResult *bands = nullptr);

// Writes the Word report to `path` (see FillWordTemplate for how an existing
// file is replaced). `chartPng` is the chart of the table's points against the
// fitted curves; when empty the report has no chart. Raises PluvionError.
void WriteFitReportDocx(const FileTarget &target, const FitOutcome &outcome, const QByteArray &chartPng,
                        const BootstrapResult *bands = nullptr);

// The name the save dialog proposes: "暴雨强度公式推求报告.docx".
QString FitReportProposedName();
