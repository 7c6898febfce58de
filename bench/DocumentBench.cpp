// The Word documents for a one-day storm (1,441 table rows): the data
// document and the calculation report with a chart picture of 553 x 400
// (96 pixels per inch), in memory and as files.
#include "export/CalcReport.h"
#include "export/DataDocument.h"
#include "export/PictureFiles.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

struct OneDayStorm
{
    Storm storm = StartUpStorm();
    TableRows rows;

    OneDayStorm()
    {
        storm.duration = 1440;
        RainPoints points;
        if (CalcRainPoints(storm, points, false, 4))
            return;
        for (const RainPoint &point : points)
            rows.append(RowTexts(point, 0, 4));
    }
};

// A PNG of the report picture's size with a curve and bars, close to a chart in size.
QByteArray ChartLikePng()
{
    const int width = ReportPictureSize.width();
    const int height = ReportPictureSize.height();
    RgbImage image{width, height, QByteArray(qsizetype(width) * height * 3, char(255))};
    for (int x = 0; x < width; ++x) {
        const int bar = 30 + int(150 * std::exp(-std::pow((x - 220) / 80.0, 2)));
        const int curve = height - 1 - int(350 * std::exp(-std::pow((x - 220) / 40.0, 2)));
        for (int y = 0; y < height; ++y) {
            char *pixel = image.pixels.data() + (qsizetype(y) * width + x) * 3;
            if (x % 5 < 3 && y < bar) {
                pixel[0] = char(70), pixel[1] = char(130), pixel[2] = char(180);
            }
            if (y == curve || x % 50 == 0 || y % 40 == 0) {
                pixel[0] = char(220), pixel[1] = char(20), pixel[2] = char(60);
            }
        }
    }
    return EncodePicture(image, PictureType::Png);
}

void BM_DataDocumentInMemory(benchmark::State &state)
{
    const OneDayStorm day;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        WriteDataDocument(buffer, day.rows, 1);
        benchmark::DoNotOptimize(buffer.data().data());
    }
    state.SetItemsProcessed(state.iterations() * day.rows.size());
}

void BM_WriteDataDocument(benchmark::State &state)
{
    const OneDayStorm day;
    QTemporaryDir dir;
    const QString path = dir.filePath(DataDocumentProposedName(day.storm));
    for (auto _ : state)
        WriteDataDocument(path, day.rows, 1);
    state.SetItemsProcessed(state.iterations() * day.rows.size());
}

void BM_WriteCalcReport(benchmark::State &state)
{
    const OneDayStorm day;
    const QByteArray png = ChartLikePng();
    QTemporaryDir dir;
    const QString path = dir.filePath(CalcReportProposedName(day.storm));
    for (auto _ : state)
        WriteCalcReport(path, day.storm, 4, day.rows, 1, png);
    state.SetItemsProcessed(state.iterations() * day.rows.size());
}

// The chart picture the report carries, encoded (the window's share of the report).
void BM_ReportPicturePng(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ChartLikePng().data());
}

} // namespace

BENCHMARK(BM_DataDocumentInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteDataDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteCalcReport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportPicturePng)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
