#pragma once

#include "export/PictureFiles.h"
#include "fit/Bootstrap.h"
#include "fit/FitCase.h"
#include "io/FileBytes.h"
#include "model/ShownTexts.h"

#include <QByteArray>
#include <QString>

// What pluvion-cli writes with the Word, PNG and JPEG libraries: the Word
// documents and the pictures. They live in a module of their own
// (pluvion-documents.so) that only a run writing one loads, so that a run
// writing CSV, SWMM or storm files or printing the table starts with QtCore
// and the core alone.
struct CliDocuments
{
    // Whether the path's extension names a picture type (.bmp, .jpg, .png).
    bool (*isPicturePath)(const QString &path);
    QByteArray (*encodePng)(const RgbImage &image);
    void (*saveChartPicture)(const FileTarget &target, const RgbImage &image);
    void (*writeDataDocument)(const FileTarget &target, const TableRowSource &rows, int timeFormat);
    void (*writeCalcReport)(const FileTarget &target, const Storm &storm, int precision,
                            const TableRowSource &rows, int timeFormat, const QByteArray &chartPng,
                            const Separators &sep);
    void (*writeFitReportCsv)(const FileTarget &target, const FitOutcome &outcome,
                              const BootstrapResult *bands);
    void (*writeFitReportDocx)(const FileTarget &target, const FitOutcome &outcome,
                               const QByteArray &chartPng, const BootstrapResult *bands);
};

// The name the module exports its table under.
inline constexpr char CliDocumentsSymbol[] = "pluvion_cli_documents";

// The writers: the table given to UseDocuments, or else the module's, loaded
// on first use as the drawing is. Raises PluvionError when the module cannot
// be loaded.
const CliDocuments &Documents();

// Writes with this table instead of loading the module (the in-process tests
// link the writers themselves).
void UseDocuments(const CliDocuments &documents);

// The writers' own table, in the module and in the library tests link.
const CliDocuments &BuiltInDocuments();
