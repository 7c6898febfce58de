// The Word documents and pictures pluvion-cli loads only when a run writes
// one: the writers of the core behind the table of CliDocuments.
#include "CliDocuments.h"
#include "export/CalcReport.h"
#include "export/DataDocument.h"
#include "export/FitReport.h"
#include "export/WordTemplate.h"

namespace {

bool IsPicturePath(const QString &path)
{
    return PictureTypeOfPath(path).has_value();
}

QByteArray EncodePng(const RgbImage &image)
{
    return EncodePicture(image, PictureType::Png);
}

void SavePicture(const FileTarget &target, const RgbImage &image)
{
    SaveChartPicture(target, image);
}

void DataDocument(const FileTarget &target, const TableRowSource &rows, int timeFormat)
{
    WriteDataDocument(target, WordTableTexts(rows), timeFormat);
}

void CalcReport(const FileTarget &target, const Storm &storm, int precision, const TableRowSource &rows,
                int timeFormat, const QByteArray &chartPng, const Separators &sep)
{
    WriteCalcReport(target, storm, precision, WordTableTexts(rows), timeFormat, chartPng, sep);
}

void FitReportDocx(const FileTarget &target, const FitOutcome &outcome, const QByteArray &chartPng,
                   const BootstrapResult *bands)
{
    WriteFitReportDocx(target, outcome, chartPng, bands);
}

void FitReportCsv(const FileTarget &target, const FitOutcome &outcome, const BootstrapResult *bands)
{
    WriteFitReportCsv(target, outcome, bands);
}

const CliDocuments Table{IsPicturePath, EncodePng,    SavePicture,  DataDocument,
                         CalcReport,    FitReportCsv, FitReportDocx};

} // namespace

const CliDocuments &BuiltInDocuments()
{
    return Table;
}

extern "C" Q_DECL_EXPORT const CliDocuments *pluvion_cli_documents()
{
    return &Table;
}
