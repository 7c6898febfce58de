// pluvion-cli run in process: a run writes all its files or none, never over
// its own input, and refuses what it would silently misread.
#include "InProcessCli.h"
#include "KnownFitTable.h"
#include "KnownRecords.h"
#include "TempFolder.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "io/StormFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QScopeGuard>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

class CliRunFiles : public TempFolderTest
{
protected:
    void SetUp() override
    {
        writeBytes(QStringLiteral("table.csv"), KnownTable());
        WriteKnownRecords(path(QStringLiteral("records")));
        for (const char *name : {"a.csv", "b.inp", "r.csv", "x.png"})
            writeBytes(QString::fromLatin1(name), QByteArray("old ") + name);
        WriteStormFile(path(QStringLiteral("s.txt")), StartUpStorm(), Separators{});
    }

    // Every file of the folder (records and outputs) with its bytes.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString name = it.next();
            QFile file(name);
            files.insert(QDir(m_dir.path()).relativeFilePath(name),
                         file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
        }
        return files;
    }

    QStringList withPaths(const QStringList &arguments) const
    {
        QStringList full;
        for (const QString &argument : arguments)
            full << (argument.startsWith(u'@') ? path(argument.mid(1)) : argument);
        return full;
    }
};

// Arguments: "@name" is the file of that name in the test's folder.
struct RefusedRun
{
    QStringList arguments;
    ExitStatus status;
    QString message;
};

TEST_F(CliRunFiles, CollisionsAndInputsAsOutputsAreRefusedBeforeAnythingIsWritten)
{
    ASSERT_TRUE(QFile::link(path(QStringLiteral("a.csv")), path(QStringLiteral("link.csv"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("table.csv")), path(QStringLiteral("table-link.csv"))));
    const RefusedRun cases[] = {
        {{QStringLiteral("--csv"), QStringLiteral("@x.csv"), QStringLiteral("--swmm"),
          QStringLiteral("@x.csv")},
         ExitStatus::BadInput,
         QStringLiteral("--csv 与 --swmm 指向同一个文件")},
        // One file under two spellings, and through a link.
        {{QStringLiteral("--csv"), QStringLiteral("@a.csv"), QStringLiteral("--swmm"),
          QStringLiteral("@records/../a.csv")},
         ExitStatus::BadInput,
         QStringLiteral("--csv 与 --swmm 指向同一个文件")},
        {{QStringLiteral("--csv"), QStringLiteral("@link.csv"), QStringLiteral("--data-docx"),
          QStringLiteral("@a.csv")},
         ExitStatus::BadInput,
         QStringLiteral("--csv 与 --data-docx 指向同一个文件")},
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--fit-report"),
          QStringLiteral("@y.csv"), QStringLiteral("--save-storm"), QStringLiteral("@y.csv")},
         ExitStatus::BadInput,
         QStringLiteral("--fit-report 与 --save-storm 指向同一个文件")},
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--fit-report"),
          QStringLiteral("@table-link.csv")},
         ExitStatus::BadInput,
         QStringLiteral("--fit-report 的文件“%1”正是 --fit 读入的文件")
             .arg(path(QStringLiteral("table-link.csv")))},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--durations"),
          QStringLiteral("3,5,10"), QStringLiteral("--save-samples"), QStringLiteral("@records/2005.csv")},
         ExitStatus::BadInput,
         QStringLiteral("正是 --records 读入的文件")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--durations"),
          QStringLiteral("3,5,10"), QStringLiteral("--save-samples"), QStringLiteral("@same.csv"),
          QStringLiteral("--fit-report"), QStringLiteral("@same.csv")},
         ExitStatus::BadInput,
         QStringLiteral("--fit-report 与 --save-samples 指向同一个文件")},
        {{QStringLiteral("--open"), QStringLiteral("@s.txt"), QStringLiteral("--csv"),
          QStringLiteral("@s.txt")},
         ExitStatus::BadInput,
         QStringLiteral("--csv 的文件“%1”正是 --open 读入的文件").arg(path(QStringLiteral("s.txt")))},
        {{QStringLiteral("--batch"), QStringLiteral("--out"), QStringLiteral("@out"),
          QStringLiteral("--compare-chart"), QStringLiteral("@c.png"), QStringLiteral("--idf-chart"),
          QStringLiteral("@c.png")},
         ExitStatus::BadInput,
         QStringLiteral("--compare-chart 与 --idf-chart 指向同一个文件")},
    };
    const auto before = snapshot();
    for (const RefusedRun &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliRun r = RunInProcess(withPaths(c.arguments));
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(snapshot(), before);
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("out"))));
    }
    // A storm file opened and saved again under its own name is no collision.
    const CliRun edited = RunInProcess(
        withPaths({QStringLiteral("--open"), QStringLiteral("@s.txt"), QStringLiteral("--period"),
                   QStringLiteral("5"), QStringLiteral("--save-storm"), QStringLiteral("@s.txt")}));
    ASSERT_EQ(edited.status, ExitStatus::Success) << edited.err.toStdString();
    Storm saved;
    ReadStormFile(path(QStringLiteral("s.txt")), saved, Separators{});
    EXPECT_EQ(saved.period, 5);
}

// A run that fails after some of its files are complete puts none of them in place.
TEST_F(CliRunFiles, AFailedRunLeavesEveryOldFileAsItWas)
{
    const auto before = snapshot();
    // The third target (the picture) is too large for the file-size limit:
    // the storm file and the CSV are complete by then and must not replace
    // the old files.
    {
        FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.active());
        const CliRun r = RunInProcess(
            withPaths({QStringLiteral("--save-storm"), QStringLiteral("@s.txt"), QStringLiteral("--csv"),
                       QStringLiteral("@a.csv"), QStringLiteral("--picture"), QStringLiteral("@x.png"),
                       QStringLiteral("--size"), QStringLiteral("1500x1500")}));
        EXPECT_EQ(r.status, ExitStatus::BadInput);
        EXPECT_TRUE(r.err.contains(
            QStringLiteral("无法写入文件“%1”：文件超过了允许的大小。").arg(path(QStringLiteral("x.png")))))
            << r.err.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
    // Standard output fails (a closed pipe) after the files are complete:
    // they stay beside their targets and are removed.
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--csv"), QStringLiteral("@a.csv"), QStringLiteral("--save-storm"),
                      QStringLiteral("@s.txt")},
          QStringList{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--fit-report"),
                      QStringLiteral("@r.csv"), QStringLiteral("--save-storm"), QStringLiteral("@s.txt")},
          QStringList{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--durations"),
                      QStringLiteral("3,5,10"), QStringLiteral("--save-samples"),
                      QStringLiteral("@r.csv")}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        CapturedStreams streams;
        streams.outCapacity = 10;
        const ExitStatus status = RunCommandLine(withPaths(arguments), Separators{}, streams);
        EXPECT_EQ(status, ExitStatus::BadInput);
        EXPECT_TRUE(QString::fromUtf8(streams.errBytes).contains(QStringLiteral("出错：无法写入标准输出")))
            << streams.errBytes.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
}

// On a full disk every output of the run stays as it was, with no stray
// temporary file. The disk is a small tmpfs, which needs root.
TEST_F(CliRunFiles, AFullDiskChangesNoOutput)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString disk = path(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });
    writeBytes(QStringLiteral("disk/report.csv"), "old report");
    writeBytes(QStringLiteral("disk/storm.txt"), "old storm");
    writeBytes(QStringLiteral("disk/samples.csv"), "old samples");
    // Filled to the last byte.
    QFile filler(path(QStringLiteral("disk/filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    while (filler.write("x", 1) == 1) {
    }
    filler.close();
    const QStringList names = QDir(disk).entryList(QDir::Files | QDir::Hidden);
    const CliRun r = RunInProcess(withPaths(
        {QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--durations"),
         QStringLiteral("3,5,10"), QStringLiteral("--save-samples"), QStringLiteral("@disk/samples.csv"),
         QStringLiteral("--fit-report"), QStringLiteral("@disk/report.csv"), QStringLiteral("--save-storm"),
         QStringLiteral("@disk/storm.txt")}));
    EXPECT_EQ(r.status, ExitStatus::BadInput);
    EXPECT_TRUE(r.err.contains(QStringLiteral("磁盘已满"))) << r.err.toStdString();
    EXPECT_EQ(readBytes(QStringLiteral("disk/report.csv")), "old report");
    EXPECT_EQ(readBytes(QStringLiteral("disk/storm.txt")), "old storm");
    EXPECT_EQ(readBytes(QStringLiteral("disk/samples.csv")), "old samples");
    EXPECT_EQ(QDir(disk).entryList(QDir::Files | QDir::Hidden), names);
}

TEST_F(CliRunFiles, OptionsThatWouldBeMisreadAreRefused)
{
    const RefusedRun cases[] = {
        {{QStringLiteral("--csv"), QStringLiteral("@a.csv"), QStringLiteral("--csv"),
          QStringLiteral("@b.csv")},
         ExitStatus::BadInput,
         QStringLiteral("参数 --csv 重复给出")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--save-samples"),
          QStringLiteral("@a.csv"), QStringLiteral("--save-samples"), QStringLiteral("@b.csv")},
         ExitStatus::BadInput,
         QStringLiteral("参数 --save-samples 重复给出")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--samples"),
          QStringLiteral("annual-multiple"), QStringLiteral("--sample-count"), QStringLiteral("0.5")},
         ExitStatus::BadInput,
         QStringLiteral("--sample-count 应为 1 至 10000 之间的整数，而不是 '0.5'")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--samples"),
          QStringLiteral("annual-multiple"), QStringLiteral("--sample-count"), QStringLiteral("44.9")},
         ExitStatus::BadInput,
         QStringLiteral("--sample-count 应为 1 至 10000 之间的整数，而不是 '44.9'")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--durations"),
          QStringLiteral(
              "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,"
              "32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,"
              "60,61")},
         ExitStatus::BadInput,
         QStringLiteral("--durations 有 61 个历时，超过上限 60 个")},
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--samples"),
          QStringLiteral("annual-max"), QStringLiteral("--fit-periods"), QStringLiteral("2,10001")},
         ExitStatus::BadInput,
         QStringLiteral("--fit-periods 的重现期应为大于 0、至多 10000 年的数，而不是 '2,10001'")},
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--samples"),
          QStringLiteral("annual-max"), QStringLiteral("--fit-periods"), QStringLiteral("2,1e300")},
         ExitStatus::BadInput,
         QStringLiteral("至多 10000 年的数")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--min-completeness"),
          QStringLiteral("90%")},
         ExitStatus::BadInput,
         QStringLiteral("--min-completeness 的取值应为数（以 . 作小数点），而不是 '90%'")},
        // The storm saved with a fitted formula: parameters that make no storm.
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--step"),
          QStringLiteral("-3"), QStringLiteral("--save-storm"), QStringLiteral("@s.txt")},
         ExitStatus::BadInput,
         QStringLiteral("--step 的计算步长应为正的整分钟数，而不是 '-3'")},
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--step"),
          QStringLiteral("0"), QStringLiteral("--save-storm"), QStringLiteral("@s.txt")},
         ExitStatus::BadInput,
         QStringLiteral("--step 的计算步长应为正的整分钟数，而不是 '0'")},
        {{QStringLiteral("--records"), QStringLiteral("@records"), QStringLiteral("--period"),
          QStringLiteral("0"), QStringLiteral("--save-storm"), QStringLiteral("@s.txt")},
         ExitStatus::BadInput,
         QStringLiteral("--period 的重现期应为大于 0 的年数，而不是 '0'")},
        {{QStringLiteral("--fit"), QStringLiteral("@table.csv"), QStringLiteral("--duration"),
          QStringLiteral("0"), QStringLiteral("--save-storm"), QStringLiteral("@s.txt")},
         ExitStatus::BadInput,
         QStringLiteral("--duration 的降雨历时应为大于 0 的分钟数，而不是 '0'")},
    };
    const auto before = snapshot();
    for (const RefusedRun &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliRun r = RunInProcess(withPaths(c.arguments));
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(snapshot(), before);
    }

    // The files of every --records add up.
    const CliRun both = RunInProcess(
        withPaths({QStringLiteral("--records"), QStringLiteral("@records/2001.csv"),
                   QStringLiteral("@records/2002.csv"), QStringLiteral("@records/2003.csv"),
                   QStringLiteral("--durations"), QStringLiteral("3,5,10"), QStringLiteral("--records"),
                   QStringLiteral("@records/2004.csv"), QStringLiteral("@records/2005.csv")}));
    ASSERT_EQ(both.status, ExitStatus::Success) << both.err.toStdString();
    EXPECT_TRUE(both.out.startsWith(QStringLiteral("记录文件 5 个"))) << both.out.toStdString();
}

} // namespace
