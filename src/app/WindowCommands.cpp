// The main window's commands beyond the storm itself: options, exports, help.
#include "MainWindow.h"
#include "app/HelpCommands.h"
#include "app/ResultTableModel.h"
#include "app/UpdateCheck.h"
#include "chart/ChartPicture.h"
#include "chart/StormChart.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/FormulaFitDialog.h"
#include "dialogs/NewStormDialog.h"
#include "dialogs/OptionsDialog.h"
#include "export/CalcReport.h"
#include "export/CsvExport.h"
#include "export/DataDocument.h"
#include "export/ExportTarget.h"
#include "export/PictureFiles.h"
#include "export/SwmmExport.h"
#include "export/WordTemplate.h"
#include "io/OptionsSnapshot.h"
#include "program/Community.h"
#include "program/ProgramInfo.h"
#include "records/LongDesignStorm.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QUrl>

// The formula derived from rainfall statistics goes into the new-storm dialog.
void MainWindow::fitFormula()
{
    if (!m_formulaFitDialog)
        m_formulaFitDialog = new FormulaFitDialog(*m_prompts, this);
    if (m_formulaFitDialog->exec() != QDialog::Accepted)
        return;
    // A long-duration storm from the records becomes the window's storm as it is.
    if (std::optional<LongStorm> built = m_formulaFitDialog->takeLongStorm()) {
        const Storm storm = LongDesignStorm(*built, m_formulaFitDialog->records()->record);
        m_session->setFile(QString());
        m_session->setStorm(storm);
        return;
    }
    if (!m_formulaFitDialog->fittedFormula())
        return;
    // From rain-gauge records the storm also gets the peak ratio they show.
    m_newStormDialog->proposeFormula(StormWithFormula(chicagoBase(), *m_formulaFitDialog->fittedFormula()),
                                     m_formulaFitDialog->fittedPeakRatio());
    newStorm();
}

void MainWindow::buildExportMenus()
{
    addCommand(m_functionsMenu, QStringLiteral("Menu_outputResult"), QStringLiteral("输出结果..."),
               [this] { exportReport(); });
    addCommand(m_functionsMenu, QStringLiteral("Menu_FormulaFit"), QStringLiteral("暴雨强度公式推求..."),
               [this] { fitFormula(); });
    m_functionsMenu->addSeparator();
    QMenu *pictures = m_functionsMenu->addMenu(QStringLiteral("保存雨型图片"));
    pictures->setObjectName(QStringLiteral("PictureMenu"));
    QMenu *data = m_functionsMenu->addMenu(QStringLiteral("保存雨型数据"));
    data->setObjectName(QStringLiteral("DataMenu"));
    m_functionsMenu->addSeparator();
    addCommand(m_functionsMenu, QStringLiteral("Menu_Options"), QStringLiteral("设置"),
               [this] { editOptions(); });

    for (const PictureMenuEntry &entry : PictureMenuEntries()) {
        QMenu *menu = entry.menu == PictureMenu::ChartPopup ? m_popupPicture : pictures;
        QAction *action =
            addCommand(menu, entry.objectName, entry.caption, [this, tag = entry.tag] { savePicture(tag); });
        action->setData(entry.tag);
    }

    const QString csvCaption = CsvMenuCaption();
    const QString wordCaption = QStringLiteral("保存雨型数据(WORD格式)...");
    addCommand(data, QStringLiteral("MenuSaveDataToExcel1"), csvCaption, [this] { exportCsv(); });
    addCommand(data, QStringLiteral("MenuSaveDataToWord1"), wordCaption, [this] { exportDataDocument(); });
    addCommand(m_popupData, QStringLiteral("MenuSaveDataToExcel"), csvCaption, [this] { exportCsv(); });
    addCommand(m_popupData, QStringLiteral("MenuSaveDataToWord"), wordCaption,
               [this] { exportDataDocument(); });
    addCommand(data, QStringLiteral("MenuSaveDataToSwmm1"), SwmmMenuCaption(), [this] { exportSwmm(); });
    addCommand(m_popupData, QStringLiteral("MenuSaveDataToSwmm"), SwmmMenuCaption(),
               [this] { exportSwmm(); });

    addCommand(m_helpMenu, QStringLiteral("Menu_help1"), QStringLiteral("帮助"), [this] { openManual(); });
    addCommand(m_helpMenu, QStringLiteral("Menu_Update"), QStringLiteral("检查更新..."),
               [this] { checkForUpdates(); });
    m_helpMenu->addSeparator();
    if (Community::offered()) {
        addCommand(m_helpMenu, QStringLiteral("Menu_AddQQ"), Community::menuCaption(),
                   [this] { joinCommunity(); });
        m_helpMenu->addSeparator();
    }
    addCommand(m_helpMenu, QStringLiteral("Menu_About"), QStringLiteral("关于"), [this] { showAbout(); });

    connect(m_reportButton, &QPushButton::clicked, this, [this] { runCommand([this] { exportReport(); }); });
}

void MainWindow::previewOptions(const ViewOptions &options)
{
    // Runs from a control of the options dialog: a failed save of the options
    // ends in the standard error box.
    runCommand([this, &options] {
        m_session->setOptions(options);
        showLabelsByOptions();
        setCheckBox(m_checkOverall, m_session->options().ShowAxis_Overall);
        setCheckBox(m_checkIntensity, m_session->options().ShowAxis_Intensity);
        applySeriesVisibility(m_checkOverall);
    });
}

void MainWindow::editOptions()
{
    // The dialog edits a copy; the window previews each change and the
    // session takes the copy, or the options as they were, at the end.
    const ViewOptions before = m_session->options();
    if (m_session->optionsFile().isEmpty()) {
        // Without a data folder the options live for this run only.
        OptionsDialog dialog(
            before, [this](const ViewOptions &shown) { previewOptions(shown); }, this);
        if (dialog.exec() != QDialog::Accepted)
            m_session->setOptions(before);
        refreshStorm();
        return;
    }
    const OptionsSnapshot opened(before, m_session->optionsFile());
    OptionsDialog dialog(
        before, [this](const ViewOptions &shown) { previewOptions(shown); }, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    ViewOptions options = m_session->options();
    KeepOrRevertOptions(accepted, options, opened);
    m_session->setOptions(options);
    refreshStorm();
}

bool MainWindow::confirmChangedTarget(const QString &chosen, const QString &target)
{
    if (!TargetNeedsReplaceQuestion(chosen, target))
        return true;
    return m_prompts->message(
               this, QStringLiteral("确认替换"),
               QStringLiteral("%1 已存在。\n要替换它吗？").arg(QDir::toNativeSeparators(target)),
               UserPrompts::Icon::Warning, UserPrompts::Buttons::YesNo) == UserPrompts::Answer::Yes;
}

void MainWindow::openFile(const QString &path)
{
    m_openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

std::optional<QString> MainWindow::askDataTarget(int filter, const QString &proposedName,
                                                 const std::function<QString(const QString &)> &targetOf)
{
    UserPrompts::FileDialog dialog;
    dialog.title = DataSaveDialogTitle();
    dialog.filters = DataSaveDialogFilters();
    dialog.selectedFilter = filter;
    dialog.proposedName = proposedName;
    dialog.kind = FileKind::Data;
    return askSaveTarget(dialog, targetOf);
}

std::optional<QString> MainWindow::askSaveTarget(const UserPrompts::FileDialog &dialog,
                                                 const std::function<QString(const QString &)> &targetOf)
{
    const auto choice = m_prompts->saveFile(this, dialog);
    if (!choice)
        return std::nullopt;
    // The extension follows the command, whichever file type was selected.
    const QString target = targetOf(choice->path);
    if (!confirmChangedTarget(choice->path, target))
        return std::nullopt;
    return target;
}

bool MainWindow::hasRowsToExport(const QString &nothingMessage)
{
    const std::optional<QString> refusal = m_session->exportRefusal(nothingMessage);
    if (!refusal)
        return true;
    m_prompts->message(this, QStringLiteral("提示"), *refusal, UserPrompts::Icon::Information);
    return false;
}

void MainWindow::exportCsv()
{
    if (!hasRowsToExport(NoDataToSaveMessage()))
        return;
    const auto target = askDataTarget(0, CsvProposedName(m_session->storm(), m_separators), CsvTargetPath);
    if (!target)
        return;
    WriteCsvFile(*target, m_session->table().shownRows(), int(m_session->options().TimeFormat));
    openFile(*target);
}

void MainWindow::exportDataDocument()
{
    if (!hasRowsToExport(NoDataToSaveMessage()))
        return;
    const auto target =
        askDataTarget(1, DataDocumentProposedName(m_session->storm(), m_separators), WordDocumentPath);
    if (!target)
        return;
    WriteDataDocument(*target, WordTableTexts(m_session->table().shownRows()),
                      int(m_session->options().TimeFormat));
    openFile(*target);
}

void MainWindow::exportSwmm()
{
    if (!hasRowsToExport(NoDataToSaveMessage()))
        return;
    UserPrompts::FileDialog dialog;
    dialog.title = SwmmSaveDialogTitle();
    dialog.filters = SwmmSaveDialogFilters();
    dialog.proposedName = SwmmProposedName(m_session->storm(), m_separators);
    dialog.kind = FileKind::Swmm;
    const auto target = askSaveTarget(dialog, SwmmTargetPath);
    if (!target)
        return;
    // SWMM reads the block averages of the storm, not the table's texts: an
    // edited cell does not reach the model.
    WriteSwmmFile(*target, m_session->storm());
    if (const auto note = SwmmModeNote(m_session->storm()))
        m_prompts->message(this, QStringLiteral("提示"), *note, UserPrompts::Icon::Information);
    openFile(*target);
}

bool MainWindow::SaveChartPicture(const QString &path)
{
    // A saved picture holds the storm, not the pointer: the marks of the
    // point and bar under the mouse are left out, and come back after, also
    // when the picture cannot be made.
    const RgbImage picture = [this] {
        QCPAbstractPlottable *line = m_chart->intensitySeries();
        QCPAbstractPlottable *bars = m_chart->overallSeries();
        const int lineMark = m_chart->hoveredIndex(line);
        const int barMark = m_chart->hoveredIndex(bars);
        m_chart->setHoveredIndex(line, -1);
        m_chart->setHoveredIndex(bars, -1);
        m_chart->replotHighlights();
        const auto restoreMarks = qScopeGuard([&] {
            m_chart->setHoveredIndex(line, lineMark);
            m_chart->setHoveredIndex(bars, barMark);
            m_chart->replotHighlights();
        });
        return GrabChart(m_chart);
    }();
    return ::SaveChartPicture(path, picture);
}

void MainWindow::savePicture(int tag)
{
    if (!hasRowsToExport(NoChartToSaveMessage()))
        return;
    UserPrompts::FileDialog dialog;
    dialog.title = PictureSaveDialogTitle();
    dialog.filters = PictureSaveDialogFilters();
    dialog.selectedFilter = PictureFilterIndexOfTag(tag);
    dialog.proposedName = PictureProposedName(m_session->storm(), tag, m_separators);
    dialog.kind = FileKind::Picture;
    const auto choice = m_prompts->saveFile(this, dialog);
    if (!choice)
        return;
    // The picture's type follows the file type chosen in the dialog.
    const auto path = PicturePathForDialogChoice(choice->path, choice->filter);
    if (!path || !confirmChangedTarget(choice->path, *path))
        return;
    SaveChartPicture(*path);
    if (QFileInfo::exists(*path))
        openFile(*path);
}

ChartScene MainWindow::chartScene() const
{
    ChartScene scene;
    scene.points = m_session->rows();
    scene.end = m_chart->end();
    scene.leftMaximum = m_chart->leftMaximum();
    scene.rightMaximum = m_chart->rightMaximum();
    scene.barsShown = m_chart->overallSeries()->visible();
    scene.lineShown = m_chart->intensitySeries()->visible();
    for (int i = 0; i < StormChart::ValueLabelCount; ++i)
        scene.labels.append({m_chart->valueLabelText(i),
                             m_chart->valueLabelMoved(i) ? std::optional(m_labels[i]->pos()) : std::nullopt,
                             !m_labels[i]->isHidden()});
    return scene;
}

void MainWindow::exportReport()
{
    if (!hasRowsToExport(NoDataToSaveMessage()))
        return;
    const auto target =
        askDataTarget(1, CalcReportProposedName(m_session->storm(), m_separators), WordDocumentPath);
    if (!target)
        return;
    // The report's picture: the chart drawn off screen at the report's size;
    // the window's own chart keeps its layout.
    const QSize size = ReportPictureSize;
    const QByteArray png = EncodePicture(RenderChart(chartScene(), size), PictureType::Png);
    WriteCalcReport(*target, m_session->storm(), m_session->options().Precision,
                    WordTableTexts(m_session->table().shownRows()), int(m_session->options().TimeFormat), png,
                    m_separators);
    openFile(*target);
}

void MainWindow::openManual()
{
    OpenManual(m_programFolder, m_openUrl);
}

void MainWindow::checkForUpdates()
{
    UpdateCheck check(*m_prompts, this, m_separators.decimal);
    check.setUrlOpener(m_openUrl);
    check.run();
}

void MainWindow::joinCommunity()
{
    OpenCommunityPage(m_openUrl);
}

void MainWindow::showAbout()
{
    ShowAboutBox(m_about, ProgramInfo::version(), m_openUrl);
}
