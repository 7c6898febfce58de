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
    Storm failing = session.storm();
    failing.duration = 60;
    failing.step = 0;
    session.setStorm(failing);
    EXPECT_EQ(session.refresh(), QStringLiteral("Division by zero"));
    EXPECT_EQ(rowsChanged.size(), 1);
    EXPECT_EQ(session.rows().size(), 121u);
    EXPECT_EQ(session.table().cellText(3, 1), QStringLiteral("9.9"));
    EXPECT_EQ(session.storm().duration, 60);
    EXPECT_EQ(session.exportRefusal(QStringLiteral("nothing")),
              QStringLiteral("当前雨型计算出错（Division by zero），没有可以输出的结果。\n"
                             "表格和图表仍是上一个雨型的结果。请修改参数，计算成功后再输出。"));

    // A storm that computes again: new rows, edits dropped, exports allowed.
    failing.step = 1;
    session.setStorm(failing);
    ASSERT_FALSE(session.refresh());
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
