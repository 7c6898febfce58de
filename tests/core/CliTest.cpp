// pluvion-cli end to end: its output, its exit status and its messages.
#include "cli/Commands.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QSize>
#include <QTemporaryDir>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct CliResult
{
    int status = -1;
    QString out;
    QString err;
    QByteArray outBytes; // standard output as written
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the tool; `inChild`, when given, runs in the child process just
// before the tool starts (to set a resource limit or replace a stream).
CliResult runCli(const QStringList &arguments, const std::function<void()> &inChild = {})
{
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(PLUVION_CLI_PATH), arguments);
    process.waitForFinished(60000);
    const QByteArray out = process.readAllStandardOutput();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(out),
            QString::fromUtf8(process.readAllStandardError()), out};
}

TEST(Cli, StartUpStormAsTheTableShowsIt)
{
    const CliResult result = runCli({});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 121 + 3);
    EXPECT_EQ(lines[0], QStringLiteral("时间,降雨强度,降雨总量"));
    EXPECT_EQ(lines[1], QStringLiteral("00:00,0.1908,0.1908"));
    EXPECT_EQ(lines[49], QStringLiteral("00:48,3.3599,25.9954"));
    EXPECT_EQ(lines[121], QStringLiteral("02:00,0.1908,60.6345"));
    EXPECT_EQ(lines[122], QStringLiteral("降雨总量H=60.6345mm"));
    EXPECT_EQ(lines[123], QStringLiteral("平均雨强i=0.5053mm/min"));
    EXPECT_EQ(lines[124], QStringLiteral("公式雨量=60.2284mm"));
}

TEST(Cli, ParametersShapeTheOutput)
{
    const CliResult raw = runCli({QStringLiteral("--raw"), QStringLiteral("--step"), QStringLiteral("5")});
    ASSERT_EQ(raw.status, 0);
    EXPECT_TRUE(raw.out.contains(QStringLiteral("50\t2.0516961350879")));
    EXPECT_TRUE(raw.out.contains(QStringLiteral("total\t60.63447340108")));
    EXPECT_EQ(raw.out.count(u'\n'), 25 + 3);

    const CliResult minutes =
        runCli({QStringLiteral("--time-format"), QStringLiteral("min"), QStringLiteral("--precision"),
                QStringLiteral("2"), QStringLiteral("--calc-by-show")});
    ASSERT_EQ(minutes.status, 0);
    EXPECT_TRUE(minutes.out.contains(QStringLiteral("\n05,0.21,1.19\n")));
    EXPECT_TRUE(minutes.out.contains(QStringLiteral("\n120,0.19,")));

    // In the flow form the typed parameter is 166.7A1: 1000 gives A1 = 6.
    const CliResult flow = runCli({QStringLiteral("--form"), QStringLiteral("q"), QStringLiteral("--a1"),
                                   QStringLiteral("1000"), QStringLiteral("--raw")});
    const CliResult intensity = runCli({QStringLiteral("--a1=6"), QStringLiteral("--raw")});
    EXPECT_EQ(flow.out, intensity.out);
}

TEST(Cli, StormFileRoundTrip)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("storm.txt"));
    const QStringList storm = {QStringLiteral("--period"),   QStringLiteral("5"),
                               QStringLiteral("--duration"), QStringLiteral("180"),
                               QStringLiteral("--peak"),     QStringLiteral("0.35"),
                               QStringLiteral("--log"),      QStringLiteral("ln")};
    const CliResult saved = runCli(storm + QStringList{QStringLiteral("--save-storm"), path});
    ASSERT_EQ(saved.status, 0) << saved.err.toStdString();
    // Asked for a file, the tool prints the totals only; the storm read back
    // prints its table and the same totals.
    EXPECT_FALSE(saved.out.contains(QStringLiteral("时间,降雨强度,降雨总量")));
    EXPECT_EQ(saved.out.count(u'\n'), 3);
    const CliResult opened = runCli({QStringLiteral("--open"), path});
    EXPECT_TRUE(opened.out.endsWith(saved.out)) << saved.out.toStdString();
    EXPECT_EQ(opened.out, runCli(storm).out);
    // Parameters on the command line override the file.
    const CliResult overridden =
        runCli({QStringLiteral("--open"), path, QStringLiteral("--duration"), QStringLiteral("120")});
    EXPECT_EQ(overridden.out.count(u'\n'), 1 + 121 + 3);
}

TEST(Cli, BlockModeMeetsTheFormulaDepthAndExportsForSwmm)
{
    QTemporaryDir dir;
    const QString stormPath = dir.filePath(QStringLiteral("block.txt"));
    const QString swmmPath = dir.filePath(QStringLiteral("storm.inp"));
    const CliResult block = runCli(
        {QStringLiteral("--mode"), QStringLiteral("block"), QStringLiteral("--step"), QStringLiteral("5"),
         QStringLiteral("--save-storm"), stormPath, QStringLiteral("--swmm"), swmmPath});
    ASSERT_EQ(block.status, 0) << block.err.toStdString();
    // Files asked for: the totals are printed, the table is not.
    EXPECT_EQ(block.out.split(u'\n', Qt::SkipEmptyParts).size(), 3);
    const CliResult table = runCli(
        {QStringLiteral("--mode"), QStringLiteral("block"), QStringLiteral("--step"), QStringLiteral("5")});
    const QStringList lines = table.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 24 + 3);
    EXPECT_EQ(lines[24], QStringLiteral("01:55,0.1957,60.2284"));
    EXPECT_EQ(lines[25], QStringLiteral("降雨总量H=60.2284mm"));
    EXPECT_EQ(lines[27], QStringLiteral("公式雨量=60.2284mm"));
    QFile swmm(swmmPath);
    ASSERT_TRUE(swmm.open(QIODevice::ReadOnly));
    const QByteArray blockFragment = swmm.readAll();
    EXPECT_TRUE(
        blockFragment.contains("P2_T120_r0.4     INTENSITY 0:05     1.0      TIMESERIES P2_T120_r0.4\r\n"));
    EXPECT_FALSE(block.err.contains(QStringLiteral("时段平均"))) << block.err.toStdString();

    // An instantaneous storm's fragment holds the same block averages, and
    // the tool says so in one line.
    const QString instantPath = dir.filePath(QStringLiteral("instant.inp"));
    const CliResult instantSwmm =
        runCli({QStringLiteral("--step"), QStringLiteral("5"), QStringLiteral("--swmm"), instantPath});
    ASSERT_EQ(instantSwmm.status, 0) << instantSwmm.err.toStdString();
    EXPECT_EQ(instantSwmm.err.count(QStringLiteral("时段平均")), 1) << instantSwmm.err.toStdString();
    const QByteArray instantFragment = fileBytes(instantPath);
    EXPECT_EQ(instantFragment.mid(instantFragment.indexOf("\r\n")),
              blockFragment.mid(blockFragment.indexOf("\r\n")));

    // The mode travels in the storm file; --mode on the command line overrides it.
    EXPECT_EQ(runCli({QStringLiteral("--open"), stormPath}).out, table.out);
    const CliResult instant = runCli({QStringLiteral("--open"), stormPath, QStringLiteral("--mode"),
                                      QStringLiteral("instant"), QStringLiteral("--raw")});
    EXPECT_TRUE(instant.out.contains(QStringLiteral("total\t60.63447340108")));
    EXPECT_TRUE(instant.out.contains(QStringLiteral("\nformula-depth\t60.228")));

    const CliResult bad = runCli({QStringLiteral("--mode"), QStringLiteral("average")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("--mode"))) << bad.err.toStdString();
    const CliResult refused = runCli(
        {QStringLiteral("--mode"), QStringLiteral("block"), QStringLiteral("--peak"), QStringLiteral("1")});
    // A typed peak ratio is checked as the dialog checks it, before any computation.
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1\n"));
}

TEST(Cli, FailuresAndTheirExitStatus)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const struct
    {
        QStringList arguments;
        int status;
        QString message;
    } cases[] = {
        {{QStringLiteral("--step"), QStringLiteral("0")}, 1, QStringLiteral("出错：Division by zero")},
        {{QStringLiteral("--duration"), QStringLiteral("1e12")}, 1, QStringLiteral("10000000")},
        {{QStringLiteral("--period"), QStringLiteral("abc")},
         2,
         QStringLiteral("--period 的取值应为数（以 . 作小数点），而不是 'abc'")},
        {{QStringLiteral("--step"), QStringLiteral("1.5")},
         2,
         QStringLiteral("--step 的取值应为整数，而不是 '1.5'")},
        {{QStringLiteral("--bogus")}, 2, QStringLiteral("--bogus")},
        {{QStringLiteral("--open"), missing}, 2, QStringLiteral("无法读取文件“%1”：").arg(missing)},
        {{QStringLiteral("--open"), QStringLiteral(PLUVION_CLI_PATH)},
         2,
         QStringLiteral("该文件不包含正确的数据格式，请确认后重试~")},
        {{QStringLiteral("--save-storm"), dir.path()},
         2,
         QStringLiteral("无法写入文件“%1”：").arg(dir.path())},
        // The limit holds for the value, not for its whole minutes.
        {{QStringLiteral("--duration"), QStringLiteral("10000000.5")}, 1, QStringLiteral("10000000")},
        {{QStringLiteral("--size"), QStringLiteral("10001x10")}, 2, QStringLiteral("1 至 10000")},
        {{QStringLiteral("--size"), QStringLiteral("10x10001")}, 2, QStringLiteral("1 至 10000")},
    };
    for (const auto &c : cases) {
        const CliResult result = runCli(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
    }
    // The rows computed before a failure are still printed: r = 0 fails on minute 0,
    // b = 0 on the peak minute 48.
    const CliResult partial = runCli({QStringLiteral("--b"), QStringLiteral("0"), QStringLiteral("--raw")});
    EXPECT_EQ(partial.status, 1);
    EXPECT_EQ(partial.out.count(u'\n'), 48);
}

TEST(Cli, WritesTheWindowsExports)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("table.csv"));
    const QString data = dir.filePath(QStringLiteral("data.docx"));
    const QString report = dir.filePath(QStringLiteral("report.docx"));
    const QString bmp = dir.filePath(QStringLiteral("chart.bmp"));
    const CliResult result = runCli({QStringLiteral("--csv"), csv, QStringLiteral("--data-docx"), data,
                                     QStringLiteral("--report"), report, QStringLiteral("--picture"), bmp,
                                     QStringLiteral("--size"), QStringLiteral("300x200")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();

    // The CSV: GBK ("时间" is CA B1 BC E4), CR LF after every line, the table's texts.
    const QByteArray table = fileBytes(csv);
    EXPECT_TRUE(table.startsWith("\xCA\xB1\xBC\xE4(HH:MM),"));
    EXPECT_EQ(table.count("\r\n"), 1 + 121);
    EXPECT_EQ(table.count('\n'), 1 + 121);
    EXPECT_TRUE(table.contains("\r\n00:48,3.3599,25.9954\r\n"));
    EXPECT_TRUE(table.endsWith("\r\n02:00,0.1908,60.6345\r\n"));

    // Both documents are ZIP packages.
    EXPECT_TRUE(fileBytes(data).startsWith("PK\x03\x04"));
    EXPECT_TRUE(fileBytes(report).startsWith("PK\x03\x04"));

    // The picture, read by hand: a 24-bit bottom-up bitmap of the asked size.
    const QByteArray picture = fileBytes(bmp);
    ASSERT_GE(picture.size(), 54);
    const auto byteAt = [&](int at) { return quint32(quint8(picture[at])); };
    const auto u16 = [&](int at) { return byteAt(at) | byteAt(at + 1) << 8; };
    const auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };
    const int rowBytes = 300 * 3; // already a multiple of 4
    EXPECT_EQ(picture.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(2), quint32(picture.size()));
    EXPECT_EQ(u32(10), 54u);         // pixels right after the headers: no palette
    EXPECT_EQ(u32(14), 40u);         // BITMAPINFOHEADER
    EXPECT_EQ(qint32(u32(18)), 300); // width
    EXPECT_EQ(qint32(u32(22)), 200); // height, positive: bottom-up
    EXPECT_EQ(u16(26), 1u);
    EXPECT_EQ(u16(28), 24u);
    EXPECT_EQ(u32(30), 0u); // uncompressed
    EXPECT_EQ(picture.size(), 54 + rowBytes * 200);
    // Something is drawn: the pixels are not all of one colour.
    const QByteArray pixels = picture.mid(54);
    bool varied = false;
    for (qsizetype i = 3; i + 2 < pixels.size() && !varied; i += 3)
        varied = pixels.mid(i, 3) != pixels.left(3);
    EXPECT_TRUE(varied);

    // A scaled desktop (here QT_SCALE_FACTOR) does not change the size asked for.
    QProcess scaled;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    scaled.setProcessEnvironment(environment);
    scaled.start(QStringLiteral(PLUVION_CLI_PATH),
                 {QStringLiteral("--picture"), bmp, QStringLiteral("--size"), QStringLiteral("300x200")});
    ASSERT_TRUE(scaled.waitForFinished(60000));
    EXPECT_EQ(scaled.exitCode(), 0);
    const QByteArray scaledPicture = fileBytes(bmp);
    ASSERT_GE(scaledPicture.size(), 26);
    EXPECT_EQ(scaledPicture.mid(18, 8), picture.mid(18, 8)); // width and height: 300 x 200

    // An extension that names no picture type is refused before anything is written.
    const QString jpeg = dir.filePath(QStringLiteral("chart.jpeg"));
    const QString csv2 = dir.filePath(QStringLiteral("again.csv"));
    const CliResult refused = runCli({QStringLiteral("--csv"), csv2, QStringLiteral("--picture"), jpeg});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--picture")) && refused.err.contains(jpeg) &&
                refused.err.contains(QStringLiteral(".png")))
        << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(jpeg));
    EXPECT_FALSE(QFile::exists(csv2));
}

TEST(Cli, EmptyPathsAndStandardOutput)
{
    QTemporaryDir dir;
    const QString missing = QStringLiteral("缺少取值");
    const QString notToStdout = QStringLiteral("不能写到标准输出（-）");
    const QString out = dir.filePath(QStringLiteral("out"));
    const struct
    {
        QStringList arguments;
        QString message;
    } refused[] = {
        {{QStringLiteral("--csv"), QString()}, QStringLiteral("参数 --csv 缺少取值")},
        {{QStringLiteral("--save-storm"), QString()}, missing},
        {{QStringLiteral("--data-docx=")}, missing},
        {{QStringLiteral("--report"), QString()}, missing},
        {{QStringLiteral("--picture"), QString()}, missing},
        {{QStringLiteral("--swmm"), QString()}, missing},
        {{QStringLiteral("--open"), QString()}, missing},
        {{QStringLiteral("--batch"), QStringLiteral("--out=")}, QStringLiteral("参数 --out 缺少取值")},
        {{QStringLiteral("--batch"), QStringLiteral("--out"), out, QStringLiteral("--idf-chart"), QString()},
         missing},
        {{QStringLiteral("--data-docx"), QStringLiteral("-")},
         QStringLiteral("--data-docx 的文件") + notToStdout},
        {{QStringLiteral("--report"), QStringLiteral("-")}, notToStdout},
        {{QStringLiteral("--picture"), QStringLiteral("-")}, notToStdout},
        {{QStringLiteral("--save-storm"), QStringLiteral("-")}, notToStdout},
        {{QStringLiteral("--csv"), QStringLiteral("-"), QStringLiteral("--swmm"), QStringLiteral("-")},
         QStringLiteral("--csv 与 --swmm")},
        {{QStringLiteral("--raw"), QStringLiteral("--csv=-")}, QStringLiteral("--raw")},
    };
    for (const auto &c : refused) {
        const CliResult result = runCli(c.arguments);
        EXPECT_EQ(result.status, 2) << c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }

    // "-" sends the CSV or the SWMM fragment to standard output, byte for byte
    // as the file, in place of the table; the other exports still go to their files.
    const QString csv = dir.filePath(QStringLiteral("table.csv"));
    const QString swmm = dir.filePath(QStringLiteral("storm.inp"));
    const QString picture = dir.filePath(QStringLiteral("chart.png"));
    ASSERT_EQ(runCli({QStringLiteral("--csv"), csv, QStringLiteral("--swmm"), swmm}).status, 0);
    const CliResult csvOut = runCli({QStringLiteral("--csv"), QStringLiteral("-"), QStringLiteral("--swmm"),
                                     swmm, QStringLiteral("--picture"), picture});
    ASSERT_EQ(csvOut.status, 0) << csvOut.err.toStdString();
    EXPECT_EQ(csvOut.outBytes, fileBytes(csv));
    EXPECT_TRUE(QFileInfo(picture).size() > 0);
    const CliResult swmmOut = runCli({QStringLiteral("--swmm=-")});
    ASSERT_EQ(swmmOut.status, 0) << swmmOut.err.toStdString();
    EXPECT_EQ(swmmOut.outBytes, fileBytes(swmm));
}

// Standard output replaced in the child by a pipe nobody reads any more.
void closedPipeAsStandardOutput()
{
    int ends[2];
    if (pipe(ends) != 0)
        _exit(99);
    close(ends[0]);
    dup2(ends[1], STDOUT_FILENO);
    close(ends[1]);
}

// Standard output is part of the run: when it cannot be written, no file
// asked for replaces what was there.
TEST(Cli, AFailedStandardOutputWritesNoFile)
{
    QTemporaryDir dir;
    const QString expected = dir.filePath(QStringLiteral("expected.csv"));
    ASSERT_EQ(runCli({QStringLiteral("--csv"), expected}).status, 0);

    const struct
    {
        const char *name;
        std::function<void()> inChild;
        QString reason;
    } failures[] = {
        {"a closed pipe", closedPipeAsStandardOutput, QStringLiteral("管道的读取端已关闭。")},
        {"a full device",
         [] {
             const int full = open("/dev/full", O_WRONLY);
             if (full < 0)
                 _exit(99);
             dup2(full, STDOUT_FILENO);
         },
         QStringLiteral("磁盘已满。")},
    };
    for (const auto &failure : failures) {
        for (const QString &table : {QStringLiteral("--precision=4"), QStringLiteral("--help")}) {
            const QString csv = dir.filePath(QStringLiteral("table.csv"));
            QFile old(csv);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            old.close();
            const CliResult result = runCli({table, QStringLiteral("--csv"), csv}, failure.inChild);
            EXPECT_EQ(result.status, 2) << failure.name;
            EXPECT_TRUE(result.err.contains(QStringLiteral("出错：无法写入标准输出：") + failure.reason))
                << failure.name << ": " << result.err.toStdString();
            EXPECT_EQ(fileBytes(csv), QByteArray("old")) << failure.name;
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << failure.name;
        }
    }
}

TEST(Cli, ResourceLimitsEndInAMessage)
{
    QTemporaryDir dir;
    // Over the file-size limit the write fails with its reason and the old file stays.
    const QString csv = dir.filePath(QStringLiteral("old.csv"));
    QFile old(csv);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    const CliResult tooLarge =
        runCli({QStringLiteral("--duration"), QStringLiteral("1440"), QStringLiteral("--csv"), csv}, [] {
            const rlimit small{16 * 1024, 16 * 1024};
            setrlimit(RLIMIT_FSIZE, &small);
        });
    EXPECT_EQ(tooLarge.status, 2);
    EXPECT_TRUE(tooLarge.err.contains(QStringLiteral("文件超过了允许的大小"))) << tooLarge.err.toStdString();
    EXPECT_EQ(fileBytes(csv), QByteArray("old"));

    // A long value is quoted in part, not echoed whole.
    const QString huge(100000, u'7');
    const CliResult echoed = runCli({QStringLiteral("--a1"), huge + u'x'});
    EXPECT_EQ(echoed.status, 2);
    EXPECT_TRUE(echoed.err.contains(QStringLiteral("'") + huge.left(60) + QStringLiteral("…'")))
        << echoed.err.left(200).toStdString();
    EXPECT_LT(echoed.err.size(), 200);

    // No warning of Qt's own reaches the tool's user.
    QProcess quiet;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    quiet.setProcessEnvironment(environment);
    quiet.start(QStringLiteral(PLUVION_CLI_PATH), {QStringLiteral("--step"), QStringLiteral("60")});
    ASSERT_TRUE(quiet.waitForFinished(60000));
    EXPECT_EQ(quiet.exitCode(), 0);
    EXPECT_EQ(quiet.readAllStandardError(), QByteArray());
}

TEST(Cli, OutOfMemoryIsAFailureWithAMessage)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    // The tool starts in about 100 MB of address space; the 10,000,000 rows
    // of the longest storm need 240 MB more before anything is printed.
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("big.csv"));
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--duration"), QStringLiteral("10000000"), QStringLiteral("--csv"), csv},
          QStringList{QStringLiteral("--batch"), QStringLiteral("--duration"), QStringLiteral("10000000"),
                      QStringLiteral("--out"), dir.filePath(QStringLiteral("out"))}}) {
        const CliResult result = runCli(arguments, [] {
            const rlimit space{256u << 20, 256u << 20};
            setrlimit(RLIMIT_AS, &space);
        });
        EXPECT_EQ(result.status, 1) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("出错：内存不足"))) << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(csv));
    }
#endif
}

// Drawing a picture under a tight memory limit ends, whatever the limit:
// a complete picture, or a failure with its message; never a hang, never a
// crash, never a picture cut short.
TEST(Cli, PicturesUnderAMemoryLimitEndWithAPictureOrAMessage)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limits allow";
#else
    QTemporaryDir dir;
    for (const rlim_t megabytes : {96u, 100u, 128u, 256u}) {
        for (const char *option : {"--picture", "--report"}) {
            const QString target =
                dir.filePath(QLatin1StringView(option) == u"--picture" ? QStringLiteral("p.png")
                                                                       : QStringLiteral("r.docx"));
            QFile::remove(target);
            const CliResult result = runCli({QLatin1StringView(option), target}, [megabytes] {
                const rlimit space{megabytes << 20, megabytes << 20};
                setrlimit(RLIMIT_AS, &space);
            });
            SCOPED_TRACE(std::to_string(megabytes) + " MB " + option);
            ASSERT_NE(result.status, -1) << "no normal end: " << result.err.toStdString();
            if (result.status == 0) {
                EXPECT_GT(QFileInfo(target).size(), 10000);
            } else {
                EXPECT_TRUE(result.status == 1 || result.status == 2) << result.status;
                EXPECT_TRUE(result.err.startsWith(QStringLiteral("出错：内存不足")) ||
                            result.err.contains(QStringLiteral("内存不足以载入字体")))
                    << result.err.toStdString();
                EXPECT_FALSE(QFile::exists(target));
            }
        }
    }
#endif
}

} // namespace

namespace {

// The width and height a PNG's header gives.
QSize pngSize(const QByteArray &png)
{
    if (!png.startsWith("\x89PNG\r\n\x1a\n") || png.size() < 24)
        return {};
    const auto u32 = [&](int at) {
        return int(quint32(quint8(png[at])) << 24 | quint32(quint8(png[at + 1])) << 16 |
                   quint32(quint8(png[at + 2])) << 8 | quint32(quint8(png[at + 3])));
    };
    return {u32(16), u32(20)};
}

TEST(CliBatch, WritesEveryStormTheSummaryAndBothCharts)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("storms/2024"));
    const QString compare = dir.filePath(QStringLiteral("compare.png"));
    const QString idf = dir.filePath(QStringLiteral("idf.png"));
    const CliResult result =
        runCli({QStringLiteral("--batch"), QStringLiteral("--period"), QStringLiteral("2,5"),
                QStringLiteral("--duration=60,120"), QStringLiteral("--out"), out,
                QStringLiteral("--compare-chart"), compare, QStringLiteral("--idf-chart"), idf,
                QStringLiteral("--idf-log"), QStringLiteral("--size"), QStringLiteral("320x240")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    const QStringList progress = result.err.split(u'\n', Qt::SkipEmptyParts).filter(QStringLiteral("] P="));
    EXPECT_EQ(progress, (QStringList{QStringLiteral("[1/4] P=2 T=60"), QStringLiteral("[2/4] P=2 T=120"),
                                     QStringLiteral("[3/4] P=5 T=60"), QStringLiteral("[4/4] P=5 T=120")}));

    const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 5) << files.join(u' ').toStdString();
    EXPECT_TRUE(files.contains(QStringLiteral("雨型汇总.csv")));
    // Each storm's CSV is what the single-storm --csv writes for it.
    const QString single = dir.filePath(QStringLiteral("single.csv"));
    ASSERT_EQ(runCli({QStringLiteral("--period"), QStringLiteral("5"), QStringLiteral("--duration"),
                      QStringLiteral("60"), QStringLiteral("--csv"), single})
                  .status,
              0);
    EXPECT_EQ(fileBytes(QDir(out).filePath(QStringLiteral("芝加哥雨型计算数据P=5年 t=60分 r=0.4.csv"))),
              fileBytes(single));
    // The summary: GBK header and four rows; the start-up storm's row as its output gives it.
    const QByteArray summary = fileBytes(QDir(out).filePath(QStringLiteral("雨型汇总.csv")));
    EXPECT_EQ(summary.count("\r\n"), 1 + 4);
    EXPECT_TRUE(summary.contains("\r\n2,120,0.4,1,"));
    EXPECT_TRUE(summary.contains(",60.6345,0.5053,3.3599,48,60.2284\r\n"));

    EXPECT_EQ(pngSize(fileBytes(compare)), QSize(320, 240));
    EXPECT_EQ(pngSize(fileBytes(idf)), QSize(320, 240));
}

TEST(CliBatch, FailuresAndRefusals)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    // A duration over the length limit fails by name; the rest are written.
    const CliResult partial = runCli({QStringLiteral("--batch"), QStringLiteral("--duration"),
                                      QStringLiteral("60,2e7,120"), QStringLiteral("--out"), out});
    EXPECT_EQ(partial.status, 1);
    EXPECT_TRUE(partial.err.contains(QStringLiteral("[2/3] P=2 T=20000000 出错：降雨历时超出可计算范围")))
        << partial.err.toStdString();
    EXPECT_TRUE(partial.err.contains(QStringLiteral("[3/3] P=2 T=120\n")));
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(fileBytes(QDir(out).filePath(QStringLiteral("雨型汇总.csv"))).count("\r\n"), 1 + 2);

    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString fresh = dir.filePath(QStringLiteral("fresh"));
    const QStringList batch = {QStringLiteral("--batch"), QStringLiteral("--out"), fresh};
    const struct
    {
        QStringList arguments;
        QString message;
    } refused[] = {
        {{QStringLiteral("--batch")}, QStringLiteral("--out")},
        {batch + QStringList{QStringLiteral("--csv"), dir.filePath(QStringLiteral("a.csv"))},
         QStringLiteral("--csv 不能与 --batch 同用")},
        {batch + QStringList{QStringLiteral("--raw")}, QStringLiteral("--raw 不能与 --batch 同用")},
        {batch + QStringList{QStringLiteral("--period"), QStringLiteral("2,x")},
         QStringLiteral("--period 的取值应为数（以 . 作小数点），而不是 'x'")},
        {batch + QStringList{QStringLiteral("--period"), QStringLiteral("2,2")},
         QStringLiteral("文件名相同")},
        {batch + QStringList{QStringLiteral("--compare-chart"), dir.filePath(QStringLiteral("c.jpeg"))},
         QStringLiteral("--compare-chart 的文件扩展名")},
        {batch + QStringList{QStringLiteral("--idf-log")},
         QStringLiteral("--idf-log 只能与 --idf-chart 同用")},
        {{QStringLiteral("--batch"), QStringLiteral("--out"), blocker}, QStringLiteral("无法创建输出文件夹")},
        // Without --batch, lists and the batch's options are refused as before.
        {{QStringLiteral("--period"), QStringLiteral("1,2")},
         QStringLiteral("--period 的取值应为数（以 . 作小数点），而不是 '1,2'")},
        {{QStringLiteral("--out"), fresh}, QStringLiteral("--out 只能与 --batch 同用")},
        {{QStringLiteral("--idf-chart"), dir.filePath(QStringLiteral("i.png"))},
         QStringLiteral("--idf-chart 只能与 --batch 同用")},
    };
    for (const auto &c : refused) {
        const CliResult result = runCli(c.arguments);
        EXPECT_EQ(result.status, 2) << c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(c.message))
            << c.message.toStdString() << " / " << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(fresh));
    }
}

} // namespace

// Every command refuses exactly the options it does not declare, in one of
// three forms, and every option but the general ones belongs to a command.
TEST(Cli, ACommandRefusesWhatItDoesNotDeclare)
{
    QSet<QString> names;
    for (const CliOption *option : Option::All) {
        EXPECT_FALSE(names.contains(option->text())) << option->name;
        names.insert(option->text());
        EXPECT_EQ(FindOption(option->text()), option);
        bool anyCommand = false;
        for (const CliCommand &command : DeclaredCommands())
            anyCommand = anyCommand || command.accepted(*option);
        EXPECT_EQ(anyCommand, option->group != OptionGroup::General) << option->name;
        EXPECT_FALSE(CliOptionHelp(*option).contains(QStringLiteral("%1"))) << option->name;
    }
    for (const CliCommand &command : DeclaredCommands()) {
        for (const CliOption *option : Option::All) {
            if (option->group == OptionGroup::General)
                continue;
            GivenOptions given;
            if (command.selector)
                given.values.insert(command.selector, {QStringLiteral("x")});
            given.values.insert(option, {QStringLiteral("x")});
            const CliCommand &selected = SelectedCommand(given);
            if (&selected != &command)
                continue; // another command's selector
            try {
                CheckGivenOptions(command, given);
                EXPECT_TRUE(command.accepted(*option)) << option->name;
            } catch (const PluvionError &error) {
                EXPECT_FALSE(command.accepted(*option)) << option->name;
                EXPECT_TRUE(error.description().contains(option->text()))
                    << error.description().toStdString();
            }
        }
    }
    const struct
    {
        QStringList arguments;
        QString message;
    } refusals[] = {
        // Another command's selector, an option of the storm command's, one
        // only other commands take, and one the command derives.
        {{QStringLiteral("--records"), QStringLiteral("r"), QStringLiteral("--batch")},
         QStringLiteral("--records 不能与 --batch 同用\n")},
        {{QStringLiteral("--fit"), QStringLiteral("f"), QStringLiteral("--csv"), QStringLiteral("c")},
         QStringLiteral("--csv 不能与 --fit 同用\n")},
        {{QStringLiteral("--samples"), QStringLiteral("annual-max")},
         QStringLiteral("--samples 只能与 --fit 或 --records 同用\n")},
        {{QStringLiteral("--batch"), QStringLiteral("--durations"), QStringLiteral("5")},
         QStringLiteral("--durations 只能与 --records 同用\n")},
        {{QStringLiteral("--fit"), QStringLiteral("f"), QStringLiteral("--form"), QStringLiteral("q")},
         QStringLiteral("--fit 推求公式参数，不能同时给出 --form\n")},
        {{QStringLiteral("--batch"), QStringLiteral("--out"), QStringLiteral("o"),
          QStringLiteral("--idf-chart"), QStringLiteral("-")},
         QStringLiteral("--idf-chart 的文件不能写到标准输出（-）\n")},
    };
    for (const auto &c : refusals) {
        CapturedStreams streams;
        EXPECT_EQ(RunCommandLine(c.arguments, Separators{}, streams), ExitStatus::BadInput);
        EXPECT_EQ(QString::fromUtf8(streams.errBytes), c.message);
    }
}

// A run that draws nothing starts without the GUI libraries; one that draws
// loads them with the drawing module.
TEST(Cli, OnlyARunThatDrawsLoadsTheDrawing)
{
    QTemporaryDir folder;
    const auto loaded = [](const QStringList &arguments) {
        return runCli(arguments, [] { setenv("LD_DEBUG", "libs", 1); }).err;
    };
    const QString csv = folder.filePath(QStringLiteral("a.csv"));
    for (const QStringList &plain :
         {QStringList{QStringLiteral("--version")}, QStringList{QStringLiteral("--csv"), csv}}) {
        const QString libraries = loaded(plain);
        EXPECT_TRUE(libraries.contains(QStringLiteral("libQt6Core"))) << "LD_DEBUG gave nothing";
        EXPECT_FALSE(libraries.contains(QStringLiteral("libQt6Gui"))) << plain.join(u' ').toStdString();
        EXPECT_FALSE(libraries.contains(QStringLiteral("pluvion-drawing")));
        // Nor the Word and picture libraries.
        for (const char *library : {"pluvion-documents", "libzip", "libpng", "libjpeg", "libcrypto"})
            EXPECT_FALSE(libraries.contains(QLatin1StringView(library))) << library;
    }
    // A Word document loads the documents module, but draws nothing.
    const QString document =
        loaded({QStringLiteral("--data-docx"), folder.filePath(QStringLiteral("d.docx"))});
    EXPECT_TRUE(document.contains(QStringLiteral("pluvion-documents.so")));
    EXPECT_TRUE(document.contains(QStringLiteral("libzip")));
    EXPECT_FALSE(document.contains(QStringLiteral("libQt6Gui")));
    const QString picture = folder.filePath(QStringLiteral("p.png"));
    const QString drawn = loaded({QStringLiteral("--picture"), picture});
    EXPECT_TRUE(drawn.contains(QStringLiteral("pluvion-drawing.so")));
    EXPECT_TRUE(drawn.contains(QStringLiteral("libQt6Gui")));
    EXPECT_TRUE(QFile::exists(picture));
}
