// pluvion-cli: the storm generator without a window, for scripts and batch work.
#include "CliOptions.h"

#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

enum ExitStatus { Success = 0, ComputationFailed = 1, BadInput = 2 };

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
            print(stdout, full(point.Time) + u'\t' + full(point.Intensity) + u'\t'
                              + full(point.Overall) + u'\n');
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Separators sep = Separators::fromSystem();

    CliRequest request;
    try {
        RequireLegacyCodec();
        request = ParseCliArguments(app.arguments().mid(1), sep);
        if (request.help) {
            print(stdout, CliUsage());
            return Success;
        }
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
    return Success;
}
