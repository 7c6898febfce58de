#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// WordprocessingML pieces in the calculation report template's styles, for
// the reports that write their whole main document (the long-duration
// storm's): paragraphs, tables, the chart and the document around them.

// A paragraph of the style ("Title", "Heading1", "BodyText"), its text escaped.
QString ReportParagraph(const QString &style, const QString &text);
// A body-text paragraph.
QString ReportBody(const QString &text);
// A centred table with a shaded header row repeated on every page; a table of
// more than six columns in small type with narrow cell margins.
QString ReportTable(const QStringList &header, const QList<QStringList> &rows);
// The chart: the template's picture part (which ReportPictureStep replaces)
// at 146.3 mm × 105.8 mm, described by `description`.
QString ReportPicture(const QString &description);
// The complete main document of `body`, ended by the template's page set-up
// taken from its main document `templateDocument`; without `withPicture` the
// chart's paragraph is left out.
QString ReportDocument(const QString &body, const QString &templateDocument, bool withPicture);
// The main document of `body` ended by the page set-up `sectionProperties` (a <w:sectPr> element).
QString ReportMainDocument(const QString &body, const QString &sectionProperties);
