// pluvion-cli's commands run in process: the usage, the version, and the
// fit's refusals, which must leave every file as it was.
#include "InProcessCli.h"
#include "KnownFitTable.h"
#include "TempFolder.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "io/StormFile.h"

#include <QFile>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

CliRun run(const QStringList &arguments)
{
    return RunInProcess(arguments);
}

// Annual maxima of three durations over twelve years.
QByteArray KnownSamples()
{
    QByteArray text = "年份,5,10,15\r\n";
    for (int year = 1; year <= 12; ++year) {
        const double base = 8 + (year * 7 % 12);
        text += QByteArray::number(year) + ',' + QByteArray::number(base) + ',' +
                QByteArray::number(base * 1.5) + ',' + QByteArray::number(base * 1.8) + "\r\n";
    }
    return text;
}

using CliCommands = TempFolderTest;

TEST_F(CliCommands, HelpListsEveryOptionAndTheExitStatusesAndWinsOverTheRest)
{
    for (const QStringList &arguments : {QStringList{QStringLiteral("--help")},
                                         QStringList{QStringLiteral("--fit"), QStringLiteral("x.csv"),
                                                     QStringLiteral("-h"), QStringLiteral("--bogus")}}) {
        const CliRun r = run(arguments);
        EXPECT_EQ(r.status, ExitStatus::Success);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        for (const char *option : {"--open",
                                   "--form",
                                   "--a1",
                                   "--log",
                                   "--period",
                                   "--peak",
                                   "--mode",
                                   "--csv",
                                   "--swmm",
                                   "--report",
                                   "--picture",
                                   "--size",
                                   "--save-storm",
                                   "--raw",
                                   "--batch",
                                   "--out",
                                   "--compare-chart",
                                   "--idf-chart",
                                   "--idf-log",
                                   "--fit ",
                                   "--fit-depth",
                                   "--samples",
                                   "--years",
                                   "--distribution",
                                   "--fit-periods",
                                   "--annual-max-periods",
                                   "--fit-report",
                                   "--records",
                                   "--record-step",
                                   "--record-unit",
                                   "--records-gaps",
                                   "--records-columns",
                                   "--min-completeness",
                                   "--max-minute-depth",
                                   "--durations",
                                   "--sample-count",
                                   "--save-samples",
                                   "--version"})
            EXPECT_TRUE(r.out.contains(QLatin1StringView(option))) << option;
        EXPECT_TRUE(r.out.contains(QStringLiteral("退出码")));
        EXPECT_TRUE(r.out.contains(QStringLiteral("  2  参数错误")));
    }
    const CliRun version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.status, ExitStatus::Success);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("pluvion-cli "))) << version.out.toStdString();
}

// A fit that fails on its arguments or its storm writes nothing: every
// target is checked before any is written, and an existing file stays.
TEST_F(CliCommands, FitRefusalsChangeNoFile)
{
    writeBytes(QStringLiteral("table.csv"), KnownTable());
    writeBytes(QStringLiteral("samples.csv"), KnownSamples());
    writeBytes(QStringLiteral("keep.csv"), "old report");
    writeBytes(QStringLiteral("results.docx"), "old document");
    writeBytes(QStringLiteral("plan.docx"), "old plan");
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("folder.txt"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(path(QStringLiteral("pipe.docx"))).constData(), 0600), 0);
    const QString table = path(QStringLiteral("table.csv"));
    const QString samples = path(QStringLiteral("samples.csv"));
    const QString fit = QStringLiteral("--fit");

    const struct
    {
        QStringList arguments;
        ExitStatus status;
        const char16_t *message;
    } cases[] = {
        // The report's name is used as given; its extension chooses the kind.
        {{fit, table, QStringLiteral("--fit-report"), path(QStringLiteral("results.v2"))},
         ExitStatus::BadInput,
         u"--fit-report 的文件扩展名应为 .docx 或 .csv"},
        {{fit, table, QStringLiteral("--fit-report"), path(QStringLiteral("plan.xlsx"))},
         ExitStatus::BadInput,
         u"--fit-report 的文件扩展名应为 .docx 或 .csv"},
        {{fit, table, QStringLiteral("--fit-report"), QStringLiteral("-")},
         ExitStatus::BadInput,
         u"--fit-report 的文件不能写到标准输出（-）"},
        {{fit, table, QStringLiteral("--fit-report"), QString()},
         ExitStatus::BadInput,
         u"参数 --fit-report 缺少取值"},
        {{fit, table, QStringLiteral("--fit-report"), path(QStringLiteral("pipe.docx"))},
         ExitStatus::BadInput,
         u"不是普通文件"},
        // Every target is checked first: the report is not written when the storm file cannot be.
        {{fit, table, QStringLiteral("--fit-report"), path(QStringLiteral("keep.csv")),
          QStringLiteral("--save-storm"), path(QStringLiteral("folder.txt"))},
         ExitStatus::BadInput,
         u"它是一个文件夹"},
        {{fit, table, QStringLiteral("--fit-report"), path(QStringLiteral("keep.csv")),
          QStringLiteral("--save-storm"), path(QStringLiteral("missing/s.txt"))},
         ExitStatus::BadInput,
         u"不存在"},
        // Periods: no repeats, at least two.
        {{fit, samples, QStringLiteral("--samples"), QStringLiteral("annual-max"),
          QStringLiteral("--fit-periods"), QStringLiteral("2,2"), QStringLiteral("--fit-report"),
          path(QStringLiteral("keep.csv"))},
         ExitStatus::BadInput,
         u"--fit-periods 的重现期 2 重复"},
        {{fit, samples, QStringLiteral("--samples"), QStringLiteral("annual-max"),
          QStringLiteral("--fit-periods"), QStringLiteral("5")},
         ExitStatus::BadInput,
         u"--fit-periods 至少需要两个不同的重现期"},
        // Options that do not apply are refused, not ignored.
        {{fit, table, QStringLiteral("--fit-periods"), QStringLiteral("2,5")},
         ExitStatus::BadInput,
         u"--fit-periods 只用于 --samples"},
        {{fit, table, QStringLiteral("--annual-max-periods")},
         ExitStatus::BadInput,
         u"--annual-max-periods 只用于 --samples"},
        {{fit, samples, QStringLiteral("--samples"), QStringLiteral("annual-max"), QStringLiteral("--years"),
          QStringLiteral("10")},
         ExitStatus::BadInput,
         u"--years 只用于 --samples annual-multiple"},
        {{fit, samples, QStringLiteral("--samples"), QStringLiteral("annual-max"),
          QStringLiteral("--annual-max-periods")},
         ExitStatus::BadInput,
         u"--annual-max-periods 只用于 --samples annual-multiple"},
        {{fit, samples, QStringLiteral("--samples"), QStringLiteral("annual-multiple"),
          QStringLiteral("--years"), QStringLiteral("536870912")},
         ExitStatus::BadInput,
         u"--years 应为 1 至 500 之间的整数"},
        {{fit, table, QStringLiteral("--size"), QStringLiteral("100x100")},
         ExitStatus::BadInput,
         u"--size 不能与 --fit 同用"},
        {{QStringLiteral("--fit-periods"), QStringLiteral("2,5")},
         ExitStatus::BadInput,
         u"--fit-periods 只能与 --fit 或 --records 同用"},
        // The fitted formula's storm: parameters that make no storm are
        // refused before the fit, the rest go through the storm's own checks.
        {{fit, table, QStringLiteral("--step"), QStringLiteral("0"), QStringLiteral("--fit-report"),
          path(QStringLiteral("keep.csv")), QStringLiteral("--save-storm"), path(QStringLiteral("s.txt"))},
         ExitStatus::BadInput,
         u"--step 的计算步长应为正的整分钟数，而不是 '0'"},
        {{fit, table, QStringLiteral("--period"), QStringLiteral("nan"), QStringLiteral("--save-storm"),
          path(QStringLiteral("s.txt"))},
         ExitStatus::BadInput,
         u"--period 的重现期应为大于 0 的年数，而不是 'nan'"},
        {{fit, table, QStringLiteral("--duration"), QStringLiteral("1e9"), QStringLiteral("--save-storm"),
          path(QStringLiteral("s.txt"))},
         ExitStatus::ComputationFailed,
         u"出错：推求的公式所生成的雨型无法计算"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliRun r = run(c.arguments);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(QString::fromUtf16(c.message))) << r.err.toStdString();
        EXPECT_EQ(readBytes(QStringLiteral("keep.csv")), "old report");
        EXPECT_EQ(readBytes(QStringLiteral("results.docx")), "old document");
        EXPECT_EQ(readBytes(QStringLiteral("plan.docx")), "old plan");
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("s.txt"))));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("results.v2"))));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("plan.xlsx"))));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("-"))));
    }
}

TEST_F(CliCommands, FitReportIsWrittenUnderExactlyTheNameGiven)
{
    writeBytes(QStringLiteral("table.csv"), KnownTable());
    const CliRun r = run({QStringLiteral("--fit"), path(QStringLiteral("table.csv")),
                          QStringLiteral("--fit-report"), path(QStringLiteral("Report.DOCX"))});
    ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
    EXPECT_TRUE(readBytes(QStringLiteral("Report.DOCX")).startsWith("PK"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Report.docx"))));
}

// Asked for a file, the storm command prints only the three totals.
TEST_F(CliCommands, StormWithAFilePrintsOnlyTheTotals)
{
    const CliRun quiet = run({QStringLiteral("--csv"), path(QStringLiteral("a.csv"))});
    ASSERT_EQ(quiet.status, ExitStatus::Success) << quiet.err.toStdString();
    EXPECT_EQ(quiet.out, QStringLiteral("降雨总量H=60.6345mm\n平均雨强i=0.5053mm/min\n公式雨量=60.2284mm\n"));
    const CliRun table = run({});
    EXPECT_TRUE(table.out.startsWith(QStringLiteral("时间,降雨强度,降雨总量\n00:00,0.1908,0.1908\n")));
    EXPECT_TRUE(table.out.endsWith(quiet.out));
}

} // namespace

// A typed peak ratio follows the new-storm dialog's rule, in every command.
TEST_F(CliCommands, PeakRatioOutsideZeroToOneIsRefusedAsTheDialogRefusesIt)
{
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--peak"), QStringLiteral("1.5")},
          QStringList{QStringLiteral("--peak"), QStringLiteral("0")},
          QStringList{QStringLiteral("--batch"), QStringLiteral("--out"), path(QStringLiteral("out")),
                      QStringLiteral("--peak"), QStringLiteral("1")}}) {
        const CliRun r = run(arguments);
        EXPECT_EQ(r.status, ExitStatus::BadInput) << arguments.join(u' ').toStdString();
        EXPECT_EQ(r.err, QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1\n"));
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out"))));
}
