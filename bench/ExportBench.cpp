// The exports for a one-day storm (1,441 table rows) and pictures of the
// chart at its initial size (579 x 480); the CSV of long storms formed from
// their computed rows, as the tool and the window write it.
#include "export/CsvExport.h"
#include "export/PictureFiles.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

TableRows OneDayTable()
{
    Storm storm = StartUpStorm();
    storm.duration = 1440;
    RainPoints points;
    if (CalcRainPoints(storm, points, false, 4))
        return {};
    TableRows rows;
    for (const RainPoint &point : points)
        rows.append(RowTexts(point, 0, 4));
    return rows;
}

// A chart-like picture: white, a grid, a curve and bars.
RgbImage ChartLikePicture()
{
    const int width = 579;
    const int height = 480;
    RgbImage image{width, height, QByteArray(qsizetype(width) * height * 3, char(255))};
    auto set = [&](int x, int y, int r, int g, int b) {
        char *pixel = image.pixels.data() + (qsizetype(y) * width + x) * 3;
        pixel[0] = char(r);
        pixel[1] = char(g);
        pixel[2] = char(b);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (x % 50 == 0 || y % 40 == 0)
                set(x, y, 192, 192, 192);
            if (x % 6 < 4 && y < 30 + (x * 7) % 150)
                set(x, y, 70, 130, 180);
        }
    }
    for (int x = 0; x < width; ++x) {
        const int y = height - 1 - int(400 * std::exp(-std::pow((x - 230) / 60.0, 2)));
        set(x, y, 220, 20, 60);
    }
    return image;
}

void BM_CsvBytes(benchmark::State &state)
{
    const TableRows rows = OneDayTable();
    for (auto _ : state) {
        QByteArray bytes = CsvBytes(rows, 0);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * rows.size());
}

void BM_WriteCsvFile(benchmark::State &state)
{
    const TableRows rows = OneDayTable();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.csv"));
    for (auto _ : state)
        WriteCsvFile(path, rows, 0);
    state.SetItemsProcessed(state.iterations() * rows.size());
}

void BM_StreamCsvOfComputedRows(benchmark::State &state)
{
    Storm storm = StartUpStorm();
    storm.duration = double(state.range(0));
    RainPoints points;
    if (CalcRainPoints(storm, points, false, 4))
        state.SkipWithError("the storm failed");
    const PointRows rows(points, 0, 4);
    for (auto _ : state) {
        qsizetype bytes = 0;
        StreamCsv(rows, 0, [&](QByteArrayView chunk) { bytes += chunk.size(); });
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * qint64(points.size()));
}

void BM_EncodePicture(benchmark::State &state)
{
    const RgbImage image = ChartLikePicture();
    const auto type = PictureType(state.range(0));
    for (auto _ : state) {
        QByteArray bytes = EncodePicture(image, type);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_SaveChartPicture(benchmark::State &state)
{
    const RgbImage image = ChartLikePicture();
    QTemporaryDir dir;
    const char *names[] = {"chart.bmp", "chart.jpg", "chart.png"};
    const QString path = dir.filePath(QLatin1String(names[state.range(0)]));
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveChartPicture(path, image));
}

} // namespace

BENCHMARK(BM_CsvBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteCsvFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamCsvOfComputedRows)->Arg(1440)->Arg(1000000)->Unit(benchmark::kMillisecond);
// 0 BMP, 1 JPEG, 2 PNG
BENCHMARK(BM_EncodePicture)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveChartPicture)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
