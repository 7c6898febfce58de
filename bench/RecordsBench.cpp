// Speed of the path from rain-gauge records to a formula and a peak ratio:
// 50 years of 1-minute records listed densely (26.3 million rows, 552 MB;
// target ≤ 1 s on two cores and ≤ 600 MB peak memory) and the same records
// listing only the minutes with rain: reading, checking, samples for the 11
// standard durations, r, frequency analysis and fit; and the dense file's
// reading alone.
//
// The records are made once in a folder of the system's temporary folder
// (PLUVION_RECORDS_DIR to choose another) and reused while present.
//     pluvion-records-bench --write-records DIR   only writes them (for bench/compare-records-speed)
#include "fit/FitCase.h"
#include "records/PeakRatio.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sys/resource.h>

namespace {

constexpr int FirstYear = 1970;
constexpr int Years = 50;

// Appends "YYYY-MM-DD HH:MM,D.D\n".
void AppendRow(std::string &out, int year, int month, int day, int minuteOfDay, int tenths)
{
    char line[32];
    const int hour = minuteOfDay / 60;
    const int minute = minuteOfDay % 60;
    const int n = std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d,%d.%d\n", year, month, day, hour,
                                minute, tenths / 10, tenths % 10);
    out.append(line, size_t(n));
}

// Fifty years of made-up minute rain: storms on about one day in three (some
// 1,400 mm a year), each 30 to 600 minutes long with a triangular profile peaking 30 % to 50 % in,
// depths in tenths of a millimetre. Fixed seed: the same files every time.
void WriteRecords(const QString &folder)
{
    QDir().mkpath(folder);
    const QByteArray densePath = QFile::encodeName(QDir(folder).filePath(QStringLiteral("dense.csv")));
    const QByteArray sparsePath = QFile::encodeName(QDir(folder).filePath(QStringLiteral("sparse.csv")));
    FILE *dense = std::fopen((densePath + ".part").constData(), "wb");
    FILE *sparse = std::fopen((sparsePath + ".part").constData(), "wb");
    if (!dense || !sparse) {
        std::perror("records");
        std::exit(1);
    }
    std::fputs("time,depth\n", dense);
    std::fputs("time,depth\n", sparse);
    std::mt19937_64 random(20190721);
    std::uniform_real_distribution<double> unit(0, 1);
    std::exponential_distribution<double> stormDepth(1 / 10.0);
    std::vector<int> day(1440 + 600);
    std::string denseText;
    std::string sparseText;
    for (int year = FirstYear; year < FirstYear + Years; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int days = QDate(year, month, 1).daysInMonth();
            for (int d = 1; d <= days; ++d) {
                // A storm may run on past midnight: its tail is kept for the next day.
                std::copy(day.begin() + 1440, day.end(), day.begin());
                std::fill(day.begin() + 600, day.end(), 0);
                if (unit(random) < 0.3) {
                    const int start = int(unit(random) * 1440);
                    const int length = 30 + int(unit(random) * 570);
                    const double peak = (0.3 + 0.2 * unit(random)) * length;
                    const double total = stormDepth(random) * (0.5 + length / 300.0);
                    for (int k = 0; k < length; ++k) {
                        const double shape =
                            k < peak ? (k + 0.5) / peak : (length - k - 0.5) / (length - peak);
                        const double noise = 0.5 + unit(random);
                        day[size_t(start + k)] += int(std::lround(20 * total * shape * noise / length));
                    }
                }
                denseText.clear();
                sparseText.clear();
                for (int m = 0; m < 1440; ++m) {
                    const int tenths = std::min(day[size_t(m)], 999);
                    AppendRow(denseText, year, month, d, m, tenths);
                    if (tenths > 0)
                        AppendRow(sparseText, year, month, d, m, tenths);
                }
                std::fwrite(denseText.data(), 1, denseText.size(), dense);
                std::fwrite(sparseText.data(), 1, sparseText.size(), sparse);
            }
        }
    }
    std::fclose(dense);
    std::fclose(sparse);
    std::rename((densePath + ".part").constData(), densePath.constData());
    std::rename((sparsePath + ".part").constData(), sparsePath.constData());
}

QString RecordsFolder()
{
    const QByteArray chosen = qgetenv("PLUVION_RECORDS_DIR");
    return chosen.isEmpty() ? QDir(QDir::tempPath()).filePath(QStringLiteral("pluvion-records-bench"))
                            : QString::fromLocal8Bit(chosen);
}

QString RecordsFile(const QString &name)
{
    const QString folder = RecordsFolder();
    const QString path = QDir(folder).filePath(name);
    if (!QFileInfo::exists(path))
        WriteRecords(folder);
    return path;
}

void RunRecords(benchmark::State &state, const QString &path, RecordGaps gaps)
{
    for (auto _ : state) {
        RecordSettings settings;
        settings.gaps = gaps;
        const RainRecord record = ReadRainRecord({path}, settings);
        const RecordSamples samples = TakeRecordSamples(record, RecordSampling{});
        const PeakRatio peak = MeasurePeakRatio(samples);
        FitSettings fit;
        fit.input = FitInputKind::Samples;
        const FitOutcome outcome = FitSamples(RecordSampleTable(samples), fit);
        benchmark::DoNotOptimize(peak.r);
        benchmark::DoNotOptimize(outcome.total.a1);
        state.counters["rows"] = double(record.rows);
        state.counters["r"] = peak.r;
    }
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024;
}

void BM_RecordsDense50Years(benchmark::State &state)
{
    RunRecords(state, RecordsFile(QStringLiteral("dense.csv")), RecordGaps::Missing);
}

void BM_RecordsSparse50Years(benchmark::State &state)
{
    RunRecords(state, RecordsFile(QStringLiteral("sparse.csv")), RecordGaps::Zero);
}

// Reading the dense file alone: the rows of every minute, on two threads.
void BM_RecordsDenseRead(benchmark::State &state)
{
    const QString path = RecordsFile(QStringLiteral("dense.csv"));
    for (auto _ : state) {
        const RecordRows rows = ReadRecordFile(path, {});
        benchmark::DoNotOptimize(rows.depths.data());
        state.counters["rows"] = double(rows.minutes.size());
    }
}

} // namespace

// The sparse case first: the peak memory counter is the process's so far.
BENCHMARK(BM_RecordsSparse50Years)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_RecordsDense50Years)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_RecordsDenseRead)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-records") == 0) {
        WriteRecords(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
