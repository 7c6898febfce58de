#pragma once

#include "WordTemplate.h"
#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/Storm.h"

#include <QIODevice>
#include <QString>

// The data document: the result table as a Word document, made from the
// template CalcData. Its time column is headed by the time format the rows
// are in (TimeColumnHeading); the data rows are the table's texts.

// The name the save dialog proposes: "芝加哥雨型计算数据 P=%g年 T=%g分 R=%g.docx"
// with the return period, duration and peak ratio in the general number form
// (P 2, T 120, r 0.4: 芝加哥雨型计算数据 P=2年 T=120分 R=0.4.docx).
QString DataDocumentProposedName(const Storm &storm, const Separators &sep = {});

// Writes the data document of `rows` as a .docx package to `target`, which
// must be open for writing. Raises PluvionError on failure.
void WriteDataDocument(QIODevice &target, const TableRows &rows, int timeFormat);

// Writes the data document to the file `path` (see FillWordTemplate for how
// an existing file is replaced). The caller applies WordDocumentPath to the
// chosen name first. Raises PluvionError on failure.
void WriteDataDocument(const FileTarget &target, const TableRows &rows, int timeFormat);
