// pluvion-cli end to end: its output, its exit status and its messages.
#include <QProcess>
#include <QTemporaryDir>
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

TEST(Cli, StartUpStormAsTheTableShowsIt)
{
    const CliResult result = runCli({});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 121 + 2);
    EXPECT_EQ(lines[0], QStringLiteral("时间,降雨强度,降雨总量"));
    EXPECT_EQ(lines[1], QStringLiteral("00:00,0.1908,0.1908"));
    EXPECT_EQ(lines[49], QStringLiteral("00:48,3.3599,25.9954"));
    EXPECT_EQ(lines[121], QStringLiteral("02:00,0.1908,60.6345"));
    EXPECT_EQ(lines[122], QStringLiteral("降雨总量H=60.6345mm"));
    EXPECT_EQ(lines[123], QStringLiteral("平均雨强i=0.5053mm/min"));
}

TEST(Cli, ParametersShapeTheOutput)
{
    const CliResult raw = runCli({QStringLiteral("--raw"), QStringLiteral("--step"), QStringLiteral("5")});
    ASSERT_EQ(raw.status, 0);
    EXPECT_TRUE(raw.out.contains(QStringLiteral("50\t2.0516961350879")));
    EXPECT_TRUE(raw.out.contains(QStringLiteral("total\t60.63447340108")));
    EXPECT_EQ(raw.out.count(u'\n'), 25 + 2);

    const CliResult minutes = runCli({QStringLiteral("--time-format"), QStringLiteral("min"),
                                      QStringLiteral("--precision"), QStringLiteral("2"),
                                      QStringLiteral("--calc-by-show")});
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
    const QStringList storm = {QStringLiteral("--period"), QStringLiteral("5"), QStringLiteral("--duration"),
                               QStringLiteral("180"), QStringLiteral("--peak"), QStringLiteral("0.35"),
                               QStringLiteral("--log"), QStringLiteral("ln")};
    const CliResult saved = runCli(storm + QStringList{QStringLiteral("--save-storm"), path});
    ASSERT_EQ(saved.status, 0) << saved.err.toStdString();
    const CliResult opened = runCli({QStringLiteral("--open"), path});
    EXPECT_EQ(opened.out, saved.out);
    // Parameters on the command line override the file.
    const CliResult overridden = runCli({QStringLiteral("--open"), path, QStringLiteral("--duration"),
                                         QStringLiteral("120")});
    EXPECT_EQ(overridden.out.count(u'\n'), 1 + 121 + 2);
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
        {{QStringLiteral("--period"), QStringLiteral("abc")}, 2, QStringLiteral("'abc' is not a valid floating point value")},
        {{QStringLiteral("--step"), QStringLiteral("1.5")}, 2, QStringLiteral("'1.5' is not a valid integer value")},
        {{QStringLiteral("--bogus")}, 2, QStringLiteral("--bogus")},
        {{QStringLiteral("--open"), missing}, 2, QStringLiteral("Cannot open file \"%1\".").arg(missing)},
        {{QStringLiteral("--open"), QStringLiteral(PLUVION_CLI_PATH)}, 2, QStringLiteral("该文件不包含正确的数据格式，请确认后重试~")},
        {{QStringLiteral("--save-storm"), dir.path()}, 2, QStringLiteral("Cannot create file \"%1\".").arg(dir.path())},
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

} // namespace
