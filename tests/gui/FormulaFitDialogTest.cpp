// The formula-fit dialog: pasted tables and samples, the results it shows, its
// messages, the export, and the formula going into the new-storm dialog.
#include "dialogs/FormulaFitDialog.h"

#include "KnownFitTable.h"
#include "ScriptedPrompts.h"
#include "app/MainWindow.h"
#include "dialogs/LongStormDialog.h"
#include "dialogs/NewStormDialog.h"
#include "fit/BandTable.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "records/RecordFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

// i = A1 (1 + C lg P) / (t + b)^n, by default 10 (1 + 0.8 lg P) / (t + 8)^0.7,
// cells separated by tabs as Excel copies them.
QString PastedTable(double a1 = 10, double c = 0.8, double b = 8, double n = 0.7)
{
    QString text = QStringLiteral("t\\P\t2\t5\t10\t50\n");
    for (int t : {5, 10, 20, 30, 60, 120}) {
        text += QString::number(t);
        for (double p : {2.0, 5.0, 10.0, 50.0})
            text += u'\t' + QString::number(a1 * (1 + c * std::log10(p)) / std::pow(t + b, n), 'f', 9);
        text += u'\n';
    }
    return text;
}

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class FormulaFitDialogTest : public ::testing::Test
{
protected:
    ScriptedPrompts prompts;
    FormulaFitDialog dialog{prompts};
    QTemporaryDir folder;

    void fit(const QString &text)
    {
        child<QPlainTextEdit>(&dialog, "DataEdit")->setPlainText(text);
        child<QPushButton>(&dialog, "ButtonFit")->click();
    }
    QString cell(const char *grid, int row, int column)
    {
        QTableWidgetItem *item = child<QTableWidget>(&dialog, grid)->item(row, column);
        return item ? item->text() : QString();
    }
};

} // namespace

TEST_F(FormulaFitDialogTest, PastedTableShowsFormulaAccuracyAndChart)
{
    EXPECT_FALSE(child<QPushButton>(&dialog, "ButtonUseFormula")->isEnabled());
    fit(PastedTable());
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_TRUE(child<QLabel>(&dialog, "LabelFormula")
                    ->text()
                    .startsWith(QStringLiteral("总公式：i = 10.0000(1 + 0.8000 lgP) / (t + 8.0000)^0.7000")));
    auto *accuracy = child<QTableWidget>(&dialog, "GridAccuracy");
    ASSERT_EQ(accuracy->rowCount(), 5);
    EXPECT_EQ(cell("GridAccuracy", 0, 3), QStringLiteral("合格"));
    EXPECT_EQ(cell("GridAccuracy", 3, 3), QStringLiteral("不考核")); // 50 a
    EXPECT_EQ(cell("GridAccuracy", 4, 0), QStringLiteral("2~20年平均"));
    EXPECT_EQ(child<QTableWidget>(&dialog, "GridPeriodFormulas")->rowCount(), 4);
    EXPECT_EQ(child<QCustomPlot>(&dialog, "ChartFit")->graphCount(), 8); // a curve and points per period
    EXPECT_TRUE(child<QPushButton>(&dialog, "ButtonUseFormula")->isEnabled());

    // ln P: the same table, C divided by ln 10.
    child<QComboBox>(&dialog, "ComboBox_LgLn")->setCurrentIndex(1);
    child<QPushButton>(&dialog, "ButtonFit")->click();
    ASSERT_TRUE(dialog.fittedFormula());
    EXPECT_EQ(dialog.fittedFormula()->log, Logarithm::Ln);
    EXPECT_NEAR(dialog.fittedFormula()->c, 0.8 / std::log(10.0), 5e-5); // to its four decimals
}

TEST_F(FormulaFitDialogTest, BadDataIsToldAndClearsTheResults)
{
    fit(PastedTable());
    fit(QStringLiteral("t\\P\t2\t5\n5\t1\t2\n10\tabc\t1\n20\t1\t1\n"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("暴雨强度公式推求"));
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("第3行第2列的“abc”不是数字（应为雨强（mm/min））。"));
    EXPECT_FALSE(dialog.fittedFormula());
    EXPECT_FALSE(child<QPushButton>(&dialog, "ButtonExport")->isEnabled());
    EXPECT_EQ(child<QTableWidget>(&dialog, "GridAccuracy")->rowCount(), 0);
}

// No bare axes before a result or after a failure; the legend apart from the
// points; a result that no longer belongs to the settings or data greyed,
// marked and neither used nor exported until 计算 again.
TEST_F(FormulaFitDialogTest, ShownResultIsMarkedStaleAndTheChartOnlyShowsResults)
{
    dialog.show();
    auto *chart = child<QCustomPlot>(&dialog, "ChartFit");
    auto *stale = child<QLabel>(&dialog, "LabelStale");
    EXPECT_FALSE(chart->isVisible());
    fit(PastedTable());
    ASSERT_TRUE(chart->isVisible());
    EXPECT_FALSE(stale->isVisible());
    EXPECT_FALSE(chart->legend->outerRect().intersects(chart->axisRect()->rect()));
    // At the dialog's own size the accuracy table shows whole, its mean row included.
    QApplication::processEvents();
    auto *accuracy = child<QTableWidget>(&dialog, "GridAccuracy");
    EXPECT_FALSE(accuracy->verticalScrollBar()->isVisible());
    EXPECT_GE(accuracy->viewport()->height(), accuracy->rowViewportPosition(accuracy->rowCount() - 1) +
                                                  accuracy->rowHeight(accuracy->rowCount() - 1));

    const std::function<void()> changes[] = {
        [this] { child<QComboBox>(&dialog, "ComboBox_LgLn")->setCurrentIndex(1); },
        [this] { child<QComboBox>(&dialog, "InputKindBox")->setCurrentIndex(1); },
        [this] { child<QComboBox>(&dialog, "DistributionBox")->setCurrentIndex(1); },
        [this] { child<QSpinBox>(&dialog, "YearsEdit")->setValue(7); },
        [this] {
            child<QPlainTextEdit>(&dialog, "DataEdit")->appendPlainText(QStringLiteral("180\t1\t1\t1\t1"));
        },
    };
    for (size_t k = 0; k < std::size(changes); ++k) {
        SCOPED_TRACE(k);
        fit(PastedTable());
        ASSERT_TRUE(dialog.fittedFormula());
        changes[k]();
        EXPECT_TRUE(stale->isVisible());
        EXPECT_FALSE(child<QLabel>(&dialog, "LabelFormula")->isEnabled());
        EXPECT_TRUE(chart->graphicsEffect()->isEnabled()); // the chart fades too
        EXPECT_FALSE(child<QPushButton>(&dialog, "ButtonUseFormula")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(&dialog, "ButtonExport")->isEnabled());
        child<QComboBox>(&dialog, "InputKindBox")->setCurrentIndex(0);
    }
    fit(PastedTable());
    EXPECT_FALSE(stale->isVisible());
    EXPECT_FALSE(chart->graphicsEffect()->isEnabled());
    EXPECT_TRUE(child<QPushButton>(&dialog, "ButtonUseFormula")->isEnabled());

    fit(QStringLiteral("t\\P\t2\t5\n5\t1\t2\n10\tabc\t1\n20\t1\t1\n"));
    EXPECT_FALSE(chart->isVisible());
    EXPECT_FALSE(stale->isVisible());
}

// Samples pasted while an i–t–P table is chosen (and the reverse): the dialog
// says what the data look like and offers the right kind.
TEST_F(FormulaFitDialogTest, DataOfTheOtherLayoutOfferTheirKind)
{
    const QString samples = QString::fromUtf8(KnownSamples('\t'));
    fit(samples); // answered yes
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("这些数据看来是样本")));
    EXPECT_EQ(child<QComboBox>(&dialog, "InputKindBox")->currentIndex(), 2);
    EXPECT_TRUE(dialog.fittedFormula());

    // Back to a table while samples are chosen; answered no: fitted as chosen.
    prompts.messages.clear();
    prompts.answers.push_back(UserPrompts::Answer::No);
    fit(PastedTable());
    ASSERT_GE(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("这些数据看来是 i–t–P 表")));
    EXPECT_EQ(child<QComboBox>(&dialog, "InputKindBox")->currentIndex(), 2);

    // Data that do not show their layout are fitted as chosen without a question.
    prompts.messages.clear();
    child<QComboBox>(&dialog, "InputKindBox")->setCurrentIndex(0);
    fit(PastedTable().replace(QStringLiteral("t\\P"), QStringLiteral("历时")));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(dialog.fittedFormula());
}

TEST_F(FormulaFitDialogTest, SamplesShowEachDistributionsGoodness)
{
    const QString text = QString::fromUtf8(KnownSamples());
    child<QComboBox>(&dialog, "InputKindBox")->setCurrentIndex(2);
    EXPECT_FALSE(child<QSpinBox>(&dialog, "YearsEdit")->isEnabled());
    fit(text);
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    ASSERT_EQ(child<QTableWidget>(&dialog, "GridGoodness")->rowCount(), 4);
    EXPECT_EQ(cell("GridGoodness", 0, 0), QStringLiteral("5"));
    EXPECT_EQ(child<QTableWidget>(&dialog, "GridAccuracy")->rowCount(), 9); // 8 periods and the mean

    // Annual multiple: the exponential distribution is proposed; 6 years keep the largest 24 of 25.
    child<QComboBox>(&dialog, "InputKindBox")->setCurrentIndex(3);
    EXPECT_EQ(child<QComboBox>(&dialog, "DistributionBox")->currentIndex(), 2); // exponential
    child<QSpinBox>(&dialog, "YearsEdit")->setValue(6);
    child<QPushButton>(&dialog, "ButtonFit")->click();
    EXPECT_TRUE(dialog.fittedFormula()) << prompts.lastText().toStdString();
}

// Twelve years of one Chicago storm a year (peak at r = 0.4 of 180 minutes),
// 1-minute depths listed only where it rains, larger in some years: the
// record files, written into `folder`.
static QStringList WriteStormRecords(const QTemporaryDir &folder)
{
    QStringList files;
    for (int year = 2001; year <= 2012; ++year) {
        QByteArray text = "时间,雨量\r\n";
        const double a = 10 * (1 + (year * 7 % 12) / 8.0), b = 8, n = 0.7, r = 0.4, peak = 72.5;
        const std::int32_t start = RecordMinute(year, 7, 1, 10, 0);
        for (int k = 0; k < 180; ++k) {
            const double s = k + 0.5 < peak ? (peak - k - 0.5) / r : (k + 0.5 - peak) / (1 - r);
            const double depth = a * ((1 - n) * s + b) / std::pow(s + b, 1 + n);
            text += RecordTimeText(start + k).toUtf8() + ',' + QByteArray::number(depth, 'f', 3) + "\r\n";
        }
        files << folder.filePath(QStringLiteral("%1.csv").arg(year));
        QFile file(files.back());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    return files;
}

// 降雨记录: record files chosen in the open dialog are read, sampled and
// fitted; the years, samples and r show in their own tabs, and 用于新雨型
// proposes r with the formula.
TEST_F(FormulaFitDialogTest, RecordsGiveTheFormulaAndTheirPeakRatio)
{
    const QStringList files = WriteStormRecords(folder);
    auto *kind = child<QComboBox>(&dialog, "InputKindBox");
    kind->setCurrentIndex(4);
    EXPECT_EQ(kind->currentText(), QStringLiteral("降雨记录"));
    prompts.files.push_back(UserPrompts::FileChoice{files.front(), 0, files});
    child<QPushButton>(&dialog, "ButtonOpen")->click();
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_TRUE(prompts.dialogs.back().manyFiles);
    EXPECT_EQ(prompts.dialogs.back().kind, FileKind::Records);
    ASSERT_TRUE(dialog.fittedFormula());
    ASSERT_TRUE(dialog.fittedPeakRatio());
    EXPECT_NEAR(*dialog.fittedPeakRatio(), 0.42, 0.06);
    EXPECT_EQ(*dialog.fittedPeakRatio(), dialog.outcome()->records->r);
    auto *tabs = child<QTabWidget>(&dialog, "TabResults");
    ASSERT_EQ(tabs->count(), 7);
    EXPECT_TRUE(tabs->isTabVisible(3) && tabs->isTabVisible(4) && tabs->isTabVisible(5));
    EXPECT_FALSE(tabs->isTabVisible(6)); // the bands, not asked for
    EXPECT_EQ(child<QTableWidget>(&dialog, "GridRecordYears")->rowCount(), 12);
    EXPECT_EQ(child<QTableWidget>(&dialog, "GridRecordSamples")->rowCount(), 12);
    EXPECT_TRUE(child<QLabel>(&dialog, "LabelPeakRatio")->text().startsWith(QStringLiteral("峰值比例 r = ")));

    // The sample table is kept in the layout the samples are read in, and fits again to the same formula.
    const QString samplesFile = folder.filePath(QStringLiteral("samples.csv"));
    prompts.files.push_back(UserPrompts::FileChoice{samplesFile, 2});
    child<QPushButton>(&dialog, "ButtonExport")->click();
    EXPECT_EQ(prompts.dialogs.back().filters.value(2), QStringLiteral("样本表(*.csv)"));
    QFile kept(samplesFile);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    FitSettings again;
    again.input = FitInputKind::Samples;
    EXPECT_EQ(FormulaText(RunFormulaFit(kept.readAll(), again).total), FormulaText(*dialog.fittedFormula()));
    ASSERT_TRUE(QFile::remove(samplesFile)); // the folder is read again below

    // How the records are read is part of the result.
    child<QComboBox>(&dialog, "RecordGapsBox")->setCurrentIndex(1);
    EXPECT_FALSE(child<QPushButton>(&dialog, "ButtonUseFormula")->isEnabled());

    // The new-storm dialog takes the measured r with the formula.
    NewStormDialog newStorm(prompts, Separators{});
    newStorm.proposeFormula(StormWithFormula(StartUpStorm(), *dialog.fittedFormula()), 0.417);
    newStorm.show();
    EXPECT_EQ(child<QLineEdit>(&newStorm, "EditStormPercent")->text(), QStringLiteral("0.417"));

    // A folder chosen: every record file in it is read.
    child<QComboBox>(&dialog, "RecordGapsBox")->setCurrentIndex(0);
    prompts.files.push_back(UserPrompts::FileChoice{folder.path(), 0});
    child<QPushButton>(&dialog, "ButtonOpenFolder")->click();
    EXPECT_TRUE(prompts.dialogs.back().folder);
    ASSERT_TRUE(dialog.fittedPeakRatio()) << prompts.lastText().toStdString();
    EXPECT_EQ(child<QTableWidget>(&dialog, "GridRecordYears")->rowCount(), 12);

    // A folder that holds no records is told, and nothing is shown.
    fit(folder.filePath(QStringLiteral("none")));
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_FALSE(dialog.fittedFormula());
    EXPECT_FALSE(tabs->isTabVisible(3));
}

// The name's extension chooses the kind, as on the command line; a name
// without one takes the filter's.
TEST_F(FormulaFitDialogTest, ExportWritesWordAndCsv)
{
    fit(PastedTable());
    prompts.files.push_back(UserPrompts::FileChoice{folder.filePath(QStringLiteral("fit.docx")), 0});
    prompts.files.push_back(UserPrompts::FileChoice{folder.filePath(QStringLiteral("fit")), 1});
    prompts.files.push_back(UserPrompts::FileChoice{folder.filePath(QStringLiteral("named.docx")), 1});
    for (int k = 0; k < 3; ++k)
        child<QPushButton>(&dialog, "ButtonExport")->click();
    QFile named(folder.filePath(QStringLiteral("named.docx")));
    ASSERT_TRUE(named.open(QIODevice::ReadOnly));
    EXPECT_TRUE(named.readAll().startsWith("PK"));
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_EQ(prompts.dialogs[0].proposedName, QStringLiteral("暴雨强度公式推求报告.docx"));
    QFile docx(folder.filePath(QStringLiteral("fit.docx")));
    ASSERT_TRUE(docx.open(QIODevice::ReadOnly));
    EXPECT_TRUE(docx.readAll().startsWith("PK"));
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("fit.csv"))));
}

// 置信区间: 计算 also resamples; the bands show in their tab and on the chart,
// go into the report, and are those the command line gives for the same
// samples, B and seed, to the byte. Unchecking it makes the result stale.
TEST_F(FormulaFitDialogTest, BandsShowGoIntoTheReportAndMatchTheCommandLine)
{
    auto *bandsBox = child<QCheckBox>(&dialog, "CheckBoxBands");
    EXPECT_EQ(bandsBox->text(), QStringLiteral("置信区间（90%）"));
    EXPECT_FALSE(bandsBox->isEnabled()); // an i–t–P table has no samples to redraw
    child<QComboBox>(&dialog, "InputKindBox")->setCurrentIndex(2);
    ASSERT_TRUE(bandsBox->isEnabled());
    bandsBox->setChecked(true);
    fit(QString::fromUtf8(KnownSamples()));
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    ASSERT_TRUE(dialog.bands());
    auto *tabs = child<QTabWidget>(&dialog, "TabResults");
    EXPECT_TRUE(tabs->isTabVisible(6));
    EXPECT_EQ(tabs->tabText(6), QStringLiteral("置信区间"));
    const FitResultTable shown = BandTable(*dialog.bands());
    ASSERT_EQ(child<QTableWidget>(&dialog, "GridBands")->rowCount(), 4 * 8); // durations × periods
    EXPECT_EQ(cell("GridBands", 5, 6), shown.rows[5][6]);
    EXPECT_TRUE(child<QLabel>(&dialog, "LabelBands")->text().contains(BandReading(*dialog.bands(), 10, 60)));
    // Each period's band is an area under its curve: a lower and an upper line filled between.
    auto *chart = child<QCustomPlot>(&dialog, "ChartFit");
    ASSERT_EQ(chart->graphCount(), 8 * 4);
    EXPECT_EQ(chart->graph(1)->channelFillGraph(), chart->graph(0));
    EXPECT_NE(chart->graph(1)->brush().style(), Qt::NoBrush);

    prompts.files.push_back(UserPrompts::FileChoice{folder.filePath(QStringLiteral("window.csv")), 1});
    child<QPushButton>(&dialog, "ButtonExport")->click();
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();

    const QString samples = folder.filePath(QStringLiteral("samples.csv"));
    QFile file(samples);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(KnownSamples());
    file.close();
    QProcess cli;
    cli.start(QStringLiteral(PLUVION_CLI_PATH),
              {QStringLiteral("--fit"), samples, QStringLiteral("--samples"), QStringLiteral("annual-max"),
               QStringLiteral("--bands"), QStringLiteral("--fit-report"),
               folder.filePath(QStringLiteral("cli.csv")), QStringLiteral("--save-bands"),
               folder.filePath(QStringLiteral("bands.csv"))});
    ASSERT_TRUE(cli.waitForFinished(120000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const auto bytes = [this](const char *name) {
        QFile written(folder.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(written.open(QIODevice::ReadOnly)) << name;
        return written.readAll();
    };
    EXPECT_EQ(bytes("bands.csv"), BandTableFileBytes(*dialog.bands()));
    EXPECT_EQ(bytes("window.csv"), bytes("cli.csv"));
    EXPECT_TRUE(DecodeLegacyLines(bytes("window.csv")).contains(QStringLiteral("置信区间（90%）")));

    // Asking no more for bands makes the shown result stale; 计算 then shows the fit alone.
    bandsBox->setChecked(false);
    EXPECT_FALSE(child<QLabel>(&dialog, "LabelStale")->isHidden());
    EXPECT_FALSE(child<QPushButton>(&dialog, "ButtonExport")->isEnabled());
    child<QPushButton>(&dialog, "ButtonFit")->click();
    EXPECT_FALSE(dialog.bands());
    EXPECT_FALSE(tabs->isTabVisible(6));
    EXPECT_EQ(chart->graphCount(), 8 * 2);
}

// A window whose options live in `home` and whose boxes `prompts` answers.
static MainWindowSetup WindowSetup(const QTemporaryDir &home, ScriptedPrompts &prompts)
{
    MainWindowSetup setup;
    setup.prompts = &prompts;
    setup.configurationFolder = home.path();
    setup.openUrl = [](const QUrl &) { return true; };
    return setup;
}

// 功能 → 暴雨强度公式推求... → 用于新雨型 puts the formula into the new-storm dialog.
TEST(FormulaFitWindowTest, FittedFormulaGoesIntoTheNewStormDialog)
{
    QTemporaryDir home;
    ScriptedPrompts prompts;
    MainWindow window(WindowSetup(home, prompts));
    QAction *command = window.findChild<QAction *>(QStringLiteral("Menu_FormulaFit"));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->text(), QStringLiteral("暴雨强度公式推求..."));

    QStringList proposed;
    NewStormDialog *storm = window.findChild<NewStormDialog *>();
    QTimer::singleShot(0, &window, [&window] {
        auto *dialog = window.findChild<FormulaFitDialog *>();
        child<QPlainTextEdit>(dialog, "DataEdit")
            ->setPlainText(PastedTable(11.2967393927278, 0.65432178, 7.3456789, 0.71234567));
        child<QPushButton>(dialog, "ButtonFit")->click();
        child<QPushButton>(dialog, "ButtonUseFormula")->click();
    });
    // Answers the new-storm dialog once it shows, however long the fit takes.
    std::function<void()> answerStorm = [storm, &proposed, &answerStorm] {
        if (!storm->isVisible()) {
            QTimer::singleShot(10, storm, answerStorm);
            return;
        }
        for (const char *name : {"Edit_a1", "Edit_c", "Edit_b", "Edit_n"}) {
            const QLineEdit *edit = child<QLineEdit>(storm, name);
            proposed << edit->text();
            // The whole number shows in its entry.
            EXPECT_LT(edit->fontMetrics().horizontalAdvance(edit->text()), edit->width() - 6) << name;
        }
        proposed << child<QComboBox>(storm, "ComboBox_LgLn")->currentText();
        child<QPushButton>(storm, "ButtonCancel")->click();
    };
    QTimer::singleShot(10, storm, answerStorm);
    command->trigger();
    // The formula as the fit shows it, to its four decimals.
    ASSERT_EQ(proposed.size(), 5);
    EXPECT_EQ(proposed.mid(0, 4), QStringList({"11.2967", "0.6543", "7.3457", "0.7123"}));
    EXPECT_EQ(proposed[4], QStringLiteral("lgP"));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
}

// From records to the window: 长历时雨型... builds the day-long storm of the
// records just read, and the window shows it (table, chart, labels) as its
// storm, saved and reopened exactly.
TEST(FormulaFitWindowTest, LongStormFromRecordsBecomesTheWindowsStorm)
{
    QTemporaryDir home;
    ScriptedPrompts prompts;
    MainWindow window(WindowSetup(home, prompts));
    const QStringList files = WriteStormRecords(home);
    prompts.files.push_back(UserPrompts::FileChoice{files.front(), 0, files});

    QTimer::singleShot(0, &window, [&window] {
        auto *dialog = window.findChild<FormulaFitDialog *>();
        child<QComboBox>(dialog, "InputKindBox")->setCurrentIndex(4);
        child<QPushButton>(dialog, "ButtonOpen")->click();
        // Answers the long-storm dialog once it shows.
        QTimer::singleShot(0, dialog, [dialog] {
            auto *ask = dialog->findChild<LongStormDialog *>();
            ASSERT_NE(ask, nullptr);
            child<QDoubleSpinBox>(ask, "LongPeriodEdit")->setValue(10);
            child<QPushButton>(ask, "ButtonOK")->click();
        });
        child<QPushButton>(dialog, "ButtonLongStorm")->click();
    });
    window.findChild<QAction *>(QStringLiteral("Menu_FormulaFit"))->trigger();
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();

    const Storm &storm = window.session().shownStorm();
    ASSERT_EQ(storm.kind, StormKind::Long);
    EXPECT_EQ(storm.duration, 1440);
    EXPECT_EQ(storm.step, 5);
    EXPECT_EQ(storm.period, 10);
    EXPECT_EQ(window.session().rows().size(), 288u);
    double total = 0;
    for (double depth : storm.longProfile.depths)
        total += depth;
    EXPECT_NEAR(storm.totalDepth, total, 1e-9);
    EXPECT_TRUE(window.findChild<QLabel *>("Label_r")->text().contains(QStringLiteral("同频率放大")));

    // Saved and opened again, the same storm.
    const QString path = home.filePath(QStringLiteral("day.txt"));
    ASSERT_TRUE(window.saveStormFile(path));
    Storm opened;
    ASSERT_EQ(ReadStormFile(path, opened, Separators{}), StormFileReadResult::Read);
    EXPECT_TRUE(opened.longProfile == window.session().storm().longProfile);

    // 打开雨型: an old Chicago storm file over the long storm, then the long storm again.
    prompts.files.push_back(
        UserPrompts::FileChoice{QStringLiteral(PLUVION_TEST_DATA "/flow-ln-block.storm.txt"), 0});
    window.openStorm();
    EXPECT_EQ(window.session().shownStorm().kind, StormKind::Chicago);
    EXPECT_TRUE(window.session().storm().longProfile.depths.empty());
    prompts.files.push_back(UserPrompts::FileChoice{path, 0});
    window.openStorm();
    EXPECT_EQ(window.session().shownStorm().kind, StormKind::Long);
    EXPECT_EQ(window.session().shownStorm().longProfile.depths, opened.longProfile.depths);
    EXPECT_EQ(window.session().rows().size(), 288u);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
}
