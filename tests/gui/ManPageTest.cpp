// pluvion-cli's manual page holds every option of its usage text and the exit
// statuses, as man shows them.
#include "ManPage.h"

#include "cli/CliOptions.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ManPage, ListsEveryOptionOfTheUsageAndTheExitStatuses)
{
    const QString usage = CliUsage();
    const QString page = CliManPage(usage, QStringLiteral("2.08"));
    EXPECT_TRUE(page.startsWith(QStringLiteral(".TH PLUVION\\-CLI 1")));
    QStringList options;
    const QRegularExpression option(QStringLiteral("^  (--[a-z0-9-]+)"), QRegularExpression::MultilineOption);
    for (auto match = option.globalMatch(usage); match.hasNext();)
        options << match.next().captured(1);
    ASSERT_GT(options.size(), 30);
    for (QString name : options) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(page.contains(QStringLiteral(".TP\n\\fB") + name.replace(u'-', QStringLiteral("\\-")) +
                                  QStringLiteral("\\fR")));
    }
    for (const char *status : {".B 0\n", ".B 1\n", ".B 2\n"})
        EXPECT_TRUE(page.contains(QLatin1StringView(status))) << status;

    // As man formats it: no roff warnings, and the options as the user types them.
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty())
        GTEST_SKIP() << "man is not installed";
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("pluvion-cli.1"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(page.toUtf8());
    out.close();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
    process.setProcessEnvironment(env);
    process.start(man, {QStringLiteral("--warnings"), QStringLiteral("-l"), file});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), QString());
    for (const QString &name :
         {QStringLiteral("--fit-report"), QStringLiteral("--batch"), QStringLiteral("退出码")})
        EXPECT_TRUE(shown.contains(name)) << name.toStdString();
}
