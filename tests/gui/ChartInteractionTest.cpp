// Chart and table as two views of the same rows: pointing, clicking, moving
// in the table, and dragging the value labels.
#include "ScriptedPrompts.h"
#include "app/MainWindow.h"
#include "app/ResultTableModel.h"
#include "app/ResultTableView.h"
#include "chart/StormChart.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

class ChartInteractionTest : public ::testing::Test
{
protected:
    QTemporaryDir home;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
    StormChart *chart = nullptr;

    void SetUp() override
    {
        MainWindowSetup setup;
        setup.prompts = &prompts;
        setup.configurationFolder = home.path();
        window = std::make_unique<MainWindow>(setup);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        chart = window->findChild<StormChart *>("StormChart");
        chart->replot(QCustomPlot::rpImmediateRefresh);
    }

    QPoint linePoint(int index) const
    {
        const auto point = chart->intensitySeries()->data()->at(index);
        return QPointF(chart->xAxis->coordToPixel(point->key), chart->yAxis->coordToPixel(point->value))
            .toPoint();
    }
    // Halfway down bar `index`, which hangs from the top of the plot.
    QPoint barMiddle(int index) const
    {
        const RainPoint &bar = chart->overallSeries()->rows()[size_t(index)];
        return QPointF(chart->xAxis->coordToPixel(bar.Time), chart->yAxis2->coordToPixel(bar.Overall / 2))
            .toPoint();
    }
    int currentRow() const { return window->findChild<ResultTableView *>("GridData")->currentIndex().row(); }
    int hovered(QCPAbstractPlottable *series) const { return chart->hoveredIndex(series); }
};

TEST_F(ChartInteractionTest, PointingAtAPointMakesItsRowCurrentAndFramed)
{
    QTest::mouseMove(chart, linePoint(4));
    EXPECT_EQ(currentRow(), 4); // table row 5: the rows count from the header
    EXPECT_EQ(window->findChild<ResultTableView *>("GridData")->frameRow(), 4);
    EXPECT_EQ(hovered(chart->intensitySeries()), 4);
    EXPECT_EQ(hovered(chart->overallSeries()), 4);

    // Off every point: the frame goes, the row stays current.
    QTest::mouseMove(
        chart, QPoint(chart->width() / 2, chart->axisRect()->top() + chart->axisRect()->height() * 3 / 4));
    EXPECT_EQ(window->findChild<ResultTableView *>("GridData")->frameRow(), -1);
    EXPECT_EQ(currentRow(), 4);
}

TEST_F(ChartInteractionTest, TheLineWinsOverABarUnderTheMouse)
{
    chart->setRightMaximum(30); // long bars reach down past the peak of the line
    chart->replot(QCustomPlot::rpImmediateRefresh);
    // Right of the peak point 48, the first pixel the chart counts inside
    // bar 49 (where that is depends on the fonts, which set the plot's width).
    QPoint between = linePoint(48);
    while (chart->barIndexAt(between) != 49 && between.x() < linePoint(49).x())
        between.rx() += 1;
    ASSERT_EQ(chart->lineIndexAt(between), 48);
    ASSERT_EQ(chart->barIndexAt(between), 49);
    QTest::mouseMove(chart, between);
    EXPECT_EQ(currentRow(), 48);
}

TEST_F(ChartInteractionTest, BarsLinkWithTheLineHidden)
{
    QTest::mouseClick(window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity"), Qt::LeftButton);
    chart->replot(QCustomPlot::rpImmediateRefresh);
    QTest::mouseMove(chart, barMiddle(10));
    EXPECT_EQ(currentRow(), 10);
    EXPECT_EQ(window->findChild<ResultTableView *>("GridData")->frameRow(), 10);
    // A hidden line answers no pointing.
    EXPECT_EQ(chart->lineIndexAt(linePoint(10)), -1);
}

TEST_F(ChartInteractionTest, ClicksLinkBothWays)
{
    QTest::mouseClick(chart, Qt::LeftButton, {}, barMiddle(60));
    QTest::mouseMove(chart, QPoint(2, 2));
    QTest::mouseClick(chart, Qt::LeftButton, {}, barMiddle(0) + QPoint(0, 1));
    EXPECT_EQ(currentRow(), 0);
    EXPECT_EQ(hovered(chart->intensitySeries()), 0);
    EXPECT_EQ(hovered(chart->overallSeries()), 0);

    // Table row 7 marks point 6 of both series, by click and by arrow key.
    ResultTableView *grid = window->findChild<ResultTableView *>("GridData");
    const QRect cell = grid->visualRect(window->findChild<ResultTableModel *>()->index(6, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(hovered(chart->intensitySeries()), 6);
    EXPECT_EQ(hovered(chart->overallSeries()), 6);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(hovered(chart->intensitySeries()), 7);
    EXPECT_EQ(hovered(chart->overallSeries()), 7);
}

TEST_F(ChartInteractionTest, LabelsDragWithTheLeftButtonOnly)
{
    QLabel *label = window->findChild<QLabel *>("Label_T");
    const QPoint start = label->pos();
    EXPECT_EQ(label->toolTip(), QStringLiteral("按住拖动调整位置"));

    const QPoint grab(5, 5);
    QTest::mousePress(label, Qt::RightButton, {}, grab);
    QMouseEvent rightMove(QEvent::MouseMove, QPointF(grab + QPoint(30, 0)),
                          label->mapToGlobal(QPointF(grab + QPoint(30, 0))), Qt::NoButton, Qt::RightButton,
                          Qt::NoModifier);
    QApplication::sendEvent(label, &rightMove);
    QTest::mouseRelease(label, Qt::RightButton, {}, grab + QPoint(30, 0));
    EXPECT_EQ(label->pos(), start);

    QTest::mousePress(label, Qt::LeftButton, {}, grab);
    QMouseEvent leftMove(QEvent::MouseMove, QPointF(grab + QPoint(30, 0)),
                         label->mapToGlobal(QPointF(grab + QPoint(30, 0))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(label, &leftMove);
    QTest::mouseRelease(label, Qt::LeftButton, {}, grab);
    EXPECT_EQ(label->pos(), start + QPoint(30, 0));

    // The place stays through a refresh and a resize.
    window->refreshStorm();
    window->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(label->pos(), start + QPoint(30, 0));
}

// The chart's edges: a label let go outside the chart comes back wholly
// inside the plot area with its whole text (also when the chart shrinks), a block-average storm's time axis
// reaches its end with its first and last bars whole, and a new storm's table starts at its first row.
TEST_F(ChartInteractionTest, EdgesKeepLabelsBarsAndTheTableInView)
{
    QLabel *label = window->findChild<QLabel *>("Label_T");
    const QPoint grab(5, 5);
    QTest::mousePress(label, Qt::LeftButton, {}, grab);
    QMouseEvent far(QEvent::MouseMove, QPointF(grab + QPoint(4000, 3000)),
                    label->mapToGlobal(QPointF(grab + QPoint(4000, 3000))), Qt::NoButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(label, &far);
    QTest::mouseRelease(label, Qt::LeftButton, {}, grab);
    EXPECT_TRUE(chart->axisRect()->rect().contains(label->geometry())) << label->x() << "," << label->y();
    EXPECT_EQ(label->text(), chart->valueLabelText(1));
    window->resize(window->minimumSize());
    QApplication::processEvents();
    EXPECT_TRUE(chart->axisRect()->rect().contains(label->geometry()));

    Storm storm = window->session().storm();
    storm.mode = CalcMode::Block;
    storm.duration = 120;
    storm.step = 5;
    window->session().setStorm(storm);
    const RainPoints &rows = chart->overallSeries()->rows();
    ASSERT_EQ(rows.back().Time, 115);
    const double halfBar = chart->overallSeries()->width() / 2;
    EXPECT_EQ(chart->xAxis->range().upper, 120);
    EXPECT_LE(chart->xAxis->range().lower, rows.front().Time - halfBar);
    EXPECT_GE(chart->xAxis->range().upper, rows.back().Time + halfBar);

    auto *grid = window->findChild<ResultTableView *>("GridData");
    storm.mode = CalcMode::Instant;
    storm.step = 1;
    storm.duration = 1440;
    window->session().setStorm(storm);
    grid->scrollToBottom();
    ASSERT_GT(grid->verticalScrollBar()->value(), 0);
    storm.duration = 720;
    window->session().setStorm(storm);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
}

} // namespace

// A saved picture is the storm as drawn, without the marks of the point and
// bar the pointer was last on; the marks stay on the screen.
TEST_F(ChartInteractionTest, SavedPictureLeavesOutThePointersMarks)
{
    QTemporaryDir out;
    const QString plain = out.filePath(QStringLiteral("plain.png"));
    ASSERT_TRUE(window->SaveChartPicture(plain));
    QTest::mouseMove(chart, linePoint(48));
    ASSERT_EQ(hovered(chart->intensitySeries()), 48);
    ASSERT_EQ(hovered(chart->overallSeries()), 48);
    const QString pointed = out.filePath(QStringLiteral("pointed.png"));
    ASSERT_TRUE(window->SaveChartPicture(pointed));
    EXPECT_EQ(QImage(pointed), QImage(plain));
    EXPECT_EQ(hovered(chart->intensitySeries()), 48);
    EXPECT_EQ(hovered(chart->overallSeries()), 48);
    EXPECT_NE(chart->grab().toImage().convertToFormat(QImage::Format_RGB32),
              QImage(plain).convertToFormat(QImage::Format_RGB32));
}
