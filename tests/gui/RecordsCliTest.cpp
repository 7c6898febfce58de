// pluvion-cli --records run in process: from record files to the years, the
// samples, r and the fit, the files it writes, and its refusals.
#include "InProcessCli.h"
#include "KnownRecords.h"
#include "TempFolder.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "records/RecordFile.h"

#include <gtest/gtest.h>

namespace {

CliRun run(const QStringList &arguments)
{
    return RunInProcess(arguments);
}

class RecordsCli : public TempFolderTest
{
protected:
    void writeRecords() { WriteKnownRecords(path(QStringLiteral("records"))); }
};

} // namespace

TEST_F(RecordsCli, FromRecordsToTheFormulaAndAStormWithTheMeasuredPeak)
{
    writeRecords();
    const QString samples = path(QStringLiteral("samples.csv"));
    const QString storm = path(QStringLiteral("storm.txt"));
    const CliRun r = run({QStringLiteral("--records"), path(QStringLiteral("records")),
                          QStringLiteral("--durations"), QStringLiteral("3,5,10"),
                          QStringLiteral("--save-samples"), samples, QStringLiteral("--save-storm"), storm,
                          QStringLiteral("--fit-report"), path(QStringLiteral("report.csv"))});
    ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(
        QStringLiteral("记录文件 12 个，共 144 行；步长 1 分钟（由记录判断）；未列出的时段按无雨计\n")));
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("\n2001,2001-07-01 10:00,2001-07-01 10:11,12,100.0%,43.75,使用\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("使用 12 年，未使用 0 年（完整率下限 90%）\n")));
    // 2001: scale 1.75, so 3 min 4+6+3 = 13 × 1.75 and 10 min 23 × 1.75.
    EXPECT_TRUE(r.out.contains(QStringLiteral("年份\\历时(min),3,5,10\n2001,22.75,29.75,40.25\n")));
    // Peaks: 3 min [4,6,3] → 1.5/3; 5 min [2,4,6,3,2] → 2.5/5; 10 min [1,2,4,6,3,2,2,1,1,1] → 3.5/10.
    EXPECT_TRUE(r.out.contains(QStringLiteral("峰值比例 r = 0.450（历时 3、5、10 分钟的平均）\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n总公式：i = ")));
    // The report lists the records it came from: the files, each year, the samples and r.
    const QString report = DecodeLegacyLines(readBytes(QStringLiteral("report.csv"))).join(u'\n');
    EXPECT_TRUE(report.contains(QStringLiteral("降雨记录,记录文件 12 个，共 144 行")));
    EXPECT_TRUE(
        report.contains(QStringLiteral("\n2001,2001-07-01 10:00,2001-07-01 10:11,12,100.0%,43.75,使用\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("\n2001,22.75,29.75,40.25\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("峰值比例 r = 0.450（历时 3、5、10 分钟的平均）")));

    Storm saved;
    ReadStormFile(storm, saved, Separators{});
    EXPECT_DOUBLE_EQ(saved.peakRatio, 0.45);
    // The saved samples fit again to the same formula.
    const CliRun again =
        run({QStringLiteral("--fit"), samples, QStringLiteral("--samples"), QStringLiteral("annual-max")});
    ASSERT_EQ(again.status, ExitStatus::Success) << again.err.toStdString();
    EXPECT_TRUE(r.out.contains(again.out.section(u'\n', 0, 0)));

    // --peak wins over the measured r; options after the files end the list.
    const CliRun peak =
        run({QStringLiteral("--records"), path(QStringLiteral("records/2001.csv")),
             path(QStringLiteral("records/2002.csv")), path(QStringLiteral("records/2003.csv")),
             QStringLiteral("--samples"), QStringLiteral("annual-multiple"), QStringLiteral("--sample-count"),
             QStringLiteral("3"), QStringLiteral("--durations"), QStringLiteral("3,5,10"),
             QStringLiteral("--peak"), QStringLiteral("0.4"), QStringLiteral("--save-storm"), storm});
    ASSERT_EQ(peak.status, ExitStatus::Success) << peak.err.toStdString();
    EXPECT_TRUE(peak.out.contains(QStringLiteral("记录文件 3 个")));
    EXPECT_TRUE(peak.out.contains(QStringLiteral("序号\\历时(min),3,5,10\n1,")));
    ReadStormFile(storm, saved, Separators{});
    EXPECT_DOUBLE_EQ(saved.peakRatio, 0.4);
}

TEST_F(RecordsCli, ASampleMeasuredAcrossAGapIsMarked)
{
    // Every minute listed that was recorded; 2001 lost 10:05, inside its storm.
    writeRecords();
    QByteArray bytes = readBytes(QStringLiteral("records/2001.csv"));
    const qsizetype cut = bytes.indexOf("2001-07-01 10:05");
    ASSERT_GT(cut, 0);
    bytes.remove(cut, bytes.indexOf('\n', cut) + 1 - cut);
    writeBytes(QStringLiteral("records/2001.csv"), bytes);
    const QString samples = path(QStringLiteral("samples.csv"));
    const CliRun r = run(
        {QStringLiteral("--records"), path(QStringLiteral("records")), QStringLiteral("--records-gaps"),
         QStringLiteral("missing"), QStringLiteral("--min-completeness"), QStringLiteral("0"),
         QStringLiteral("--durations"), QStringLiteral("3,5,10"), QStringLiteral("--save-samples"), samples});
    ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
    // 10 min: the 21 × 1.75 measured around the gap; 5 min: the 16 × 1.75 wholly before it.
    const QString note =
        QStringLiteral("注：2001 年 10 分钟样本的时段内缺测 1 分钟，样本为已测雨量（偏小）\n");
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n2001,22.75,28,36.75\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(note));
    EXPECT_TRUE(r.err.contains(note)) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(
        QStringLiteral("注：2001 年 10 分钟样本的时段内缺测 1 分钟，其峰值位置按已测雨量确定\n")));
    // The saved table, note and all, is read by --fit.
    const CliRun again =
        run({QStringLiteral("--fit"), samples, QStringLiteral("--samples"), QStringLiteral("annual-max")});
    ASSERT_EQ(again.status, ExitStatus::Success) << again.err.toStdString();
    EXPECT_TRUE(r.out.contains(again.out.section(u'\n', 0, 0)));
}

TEST_F(RecordsCli, RefusalsNameTheirReasonAndWriteNothing)
{
    writeRecords();
    writeBytes(QStringLiteral("bad.csv"), "时间,雨量\n2001-07-01 10:00,1\n2001-07-01 10:01,x\n");
    writeBytes(QStringLiteral("keep.csv"), "old samples");
    const QString records = path(QStringLiteral("records"));
    const QString keep = path(QStringLiteral("keep.csv"));
    const struct
    {
        QStringList arguments;
        ExitStatus status;
        QString message;
    } cases[] = {
        {{QStringLiteral("--record-step"), QStringLiteral("1")},
         ExitStatus::BadInput,
         QStringLiteral("--record-step 只能与 --records 同用")},
        {{QStringLiteral("--records"), records, QStringLiteral("--fit"), keep},
         ExitStatus::BadInput,
         QStringLiteral("--records 不能与 --fit 同用")},
        {{QStringLiteral("--records"), records, QStringLiteral("--years"), QStringLiteral("3")},
         ExitStatus::BadInput,
         QStringLiteral("--years 只能与 --fit 同用")},
        {{QStringLiteral("--records"), records, QStringLiteral("--a1"), QStringLiteral("3")},
         ExitStatus::BadInput,
         QStringLiteral("--records 推求公式参数，不能同时给出 --a1")},
        {{QStringLiteral("--records"), records, QStringLiteral("--record-step"), QStringLiteral("7")},
         ExitStatus::BadInput,
         QStringLiteral("--record-step 应为能整除 60 的分钟数（如 1 或 5），而不是 '7'")},
        {{QStringLiteral("--records"), records, QStringLiteral("--record-step"), QStringLiteral("5")},
         ExitStatus::BadInput,
         QStringLiteral("时间 2001-07-01 10:01 不在 5 分钟步长的整点上")},
        {{QStringLiteral("--records"), records, QStringLiteral("--durations"), QStringLiteral("5,10")},
         ExitStatus::BadInput,
         QStringLiteral("至少需要3个历时，现只有2个。")},
        {{QStringLiteral("--records"), records, QStringLiteral("--sample-count"), QStringLiteral("5")},
         ExitStatus::BadInput,
         QStringLiteral("--sample-count 只用于 --samples annual-multiple")},
        {{QStringLiteral("--records"), records, QStringLiteral("--min-completeness"), QStringLiteral("101")},
         ExitStatus::BadInput,
         QStringLiteral("--min-completeness 应为 0 至 100 之间的百分数，而不是 '101'")},
        {{QStringLiteral("--records"), path(QStringLiteral("bad.csv"))},
         ExitStatus::BadInput,
         QStringLiteral("第 3 行第 2 列：雨量“x”不是数字")},
        {{QStringLiteral("--records"), records, QStringLiteral("--records-gaps"), QStringLiteral("missing")},
         ExitStatus::ComputationFailed,
         QStringLiteral("出错：没有完整率达到 90% 的年份，无法取样")},
        {{QStringLiteral("--records"), records, QStringLiteral("--save-storm"),
          path(QStringLiteral("records"))},
         ExitStatus::BadInput,
         QStringLiteral("它是一个文件夹。")},
    };
    for (const auto &c : cases) {
        QStringList arguments = c.arguments;
        arguments << QStringLiteral("--save-samples") << keep;
        const CliRun r = run(arguments);
        EXPECT_EQ(r.status, c.status) << c.message.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(readBytes(QStringLiteral("keep.csv")), QByteArray("old samples"))
            << c.message.toStdString();
    }
}

// --bands on records: whole years are drawn, r gets a band too, the same seed
// gives the same band file, and the band file is checked with the run's other
// files before anything is written.
TEST_F(RecordsCli, BandsDrawWholeYearsAndTheirFileIsReproducible)
{
    writeRecords();
    const QStringList records{QStringLiteral("--records"),   path(QStringLiteral("records")),
                              QStringLiteral("--durations"), QStringLiteral("3,5,10"),
                              QStringLiteral("--bands"),     QStringLiteral("--bootstrap"),
                              QStringLiteral("40")};
    const CliRun r =
        run(records + QStringList{QStringLiteral("--save-bands"), path(QStringLiteral("a.csv")),
                                  QStringLiteral("--fit-report"), path(QStringLiteral("r.docx"))});
    ASSERT_EQ(r.status, ExitStatus::Success) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nr,0.4500,")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("按年重抽样：从所用的 12 年中有放回地抽取 12 年")));
    EXPECT_TRUE(readBytes(QStringLiteral("r.docx")).startsWith("PK"));

    const CliRun same =
        run(records + QStringList{QStringLiteral("--save-bands"), path(QStringLiteral("b.csv"))});
    ASSERT_EQ(same.status, ExitStatus::Success) << same.err.toStdString();
    EXPECT_EQ(readBytes(QStringLiteral("a.csv")), readBytes(QStringLiteral("b.csv")));
    const CliRun other =
        run(records + QStringList{QStringLiteral("--seed"), QStringLiteral("1"),
                                  QStringLiteral("--save-bands"), path(QStringLiteral("c.csv"))});
    ASSERT_EQ(other.status, ExitStatus::Success) << other.err.toStdString();
    EXPECT_NE(readBytes(QStringLiteral("a.csv")), readBytes(QStringLiteral("c.csv")));

    const CliRun collision =
        run(records + QStringList{QStringLiteral("--save-bands"), path(QStringLiteral("d.csv")),
                                  QStringLiteral("--save-samples"), path(QStringLiteral("d.csv"))});
    EXPECT_EQ(collision.status, ExitStatus::BadInput);
    EXPECT_TRUE(collision.err.contains(QStringLiteral("--save-bands"))) << collision.err.toStdString();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("d.csv"))));
}
