// pluvion-cli --fit end to end: the printed formula and accuracy table, the
// storm file and the reports it writes, and its exit status for bad input.
#include "KnownFitTable.h"
#include "TempFolder.h"
#include "fit/BandTable.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"

#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct CliResult
{
    int status = -1;
    QString out;
    QString err;
};

CliResult runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(PLUVION_CLI_PATH), arguments);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class FitCliTest : public TempFolderTest
{
};

} // namespace

// Standard error without the resampling's progress lines, which a slow run
// (a sanitizer build, a busy machine) prints and a quick one does not.
static QString WithoutProgress(const QString &err)
{
    QStringList lines = err.split(u'\n');
    lines.removeIf([](const QString &line) { return line.startsWith(QStringLiteral("重抽样：")); });
    return lines.join(u'\n');
}

TEST_F(FitCliTest, FitsPrintsAndWritesTheStormAndReports)
{
    writeBytes(QStringLiteral("table.csv"), KnownTable());
    const CliResult r =
        runCli({QStringLiteral("--fit"), path(QStringLiteral("table.csv")), QStringLiteral("--period"),
                QStringLiteral("5"), QStringLiteral("--save-storm"), path(QStringLiteral("storm.txt")),
                QStringLiteral("--fit-report"), path(QStringLiteral("report.docx"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.startsWith(QStringLiteral("总公式：i = 10.0000(1 + 0.8000 lgP) / (t + 8.0000)^0.7000\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n5,0.0000,0.00%,合格\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n2~20年平均,0.0000,0.00%,合格\n")));

    Storm storm;
    ReadStormFile(path(QStringLiteral("storm.txt")), storm, Separators{});
    EXPECT_EQ(storm.form, FormulaForm::Intensity);
    EXPECT_NEAR(storm.a1, 10, 1e-4);
    EXPECT_NEAR(storm.c, 0.8, 1e-5);
    EXPECT_NEAR(storm.b, 8, 1e-4);
    EXPECT_NEAR(storm.n, 0.7, 1e-5);
    EXPECT_EQ(storm.log, Logarithm::Lg);
    EXPECT_EQ(storm.period, 5);
    EXPECT_TRUE(readBytes(QStringLiteral("report.docx")).startsWith("PK"));

    const CliResult ln =
        runCli({QStringLiteral("--fit"), path(QStringLiteral("table.csv")), QStringLiteral("--log"),
                QStringLiteral("ln"), QStringLiteral("--fit-report"), path(QStringLiteral("r.csv"))});
    ASSERT_EQ(ln.status, 0) << ln.err.toStdString();
    // C of ln P is C of lg P divided by ln 10.
    EXPECT_TRUE(ln.out.contains(QStringLiteral("(1 + 0.3474 lnP)")));
    // The CSV report is in GBK: 暴雨 is B1 A9 D3 EA.
    EXPECT_TRUE(readBytes(QStringLiteral("r.csv")).startsWith("\xB1\xA9\xD3\xEA"));
}

TEST_F(FitCliTest, BadInputIsRefusedWithItsReasonAndNothingWritten)
{
    writeBytes(QStringLiteral("table.csv"), KnownTable());
    writeBytes(QStringLiteral("bad.csv"), "P,2,5\n5,2,x\n10,1,1\n20,1,1\n");
    writeBytes(QStringLiteral("few.csv"), "年份,5,10,15\n1,10,12,14\n2,11,13,15\n3,9,12,13\n");
    const QString table = path(QStringLiteral("table.csv"));
    const struct
    {
        QStringList arguments;
        int status;
        const char16_t *message;
    } cases[] = {
        {{QStringLiteral("--fit"), path(QStringLiteral("bad.csv"))},
         2,
         u"第2行第3列的“x”不是数字（应为雨强（mm/min））。"},
        {{QStringLiteral("--fit"), path(QStringLiteral("missing.csv"))}, 2, u"无法读取文件"},
        {{QStringLiteral("--fit"), table, QStringLiteral("--b"), QStringLiteral("3")},
         2,
         u"不能同时给出 --b"},
        {{QStringLiteral("--fit"), table, QStringLiteral("--csv"), path(QStringLiteral("x.csv"))},
         2,
         u"--csv 不能与 --fit 同用"},
        {{QStringLiteral("--fit"), table, QStringLiteral("--distribution"), QStringLiteral("p3")},
         2,
         u"只用于 --samples"},
        {{QStringLiteral("--fit"), table, QStringLiteral("--samples"), QStringLiteral("annual-multiple")},
         2,
         u"需要 --years"},
        {{QStringLiteral("--fit"), path(QStringLiteral("few.csv")), QStringLiteral("--samples"),
          QStringLiteral("annual-max"), QStringLiteral("--distribution"), QStringLiteral("p3")},
         1,
         u"出错：历时 5 分钟只有3个样本，皮尔逊III型分布至少需要5个。"},
    };
    for (const auto &c : cases) {
        QStringList arguments = c.arguments;
        arguments << QStringLiteral("--save-storm") << path(QStringLiteral("storm.txt"))
                  << QStringLiteral("--fit-report") << path(QStringLiteral("report.docx"));
        const CliResult r = runCli(arguments);
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(QString::fromUtf16(c.message))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("storm.txt"))));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("report.docx"))));
    }
}

// Data plainly of the other layout are fitted as asked, with a word on standard
// error about what they look like; data of the layout asked for get no word.
TEST_F(FitCliTest, DataOfTheOtherLayoutAreNamed)
{
    writeBytes(QStringLiteral("table.csv"), KnownTable());
    writeBytes(QStringLiteral("samples.csv"), KnownSamples());
    const QString table = path(QStringLiteral("table.csv"));
    const QString series = path(QStringLiteral("samples.csv"));
    const struct
    {
        QStringList arguments;
        QString word; // empty: none
    } cases[] = {
        {{QStringLiteral("--fit"), table}, QString()},
        {{QStringLiteral("--fit"), series, QStringLiteral("--samples"), QStringLiteral("annual-max")},
         QString()},
        {{QStringLiteral("--fit"), series},
         QStringLiteral(
             "注意：这些数据看来是样本（第一格为年份，或各行以年份开头）：样本请加 --samples annual-max 或 "
             "annual-multiple。\n")},
        {{QStringLiteral("--fit"), table, QStringLiteral("--samples"), QStringLiteral("annual-max")},
         QStringLiteral("注意：这些数据看来是 i–t–P 表（第一格标明重现期 P）：i–t–P 表不用 --samples。\n")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult r = runCli(c.arguments);
        if (c.word.isEmpty())
            EXPECT_FALSE(r.err.contains(QStringLiteral("注意："))) << r.err.toStdString();
        else
            EXPECT_TRUE(r.err.startsWith(c.word)) << r.err.toStdString();
    }
}

namespace {

// An i–t–P table of i = a (1 + 0.8 lg P) / (t + b)^0.7; the 10-year column,
// when `oddTenYears`, falls off as no (t + b)^-n can follow.
QByteArray TableOf(double a, double b, bool oddTenYears = false)
{
    QByteArray text = "t\\P,2,5,10,20\n";
    for (int t : {5, 10, 15, 20, 30, 45, 60, 90, 120}) {
        text += QByteArray::number(t);
        for (double p : {2.0, 5.0, 10.0, 20.0}) {
            const double i = oddTenYears && p == 10 ? 1.5 * std::exp(-0.02 * t) + 0.3
                                                    : a * (1 + 0.8 * std::log10(p)) / std::pow(t + b, 0.7);
            text += ',' + QByteArray::number(i, 'f', 6);
        }
        text += '\n';
    }
    return text;
}

} // namespace

// The single-period formulas check the total formula: one that cannot
// converge is shown as such and named, and the run stands on the total.
// A total formula with b ≤ 0 describes its table but makes no Chicago storm.
TEST_F(FitCliTest, OnlyTheTotalFormulaDecidesTheRunAndOnlyAUsableOneMakesAStorm)
{
    writeBytes(QStringLiteral("odd.csv"), TableOf(10, 8, true));
    const CliResult odd = runCli({QStringLiteral("--fit"), path(QStringLiteral("odd.csv")),
                                  QStringLiteral("--fit-report"), path(QStringLiteral("odd-report.csv"))});
    ASSERT_EQ(odd.status, 0) << odd.err.toStdString();
    EXPECT_TRUE(odd.out.contains(QStringLiteral("\n10,未能收敛,,,\n"))) << odd.out.toStdString();
    EXPECT_TRUE(odd.err.startsWith(QStringLiteral("注意：重现期 10 年的单一重现期公式的拟合未能收敛")))
        << odd.err.toStdString();
    EXPECT_EQ(odd.err.count(u'\n'), 1);
    EXPECT_TRUE(DecodeLegacyLines(readBytes(QStringLiteral("odd-report.csv")))
                    .contains(QStringLiteral("10,未能收敛,,,")));

    writeBytes(QStringLiteral("below.csv"), TableOf(10, -1.5));
    writeBytes(QStringLiteral("storm.txt"), "old storm");
    const CliResult below = runCli({QStringLiteral("--fit"), path(QStringLiteral("below.csv"))});
    ASSERT_EQ(below.status, 0) << below.err.toStdString();
    EXPECT_TRUE(below.out.startsWith(
        QStringLiteral("总公式：i = 10.0000(1 + 0.8000 lgP) / (t − 1.5000)^0.7000\n注意：b = −1.5000 ≤ 0：")))
        << below.out.toStdString();
    const CliResult saved = runCli({QStringLiteral("--fit"), path(QStringLiteral("below.csv")),
                                    QStringLiteral("--save-storm"), path(QStringLiteral("storm.txt"))});
    EXPECT_EQ(saved.status, 1);
    EXPECT_TRUE(saved.err.contains(QStringLiteral("出错：推求的公式不能保存为雨型：b = −1.5000 ≤ 0")))
        << saved.err.toStdString();
    EXPECT_EQ(readBytes(QStringLiteral("storm.txt")), "old storm");
}

// Records of 10-minute rain: a step the timestamps contradict is refused, and
// at their own step a total formula that cannot converge ends the run with
// exit 1, yet the samples asked for are written.
TEST_F(FitCliTest, SamplesAreKeptWhenTheFitFails)
{
    QByteArray text = "时间,雨量\n";
    for (int year = 2001; year <= 2012; ++year) {
        for (int k = 0; k < 30; ++k) {
            const int minutes = 8 * 60 + 10 * k;
            const double depth = std::max(0.1, 0.5 + (15 - std::abs(k - 12)) * 0.6 * (1 + 0.1 * (year % 5)));
            text += QStringLiteral("%1-07-01 %2:%3,%4\n")
                        .arg(year)
                        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                        .arg(minutes % 60, 2, 10, QLatin1Char('0'))
                        .arg(depth, 0, 'f', 1)
                        .toUtf8();
        }
    }
    writeBytes(QStringLiteral("ten.csv"), text);
    const CliResult five = runCli({QStringLiteral("--records"), path(QStringLiteral("ten.csv")),
                                   QStringLiteral("--record-step"), QStringLiteral("5")});
    EXPECT_EQ(five.status, 2);
    EXPECT_TRUE(five.err.contains(QStringLiteral("记录的时间间隔为 10 分钟，与指定的步长 5 分钟不符")))
        << five.err.toStdString();

    writeBytes(QStringLiteral("storm.txt"), "old storm");
    const CliResult failed = runCli({QStringLiteral("--records"), path(QStringLiteral("ten.csv")),
                                     QStringLiteral("--samples"), QStringLiteral("annual-multiple"),
                                     QStringLiteral("--durations"), QStringLiteral("10,20,30,60,90,120,180"),
                                     QStringLiteral("--save-samples"), path(QStringLiteral("samples.csv")),
                                     QStringLiteral("--save-storm"), path(QStringLiteral("storm.txt"))});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.startsWith(QStringLiteral("出错：总公式的拟合未能收敛")))
        << failed.err.toStdString();
    EXPECT_TRUE(DecodeLegacyLines(readBytes(QStringLiteral("samples.csv")))
                    .startsWith(QStringLiteral("序号\\历时(min),10,20,30,60,90,120,180")));
    EXPECT_EQ(readBytes(QStringLiteral("storm.txt")), "old storm");
}

// --bands: the bands follow the fit's tables on standard output, the band
// file holds what the same resampling gives in process (same samples, B and
// seed), and the report ends with them; the level given names the limits.
TEST_F(FitCliTest, BandsArePrintedAndWrittenAsTheResamplingGivesThem)
{
    writeBytes(QStringLiteral("samples.csv"), KnownSamples());
    const QStringList fit{QStringLiteral("--fit"), path(QStringLiteral("samples.csv")),
                          QStringLiteral("--samples"), QStringLiteral("annual-max")};
    const CliResult r =
        runCli(fit + QStringList{QStringLiteral("--bands"), QStringLiteral("--bootstrap"),
                                 QStringLiteral("60"), QStringLiteral("--seed"), QStringLiteral("7"),
                                 QStringLiteral("--save-bands"), path(QStringLiteral("b.csv")),
                                 QStringLiteral("--fit-report"), path(QStringLiteral("r.csv"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(WithoutProgress(r.err).isEmpty()) << r.err.toStdString();
    const qsizetype accuracy = r.out.indexOf(QStringLiteral("\n2~20年平均,"));
    const qsizetype bands =
        r.out.indexOf(QStringLiteral("\n置信区间（90%）：参数,估计值,90%下限,90%上限,相对半宽\nA1,"));
    EXPECT_TRUE(accuracy > 0 && bands > accuracy) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nP = 10 a，t = 60 min：i = ")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("共 60 次（随机种子 7）")));

    FitSettings settings;
    settings.input = FitInputKind::Samples;
    BootstrapSettings resampling;
    resampling.fit = settings;
    resampling.resamples = 60;
    resampling.seed = 7;
    const BootstrapResult expected =
        RunBootstrap(SampleTableResampling(ParseSampleTable(KnownSamples())), resampling);
    EXPECT_EQ(readBytes(QStringLiteral("b.csv")), BandTableFileBytes(expected));
    const QString report = DecodeLegacyLines(readBytes(QStringLiteral("r.csv"))).join(u'\n');
    // A sample file does not say the years: its rows are drawn by position.
    EXPECT_TRUE(report.contains(QStringLiteral("\n置信区间（90%）\n按样本位置重抽样")))
        << report.toStdString();
    EXPECT_TRUE(report.endsWith(u'\n' + BandReading(expected, 50, 60))) << report.toStdString();

    const CliResult eighty = runCli(
        fit + QStringList{QStringLiteral("--bands=80"), QStringLiteral("--bootstrap"), QStringLiteral("20")});
    ASSERT_EQ(eighty.status, 0) << eighty.err.toStdString();
    EXPECT_TRUE(eighty.out.contains(QStringLiteral("置信区间（80%）：参数,估计值,80%下限,80%上限")));
}

// What the bands cannot be made of, or settings out of range, are refused
// before anything is fitted or written.
TEST_F(FitCliTest, BandOptionsAreCheckedBeforeAnythingIsWritten)
{
    writeBytes(QStringLiteral("samples.csv"), KnownSamples());
    writeBytes(QStringLiteral("table.csv"), KnownTable());
    const QStringList samples{QStringLiteral("--fit"), path(QStringLiteral("samples.csv")),
                              QStringLiteral("--samples"), QStringLiteral("annual-max")};
    const struct
    {
        QStringList arguments;
        const char16_t *message;
    } cases[] = {
        {samples + QStringList{QStringLiteral("--bootstrap"), QStringLiteral("100")},
         u"--bootstrap 只能与 --bands 同用"},
        {samples + QStringList{QStringLiteral("--seed"), QStringLiteral("3")}, u"--seed 只能与 --bands 同用"},
        {{QStringLiteral("--fit"), path(QStringLiteral("table.csv")), QStringLiteral("--bands")},
         u"--bands 只用于 --samples"},
        {samples + QStringList{QStringLiteral("--bands"), QStringLiteral("100")},
         u"--bands 的置信水平应为大于 0、小于 100 的百分数，而不是 '100'"},
        {samples + QStringList{QStringLiteral("--bands"), QStringLiteral("--bootstrap"), QStringLiteral("1")},
         u"--bootstrap 应为 2 至 100000 之间的整数，而不是 '1'"},
        {samples + QStringList{QStringLiteral("--bands"), QStringLiteral("--seed"), QStringLiteral("-4")},
         u"--seed 应为非负整数"},
        {samples + QStringList{QStringLiteral("--bands"), QStringLiteral("--save-bands"),
                               path(QStringLiteral("samples.csv"))},
         u"samples.csv"},
        {{QStringLiteral("--bands"), QStringLiteral("--period"), QStringLiteral("5")},
         u"--bands 只能与 --fit 或 --records 同用"},
    };
    for (const auto &c : cases) {
        QStringList arguments = c.arguments;
        if (!arguments.contains(QStringLiteral("--save-bands")) &&
            arguments.contains(QStringLiteral("--fit")))
            arguments << QStringLiteral("--fit-report") << path(QStringLiteral("report.csv"));
        const CliResult r = runCli(arguments);
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.contains(QString::fromUtf16(c.message))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("report.csv"))));
        EXPECT_EQ(readBytes(QStringLiteral("samples.csv")), KnownSamples());
    }
}

// A resample whose fit fails is left out of the bands and named, with its
// reason, on standard error and in the report.
TEST_F(FitCliTest, FailedResamplesAreNamedOnStandardErrorAndInTheReport)
{
    // A year of one large storm; without it, the 10-minute samples are all alike.
    writeBytes(QStringLiteral("samples.csv"),
               "年份,10,30,60\n1,30,50,70\n2,12,22,33\n3,12,25,36\n4,12,20,30\n5,12,27,38\n6,12,24,35\n");
    const CliResult r =
        runCli({QStringLiteral("--fit"), path(QStringLiteral("samples.csv")), QStringLiteral("--samples"),
                QStringLiteral("annual-max"), QStringLiteral("--distribution"), QStringLiteral("gumbel"),
                QStringLiteral("--fit-periods"), QStringLiteral("2,10,50"), QStringLiteral("--bands"),
                QStringLiteral("--bootstrap"), QStringLiteral("200"), QStringLiteral("--fit-report"),
                path(QStringLiteral("r.csv"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString reason = QStringLiteral("历时 10 分钟的样本全都相同，无法进行频率分析");
    EXPECT_TRUE(WithoutProgress(r.err).startsWith(QStringLiteral("注意：200 次重抽样中有 ")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("次拟合失败，未计入区间。第 ")));
    EXPECT_TRUE(r.err.contains(reason));
    const QString report = DecodeLegacyLines(readBytes(QStringLiteral("r.csv"))).join(u'\n');
    EXPECT_TRUE(report.contains(QStringLiteral("次拟合失败，未计入区间：第 ")) && report.contains(reason))
        << report.toStdString();
}
