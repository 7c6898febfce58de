// pluvion-cli: the storm generator without a window, for scripts and batch work.
#include "BatchRun.h"
#include "CliOptions.h"
#include "FitRun.h"
#include "chart/ChartPicture.h"
#include "export/CalcReport.h"
#include "export/CsvExport.h"
#include "export/DataDocument.h"
#include "export/SwmmExport.h"
#include "export/WordTemplate.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"
#include "program/WriteSignals.h"

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

namespace {

// Why the first write to standard output failed, as stdio keeps only that it did.
int standardOutputError = 0;

void write(FILE *stream, QByteArrayView bytes)
{
    // Once a write has failed (a closed pipe, a full disk) the rest is not
    // attempted; the failure is told when the run ends.
    if (std::ferror(stream))
        return;
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) != size_t(bytes.size()) &&
        stream == stdout)
        standardOutputError = errno;
}

void print(FILE *stream, const QString &text)
{
    write(stream, text.toUtf8());
}

// Qt's own warnings (a missing runtime folder, a font it looked for) are no
// concern of the tool's user and would mix with its messages.
void dropQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        print(stderr, message + u'\n');
}

// Sends what is left for standard output; false, having said why on stderr,
// when any of it could not be written.
bool finishStandardOutput()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    const int error = standardOutputError != 0 ? standardOutputError : errno;
    QString message = QStringLiteral("出错：无法写入标准输出");
    if (error != 0)
        message += QStringLiteral("：") + qt_error_string(error);
    print(stderr, message + u'\n');
    return false;
}

QString full(double value)
{
    char text[NumberTextCapacity];
    return QString::fromLatin1(text, WriteFullPrecision(text, value) - text);
}

void printRows(const RainPoints &points, const CliRequest &request, const Separators &sep)
{
    if (request.raw) {
        // Formed in place: a long storm prints millions of these lines.
        char line[3 * NumberTextCapacity];
        for (const TRainPoint &point : points) {
            char *end = WriteFullPrecision(line, point.Time);
            *end++ = '\t';
            end = WriteFullPrecision(end, point.Intensity);
            *end++ = '\t';
            end = WriteFullPrecision(end, point.Overall);
            *end++ = '\n';
            std::fwrite(line, 1, size_t(end - line), stdout);
        }
        return;
    }
    const PointRows rows(points, request.timeFormat, request.precision, sep);
    const QString header = QStringLiteral("时间,降雨强度,降雨总量\n");
    if (rows.hasPlainRows()) {
        StreamPlainRows(rows, header.toUtf8(), LineEnd::Lf,
                        [](QByteArrayView chunk) { write(stdout, chunk); });
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
            print(stdout, text);
            text.resize(0);
        }
    }
    print(stdout, text);
}

void printTotals(const Storm &storm, const CliRequest &request, const Separators &sep)
{
    if (request.raw) {
        print(stdout, QStringLiteral("total\t") + full(storm.totalDepth) + u'\n');
        print(stdout, QStringLiteral("average\t") + full(storm.averageIntensity) + u'\n');
        return;
    }
    const auto labels = LabelTexts(storm, request.precision, sep);
    print(stdout, labels[3] + u'\n');
    print(stdout, labels[4] + u'\n');
}

// The depth check: the formula's own rainfall over the duration, to compare
// with the total above.
void printFormulaDepth(const Storm &storm, const CliRequest &request, const Separators &sep)
{
    const double depth = FormulaDepth(storm);
    if (request.raw)
        print(stdout, QStringLiteral("formula-depth\t") + full(depth) + u'\n');
    else
        print(stdout, QStringLiteral("公式雨量=") + ShownValue(depth, request.precision, sep) +
                          QStringLiteral("mm\n"));
}

// Writes the exports the request asks for, as the window's commands write them.
void writeExports(const RainPoints &points, const Storm &storm, const CliRequest &request,
                  const Separators &sep)
{
    // The rows' texts are formed only for the outputs asked for, and the
    // CSV and SWMM files a piece at a time as they are written.
    const PointRows rows(points, request.timeFormat, request.precision, sep);
    if (request.csvPath == StandardOutputPath)
        StreamCsv(rows, request.timeFormat, [](QByteArrayView chunk) { write(stdout, chunk); });
    else if (!request.csvPath.isEmpty())
        WriteCsvFile(request.csvPath, rows, request.timeFormat);
    if (request.swmmPath == StandardOutputPath)
        StreamSwmmFragment(storm, [](QByteArrayView chunk) { write(stdout, chunk); });
    else if (!request.swmmPath.isEmpty())
        WriteSwmmFile(request.swmmPath, storm);
    if (!request.swmmPath.isEmpty()) {
        if (const auto note = SwmmModeNote(storm))
            print(stderr, *note + u'\n');
    }
    if (!request.dataDocxPath.isEmpty())
        WriteDataDocument(request.dataDocxPath, WordTableTexts(rows));
    if (!request.drawsChart())
        return;
    const ChartScene scene = StormScene(points, storm, request.precision, sep);
    if (!request.reportPath.isEmpty()) {
        // The report's picture as a window at 96 pixels per inch draws it.
        const QSize size = ReportPictureSize;
        const QByteArray png = EncodePicture(RenderChart(scene, size), PictureType::Png);
        WriteCalcReport(request.reportPath, storm, request.precision, WordTableTexts(rows), png, sep);
    }
    if (!request.picturePath.isEmpty())
        SaveChartPicture(request.picturePath,
                         RenderChart(scene, QSize(request.pictureWidth, request.pictureHeight)));
}

// One run of the tool over its arguments, up to the exit status; what it
// prints may still wait in standard output's buffer.
ExitStatus run(const QStringList &arguments, const Separators &sep)
{
    CliRequest request;
    // The formula fit has options of its own.
    if (IsFitRequest(arguments))
        return RunFit(arguments, sep);
    try {
        RequireLegacyCodec();
        request = ParseCliArguments(arguments, sep);
        if (request.help) {
            print(stdout, CliUsage());
            return ExitStatus::Success;
        }
        if (request.batch)
            return RunCliBatch(request, sep);
        if (!request.saveStormPath.isEmpty())
            WriteStormFile(request.saveStormPath, request.storm, sep);
    } catch (const PluvionError &error) {
        print(stderr, error.description() + u'\n');
        return ExitStatus::BadInput;
    }

    // An export sent to standard output takes the place of the table there.
    const bool printsTable = !request.writesToStandardOutput();
    RainPoints points;
    const auto failure = CalcRainPoints(request.storm, points, request.calcByShow, request.precision);
    if (printsTable)
        printRows(points, request, sep);
    if (failure) {
        print(stderr, QStringLiteral("出错：") + *failure + u'\n');
        return ExitStatus::ComputationFailed;
    }
    try {
        if (printsTable) {
            printTotals(request.storm, request, sep);
            printFormulaDepth(request.storm, request, sep);
        }
    } catch (const PluvionError &error) {
        print(stderr, QStringLiteral("出错：") + error.description() + u'\n');
        return ExitStatus::ComputationFailed;
    }
    try {
        writeExports(points, request.storm, request, sep);
    } catch (const PluvionError &error) {
        print(stderr, error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    return ExitStatus::Success;
}

} // namespace

int main(int argc, char **argv)
{
    IgnoreWriteSignals();
    qInstallMessageHandler(dropQtMessages);
    // The tool shows no window: charts are drawn off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ExitStatus status = ExitStatus::Success;
    try {
        QApplication app(argc, argv);
        status = run(app.arguments().mid(1), Separators::fromSystem());
    } catch (const std::bad_alloc &) {
        print(stderr, QStringLiteral("出错：") + OutOfMemoryMessage() + u'\n');
        status = ExitStatus::ComputationFailed;
    }
    // The files are written by now, whatever became of standard output.
    if (!finishStandardOutput() && status == ExitStatus::Success)
        status = ExitStatus::BadInput;
    return int(status);
}
