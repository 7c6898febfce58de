// pluvion-cli --fit end to end: the printed formula and accuracy table, the
// storm file and the reports it writes, and its exit status for bad input.
#include "KnownFitTable.h"
#include "TempFolder.h"
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
         u"--fit 只能与"},
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
