// The main window's commands beyond the storm itself, driven offscreen: the
// options dialog with its live preview, the exports as the menus run them,
// and the Help menu. Message boxes and file dialogs are scripted; every file
// or address the window opens is recorded instead of launched.
#include "ScriptedPrompts.h"
#include "app/MainWindow.h"
#include "app/ResultTableModel.h"
#include "chart/ChartPicture.h"
#include "chart/StormChart.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/OptionsDialog.h"
#include "export/SwmmExport.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "program/Community.h"
#include "program/ManualLookup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <new>

using namespace Qt::StringLiterals;

namespace {

const QString kNoData = u"没有数据可以保存~\r\n点击“添加”按钮，添加新曲线"_s;
const QString kNoChart = u"没有曲线可以保存~\r\n点击“添加”按钮，添加新曲线"_s;
// "时间(HH:MM)," in GBK: the CSV header for clock times.
const QByteArray kClockHeaderStart = QByteArray("\xCA\xB1\xBC\xE4(HH:MM),");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// Packed RGB rows, top to bottom, as RgbImage holds them.
QByteArray rgbPixels(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const qsizetype rowBytes = qsizetype(rgb.width()) * 3;
    QByteArray pixels;
    pixels.reserve(rowBytes * rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        pixels.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rowBytes);
    return pixels;
}

class WindowCommandsTest : public ::testing::Test
{
protected:
    QTemporaryDir home; // the configuration folder
    QTemporaryDir out;  // where the exports go
    ScriptedPrompts prompts;
    QList<QUrl> opened;
    std::unique_ptr<MainWindow> window;

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid() && out.isValid());
        MainWindowSetup setup;
        setup.prompts = &prompts;
        setup.configurationFolder = home.path();
        setup.openUrl = [this](const QUrl &url) {
            opened.append(url);
            return true;
        };
        window = std::make_unique<MainWindow>(setup);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->findChild<StormChart *>("StormChart")->replot(QCustomPlot::rpImmediateRefresh);
        QCoreApplication::processEvents();
    }

    QAction *action(const char *name) const
    {
        QAction *found = window->findChild<QAction *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString outPath(const QString &name) const { return out.filePath(name); }
    QUrl fileUrl(const QString &path) const { return QUrl::fromLocalFile(path); }
    void choose(const QString &path, int filter)
    {
        prompts.files.push_back(UserPrompts::FileChoice{path, filter});
    }
    QString cell(int row, int column) const
    {
        return window->findChild<ResultTableModel *>()->cellText(row, column);
    }
    QByteArray optionsBytes() const { return fileBytes(window->session().optionsFile()); }

    // Runs "设置": once the dialog is up, `whileOpen` works on it, then the
    // named button closes it.
    void runOptions(const std::function<void(OptionsDialog &)> &whileOpen, const char *button)
    {
        bool ran = false;
        QTimer::singleShot(0, window.get(), [&] {
            auto *dialog = window->findChild<OptionsDialog *>();
            if (!dialog) {
                ADD_FAILURE() << "the options dialog is not up";
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
            whileOpen(*dialog);
            dialog->findChild<QPushButton *>(QString::fromLatin1(button))->click();
            ran = true;
        });
        action("Menu_Options")->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(window->findChild<OptionsDialog *>(), nullptr); // made and destroyed for each use
    }

    static void clickCheckBox(OptionsDialog &dialog, const char *name)
    {
        auto *box = dialog.findChild<QCheckBox *>(QString::fromLatin1(name));
        ASSERT_NE(box, nullptr) << name;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
    }
};

// ---------------------------------------------------------------------------
// "设置"

TEST_F(WindowCommandsTest, OptionsCancelPutsBackTheLabelsAndTheFileByteForByte)
{
    // A file as a user may have edited it: a comment and bare LF line ends.
    const QByteArray handEdited = "; edited by hand\n[OPTIONS]\nShowLabel_P=1\nShowLabel_T=1\nShowLabel_R=1\n"
                                  "ShowLabel__Overall_Rainfall=1\nShowLabel_Average=1\nShowAxis_Overall=1\n"
                                  "ShowAxis_Intensity=1\nCalcByShow=0\nPrecision=4\nTimeFormat=0\n";
    writeFile(window->session().optionsFile(), handEdited);

    bool hiddenWhileOpen = false;
    QByteArray fileWhileOpen;
    runOptions(
        [&](OptionsDialog &dialog) {
            clickCheckBox(dialog, "CheckBox_ShowLabel_P");
            hiddenWhileOpen = window->findChild<QLabel *>("Label_P")->isHidden();
            fileWhileOpen = optionsBytes();
        },
        "Button_Cancle");

    EXPECT_TRUE(hiddenWhileOpen);
    EXPECT_TRUE(fileWhileOpen.contains("\nShowLabel_P=0\n")); // the preview saved the switch
    EXPECT_FALSE(window->findChild<QLabel *>("Label_P")->isHidden());
    EXPECT_TRUE(window->session().options().ShowLabel_P);
    EXPECT_EQ(optionsBytes(), handEdited);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowCommandsTest, OptionsOkWithPrecisionSixShowsSixDecimalsEverywhere)
{
    QString cellWhileOpen;
    runOptions(
        [&](OptionsDialog &dialog) {
            auto *spin = dialog.findChild<QSpinBox *>(u"SpinEdit_Precision"_s);
            ASSERT_NE(spin, nullptr);
            // Two clicks on the spin box's up arrow: 4 -> 6.
            QStyleOptionSpinBox option;
            option.initFrom(spin);
            option.frame = spin->hasFrame();
            option.buttonSymbols = spin->buttonSymbols();
            option.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField |
                                 QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
            option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
            const QRect up =
                spin->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, spin);
            QTest::mouseClick(spin, Qt::LeftButton, {}, up.center());
            QTest::mouseClick(spin, Qt::LeftButton, {}, up.center());
            EXPECT_EQ(spin->value(), 6);
            // The precision takes effect when the dialog closes.
            cellWhileOpen = cell(0, 1);
        },
        "Button_OK");

    EXPECT_EQ(cellWhileOpen, u"0.1908"_s);
    EXPECT_EQ(window->session().options().Precision, 6);
    EXPECT_TRUE(optionsBytes().contains("\r\nPrecision=6\r\n"));
    EXPECT_EQ(cell(0, 0), u"00:00"_s);
    EXPECT_EQ(cell(0, 1), u"0.190802"_s);
    EXPECT_EQ(cell(48, 1), u"3.359936"_s);
    EXPECT_EQ(cell(48, 2), u"25.995400"_s); // trailing zeros kept
    EXPECT_EQ(cell(120, 2), u"60.634473"_s);
    EXPECT_EQ(window->findChild<QLabel *>("Label_Overall_Rainfall")->text(), u"降雨总量H=60.634473mm"_s);
    EXPECT_EQ(window->findChild<QLabel *>("Label_Average_Rainfall_Intensity")->text(),
              u"平均雨强i=0.505287mm/min"_s);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowCommandsTest, OptionsSeriesSwitchPreviewsOnTheWindowAtOnce)
{
    StormChart *chart = window->findChild<StormChart *>("StormChart");
    struct Seen
    {
        bool lineShown = true;
        bool checkBox = true;
        bool popupItem = true;
        QByteArray file;
    } seen;
    runOptions(
        [&](OptionsDialog &dialog) {
            clickCheckBox(dialog, "CheckBox_ShowAxis_Rainfall_Intensity");
            seen = {chart->intensitySeries()->visible(),
                    window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity")->isChecked(),
                    window->findChild<QAction *>("menu_Rainfall_Intensity")->isChecked(), optionsBytes()};
        },
        "Button_Cancle");

    EXPECT_FALSE(seen.lineShown);
    EXPECT_FALSE(seen.checkBox);
    EXPECT_FALSE(seen.popupItem);
    EXPECT_TRUE(seen.file.contains("\r\nShowAxis_Intensity=0\r\n"));
    EXPECT_TRUE(chart->overallSeries()->visible());

    // Cancel switches the line back on, on the window and in the file.
    EXPECT_TRUE(chart->intensitySeries()->visible());
    EXPECT_TRUE(window->findChild<QCheckBox *>("CheckBox_Rainfall_Intensity")->isChecked());
    EXPECT_TRUE(window->findChild<QAction *>("menu_Rainfall_Intensity")->isChecked());
    EXPECT_TRUE(optionsBytes().contains("\r\nShowAxis_Intensity=1\r\n"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowCommandsTest, OptionsOkThatCannotBeSavedEndsInTheErrorBoxWithoutARefresh)
{
    runOptions(
        [&](OptionsDialog &dialog) {
            auto *spin = dialog.findChild<QSpinBox *>(u"SpinEdit_Precision"_s);
            ASSERT_NE(spin, nullptr);
            spin->setFocus();
            QTest::keyClick(spin, Qt::Key_Up);
            // A folder where the options file should be: the save after "确定" fails.
            QFile::remove(window->session().optionsFile());
            ASSERT_TRUE(QDir().mkpath(window->session().optionsFile() + u"/blocked"_s));
        },
        "Button_OK");

    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, ApplicationTitle());
    EXPECT_TRUE(
        prompts.messages[0].text.startsWith(u"Unable to write to "_s + window->session().optionsFile()))
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Error);
    EXPECT_EQ(cell(0, 1), u"0.1908"_s); // no refresh
}

// ---------------------------------------------------------------------------
// Exports

// After a storm that cannot be computed the table and chart still show the
// storm before: no export of results may pair that table with the new
// parameters, until a computation succeeds again.
TEST_F(WindowCommandsTest, ExportsAfterAFailedComputationAreRefusedUntilOneSucceeds)
{
    window->session().updateStorm([&](Storm &s) {
        s.step = 0;
        s.b = -7;
    });
    ASSERT_EQ(window->session().rows().size(), 121u); // the storm before
    const QString refusal =
        u"当前雨型计算出错（Division by zero（计算步长 Δt = 0 分钟）），没有可以输出的结果。\n"
        u"表格和图表仍是上一个雨型的结果。请修改参数，计算成功后再输出。"_s;

    for (const char *name : {"MenuSaveDataToExcel1", "MenuSaveDataToExcel", "MenuSaveDataToWord1",
                             "MenuSaveDataToWord", "MenuSaveDataToSwmm1", "MenuSaveDataToSwmm", "BMP1",
                             "JPG1", "PNG1", "BMP2", "JPG2", "PNG2", "Menu_outputResult"}) {
        prompts.messages.clear();
        action(name)->trigger();
        ASSERT_EQ(prompts.messages.size(), 1) << name;
        EXPECT_EQ(prompts.messages[0].caption, u"提示"_s) << name;
        EXPECT_EQ(prompts.messages[0].text, refusal) << name;
        EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Information) << name;
    }
    prompts.messages.clear();
    QTest::mouseClick(window->findChild<QPushButton *>(u"Button_OutputResult"_s), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, refusal);
    EXPECT_TRUE(prompts.dialogs.isEmpty());
    EXPECT_TRUE(opened.isEmpty());

    // The storm file holds parameters, not results: it is saved as ever.
    prompts.messages.clear();
    choose(outPath(u"failed.txt"_s), 0);
    action("Menu_SaveAs")->trigger();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(outPath(u"failed.txt"_s)));

    // A storm that computes again lifts the refusal.
    window->session().updateStorm([&](Storm &s) {
        s.step = 1;
        s.b = 7;
    });
    prompts.messages.clear();
    prompts.dialogs.clear();
    action("MenuSaveDataToExcel1")->trigger();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.dialogs.size(), 1);
}

TEST_F(WindowCommandsTest, SaveDialogsProposeTheirNamesAndTypes)
{
    const QStringList dataFilters = {u"Excel文件(*.csv)"_s, u"Word文件(*.docx)"_s};
    const QStringList pictureFilters = {u"位图文件(*.bmp)"_s, u"JPG文件(*.jpg)"_s, u"PNG文件(*.png)"_s};
    const QStringList swmmFilters = {u"SWMM输入文件(*.inp)"_s, u"文本文件(*.txt)"_s};
    const struct
    {
        const char *action;
        QString caption;
        QString title;
        const QStringList &filters;
        int selected;
        QString name;
    } cases[] = {
        {"MenuSaveDataToExcel1", u"保存雨型数据(EXCEL格式)..."_s, u"保存曲线数据"_s, dataFilters, 0,
         u"芝加哥雨型计算数据P=2年 t=120分 r=0.4.csv"_s},
        {"MenuSaveDataToExcel", u"保存雨型数据(EXCEL格式)..."_s, u"保存曲线数据"_s, dataFilters, 0,
         u"芝加哥雨型计算数据P=2年 t=120分 r=0.4.csv"_s},
        {"MenuSaveDataToWord1", u"保存雨型数据(WORD格式)..."_s, u"保存曲线数据"_s, dataFilters, 1,
         u"芝加哥雨型计算数据 P=2年 T=120分 R=0.4.docx"_s},
        {"MenuSaveDataToWord", u"保存雨型数据(WORD格式)..."_s, u"保存曲线数据"_s, dataFilters, 1,
         u"芝加哥雨型计算数据 P=2年 T=120分 R=0.4.docx"_s},
        {"MenuSaveDataToSwmm1", u"保存雨型数据(SWMM格式)..."_s, u"保存SWMM雨量时间序列"_s, swmmFilters, 0,
         u"芝加哥雨型SWMM数据P=2年 t=120分 r=0.4.inp"_s},
        {"MenuSaveDataToSwmm", u"保存雨型数据(SWMM格式)..."_s, u"保存SWMM雨量时间序列"_s, swmmFilters, 0,
         u"芝加哥雨型SWMM数据P=2年 t=120分 r=0.4.inp"_s},
        {"Menu_outputResult", u"输出结果..."_s, u"保存曲线数据"_s, dataFilters, 1,
         u"雨型计算书 P=2年 T=120分 R=0.4.docx"_s},
        {"BMP1", u"保存图片(BMP格式)..."_s, u"保存曲线图片"_s, pictureFilters, 0,
         u"芝加哥雨型P=2年 t=120分 r=0.4.bmp"_s},
        {"JPG1", u"保存图片(JPG格式)..."_s, u"保存曲线图片"_s, pictureFilters, 1,
         u"芝加哥雨型P=2年 t=120分 r=0.4.jpg"_s},
        {"PNG1", u"保存图片(PNG格式)..."_s, u"保存曲线图片"_s, pictureFilters, 2,
         u"芝加哥雨型P=2年 t=120分 r=0.4.png"_s},
        {"BMP2", u"保存图片(BMP格式)..."_s, u"保存曲线图片"_s, pictureFilters, 0,
         u"芝加哥雨型P=2年 t=120分 r=0.4.bmp"_s},
        {"JPG2", u"保存图片(JPG格式)..."_s, u"保存曲线图片"_s, pictureFilters, 1,
         u"芝加哥雨型P=2年 t=120分 r=0.4.jpg"_s},
        {"PNG2", u"保存图片(PNG格式)..."_s, u"保存曲线图片"_s, pictureFilters, 2,
         u"芝加哥雨型P=2年 t=120分 r=0.4.png"_s},
    };
    for (const auto &c : cases) {
        prompts.dialogs.clear();
        QAction *command = action(c.action);
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(command->text(), c.caption) << c.action;
        command->trigger(); // cancelled: nothing is written
        ASSERT_EQ(prompts.dialogs.size(), 1) << c.action;
        const UserPrompts::FileDialog &dialog = prompts.dialogs[0];
        EXPECT_EQ(dialog.title, c.title) << c.action;
        EXPECT_EQ(dialog.filters, c.filters) << c.action;
        EXPECT_EQ(dialog.selectedFilter, c.selected) << c.action;
        EXPECT_EQ(dialog.proposedName, c.name) << c.action;
        EXPECT_TRUE(dialog.confirmOverwrite) << c.action;
    }
    // The pop-up entries lie in their pop-up menus.
    EXPECT_TRUE(window->findChild<QMenu *>("PopupMenu_Picture")->actions().contains(action("JPG1")));
    EXPECT_TRUE(
        window->findChild<QMenu *>("PopupMenu_Data")->actions().contains(action("MenuSaveDataToWord")));
    EXPECT_TRUE(
        window->findChild<QMenu *>("PopupMenu_Data")->actions().contains(action("MenuSaveDataToSwmm")));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}

TEST_F(WindowCommandsTest, CsvHoldsTheTableAsShownWithTheUsersEdits)
{
    ResultTableModel *model = window->findChild<ResultTableModel *>();
    ASSERT_TRUE(model->setData(model->index(0, 2), u"edited"_s, Qt::EditRole));
    ASSERT_TRUE(model->setData(model->index(48, 1), u"3,36"_s, Qt::EditRole));

    // A ".txt" name with "Word文件" selected still gives CSV under ".csv".
    choose(outPath(u"table.txt"_s), 1);
    action("MenuSaveDataToExcel")->trigger();
    const QString target = outPath(u"table.csv"_s);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_FALSE(QFile::exists(outPath(u"table.txt"_s)));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(target)});

    const QByteArray bytes = fileBytes(target);
    EXPECT_TRUE(bytes.startsWith(kClockHeaderStart)); // GBK, no byte-order mark
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 122);
    EXPECT_EQ(bytes.count('\n'), 122);
    const QStringList lines = DecodeLegacyLines(bytes);
    ASSERT_EQ(lines.size(), 122);
    EXPECT_EQ(lines[0], u"时间(HH:MM),降雨强度(mm/min),降雨总量(mm)"_s);
    EXPECT_EQ(lines[1], u"00:00,0.1908,edited"_s);
    EXPECT_EQ(lines[49], u"00:48,\"3,36\",25.9954"_s); // three fields still
    EXPECT_EQ(lines[121], u"02:00,0.1908,60.6345"_s);
    // The export changes nothing in the table.
    EXPECT_EQ(cell(0, 2), u"edited"_s);
}

TEST_F(WindowCommandsTest, DataDocumentIsWrittenAndOpened)
{
    choose(outPath(u"data"_s), 0); // no extension, "Excel文件" selected: still a .docx
    action("MenuSaveDataToWord1")->trigger();
    const QString target = outPath(u"data.docx"_s);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_TRUE(fileBytes(target).startsWith("PK\x03\x04"));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(target)});
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{u"data.docx"_s}); // no stray files
}

TEST_F(WindowCommandsTest, SwmmFragmentHoldsTheComputedStormAndIsOpened)
{
    // A name with a foreign extension becomes .inp; the fragment is the
    // computed storm, whatever the table's cells were edited to.
    window->session().updateStorm([&](Storm &s) { s.mode = CalcMode::Block; });
    window->findChild<ResultTableModel *>()->setData(window->findChild<ResultTableModel *>()->index(0, 1),
                                                     u"99"_s, Qt::EditRole);
    choose(outPath(u"storm.csv"_s), 1);
    action("MenuSaveDataToSwmm")->trigger();
    const QString target = outPath(u"storm.inp"_s);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_EQ(fileBytes(target), SwmmFragmentBytes(window->session().storm()));
    EXPECT_TRUE(fileBytes(target).contains("[TIMESERIES]"));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(target)});

    // A .txt name is kept.
    opened.clear();
    choose(outPath(u"storm.TXT"_s), 1);
    action("MenuSaveDataToSwmm1")->trigger();
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(outPath(u"storm.TXT"_s))});
}

TEST_F(WindowCommandsTest, SwmmFragmentOfAnInstantStormSaysItHoldsBlockAverages)
{
    window->session().updateStorm([&](Storm &s) {
        s.mode = CalcMode::Instant;
        s.step = 7;
    });
    choose(outPath(u"storm.inp"_s), 0);
    action("MenuSaveDataToSwmm1")->trigger();
    const QString target = outPath(u"storm.inp"_s);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, u"提示"_s);
    EXPECT_EQ(prompts.messages[0].text, *SwmmModeNote(window->session().storm()));
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Information);
    Storm block = window->session().storm();
    block.mode = CalcMode::Block;
    const auto belowFirstLine = [](const QByteArray &bytes) { return bytes.mid(bytes.indexOf("\r\n")); };
    EXPECT_EQ(belowFirstLine(fileBytes(target)), belowFirstLine(SwmmFragmentBytes(block)));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(target)});
}

TEST_F(WindowCommandsTest, PictureTypeFollowsTheFilterChosenInTheDialog)
{
    StormChart *chart = window->findChild<StormChart *>("StormChart");
    EXPECT_EQ(chart->size(), QSize(579, 480));

    // The JPEG entry, switched to "PNG文件" in the dialog.
    choose(outPath(u"chart.jpg"_s), 2);
    action("JPG2")->trigger();
    const QString png = outPath(u"chart.png"_s);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_FALSE(QFile::exists(outPath(u"chart.jpg"_s)));
    EXPECT_TRUE(fileBytes(png).startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(png)});

    const RgbImage shown = GrabChart(chart);
    QImage written(png, "PNG");
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.size(), chart->size());
    EXPECT_FALSE(written.hasAlphaChannel());
    EXPECT_TRUE(rgbPixels(written) == shown.pixels);

    // A name without an extension takes the selected type's: a bitmap, whose
    // rows (579 pixels, padded) come back as shown.
    choose(outPath(u"chart"_s), 0);
    action("PNG1")->trigger();
    const QString bmp = outPath(u"chart.bmp"_s);
    QImage bitmap(bmp, "BMP");
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.size(), chart->size());
    EXPECT_TRUE(rgbPixels(bitmap) == shown.pixels);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.last(), fileUrl(bmp));

    // A wider window gives a wider picture.
    window->resize(window->width() + 200, window->height());
    QCoreApplication::processEvents();
    chart->replot(QCustomPlot::rpImmediateRefresh);
    ASSERT_EQ(chart->size(), QSize(779, 480));
    choose(outPath(u"wide.png"_s), 2);
    action("PNG2")->trigger();
    QImage wide(outPath(u"wide.png"_s), "PNG");
    EXPECT_EQ(wide.size(), QSize(779, 480));
    EXPECT_TRUE(rgbPixels(wide) == GrabChart(chart).pixels);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowCommandsTest, OffScreenChartDrawsWhatTheWindowShows)
{
    // The report's picture and the command-line tool's pictures are drawn off
    // screen; at the chart's own size they must equal what the window shows,
    // with a label dragged elsewhere and another switched off.
    StormChart *chart = window->findChild<StormChart *>("StormChart");
    window->findChild<QLabel *>("Label_T")->move(window->findChild<QLabel *>("Label_T")->pos() +
                                                 QPoint(120, 40));
    window->findChild<QLabel *>("Label_r")->hide();
    chart->replot(QCustomPlot::rpImmediateRefresh);
    const RgbImage shown = GrabChart(chart);
    const RgbImage drawn = RenderChart(window->chartScene(), chart->size());
    EXPECT_EQ(drawn.width, shown.width);
    EXPECT_EQ(drawn.height, shown.height);
    EXPECT_TRUE(drawn.pixels == shown.pixels);
}

TEST_F(WindowCommandsTest, ReportIsWrittenAndOpenedAndTheChartKeepsItsPlace)
{
    const QRect chartPlace = window->findChild<StormChart *>("StormChart")->geometry();
    choose(outPath(u"report.docx"_s), 1);
    auto *button = window->findChild<QPushButton *>(u"Button_OutputResult"_s);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    const QString target = outPath(u"report.docx"_s);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
    EXPECT_TRUE(fileBytes(target).startsWith("PK\x03\x04"));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(target)});
    EXPECT_EQ(window->findChild<StormChart *>("StormChart")->geometry(), chartPlace);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{u"report.docx"_s});
}

TEST_F(WindowCommandsTest, FailedWriteShowsTheStandardErrorBoxAndOpensNothing)
{
    const QString missing = outPath(u"missing"_s);
    const struct
    {
        const char *action;
        QString chosen;
        int filter;
        QString target;
    } cases[] = {
        {"MenuSaveDataToExcel1", missing + u"/data.txt"_s, 0, missing + u"/data.csv"_s},
        {"MenuSaveDataToWord1", missing + u"/data"_s, 1, missing + u"/data.docx"_s},
        {"Menu_outputResult", missing + u"/report.docx"_s, 1, missing + u"/report.docx"_s},
        {"BMP2", missing + u"/chart.bmp"_s, 0, missing + u"/chart.bmp"_s},
        {"JPG1", missing + u"/chart.jpg"_s, 1, missing + u"/chart.jpg"_s},
        {"PNG2", missing + u"/chart.png"_s, 2, missing + u"/chart.png"_s},
    };
    for (const auto &c : cases) {
        prompts.messages.clear();
        choose(c.chosen, c.filter);
        action(c.action)->trigger();
        ASSERT_EQ(prompts.messages.size(), 1) << c.action;
        const ScriptedPrompts::Shown &box = prompts.messages[0];
        EXPECT_EQ(box.caption, ApplicationTitle()) << c.action;
        EXPECT_EQ(box.icon, UserPrompts::Icon::Error) << c.action;
        EXPECT_EQ(box.buttons, UserPrompts::Buttons::Ok) << c.action;
        EXPECT_TRUE(box.text.startsWith(CannotCreateFileMessage(c.target, {}))) << box.text.toStdString();
        EXPECT_TRUE(box.text.endsWith(u'.')) << box.text.toStdString();
    }
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}

TEST_F(WindowCommandsTest, AsksBeforeReplacingAFileTheDialogDidNotAskAbout)
{
    const QString target = outPath(u"data.csv"_s);
    writeFile(target, "old");

    // "data.txt" becomes "data.csv", which exists: No keeps it.
    prompts.answers.push_back(UserPrompts::Answer::No);
    choose(outPath(u"data.txt"_s), 0);
    action("MenuSaveDataToExcel1")->trigger();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].buttons, UserPrompts::Buttons::YesNo);
    EXPECT_TRUE(prompts.messages[0].text.contains(QDir::toNativeSeparators(target)));
    EXPECT_EQ(fileBytes(target), QByteArray("old"));
    EXPECT_TRUE(opened.isEmpty());

    // Yes replaces it.
    prompts.answers.push_back(UserPrompts::Answer::Yes);
    choose(outPath(u"data.txt"_s), 0);
    action("MenuSaveDataToExcel1")->trigger();
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(fileBytes(target).startsWith(kClockHeaderStart));
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(target)});

    // The dialog itself asked about "data.csv": no second question.
    writeFile(target, "old");
    choose(target, 0);
    action("MenuSaveDataToExcel1")->trigger();
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(fileBytes(target).startsWith(kClockHeaderStart));

    // The same for a picture whose type the dialog changed.
    const QString png = outPath(u"chart.png"_s);
    writeFile(png, "old");
    prompts.answers.push_back(UserPrompts::Answer::No);
    choose(outPath(u"chart.bmp"_s), 2);
    action("BMP1")->trigger();
    ASSERT_EQ(prompts.messages.size(), 3);
    EXPECT_EQ(prompts.messages[2].buttons, UserPrompts::Buttons::YesNo);
    EXPECT_EQ(fileBytes(png), QByteArray("old"));
    EXPECT_FALSE(QFile::exists(outPath(u"chart.bmp"_s)));
    EXPECT_EQ(opened.size(), 2);
}

// ---------------------------------------------------------------------------
// "帮助(&H)"

TEST_F(WindowCommandsTest, HelpMenuHoldsItsItemsInOrder)
{
    QMenu *help = window->findChild<QMenu *>(u"HelpMenu"_s);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->title(), u"帮助(&H)"_s);
    QStringList items;
    for (const QAction *item : help->actions())
        items.append(item->isSeparator() ? u"-"_s : item->objectName() + u':' + item->text());
    // The community item only when the build names a real group.
    QStringList expected = {u"Menu_help1:帮助"_s, u"Menu_Update:检查更新..."_s, u"-"_s};
    if (Community::offered())
        expected << u"Menu_AddQQ:加Q群"_s + Community::groupNumber() << u"-"_s;
    expected << u"Menu_About:关于"_s;
    EXPECT_EQ(items, expected);
    for (const QAction *item : help->actions())
        EXPECT_FALSE(item->text().contains(u"123456789"_s)) << "a made-up group number";
}

TEST_F(WindowCommandsTest, HelpOpensTheManualBesideTheProgram)
{
    const QString folder = window->programFolder();
    const QString manual = QDir(folder).filePath(u"软件说明书(WindowCommandsTest).PDF"_s);
    QFile::remove(manual); // left over from an interrupted run
    if (!FindManual(folder).isEmpty())
        GTEST_SKIP() << "a manual already lies beside the test program";

    // None there: nothing happens, silently.
    action("Menu_help1")->trigger();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(prompts.messages.isEmpty());

    // One copied there meanwhile is found at the next "帮助".
    writeFile(manual, "%PDF-1.4\n");
    const auto removeManual = qScopeGuard([&] { QFile::remove(manual); });
    action("Menu_help1")->trigger();
    EXPECT_EQ(opened, QList<QUrl>{fileUrl(manual)});
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowCommandsTest, CommunityItemOpensTheCommunityPage)
{
    if (!Community::offered()) {
        EXPECT_EQ(window->findChild<QAction *>(u"Menu_AddQQ"_s), nullptr);
        GTEST_SKIP() << "the build names no community group";
    }
    action("Menu_AddQQ")->trigger();
    EXPECT_EQ(opened, QList<QUrl>{QUrl(Community::pageUrl())});
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowCommandsTest, AboutBoxIsMadeOnceAndShownAgain)
{
    QList<QWidget *> boxes;
    QStringList versions;
    const auto closeWhenUp = [&] {
        QTimer::singleShot(0, window.get(), [&] {
            QWidget *box = QApplication::activeModalWidget();
            boxes.append(box);
            if (!box) {
                ADD_FAILURE() << "no modal box is up";
                return;
            }
            versions.append(box->findChild<QLabel *>(u"LabelVersion"_s)->text());
            box->findChild<QPushButton *>(u"ButtonOK"_s)->click();
        });
    };
    closeWhenUp();
    action("Menu_About")->trigger();
    closeWhenUp();
    action("Menu_About")->trigger();

    ASSERT_EQ(boxes.size(), 2);
    auto *about = qobject_cast<AboutDialog *>(boxes[0]);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), u"关于"_s);
    EXPECT_EQ(boxes[1], boxes[0]);
    EXPECT_EQ(versions, (QStringList{u"版本：Ver2.08"_s, u"版本：Ver2.08"_s}));
    int aboutBoxes = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        aboutBoxes += qobject_cast<AboutDialog *>(top) != nullptr;
    EXPECT_EQ(aboutBoxes, 1);
    EXPECT_FALSE(about->isVisible());
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(WindowCommandsTest, ACommandOutOfMemoryEndsInTheErrorBox)
{
    MainWindowSetup setup;
    setup.prompts = &prompts;
    setup.configurationFolder = home.path();
    setup.openUrl = [](const QUrl &) -> bool { throw std::bad_alloc(); };
    MainWindow starved(setup);
    choose(outPath(u"table.csv"_s), 0);
    starved.findChild<QAction *>(u"MenuSaveDataToExcel"_s)->trigger();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("内存不足，无法完成该操作")))
        << prompts.lastText().toStdString();
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Error);
}

} // namespace
