// Layouts that fit their fonts and the edges of the window: every caption
// shows whole, table columns hold their texts, the chart's axes and labels
// stay readable whatever the storm.
#include "ScriptedPrompts.h"
#include "app/MainWindow.h"
#include "app/ResultTableModel.h"
#include "app/ResultTableView.h"
#include "chart/StormChart.h"
#include "dialogs/OptionsDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A control shows whole: a check box or caption as wide as its size hint and
// as high as its line of text (the rest of the hint is the focus frame's
// room), every control inside the part of its parent that shows children
// (below a group's title) and inside the window.
void expectShownWhole(QWidget *control)
{
    SCOPED_TRACE(control->objectName().toStdString());
    const QWidget *parent = control->parentWidget();
    if (qobject_cast<QCheckBox *>(control) || qobject_cast<QLabel *>(control)) {
        EXPECT_GE(control->width(), control->sizeHint().width());
        EXPECT_GE(control->height(), control->fontMetrics().height());
    }
    EXPECT_TRUE(parent->contentsRect().contains(control->geometry()))
        << "in " << parent->objectName().toStdString();
    const QWidget *window = control->window();
    EXPECT_TRUE(window->rect().contains(QRect(control->mapTo(window, QPoint()), control->size())));
}

TEST(OptionsDialogLayout, EveryControlShowsWholeInsideItsGroup)
{
    ViewOptions options;
    OptionsDialog dialog(options, {});
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_GE(dialog.width(), 256);
    EXPECT_GE(dialog.height(), 232);

    const QList<QGroupBox *> groups = dialog.findChildren<QGroupBox *>();
    ASSERT_EQ(groups.size(), 4);
    for (QGroupBox *group : groups) {
        EXPECT_TRUE(dialog.rect().contains(group->geometry())) << group->objectName().toStdString();
        const QWidgetList controls = group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *control : controls) {
            expectShownWhole(control);
            for (QWidget *other : controls) {
                if (other != control) {
                    EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                        << control->objectName().toStdString() << " and "
                        << other->objectName().toStdString();
                }
            }
        }
        for (QGroupBox *other : groups) {
            if (other != group) {
                EXPECT_FALSE(group->geometry().intersects(other->geometry()))
                    << group->objectName().toStdString() << " and " << other->objectName().toStdString();
            }
        }
    }
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        EXPECT_TRUE(dialog.rect().contains(button->geometry()));
        for (QGroupBox *group : groups)
            EXPECT_FALSE(button->geometry().intersects(group->geometry()));
    }
}

class WindowLayout : public ::testing::Test
{
protected:
    QTemporaryDir home;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;

    void SetUp() override
    {
        MainWindowSetup setup;
        setup.prompts = &prompts;
        setup.configurationFolder = home.path();
        setup.openUrl = [](const QUrl &) { return true; };
        window = std::make_unique<MainWindow>(setup);
        window->show();
        QCoreApplication::processEvents();
    }
    StormChart *chart() const { return window->findChild<StormChart *>("StormChart"); }
    void replot() const
    {
        QCoreApplication::processEvents();
        chart()->replot(QCustomPlot::rpImmediateRefresh);
    }
};

TEST_F(WindowLayout, SeriesSwitchesShowWholeAtTheDefaultAndTheSmallestSize)
{
    const QSize smallest = window->minimumSize();
    EXPECT_GE(smallest.width(), 640);
    EXPECT_GE(smallest.height(), 480);
    EXPECT_LE(smallest.width(), window->width());
    EXPECT_LE(smallest.height(), window->height());
    EXPECT_EQ(chart()->width(), 579)
        << "the chart keeps its first width; the window makes room for the panel";

    for (const QSize size : {window->size(), smallest, QSize(300, 200)}) {
        SCOPED_TRACE(testing::Message() << size.width() << 'x' << size.height());
        window->resize(size);
        QCoreApplication::processEvents();
        auto *overall = window->findChild<QCheckBox *>("CheckBox_Overall_Rainfall");
        auto *intensity = window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity");
        expectShownWhole(overall);
        expectShownWhole(intensity);
        EXPECT_FALSE(overall->geometry().intersects(intensity->geometry()));
    }
}

TEST_F(WindowLayout, ValueColumnsHoldTheirWidestTextAtEveryPrecision)
{
    auto *grid = window->findChild<ResultTableView *>("GridData");
    auto *model = window->findChild<ResultTableModel *>();
    const int textMargin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const QFontMetrics metrics(grid->font());
    for (const int precision : {4, 10, 18, 4}) {
        SCOPED_TRACE(precision);
        ViewOptions options = window->session().options();
        options.Precision = precision;
        window->session().setOptions(options);
        window->refreshStorm();
        for (int column = 0; column < 3; ++column) {
            int widest = 0;
            for (int row = 0; row < model->rowCount(); ++row)
                widest = std::max(widest, metrics.horizontalAdvance(model->cellText(row, column)));
            EXPECT_GE(grid->columnWidth(column), widest + 2 * textMargin) << "column " << column;
        }
        // The starting widths, as long as the texts fit them.
        EXPECT_EQ(grid->columnWidth(0), 40);
        if (precision == 4) {
            EXPECT_EQ(grid->columnWidth(1), 70);
        }
    }

    // A column the user widened keeps its width.
    grid->setColumnWidth(2, 300);
    window->refreshStorm();
    EXPECT_EQ(grid->columnWidth(2), 300);
}

TEST_F(WindowLayout, HugeStormKeepsFiniteAxesAndLabelsInsideThePlot)
{
    window->session().updateStorm([&](Storm &s) { s.a1 = 1e300; });
    replot();
    for (QCPAxis *axis : {chart()->yAxis, chart()->yAxis2}) {
        SCOPED_TRACE(axis->label().toStdString());
        const QCPRange range = axis->range();
        EXPECT_TRUE(std::isfinite(range.upper));
        EXPECT_EQ(range.lower, 0);
        // As far as the chart can draw, far beyond the start-up storm's 0 to 8.
        EXPECT_GE(range.upper, 1e249);
        for (const QString &tick : axis->tickVectorLabels())
            EXPECT_LE(tick.size(), 12) << tick.toStdString();
    }

    const int plotRight = chart()->axisRect()->right();
    bool elided = false;
    for (int i = 0; i < StormChart::ValueLabelCount; ++i) {
        QLabel *label = chart()->valueLabel(i);
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_LE(label->geometry().right(), plotRight);
        if (label->text() != chart()->valueLabelText(i)) {
            elided = true;
            EXPECT_TRUE(label->text().endsWith(u'…'));
            EXPECT_TRUE(label->toolTip().startsWith(chart()->valueLabelText(i)));
        }
    }
    EXPECT_TRUE(elided) << "H, i and the formula depth have some 300 digits";

    // An ordinary storm again: whole labels, the plain tooltip, fixed-point ticks.
    window->session().updateStorm([&](Storm &s) { s.a1 = 9.5981; });
    replot();
    for (int i = 0; i < StormChart::ValueLabelCount; ++i) {
        EXPECT_EQ(chart()->valueLabel(i)->text(), chart()->valueLabelText(i));
        EXPECT_EQ(chart()->valueLabel(i)->toolTip(), QStringLiteral("按住拖动调整位置"));
    }
    EXPECT_NEAR(chart()->yAxis->range().upper, 6.71987109302, 1e-9);
    EXPECT_EQ(chart()->yAxis->numberFormat(), QStringLiteral("f"));
}

} // namespace
