#pragma once

#include "app/StormSession.h"
#include "chart/StormChart.h"
#include "io/ViewOptions.h"
#include "model/NumberForms.h"
#include "model/RainGenerator.h"
#include "model/Storm.h"
#include "ui/UrlOpener.h"
#include "ui/UserPrompts.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class ResultTableModel;
class ResultTableView;
class AboutDialog;
class UpdateCheck;
class NewStormDialog;
class FormulaFitDialog;
struct ChartScene;

// What the window needs from its surroundings; tests supply their own.
struct MainWindowSetup
{
    UserPrompts *prompts = nullptr;
    // The user's configuration folder; the data folder is quillfen/Pluvion/ in it.
    QString configurationFolder;
    Separators separators;
    UrlOpener openUrl = DesktopUrlOpener();
};

// The main window: the storm as a chart, a table and five labels, and every
// command of the program.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const MainWindowSetup &setup, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The refresh: recompute the storm and show it; a successful one saves
    // the options, and a failed save is told as the computation's failure.
    void refreshStorm();
    // Fills the chart from the session's rows (the table follows the session itself).
    void showRows();
    // Keep the series switches in step, show or hide the series, scale the
    // vertical axes and save the options (only while a storm is shown).
    void applySeriesVisibility(QObject *sender);

    // Writes the storm to `path`, asking for a name when it is blank; false
    // when the user gave no name.
    bool saveStormFile(QString path);

    // Commands.
    void newStorm();
    void openStorm();
    void saveStorm();
    void saveStormAs();
    void exitProgram();
    void editOptions();
    void exportCsv();
    void exportDataDocument();
    void exportSwmm();
    void savePicture(int tag);
    void exportReport();
    void fitFormula();
    void openManual();
    void checkForUpdates();
    void joinCommunity();
    void showAbout();

    // Writes the chart as displayed, labels included, in the form the
    // path's extension names (.bmp, .jpg, .png); false for any other.
    bool SaveChartPicture(const QString &path);
    // What the chart shows now, for drawing it at another size.
    ChartScene chartScene() const;

    // The links between chart and table: a point under the mouse makes its
    // row current and frames it; a current row marks its point and bar.
    void pointAtChart(const QPointF &pos);
    void chooseBar(int index);
    void followTableRow();
    void markCurrentRow();

    // The window's storm, rows, options and file.
    StormSession &session() { return *m_session; }
    const QString &programFolder() const { return m_programFolder; }
    const Separators &separators() const { return m_separators; }
    UserPrompts &prompts() { return *m_prompts; }

private:
    void setUp();
    void buildLayout();
    void buildMenus();
    QAction *addCommand(QMenu *menu, const QString &objectName, const QString &caption,
                        std::function<void()> handler);
    // Runs a command; a failure it does not catch goes to the standard error box.
    void runCommand(const std::function<void()> &command);
    // The shared click handler of the two check boxes and the two check items.
    void switchSeries(QObject *sender);
    // Sets a check box as the program does: runs applySeriesVisibility when the
    // state changes, and passes on its failure.
    void setCheckBox(QCheckBox *box, bool checked);
    // The switches' part of applySeriesVisibility: the other view of each switch
    // follows, and the series are shown or hidden.
    void syncSeriesSwitches(QObject *sender);
    // The chart and the table mark the session's current row.
    void showCurrentRow(int row);
    void writeLabels();
    // After each computation: the rows and labels on success, the failure in a box.
    void stormComputed(std::optional<QString> failure);
    // The status bar says while the last computation has failed.
    void showFailure();
    // Shows the labels the options ask for and hides the others.
    void showLabelsByOptions();
    // The options dialog's live preview: labels and series as the options say.
    void previewOptions(const ViewOptions &options);
    // Asks before replacing an existing file whose name the program changed
    // after the dialog asked about the chosen one; false when the user says no.
    bool confirmChangedTarget(const QString &chosen, const QString &target);
    void openFile(const QString &path);
    // Whether the results can be exported; when not, tells the user why
    // (`nothingMessage` before any storm was computed) in an information box.
    bool hasRowsToExport(const QString &nothingMessage);
    // The data save dialog with a file type and a proposed name; the target
    // the command writes (its extension by `targetOf`), or nothing when the
    // user cancels or declines to replace a file.
    std::optional<QString> askDataTarget(int filter, const QString &proposedName,
                                         const std::function<QString(const QString &)> &targetOf);
    // A save dialog as given; the target as `targetOf` makes it from the
    // chosen name, or nothing when the user cancels or declines to replace.
    std::optional<QString> askSaveTarget(const UserPrompts::FileDialog &dialog,
                                         const std::function<QString(const QString &)> &targetOf);
    void buildExportMenus();
    // Makes a row the session's current row, which table and chart then show.
    void setGridCurrentRow(int row);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // The Chicago storm the new-storm dialog starts from: the window's storm,
    // or for a long-duration storm the start-up formula with its period.
    Storm chicagoBase() const;
    // The window's size, place and splitter, kept in the data folder for the
    // next session; a file that cannot be read or written costs only them.
    void restoreWindowLayout();
    void saveWindowLayout() const;
    QString windowLayoutFile() const;

    UserPrompts *m_prompts;
    UrlOpener m_openUrl;
    Separators m_separators;
    QString m_configurationFolder;

    StormSession *m_session = nullptr;
    // What the new-storm dialog edits: a copy of the session's storm, handed back on OK.
    QString m_programFolder;
    SeriesPeaks m_peaks; // of the rows shown, for scaling the axes

    QPoint m_dragOrigin; // where the last press on a label grabbed it, in the label's pixels

    StormChart *m_chart = nullptr;
    ResultTableView *m_grid = nullptr;
    QLabel *m_labels[6] = {};          // P, T, r, H, i and the formula depth
    QLabel *m_failureNotice = nullptr; // while the last computation has failed
    QCheckBox *m_checkOverall = nullptr;
    QCheckBox *m_checkIntensity = nullptr;
    QPushButton *m_newStormButton = nullptr;
    QPushButton *m_reportButton = nullptr;
    QSplitter *m_splitter = nullptr;
    QAction *m_menuOverall = nullptr;
    QAction *m_menuIntensity = nullptr;
    QMenu *m_popupPicture = nullptr;
    QMenu *m_popupData = nullptr;
    QMenu *m_functionsMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    NewStormDialog *m_newStormDialog = nullptr;
    FormulaFitDialog *m_formulaFitDialog = nullptr; // kept, so that it reopens with its data
    std::unique_ptr<AboutDialog> m_about;
};

// The rows whose texts in the table are the widest, for fitting its columns.
QList<int> WidestTextRows(const RainPoints &points);

// The data folder under the user's configuration folder, with its separator.
QString DataFolderOf(const QString &configurationFolder);
