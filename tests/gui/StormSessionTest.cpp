#include "app/StormSession.h"

#include "app/ResultTableModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

TEST(StormSession, RefreshReplacesTheRowsOnlyWhenTheStormComputes)
{
    StormSession session(Separators{});
    QSignalSpy rowsChanged(&session, &StormSession::rowsChanged);
    EXPECT_EQ(session.exportRefusal(QStringLiteral("nothing")), QStringLiteral("nothing"));

    ASSERT_FALSE(session.refresh());
    EXPECT_EQ(rowsChanged.size(), 1);
    EXPECT_EQ(session.rows().size(), 121u);
    EXPECT_EQ(session.table().rowCount(), 121);
    EXPECT_NEAR(session.storm().totalDepth, 60.634473401081, 1e-9);
    EXPECT_FALSE(session.exportRefusal(QStringLiteral("nothing")));

    // The user edits a cell, then enters a storm that cannot be computed: the
    // rows, the cells and the edit stay those of the storm before, and every
    // export is refused with the failure named.
    ASSERT_TRUE(session.table().setData(session.table().index(3, 1), QStringLiteral("9.9"), Qt::EditRole));
    // Setting a storm computes it, and every change is announced.
    QSignalSpy stormChanged(&session, &StormSession::stormChanged);
    QSignalSpy failed(&session, &StormSession::computeFailed);
    QSignalSpy failureChanged(&session, &StormSession::failureChanged);
    Storm failing = session.storm();
    failing.duration = 60;
    failing.step = 0;
    EXPECT_EQ(session.setStorm(failing), QStringLiteral("Division by zero（计算步长 Δt = 0 分钟）"));
    EXPECT_EQ(stormChanged.size(), 1);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toString(), QStringLiteral("Division by zero（计算步长 Δt = 0 分钟）"));
    EXPECT_EQ(failureChanged.size(), 1);
    EXPECT_EQ(rowsChanged.size(), 1);
    EXPECT_EQ(session.rows().size(), 121u);
    EXPECT_EQ(session.table().cellText(3, 1), QStringLiteral("9.9"));
    EXPECT_EQ(session.storm().duration, 60);
    // What is shown is still the storm before, totals and all.
    EXPECT_EQ(session.shownStorm().duration, 120);
    EXPECT_NEAR(session.shownStorm().totalDepth, 60.634473401081, 1e-9);
    EXPECT_EQ(
        session.exportRefusal(QStringLiteral("nothing")),
        QStringLiteral("当前雨型计算出错（Division by zero（计算步长 Δt = 0 分钟）），没有可以输出的结果。\n"
                       "表格和图表仍是上一个雨型的结果。请修改参数，计算成功后再输出。"));

    // A storm that computes again: new rows, edits dropped, exports allowed.
    failing.step = 1;
    ASSERT_FALSE(session.updateStorm([](Storm &s) { s.step = 1; }));
    EXPECT_EQ(failureChanged.size(), 2);
    EXPECT_EQ(session.shownStorm().duration, 60);
    EXPECT_EQ(rowsChanged.size(), 2);
    EXPECT_EQ(session.rows().size(), 61u);
    EXPECT_NE(session.table().cellText(3, 1), QStringLiteral("9.9"));
    EXPECT_FALSE(session.failure());
    EXPECT_FALSE(session.exportRefusal(QStringLiteral("nothing")));
}

TEST(StormSession, CurrentRowIsAnnouncedOnceAndOnlyInsideTheRows)
{
    StormSession session(Separators{});
    ASSERT_FALSE(session.refresh());
    QSignalSpy moved(&session, &StormSession::currentRowChanged);
    EXPECT_TRUE(session.setCurrentRow(5));
    EXPECT_FALSE(session.setCurrentRow(5));
    EXPECT_TRUE(session.setCurrentRow(500)); // outside the rows: none
    EXPECT_EQ(session.currentRow(), -1);
    ASSERT_EQ(moved.size(), 2);
    EXPECT_EQ(moved[0][0].toInt(), 5);
    EXPECT_EQ(moved[1][0].toInt(), -1);
}

} // namespace

namespace {

// The options and the file are announced when they change, and only then.
TEST(StormSession, OptionsAndFileAreAnnounced)
{
    StormSession session(Separators{});
    QSignalSpy options(&session, &StormSession::optionsChanged);
    QSignalSpy file(&session, &StormSession::fileChanged);
    ViewOptions changed = session.options();
    changed.Precision = 6;
    session.setOptions(changed);
    session.setSeriesShown(changed.ShowAxis_Overall, changed.ShowAxis_Intensity); // no change
    session.setSeriesShown(false, true);
    EXPECT_EQ(options.size(), 2);
    EXPECT_EQ(session.options().Precision, 6);
    EXPECT_FALSE(session.options().ShowAxis_Overall);
    session.setFile(QStringLiteral("a.txt"));
    session.setFile(QStringLiteral("a.txt"));
    EXPECT_EQ(file.size(), 1);
}

} // namespace
