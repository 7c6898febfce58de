#pragma once

#include <QByteArray>
#include <QString>

// The user manual, written in Markdown, as the PDF that the program's Help
// menu opens: A4, the Chinese text in a CJK face, tables with single rules.
// Its text layer reads as the manual's own text, so that a reader who searches
// the PDF or copies from it gets the characters the page shows. Needs a
// QGuiApplication. Raises PluvionError when the manual is empty or its text
// layer cannot be made to read as the manual.
QByteArray RenderManualPdf(const QString &markdown);
