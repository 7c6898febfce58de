// The storm command: the table as the window shows it, the totals, and the
// files the window's commands write.
#include "CliDocuments.h"
#include "CliDrawing.h"
#include "Commands.h"
#include "RunFiles.h"
#include "StormOutputs.h"
#include "export/CalcReport.h"
#include "export/CsvExport.h"
#include "export/SwmmExport.h"
#include "io/FileBytes.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

namespace {

QString full(double value)
{
    char text[NumberTextCapacity];
    return QString::fromLatin1(text, WriteFullPrecision(text, value) - text);
}

void printRows(const RainPoints &points, const CliRequest &request, const Separators &sep, CliOutput &output)
{
    if (request.raw) {
        // Formed in place and handed on in large pieces: a long storm prints
        // millions of these lines.
        QByteArray chunk;
        char line[3 * NumberTextCapacity];
        for (const RainPoint &point : points) {
            char *end = WriteFullPrecision(line, point.Time);
            *end++ = '\t';
            end = WriteFullPrecision(end, point.Intensity);
            *end++ = '\t';
            end = WriteFullPrecision(end, point.Overall);
            *end++ = '\n';
            chunk.append(line, end - line);
            if (chunk.size() > (1 << 16)) {
                output.write(chunk);
                chunk.resize(0);
            }
        }
        output.write(chunk);
        return;
    }
    const PointRows rows(points, request.timeFormat, request.precision, sep);
    const QString header = QStringLiteral("时间,降雨强度,降雨总量\n");
    if (rows.hasPlainRows()) {
        StreamPlainRows(rows, header.toUtf8(), LineEnd::Lf,
                        [&output](QByteArrayView chunk) { output.write(chunk); });
        return;
    }
    // Printed a few thousand rows at a time, each row formed in reused texts.
    constexpr size_t rowsPerWrite = 4096;
    QString text = header;
    TableRow row;
    for (size_t i = 0; i < points.size(); ++i) {
        rows.readRow(qsizetype(i), row);
        text += row[0];
        text += u',';
        text += row[1];
        text += u',';
        text += row[2];
        text += u'\n';
        if ((i + 1) % rowsPerWrite == 0) {
            output.out(text);
            text.resize(0);
        }
    }
    output.out(text);
}

void printTotals(const Storm &storm, const CliRequest &request, const Separators &sep, CliOutput &output)
{
    if (request.raw) {
        output.out(QStringLiteral("total\t") + full(storm.totalDepth) + u'\n');
        output.out(QStringLiteral("average\t") + full(storm.averageIntensity) + u'\n');
        return;
    }
    const auto labels = LabelTexts(storm, request.precision, sep);
    output.out(labels[3] + u'\n');
    output.out(labels[4] + u'\n');
}

// The depth check: the formula's own rainfall over the duration, to compare
// with the total above.
void printFormulaDepth(const Storm &storm, const CliRequest &request, const Separators &sep,
                       CliOutput &output)
{
    if (storm.kind == StormKind::Long) {
        // A long-duration storm's check is its design depth H_P(D) and its source.
        if (request.raw)
            output.out(QStringLiteral("design-depth\t") + full(LongStormDesignDepth(storm)) + u'\n');
        else
            output.out(FormulaDepthText(storm, request.precision, sep) + u'\n');
        return;
    }
    const double depth = FormulaDepth(storm);
    if (request.raw)
        output.out(QStringLiteral("formula-depth\t") + full(depth) + u'\n');
    else
        output.out(QStringLiteral("公式雨量=") + ShownValue(depth, request.precision, sep) +
                   QStringLiteral("mm\n"));
}

// Writes the exports the request asks for, as the window's commands write
// them, each complete beside its target in `stage`.
void writeExports(const RainPoints &points, const Storm &storm, const CliRequest &request,
                  const Separators &sep, CliOutput &output, FileStage &stage)
{
    const auto staged = [&stage](const QString &path) { return FileTarget(path, &stage); };
    // The rows' texts are formed only for the outputs asked for, and the
    // CSV and SWMM files a piece at a time as they are written.
    const PointRows rows(points, request.timeFormat, request.precision, sep);
    const auto toOutput = [&output](QByteArrayView chunk) { output.write(chunk); };
    if (request.csvPath == StandardOutputPath)
        StreamCsv(rows, request.timeFormat, toOutput);
    else if (!request.csvPath.isEmpty())
        WriteCsvFile(staged(request.csvPath), rows, request.timeFormat);
    if (request.swmmPath == StandardOutputPath)
        StreamSwmmFragment(storm, toOutput);
    else if (!request.swmmPath.isEmpty())
        WriteSwmmFile(staged(request.swmmPath), storm);
    if (!request.swmmPath.isEmpty()) {
        if (const auto note = SwmmModeNote(storm))
            output.err(*note + u'\n');
    }
    if (!request.dataDocxPath.isEmpty())
        Documents().writeDataDocument(staged(request.dataDocxPath), rows, request.timeFormat);
    if (!request.drawsChart())
        return;
    const CliDrawing &drawing = Drawing();
    const ChartScene scene = drawing.stormScene(points, storm, request.precision, sep);
    if (!request.reportPath.isEmpty()) {
        const QByteArray png = Documents().encodePng(drawing.renderChart(scene, ReportPictureSize));
        Documents().writeCalcReport(staged(request.reportPath), storm, request.precision, rows,
                                    request.timeFormat, png, sep);
    }
    if (!request.picturePath.isEmpty())
        Documents().saveChartPicture(
            staged(request.picturePath),
            drawing.renderChart(scene, QSize(request.pictureWidth, request.pictureHeight)));
}

} // namespace

ExitStatus RunStormCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    CliRequest request;
    try {
        request = ParseCliArguments(given, sep);
        // Every file asked for is checked before any is written.
        RunFiles files;
        files.input(Option::Open, given.value(Option::Open), &Option::SaveStorm);
        files.output(Option::SaveStorm, request.saveStormPath);
        files.output(Option::Csv, request.csvPath);
        files.output(Option::Swmm, request.swmmPath);
        files.output(Option::DataDocx, request.dataDocxPath);
        files.output(Option::Report, request.reportPath);
        files.output(Option::Picture, request.picturePath);
        files.check();
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return FinishStormRun(request, sep, output);
}

ExitStatus FinishStormRun(CliRequest &request, const Separators &sep, CliOutput &output)
{
    // An export sent to standard output takes the place of the table there;
    // a file asked for takes the place of the table on the terminal.
    const bool printsTable = !request.writesToStandardOutput() && !request.writesFiles();
    const bool printsTotals = !request.writesToStandardOutput();
    RainPoints points;
    const auto failure = CalcRainPoints(request.storm, points, request.calcByShow, request.precision);
    if (printsTable)
        printRows(points, request, sep, output);
    // A storm that cannot be computed writes no file, its storm file included.
    if (failure) {
        output.err(QStringLiteral("出错：") + *failure + u'\n');
        return ExitStatus::ComputationFailed;
    }
    try {
        if (printsTotals) {
            printTotals(request.storm, request, sep, output);
            printFormulaDepth(request.storm, request, sep, output);
        }
    } catch (const PluvionError &error) {
        output.err(QStringLiteral("出错：") + error.description() + u'\n');
        return ExitStatus::ComputationFailed;
    }
    // Every file is written beside its target first and put in place only
    // when all are complete and standard output has taken what it was given.
    try {
        FileStage stage;
        if (!request.saveStormPath.isEmpty())
            WriteStormFile(FileTarget(request.saveStormPath, &stage), request.storm, sep);
        writeExports(points, request.storm, request, sep, output, stage);
        if (!output.finish())
            return ExitStatus::BadInput;
        stage.commit();
    } catch (const PluvionError &error) {
        if (error.kind() == PluvionErrorKind::OutOfMemory) {
            output.err(QStringLiteral("出错：") + error.description() + u'\n');
            return ExitStatus::ComputationFailed;
        }
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return ExitStatus::Success;
}
