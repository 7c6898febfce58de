// pluvion-cli: the storm generator without a window, for scripts and batch work.
#include "BatchRun.h"
#include "CliOptions.h"
#include "FitRun.h"
#include "app/ChartPicture.h"
#include "export/CalcReport.h"
#include "export/CsvExport.h"
#include "export/DataDocument.h"
#include "export/SwmmExport.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QApplication>
#include <cstdio>
#include <memory>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString full(double value)
{
    return QString::number(value, 'g', 17);
}

void printRows(const RainPoints &points, const CliRequest &request, const Separators &sep)
{
    if (request.raw) {
        for (const TRainPoint &point : points) {
            print(stdout,
                  full(point.Time) + u'\t' + full(point.Intensity) + u'\t' + full(point.Overall) + u'\n');
        }
        return;
    }
    print(stdout, QStringLiteral("时间,降雨强度,降雨总量\n"));
    for (const TRainPoint &point : points) {
        const auto cells = RowTexts(point, request.timeFormat, request.precision, sep);
        print(stdout, cells[0] + u',' + cells[1] + u',' + cells[2] + u'\n');
    }
}

void printTotals(const TExpressionObject &storm, const CliRequest &request, const Separators &sep)
{
    if (request.raw) {
        print(stdout, QStringLiteral("total\t") + full(storm.Strom_Overall_Rainfall) + u'\n');
        print(stdout, QStringLiteral("average\t") + full(storm.Strom_Average_Rainfall_Intensity) + u'\n');
        return;
    }
    const auto labels = LabelTexts(storm, request.precision, sep);
    print(stdout, labels[3] + u'\n');
    print(stdout, labels[4] + u'\n');
}

// The depth check: the formula's own rainfall over the duration, to compare
// with the total above.
void printFormulaDepth(const TExpressionObject &storm, const CliRequest &request, const Separators &sep)
{
    const double depth = FormulaDepth(storm);
    if (request.raw)
        print(stdout, QStringLiteral("formula-depth\t") + full(depth) + u'\n');
    else
        print(stdout, QStringLiteral("公式雨量=") + ShownValue(depth, request.precision, sep) +
                          QStringLiteral("mm\n"));
}

// Writes the exports the request asks for, as the window's commands write them.
void writeExports(const RainPoints &points, const TExpressionObject &storm, const CliRequest &request,
                  const Separators &sep)
{
    GridDataRows rows;
    rows.reserve(qsizetype(points.size()));
    for (const TRainPoint &point : points) {
        const auto cells = RowTexts(point, request.timeFormat, request.precision, sep);
        rows.append({cells[0], cells[1], cells[2]});
    }
    if (!request.csvPath.isEmpty())
        WriteCsvFile(request.csvPath, rows, request.timeFormat);
    if (!request.swmmPath.isEmpty())
        WriteSwmmFile(request.swmmPath, points, storm);
    if (!request.dataDocxPath.isEmpty())
        WriteDataDocument(request.dataDocxPath, rows);
    if (!request.drawsChart())
        return;
    const ChartScene scene = StormScene(points, storm, request.precision, sep);
    if (!request.reportPath.isEmpty()) {
        // The report's picture as a window at 96 pixels per inch draws it.
        const QSize size(ReportPictureWidth(96), ReportPictureHeight);
        const QByteArray png = EncodePicture(RenderChart(scene, size), PictureType::Png);
        WriteCalcReport(request.reportPath, storm, request.precision, rows, png, sep);
    }
    if (!request.picturePath.isEmpty())
        SaveChartPicture(request.picturePath,
                         RenderChart(scene, QSize(request.pictureWidth, request.pictureHeight)));
}

} // namespace

int main(int argc, char **argv)
{
    // The tool shows no window: charts are drawn off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Separators sep = Separators::fromSystem();

    CliRequest request;
    // The formula fit has options of its own.
    if (IsFitRequest(app.arguments().mid(1)))
        return RunFit(app.arguments().mid(1), sep);
    try {
        RequireLegacyCodec();
        request = ParseCliArguments(app.arguments().mid(1), sep);
        if (request.help) {
            print(stdout, CliUsage());
            return Success;
        }
        if (request.batch)
            return RunCliBatch(request, sep);
        if (!request.saveStormPath.isEmpty())
            WriteStormFile(request.saveStormPath, request.storm, sep);
    } catch (const PluvionError &error) {
        print(stderr, error.description() + u'\n');
        return BadInput;
    }

    RainPoints points;
    const auto failure = CalcRainPoints(request.storm, points, request.calcByShow, request.precision);
    printRows(points, request, sep);
    if (failure) {
        print(stderr, QStringLiteral("出错：") + *failure + u'\n');
        return ComputationFailed;
    }
    printTotals(request.storm, request, sep);
    try {
        printFormulaDepth(request.storm, request, sep);
    } catch (const PluvionError &error) {
        print(stderr, QStringLiteral("出错：") + error.description() + u'\n');
        return ComputationFailed;
    }
    try {
        writeExports(points, request.storm, request, sep);
    } catch (const PluvionError &error) {
        print(stderr, error.description() + u'\n');
        return BadInput;
    }
    return Success;
}
