// Batches of storms: the files they write, the summary against single
// computations, and failures that stop one storm but not the batch.
#include "export/StormBatch.h"

#include "export/CsvExport.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The storm computed on its own, as the window computes it.
struct SingleStorm
{
    Storm storm;
    RainPoints rows;
};

SingleStorm computeSingle(Storm storm, double period, double duration, int precision, bool calcByShow)
{
    storm.period = period;
    storm.duration = duration;
    SingleStorm single{storm, {}};
    EXPECT_FALSE(CalcRainPoints(single.storm, single.rows, calcByShow, precision));
    return single;
}

QByteArray singleCsv(const SingleStorm &single, int timeFormat, int precision, const Separators &sep)
{
    TableRows table;
    for (const RainPoint &row : single.rows)
        table.append(RowTexts(row, timeFormat, precision, sep));
    return CsvBytes(table, timeFormat);
}

QString errorOf(const StormBatchRequest &request, const Separators &sep = {})
{
    try {
        RunStormBatch(request, sep);
    } catch (const PluvionError &error) {
        return error.description();
    }
    return QStringLiteral("<no error>");
}

TEST(StormBatch, WritesEveryStormAndASummaryThatMatchesTheSingleStorms)
{
    QTemporaryDir dir;
    StormBatchRequest request;
    request.periods = {2, 10};
    request.durations = {120, 60};
    request.storm.step = 5;
    request.timeFormat = 1;
    request.folder = dir.filePath(QStringLiteral("new/batch")); // created with its parent
    QList<QPair<int, int>> told;
    const StormBatchOutcome outcome =
        RunStormBatch(request, {}, [&](const BatchStorm &, int place, int count) {
            told.append({place, count});
        });

    // Period by period, every duration in list order.
    const QList<QPair<double, double>> order = {{2, 120}, {2, 60}, {10, 120}, {10, 60}};
    ASSERT_EQ(outcome.storms.size(), order.size());
    EXPECT_EQ(told, (QList<QPair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    EXPECT_EQ(outcome.failedCount(), 0);

    const QStringList summary = DecodeLegacyLines(fileBytes(outcome.summaryPath));
    EXPECT_EQ(QFileInfo(outcome.summaryPath).fileName(), QStringLiteral("雨型汇总.csv"));
    ASSERT_EQ(summary.size(), 1 + order.size());
    EXPECT_EQ(summary[0],
              QStringLiteral("重现期P(年),降雨历时T(min),峰值比例r,计算步长(min),计算模式,降雨总量H(mm),"
                             "平均雨强i(mm/min),峰值雨强(mm/min),峰值时刻(min),公式雨量(mm)"));
    // GBK with CR LF after every line, as the CSV export writes.
    const QByteArray summaryBytes = fileBytes(outcome.summaryPath);
    EXPECT_EQ(summaryBytes.count("\r\n"), summary.size());
    EXPECT_EQ(summaryBytes.count('\n'), summary.size());
    EXPECT_EQ(summaryBytes, EncodeLegacyLines(summary));

    for (qsizetype i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(i);
        const BatchStorm &entry = outcome.storms[i];
        const SingleStorm single = computeSingle(request.storm, order[i].first, order[i].second, 4, false);
        // The storm's CSV is the window's export of the same storm, under its proposed name.
        EXPECT_EQ(entry.csvPath, QDir(request.folder).filePath(CsvProposedName(single.storm, {})));
        EXPECT_EQ(fileBytes(entry.csvPath), singleCsv(single, 1, 4, {}));
        EXPECT_TRUE(entry.rows.empty()); // not kept unless asked

        double peak = 0;
        double peakMinute = 0;
        for (const RainPoint &row : single.rows) {
            if (row.Intensity > peak) {
                peak = row.Intensity;
                peakMinute = row.Time;
            }
        }
        const QStringList expected = {GeneralNumberG(order[i].first),
                                      GeneralNumberG(order[i].second),
                                      QStringLiteral("0.4"),
                                      QStringLiteral("5"),
                                      QStringLiteral("瞬时雨强"),
                                      ShownValue(single.storm.totalDepth, 4),
                                      ShownValue(single.storm.averageIntensity, 4),
                                      ShownValue(peak, 4),
                                      QString::number(qint64(peakMinute)),
                                      ShownValue(FormulaDepth(single.storm), 4)};
        EXPECT_EQ(summary[i + 1], expected.join(u','));
    }
    // The start-up storm's known figures (P = 2, T = 120, listed every 5 minutes).
    // The peak is the table's: listed every 5 minutes, minute 50 rather than the storm's peak 48.
    EXPECT_EQ(summary[1], QStringLiteral("2,120,0.4,5,瞬时雨强,60.6345,0.5053,2.0517,50,60.2284"));
    EXPECT_EQ(QDir(request.folder).entryList(QDir::Files).size(), 1 + order.size());
}

TEST(StormBatch, BlockModeSummaryWithADecimalComma)
{
    // Block mode totals the formula depth; a decimal comma puts the numbers in quotes.
    QTemporaryDir dir;
    StormBatchRequest request;
    request.periods = {2};
    request.durations = {120, 90.5};
    request.storm.mode = CalcMode::Block;
    request.storm.step = 5;
    request.precision = 3;
    request.calcByShow = true;
    request.keepRows = true;
    request.folder = dir.path();
    const Separators comma{u',', u':'};
    const StormBatchOutcome outcome = RunStormBatch(request, comma);
    ASSERT_EQ(outcome.failedCount(), 0);

    const QStringList summary = DecodeLegacyLines(fileBytes(outcome.summaryPath));
    ASSERT_EQ(summary.size(), 3);
    EXPECT_TRUE(summary[1].startsWith(QStringLiteral("2,120,\"0,4\",5,时段平均,")));
    EXPECT_TRUE(summary[2].startsWith(QStringLiteral("2,\"90,5\",\"0,4\",5,时段平均,")));

    const SingleStorm single = computeSingle(request.storm, 2, 90.5, 3, true);
    EXPECT_EQ(outcome.storms[1].rows.size(), single.rows.size()); // kept for the charts
    EXPECT_EQ(outcome.storms[1].storm.totalDepth, single.storm.totalDepth);
    EXPECT_EQ(fileBytes(outcome.storms[1].csvPath), singleCsv(single, 0, 3, comma));
    EXPECT_TRUE(outcome.storms[1].csvPath.endsWith(QStringLiteral("P=2年 t=90,5分 r=0,4.csv")));
}

TEST(StormBatch, AFailingStormIsToldAndTheRestStillRun)
{
    QTemporaryDir dir;
    StormBatchRequest request;
    request.periods = {2, 5};
    request.durations = {60, 2e7, 120};
    request.folder = dir.path();

    QStringList told;
    const StormBatchOutcome outcome =
        RunStormBatch(request, {}, [&](const BatchStorm &storm, int place, int count) {
            told.append(QStringLiteral("%1/%2 %3 %4")
                            .arg(place)
                            .arg(count)
                            .arg(BatchStormName(storm.storm), storm.failure ? *storm.failure : QString()));
        });
    ASSERT_EQ(told.size(), 6);
    const QString refusal = QStringLiteral("降雨历时超出可计算范围：历时须为数值，且不超过 10000000 分钟");
    EXPECT_EQ(told[1], QStringLiteral("2/6 P=2 T=20000000 ") + refusal);
    EXPECT_EQ(told[4], QStringLiteral("5/6 P=5 T=20000000 ") + refusal);
    EXPECT_EQ(told[5], QStringLiteral("6/6 P=5 T=120 "));
    EXPECT_EQ(outcome.failedCount(), 2);
    EXPECT_TRUE(outcome.storms[1].csvPath.isEmpty());
    EXPECT_FALSE(outcome.storms[5].csvPath.isEmpty());

    // The summary holds the four that succeeded, in batch order.
    const QStringList summary = DecodeLegacyLines(fileBytes(outcome.summaryPath));
    ASSERT_EQ(summary.size(), 5);
    EXPECT_TRUE(summary[1].startsWith(QStringLiteral("2,60,")));
    EXPECT_TRUE(summary[2].startsWith(QStringLiteral("2,120,")));
    EXPECT_TRUE(summary[3].startsWith(QStringLiteral("5,60,")));
    EXPECT_TRUE(summary[4].startsWith(QStringLiteral("5,120,")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 5);

    // A file that cannot be written (a folder where the P=5 T=60 CSV goes)
    // ends the batch, and none of its files replaces what was there.
    QTemporaryDir blockedDir;
    request.folder = blockedDir.path();
    Storm blocked = request.storm;
    blocked.period = 5;
    blocked.duration = 60;
    ASSERT_TRUE(QDir(blockedDir.path()).mkdir(CsvProposedName(blocked, {})));
    const QString message = errorOf(request);
    EXPECT_TRUE(message.startsWith(QStringLiteral("无法写入文件“"))) << message.toStdString();
    EXPECT_EQ(QDir(blockedDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // A computation failure other than the length limit: P = 0 has no logarithm.
    request.periods = {0};
    request.durations = {60};
    const StormBatchOutcome none = RunStormBatch(request, {});
    ASSERT_EQ(none.failedCount(), 1);
    EXPECT_EQ(*none.storms[0].failure, QStringLiteral("Floating point division by zero"));
    EXPECT_EQ(DecodeLegacyLines(fileBytes(none.summaryPath)).size(), 1); // the header alone
}

TEST(StormBatch, RefusedBeforeAnythingIsWritten)
{
    QTemporaryDir dir;
    const QString aFile = dir.filePath(QStringLiteral("plain.txt"));
    QFile file(aFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString target = dir.filePath(QStringLiteral("out"));
    const struct
    {
        QList<double> periods;
        QList<double> durations;
        QString folder;
        QString message;
    } cases[] = {
        {{}, {60}, target, QStringLiteral("批量计算至少需要一个重现期和一个降雨历时")},
        {{2}, {}, target, QStringLiteral("批量计算至少需要一个重现期和一个降雨历时")},
        // 2 and 2.0 are one storm: its file would be written twice.
        {{2, 5, 2.0},
         {60},
         target,
         QStringLiteral("批量计算中有两个雨型的文件名相同：芝加哥雨型计算数据P=2年 t=60分 r=0.4.csv")},
        {{2}, {60}, aFile, QStringLiteral("无法创建输出文件夹 \"%1\"").arg(aFile)},
        {{2},
         {60},
         aFile + QStringLiteral("/below"),
         QStringLiteral("无法创建输出文件夹 \"%1/below\"").arg(aFile)},
    };
    for (const auto &c : cases) {
        StormBatchRequest request;
        request.periods = c.periods;
        request.durations = c.durations;
        request.folder = c.folder;
        EXPECT_EQ(errorOf(request), c.message);
        EXPECT_FALSE(QFileInfo::exists(target));
    }
}

TEST(StormBatch, FormulaIntensityIsTheDepthOverTheDuration)
{
    const Storm storm = StartUpStorm(); // T = 120
    EXPECT_DOUBLE_EQ(*FormulaIntensity(storm, 120), FormulaDepth(storm) / 120);
    // a / (t + b)^n with a = 9.5981 (1 + 0.846 lg 2) at one minute.
    EXPECT_NEAR(*FormulaIntensity(storm, 1), 9.5981 * (1 + 0.846 * std::log10(2.0)) / std::pow(8.0, 0.656),
                1e-12);
    Storm noPeriod = storm;
    noPeriod.period = 0;
    EXPECT_FALSE(FormulaIntensity(noPeriod, 60));
    EXPECT_FALSE(FormulaIntensity(storm, 0));
    EXPECT_FALSE(FormulaIntensity(storm, std::nan("")));
}

} // namespace
