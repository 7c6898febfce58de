// pluvion-cli --records … --long-storm run in process on the example
// records: what it states, the files it writes (their series totalling the
// design depth), the storm file reopened with --open, and its refusals.
#include "InProcessCli.h"
#include "TempFolder.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/ShownTexts.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QStringList ExampleRecords()
{
    const QDir folder(QStringLiteral(PLUVION_TEST_DATA "/../../docs/examples"));
    QStringList paths;
    for (const QString &name : folder.entryList({QStringLiteral("records-*.csv")}, QDir::Files))
        paths.append(folder.filePath(name));
    return paths;
}

CliRun runLong(const QStringList &options)
{
    return RunInProcess(QStringList{QStringLiteral("--records")} + ExampleRecords() + options);
}

// The rainfall of a SWMM series: each value in mm/h held over Δt minutes.
double SeriesDepth(const QByteArray &fragment, double step)
{
    double depth = 0;
    for (const QString &line : QString::fromUtf8(fragment).split(QStringLiteral("\r\n"))) {
        const QStringList cells = line.split(u' ', Qt::SkipEmptyParts);
        if (cells.size() == 3 && !line.startsWith(u';') && cells[1].contains(u':'))
            depth += cells[2].toDouble() * step / 60;
    }
    return depth;
}

class LongStormCli : public TempFolderTest
{
};

} // namespace

TEST_F(LongStormCli, BothMethodsWriteTheStormAndItsSeriesTotalsTheDesignDepth)
{
    const struct
    {
        const char *method;
        const char *states; // what stdout says the storm was built from
    } cases[] = {
        {"same-frequency", "典型暴雨：2011-07-21 09:25 开始，雨量 125.30 mm（最大的一场）\n"},
        {"pilgrim-cordery", "平均雨型：统计 11 场暴雨\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.method);
        const QString storm = path(QStringLiteral("storm.txt"));
        const CliRun r = runLong({QStringLiteral("--long-storm"), QString::fromLatin1(c.method),
                                  QStringLiteral("--period"), QStringLiteral("10"), QStringLiteral("--csv"),
                                  path(QStringLiteral("a.csv")), QStringLiteral("--swmm"),
                                  path(QStringLiteral("a.inp")), QStringLiteral("--save-storm"), storm});
        ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("记录文件 11 个，共 12195 行")));
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.states))) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\n5,17.64")));
        EXPECT_TRUE(r.out.contains(QStringLiteral("\n1440,116.15")));
        EXPECT_TRUE(r.out.endsWith(QStringLiteral("降雨总量H=116.1469mm\n平均雨强i=0.0807mm/min\n"
                                                  "设计雨量=116.1469mm（降雨记录）\n")));
        EXPECT_TRUE(r.err.endsWith(QStringLiteral("雨量相等的时段取较早者\n")));

        Storm saved;
        ASSERT_EQ(ReadStormFile(storm, saved, Separators{}), StormFileReadResult::Read);
        EXPECT_EQ(saved.kind, StormKind::Long);
        const double design = LongStormDesignDepth(saved);
        EXPECT_NEAR(SeriesDepth(readBytes(QStringLiteral("a.inp")), 5), design, 1e-9 * design);
        const QStringList csv = DecodeLegacyLines(readBytes(QStringLiteral("a.csv")));
        ASSERT_EQ(csv.size(), 289);
        EXPECT_EQ(csv[1], QStringLiteral("00:00,") + csv[1].section(u',', 1));
        EXPECT_EQ(csv.last().section(u',', 0, 0), QStringLiteral("23:55"));
        EXPECT_EQ(csv.last().section(u',', 2), QStringLiteral("116.1469"));

        // The storm file gives the same files again, and refuses what would change the storm.
        const CliRun again = RunInProcess({QStringLiteral("--open"), storm, QStringLiteral("--csv"),
                                           path(QStringLiteral("b.csv")), QStringLiteral("--swmm"),
                                           path(QStringLiteral("b.inp"))});
        ASSERT_EQ(again.status, ExitStatus::Success) << again.err.toStdString();
        EXPECT_EQ(readBytes(QStringLiteral("b.csv")), readBytes(QStringLiteral("a.csv")));
        EXPECT_EQ(readBytes(QStringLiteral("b.inp")), readBytes(QStringLiteral("a.inp")));
        const CliRun changed = RunInProcess(
            {QStringLiteral("--open"), storm, QStringLiteral("--duration"), QStringLiteral("60")});
        EXPECT_EQ(changed.status, ExitStatus::BadInput);
        EXPECT_EQ(changed.err,
                  QStringLiteral("--duration 不能修改长历时雨型（--open 读入的雨型由降雨记录推求）\n"));
        const CliRun fitted =
            RunInProcess(QStringList{QStringLiteral("--records")} + ExampleRecords() +
                         QStringList{QStringLiteral("--open"), storm, QStringLiteral("--save-storm"),
                                     path(QStringLiteral("fitted.txt"))});
        EXPECT_EQ(fitted.status, ExitStatus::BadInput);
        EXPECT_EQ(fitted.err,
                  QStringLiteral("--open 读入的是长历时雨型，不能用作保存推求公式的芝加哥雨型\n"));
    }
}

TEST_F(LongStormCli, ReportHoldsTheTypicalStormAndTheDepths)
{
    const QString report = path(QStringLiteral("report.docx"));
    const CliRun r = runLong({QStringLiteral("--long-storm"), QStringLiteral("same-frequency"),
                              QStringLiteral("--period"), QStringLiteral("10"), QStringLiteral("--report"),
                              report, QStringLiteral("--picture"), path(QStringLiteral("storm.png"))});
    ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), report, QStringLiteral("word/document.xml")});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    const QString document = QString::fromUtf8(unzip.readAllStandardOutput());
    EXPECT_TRUE(document.contains(QStringLiteral("典型暴雨：2011-07-21 09:25 开始的 1440 分钟降雨")));
    EXPECT_TRUE(document.contains(QStringLiteral("<w:t>17.64</w:t>")));
    EXPECT_TRUE(document.contains(QStringLiteral("<w:t>116.15</w:t>")));
    EXPECT_TRUE(document.contains(QStringLiteral("设计雨量 H_P(D) = 116.1469 mm（降雨记录）")));
    EXPECT_FALSE(readBytes(QStringLiteral("storm.png")).isEmpty());
}

TEST_F(LongStormCli, DepthsFromTheFormulaFittedToTheSameRecords)
{
    const CliRun r = runLong({QStringLiteral("--long-storm"), QStringLiteral("pilgrim-cordery"),
                              QStringLiteral("--period"), QStringLiteral("20"), QStringLiteral("--depths"),
                              QStringLiteral("formula"), QStringLiteral("--long-events"), QStringLiteral("5"),
                              QStringLiteral("--raw")});
    ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
    // Raw numbers alone on standard output; what the storm came from on standard error.
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("0\t")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\ndesign-depth\t")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("平均雨型：统计 5 场暴雨\n")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("嵌套历时的设计雨量（暴雨强度公式，i = ")));
}

TEST_F(LongStormCli, Refusals)
{
    const struct
    {
        QStringList options;
        ExitStatus status;
        const char *message;
    } cases[] = {
        {{QStringLiteral("--long-storm"), QStringLiteral("same-frequency")},
         ExitStatus::BadInput,
         "--long-storm 需要用 --period 给出设计重现期\n"},
        {{QStringLiteral("--long-storm"), QStringLiteral("nested"), QStringLiteral("--period"),
          QStringLiteral("5")},
         ExitStatus::BadInput,
         "--long-storm 的取值应为 same-frequency|pilgrim-cordery，而不是 'nested'\n"},
        {{QStringLiteral("--long-storm"), QStringLiteral("pilgrim-cordery"), QStringLiteral("--period"),
          QStringLiteral("5"), QStringLiteral("--typical-storm"), QStringLiteral("2011-07-21 09:25")},
         ExitStatus::BadInput,
         "--typical-storm 只用于 --long-storm same-frequency\n"},
        {{QStringLiteral("--long-storm"), QStringLiteral("same-frequency"), QStringLiteral("--period"),
          QStringLiteral("5"), QStringLiteral("--long-events"), QStringLiteral("3")},
         ExitStatus::BadInput,
         "--long-events 只用于 --long-storm pilgrim-cordery\n"},
        {{QStringLiteral("--long-storm"), QStringLiteral("same-frequency"), QStringLiteral("--period"),
          QStringLiteral("5"), QStringLiteral("--durations"), QStringLiteral("5,10")},
         ExitStatus::BadInput,
         "--durations 只用于 --depths formula\n"},
        {{QStringLiteral("--long-storm"), QStringLiteral("same-frequency"), QStringLiteral("--period"),
          QStringLiteral("5"), QStringLiteral("--b"), QStringLiteral("5")},
         ExitStatus::BadInput,
         "--b 不能与 --long-storm 同用\n"},
        {{QStringLiteral("--long-storm"), QStringLiteral("same-frequency"), QStringLiteral("--period"),
          QStringLiteral("5"), QStringLiteral("--typical-storm"), QStringLiteral("2011-07-21 09:30")},
         ExitStatus::ComputationFailed,
         "出错：2011-07-21 09:30 不是候选暴雨的开始时间"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        const CliRun r = runLong(c.options);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
    const CliRun alone = RunInProcess({QStringLiteral("--long-storm"), QStringLiteral("same-frequency")});
    EXPECT_EQ(alone.status, ExitStatus::BadInput);
    EXPECT_EQ(alone.err, QStringLiteral("--long-storm 需要用 --records 给出降雨记录\n"));
    const CliRun other = RunInProcess({QStringLiteral("--nest"), QStringLiteral("5,60")});
    EXPECT_EQ(other.err, QStringLiteral("--nest 只能与 --long-storm 同用\n"));
}
