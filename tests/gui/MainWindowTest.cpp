// The main window: start-up, the refresh, the series switches and the storm
// file commands, driven offscreen with scripted message boxes and dialogs.
#include "app/MainWindow.h"

#include "ScriptedPrompts.h"
#include "app/ResultTableModel.h"
#include "app/ResultTableView.h"
#include "chart/StormChart.h"
#include "dialogs/NewStormDialog.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "program/ProgramInfo.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    QTemporaryDir home;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;

    // Changes the window's options as the options dialog hands them back.
    void changeOptions(const std::function<void(ViewOptions &)> &change)
    {
        ViewOptions options = window->session().options();
        change(options);
        window->session().setOptions(options);
    }

    void start(const QString &configurationFolder = {})
    {
        MainWindowSetup setup;
        setup.prompts = &prompts;
        setup.configurationFolder = configurationFolder.isEmpty() ? home.path() : configurationFolder;
        setup.openUrl = [](const QUrl &) { return true; };
        window = std::make_unique<MainWindow>(setup);
    }
    QString cell(int row, int column) const
    {
        return window->findChild<ResultTableModel *>()->cellText(row, column);
    }
    QByteArray optionsBytes() const
    {
        QFile file(window->session().optionsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString path(const char *name) const { return home.filePath(QString::fromUtf8(name)); }
};

TEST_F(MainWindowTest, StartsShowingTheStartUpStorm)
{
    start();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("澜岑云图 Ver2.08（") + ProgramInfo::makerUrl() + QStringLiteral("）"));

    ASSERT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 121);
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowTexts()[0],
              (TableRow{"00:00", "0.1908", "0.1908"}));
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowTexts()[48],
              (TableRow{"00:48", "3.3599", "25.9954"}));
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowTexts()[120],
              (TableRow{"02:00", "0.1908", "60.6345"}));
    EXPECT_EQ(
        window->findChild<ResultTableModel *>()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
        QStringLiteral("降雨总量"));
    EXPECT_EQ(window->findChild<ResultTableView *>("GridData")->columnWidth(0), 40);

    StormChart *chart = window->findChild<StormChart *>("StormChart");
    EXPECT_EQ(chart->pointCount(), 121);
    EXPECT_NEAR(chart->leftMaximum(), 6.71987109302, 1e-11);
    EXPECT_NEAR(chart->rightMaximum(), 121.268946802162, 1e-11);
    EXPECT_TRUE(chart->yAxis2->rangeReversed());

    EXPECT_EQ(window->findChild<QLabel *>("Label_P")->text(), QStringLiteral("重现期   P=2年"));
    EXPECT_EQ(window->findChild<QLabel *>("Label_T")->text(), QStringLiteral("降雨历时t=120min"));
    EXPECT_EQ(window->findChild<QLabel *>("Label_r")->text(), QStringLiteral("峰值比例r=0.4"));
    EXPECT_EQ(window->findChild<QLabel *>("Label_Overall_Rainfall")->text(),
              QStringLiteral("降雨总量H=60.6345mm"));
    EXPECT_EQ(window->findChild<QLabel *>("Label_Average_Rainfall_Intensity")->text(),
              QStringLiteral("平均雨强i=0.5053mm/min"));
    EXPECT_FALSE(window->findChild<QLabel *>("Label_P")->isHidden());
    // The depth check beside H: what the formula itself gives over the duration.
    EXPECT_EQ(window->findChild<QLabel *>("Label_Formula_Depth")->text(),
              QStringLiteral("公式雨量=60.2284mm"));
    EXPECT_FALSE(window->findChild<QLabel *>("Label_Formula_Depth")->isHidden());

    // The first refresh created the data folder and the options file.
    EXPECT_EQ(window->session().optionsFile(), home.path() + QStringLiteral("/quillfen/Pluvion/options.ini"));
    EXPECT_EQ(optionsBytes(),
              QByteArray("[OPTIONS]\r\nShowLabel_P=1\r\nShowLabel_T=1\r\nShowLabel_R=1\r\n"
                         "ShowLabel__Overall_Rainfall=1\r\nShowLabel_Average=1\r\nShowAxis_Overall=1\r\n"
                         "ShowAxis_Intensity=1\r\nCalcByShow=0\r\nPrecision=4\r\nTimeFormat=0\r\n"));
}

TEST_F(MainWindowTest, SeriesSwitchesKeepBothViewsInStep)
{
    start();
    window->show();
    StormChart *chart = window->findChild<StormChart *>("StormChart");

    // The check box beside the table hides the line and unchecks the pop-up item.
    QTest::mouseClick(window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity"), Qt::LeftButton);
    EXPECT_FALSE(window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity")->isChecked());
    EXPECT_FALSE(window->findChild<QAction *>("menu_Rainfall_Intensity")->isChecked());
    EXPECT_FALSE(chart->intensitySeries()->visible());
    EXPECT_NEAR(chart->rightMaximum(), 1.1 * 60.634473401081, 1e-11);
    EXPECT_NEAR(chart->leftMaximum(), 6.71987109302, 1e-11);
    EXPECT_TRUE(optionsBytes().contains("ShowAxis_Intensity=0\r\n"));

    // The pop-up item flips its own mark and the check box follows.
    window->findChild<QAction *>("menu_Rainfall_Intensity")->trigger();
    window->findChild<QAction *>("menu_Overall_Rainfall")->trigger();
    EXPECT_TRUE(window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity")->isChecked());
    EXPECT_FALSE(window->findChild<QCheckBox *>("CheckBox_Overall_Rainfall")->isChecked());
    EXPECT_FALSE(chart->overallSeries()->visible());
    EXPECT_TRUE(chart->intensitySeries()->visible());
    EXPECT_NEAR(chart->leftMaximum(), 1.1 * 3.359935546510, 1e-11);
    EXPECT_TRUE(optionsBytes().contains("ShowAxis_Overall=0\r\nShowAxis_Intensity=1\r\n"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(MainWindowTest, RefreshFollowsTheStormAndTheOptions)
{
    start();
    window->session().updateStorm([&](Storm &s) { s.step = 5; });
    changeOptions([](ViewOptions &o) { o.TimeFormat = TimeColumn::Minutes; });
    window->refreshStorm();
    ASSERT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 25);
    EXPECT_EQ(cell(0, 0), QStringLiteral("00"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("05"));
    EXPECT_EQ(cell(24, 0), QStringLiteral("120"));
    // The peak minute 48 has no row: the largest listed intensity is minute 50's.
    EXPECT_NEAR(window->findChild<StormChart *>("StormChart")->leftMaximum(), 4.103392270176, 1e-11);

    changeOptions([](ViewOptions &o) {
        o.ShowLabel_P = false;
        o.TimeFormat = TimeColumn(7); // only a hand-edited file brings this: no time texts
    });
    window->refreshStorm();
    EXPECT_TRUE(window->findChild<QLabel *>("Label_P")->isHidden());
    EXPECT_EQ(cell(0, 0), QString());
    EXPECT_EQ(cell(0, 1), QStringLiteral("0.1908"));

    // A block-average storm totals the formula depth; the option hides the check.
    changeOptions([](ViewOptions &o) { o.ShowLabel_Formula_Depth = false; });
    window->session().updateStorm([&](Storm &s) { s.mode = CalcMode::Block; });
    ASSERT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 24);
    EXPECT_EQ(window->findChild<QLabel *>("Label_Overall_Rainfall")->text(),
              QStringLiteral("降雨总量H=60.2284mm"));
    EXPECT_EQ(window->findChild<QLabel *>("Label_Formula_Depth")->text(),
              QStringLiteral("公式雨量=60.2284mm"));
    EXPECT_TRUE(window->findChild<QLabel *>("Label_Formula_Depth")->isHidden());
    EXPECT_TRUE(optionsBytes().contains("ShowLabel_Formula_Depth=0\r\n"));
}

// After a failed computation the chart, the table and the labels go on
// showing the storm before, and the window says so until one succeeds.
TEST_F(MainWindowTest, FailedComputationKeepsTheTableChartAndLabelsAndSaysSo)
{
    start();
    window->show();
    QFile::remove(window->session().optionsFile());
    const QString labelBefore = window->findChild<QLabel *>("Label_Overall_Rainfall")->text();
    window->session().updateStorm([&](Storm &s) {
        s.step = 0;
        s.period = 5;
    });

    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("出错：Division by zero（计算步长 Δt = 0 分钟）"));
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Error);
    EXPECT_EQ(window->session().failure(), QStringLiteral("Division by zero（计算步长 Δt = 0 分钟）"));
    EXPECT_EQ(window->session().rows().size(), 121u);
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 121);
    EXPECT_EQ(window->findChild<StormChart *>("StormChart")->pointCount(), 121);
    const auto line = window->findChild<StormChart *>("StormChart")->intensitySeries()->data();
    const RainPoints &shown = window->findChild<ResultTableModel *>()->points();
    EXPECT_EQ(line->at(48)->key, shown[48].Time);
    EXPECT_EQ(line->at(48)->value, shown[48].Intensity);
    EXPECT_NEAR(window->findChild<StormChart *>("StormChart")->leftMaximum(), 6.71987109302, 1e-11);
    EXPECT_EQ(window->findChild<QLabel *>("Label_P")->text(), QStringLiteral("重现期   P=2年"));
    EXPECT_EQ(window->findChild<QLabel *>("Label_Overall_Rainfall")->text(), labelBefore);
    auto *notice = window->findChild<QLabel *>("FailureNotice");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().contains(QStringLiteral("仍是上一个雨型的结果")))
        << notice->text().toStdString();
    EXPECT_FALSE(QFile::exists(window->session().optionsFile())); // no save without a storm shown

    // A storm that computes again is shown whole, and the notice goes.
    window->session().updateStorm([&](Storm &s) { s.step = 1; });
    EXPECT_EQ(window->findChild<QLabel *>("Label_P")->text(), QStringLiteral("重现期   P=5年"));
    EXPECT_FALSE(notice->isVisible());
}

TEST_F(MainWindowTest, OptionsWriteFailureIsReportedByWhoeverWrote)
{
    start();
    window->show();
    // A folder where the options file should be: every write fails, also for root.
    QFile::remove(window->session().optionsFile());
    ASSERT_TRUE(QDir().mkpath(window->session().optionsFile() + QStringLiteral("/blocked")));

    window->refreshStorm();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("出错：Unable to write to ") +
                                                    window->session().optionsFile()))
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(window->findChild<QLabel *>("Label_Overall_Rainfall")->text(),
              QStringLiteral("降雨总量H=60.6345mm"));

    QTest::mouseClick(window->findChild<QCheckBox *>("CheckBox_Overall_Rainfall"), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_EQ(prompts.messages[1].caption, ApplicationTitle());
    EXPECT_TRUE(prompts.messages[1].text.startsWith(QStringLiteral("Unable to write to ") +
                                                    window->session().optionsFile()))
        << prompts.messages[1].text.toStdString();
    EXPECT_FALSE(window->findChild<StormChart *>("StormChart")->overallSeries()->visible());
}

TEST_F(MainWindowTest, StartsWithDefaultsWhenTheDataFolderCannotBeMade)
{
    QFile blocker(path("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    start(path("not-a-folder"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("不会被保存")));
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 121);
    EXPECT_TRUE(window->session().optionsFile().isEmpty());
    QTest::mouseClick(window->findChild<QCheckBox *>("CheckBox_Overall_Rainfall"), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.size(), 1);
}

TEST_F(MainWindowTest, StartsWithDefaultsWhenTheOptionsFileCannotBeRead)
{
    // A FIFO with no writer: reading it the plain way would hang before any window.
    ASSERT_TRUE(QDir().mkpath(path("quillfen/Pluvion")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("quillfen/Pluvion/options.ini")).constData(), 0666), 0);
    start();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("无法读取设置文件：")));
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("不会被保存")));
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 121);
    EXPECT_TRUE(window->session().optionsFile().isEmpty());
    QTest::mouseClick(window->findChild<QCheckBox *>("CheckBox_Overall_Rainfall"), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_FALSE(QFileInfo(path("quillfen/Pluvion/options.ini")).isFile()); // left as it was
}

// Size, place and splitter are kept for the next session; a broken layout
// file starts the window at its default layout without a word.
TEST_F(MainWindowTest, WindowLayoutIsKeptAcrossSessions)
{
    start();
    const QSize defaultSize = window->size();
    window->show();
    window->setGeometry(QRect(QPoint(37, 41), defaultSize + QSize(120, 90)));
    auto *splitter = window->findChild<QSplitter *>("ChartTableSplitter");
    const QList<int> sizes{splitter->sizes()[0] - 60, splitter->sizes()[1] + 60};
    splitter->setSizes(sizes);
    const QSize size = window->size();
    const QList<int> kept = splitter->sizes();
    window->close();

    start();
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(window->size(), size);
    EXPECT_EQ(window->findChild<QSplitter *>("ChartTableSplitter")->sizes(), kept);
    window->close();

    WriteFileBytes(path("quillfen/Pluvion/WindowLayout.txt"), "geometry=!!!\nsplitter=\x01\x02\n");
    start();
    EXPECT_EQ(window->size(), defaultSize);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(MainWindowTest, StormFileCommands)
{
    start();
    // "保存雨型" with no file asks for a name; cancelling writes nothing.
    window->saveStorm();
    ASSERT_EQ(prompts.dialogs.size(), 1);
    EXPECT_EQ(prompts.dialogs[0].title, QStringLiteral("保存曲线"));
    EXPECT_EQ(prompts.dialogs[0].filters,
              (QStringList{QStringLiteral("文本文件(*.txt)"), QStringLiteral("所有文件(*.*)")}));
    EXPECT_TRUE(window->session().file().isEmpty());

    // Save as "storm" writes storm.txt; "保存雨型" then writes there without asking.
    prompts.files.push_back(UserPrompts::FileChoice{path("storm"), 0});
    window->saveStormAs();
    EXPECT_EQ(window->session().file(), path("storm.txt"));
    ASSERT_TRUE(QFile::exists(path("storm.txt")));
    window->session().updateStorm([&](Storm &s) { s.duration = 180; });
    window->saveStorm();
    EXPECT_EQ(prompts.dialogs.size(), 2);
    Storm reread = StartUpStorm();
    ReadStormFile(path("storm.txt"), reread, Separators{});
    EXPECT_EQ(reread.duration, 180);

    // Opening a q-form file restores it and remembers it.
    QFile flow(path("flow.txt"));
    ASSERT_TRUE(flow.open(QIODevice::WriteOnly));
    flow.write(EncodeLegacyLines(
        {QStringLiteral("SIGN=") + QStringLiteral("访问http://www.quillfen.com获取更多实用工具~"),
         QStringLiteral("F_type=1"), QStringLiteral("a1_167=1667"), QStringLiteral("a1=10.002"),
         QStringLiteral("c=0.846"), QStringLiteral("b=7"), QStringLiteral("n=0.656"),
         QStringLiteral("LG_LN=0"), QStringLiteral("重现期=3"), QStringLiteral("降雨历时=60"),
         QStringLiteral("峰值比例=0.5"), QStringLiteral("计算步长=5")}));
    flow.close();
    prompts.files.push_back(UserPrompts::FileChoice{path("flow.txt"), 0});
    window->openStorm();
    EXPECT_EQ(prompts.dialogs.back().title, QStringLiteral("打开雨型"));
    EXPECT_EQ(window->session().file(), path("flow.txt"));
    EXPECT_EQ(window->session().storm().form, FormulaForm::Flow);
    EXPECT_EQ(window->session().storm().a1Flow, 1667);
    EXPECT_EQ(window->session().storm().a1, 10.002);
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 13);
    EXPECT_EQ(window->findChild<QLabel *>("Label_T")->text(), QStringLiteral("降雨历时t=60min"));

    // A file without the signature changes nothing.
    QFile other(path("other.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("SIGN=something else\r\na1=1\r\n");
    other.close();
    prompts.files.push_back(UserPrompts::FileChoice{path("other.txt"), 0});
    window->openStorm();
    EXPECT_EQ(prompts.lastText(), QStringLiteral("该文件不包含正确的数据格式，请确认后重试~"));
    EXPECT_EQ(prompts.messages.back().caption, QStringLiteral("错误"));
    EXPECT_EQ(window->session().file(), path("flow.txt"));
    EXPECT_EQ(window->session().storm().a1, 10.002);
}

TEST_F(MainWindowTest, FailedSaveGoesToTheStandardErrorBox)
{
    start();
    prompts.files.push_back(UserPrompts::FileChoice{path("missing/storm.txt"), 0});
    QAction *saveAs = window->findChild<QAction *>(QStringLiteral("Menu_SaveAs"));
    ASSERT_NE(saveAs, nullptr);
    saveAs->trigger();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, ApplicationTitle());
    EXPECT_TRUE(prompts.messages[0].text.startsWith(CannotCreateFileMessage(path("missing/storm.txt"), {})));
    EXPECT_TRUE(prompts.messages[0].text.endsWith(u'.'));
    // The name came from the dialog, so the next "保存雨型" tries it again.
    EXPECT_EQ(window->session().file(), path("missing/storm.txt"));
    EXPECT_EQ(window->findChild<QAction *>(QStringLiteral("Menu_Save"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_S));
}

TEST_F(MainWindowTest, NewStormCommand)
{
    start();
    prompts.files.push_back(UserPrompts::FileChoice{path("storm.txt"), 0});
    window->saveStormAs();
    NewStormDialog *dialog = window->findChild<NewStormDialog *>();

    // Cancel changes nothing and keeps the storm file.
    QTimer::singleShot(
        0, dialog, [dialog] { dialog->findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click(); });
    window->newStorm();
    EXPECT_EQ(window->session().file(), path("storm.txt"));
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 121);

    // OK refreshes with the new storm and forgets the file.
    QTimer::singleShot(0, dialog, [dialog] {
        QLineEdit *time = dialog->findChild<QLineEdit *>(QStringLiteral("EditStormTime"));
        time->setText(QStringLiteral("60"));
        dialog->findChild<QPushButton *>(QStringLiteral("ButtonOK"))->click();
    });
    window->newStorm();
    EXPECT_TRUE(window->session().file().isEmpty());
    EXPECT_EQ(window->findChild<ResultTableModel *>()->rowCount(), 61);
    EXPECT_EQ(window->findChild<QLabel *>("Label_T")->text(), QStringLiteral("降雨历时t=60min"));
}

} // namespace
