#include "MainWindow.h"

#include "app/ResultTableModel.h"
#include "app/ResultTableView.h"
#include "chart/StormChart.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/NewStormDialog.h"
#include "io/FileBytes.h"
#include "io/StormFile.h"
#include "io/TextLines.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"
#include "program/ProgramInfo.h"
#include "ui/WindowFonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <new>

namespace {

// The starting layout: the chart 579 pixels wide beside the 219-pixel panel.
constexpr int RightPanelWidth = 219;
constexpr int ChartWidth = 800 - RightPanelWidth - 2;
const QSize MinimumWindowSize(640, 480);

// The headings of the right panel: sky blue, maroon text.
QLabel *panelHeading(const QString &text, QWidget *parent)
{
    auto *heading = new QLabel(text, parent);
    heading->setFixedHeight(20);
    heading->setAutoFillBackground(true);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::Window, QColor(166, 202, 240));
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    heading->setPalette(palette);
    heading->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return heading;
}

QStringList stormFileFilters()
{
    return {QStringLiteral("文本文件(*.txt)"), QStringLiteral("所有文件(*.*)")};
}

} // namespace

QList<int> WidestTextRows(const RainPoints &points)
{
    if (points.empty())
        return {};
    // The same count of decimals everywhere: the widest texts are those of the
    // largest magnitudes, of a negative sign, of the longest time, or a value
    // that is not a number.
    const auto magnitude = [](double value) { return std::isfinite(value) ? std::fabs(value) : -1.0; };
    int intensity = 0;
    int overall = 0;
    int negative = -1;
    int notFinite = -1;
    for (int row = 0; row < int(points.size()); ++row) {
        const RainPoint &point = points[size_t(row)];
        if (magnitude(point.Intensity) > magnitude(points[size_t(intensity)].Intensity))
            intensity = row;
        if (magnitude(point.Overall) > magnitude(points[size_t(overall)].Overall))
            overall = row;
        if (negative < 0 && (point.Intensity < 0 || point.Overall < 0))
            negative = row;
        if (notFinite < 0 && (!std::isfinite(point.Intensity) || !std::isfinite(point.Overall)))
            notFinite = row;
    }
    QList<int> rows = {0, int(points.size()) - 1, intensity, overall};
    for (const int row : {negative, notFinite})
        if (row >= 0)
            rows.append(row);
    return rows;
}

QString DataFolderOf(const QString &configurationFolder)
{
    if (configurationFolder.isEmpty())
        return {};
    QString folder = QDir::fromNativeSeparators(configurationFolder);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + QStringLiteral("quillfen/Pluvion/");
}

MainWindow::MainWindow(const MainWindowSetup &setup, QWidget *parent)
    : QMainWindow(parent), m_prompts(setup.prompts), m_openUrl(setup.openUrl), m_separators(setup.separators),
      m_configurationFolder(setup.configurationFolder), m_session(new StormSession(setup.separators, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    buildLayout();
    buildMenus();
    setUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildLayout()
{
    setFont(WindowFonts::songTi(9));

    m_chart = new StormChart;
    m_chart->setObjectName(QStringLiteral("StormChart"));
    m_chart->setContextMenuPolicy(Qt::CustomContextMenu);

    // The value labels lie on the chart; a press and a drag moves them.
    for (int i = 0; i < StormChart::ValueLabelCount; ++i) {
        m_labels[i] = m_chart->valueLabel(i);
        m_labels[i]->installEventFilter(this);
    }
    // Shown over the chart's top while the last computation has failed.
    m_failureNotice = new QLabel(m_chart);
    m_failureNotice->setObjectName(QStringLiteral("FailureNotice"));
    m_failureNotice->setWordWrap(true);
    m_failureNotice->setStyleSheet(QStringLiteral("QLabel { color: #b00000; background: #fff3f3; "
                                                  "border: 1px solid #e0a0a0; padding: 2px; }"));
    m_failureNotice->hide();

    auto *panelRight = new QWidget;
    panelRight->setObjectName(QStringLiteral("PanelRight"));
    auto *rightLayout = new QVBoxLayout(panelRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);

    auto *panelTop = new QWidget;
    panelTop->setObjectName(QStringLiteral("PanelTop"));
    panelTop->setFixedHeight(73);
    auto *topLayout = new QVBoxLayout(panelTop);
    topLayout->setContentsMargins(0, 1, 0, 0);
    topLayout->setSpacing(0);
    topLayout->addWidget(panelHeading(QStringLiteral(" 功能按钮"), panelTop));
    auto *buttons = new QWidget;
    buttons->setFixedHeight(52);
    m_newStormButton = new QPushButton(QStringLiteral("新建雨型"), buttons);
    m_newStormButton->setObjectName(QStringLiteral("ButtonNewRainModel"));
    m_newStormButton->setGeometry(6, 15, 67, 25);
    m_reportButton = new QPushButton(QStringLiteral("输出结果"), buttons);
    m_reportButton->setObjectName(QStringLiteral("Button_OutputResult"));
    m_reportButton->setGeometry(78, 15, 67, 25);
    m_checkOverall = new QCheckBox(QStringLiteral("降雨总量"), buttons);
    m_checkOverall->setObjectName(QStringLiteral("CheckBox_Overall_Rainfall"));
    m_checkOverall->setGeometry(151, 7, 66, 17);
    m_checkOverall->setChecked(true);
    m_checkIntensity = new QCheckBox(QStringLiteral("降雨强度"), buttons);
    m_checkIntensity->setObjectName(QStringLiteral("CheckBox_Rainfall_Intensity"));
    m_checkIntensity->setGeometry(151, 30, 66, 17);
    m_checkIntensity->setChecked(true);
    // The switches are as wide as their captions need in the fonts at hand;
    // the panel then makes room for them.
    for (QCheckBox *box : {m_checkOverall, m_checkIntensity})
        box->resize(std::max(box->width(), box->sizeHint().width()),
                    std::max(box->height(), box->fontMetrics().height()));
    const int panelWidth = std::max(
        {RightPanelWidth, m_checkOverall->geometry().right() + 5, m_checkIntensity->geometry().right() + 5});
    panelRight->setMinimumWidth(panelWidth);
    topLayout->addWidget(buttons);
    rightLayout->addWidget(panelTop);

    auto *panelClient = new QWidget;
    panelClient->setObjectName(QStringLiteral("PanelClient"));
    auto *clientLayout = new QVBoxLayout(panelClient);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    clientLayout->addWidget(panelHeading(QStringLiteral(" 雨型数据"), panelClient));
    m_grid = new ResultTableView;
    m_grid->setObjectName(QStringLiteral("GridData"));
    m_grid->setModel(&m_session->table());
    m_grid->setShowGrid(true);
    m_grid->setTabKeyNavigation(true);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    clientLayout->addWidget(m_grid);
    rightLayout->addWidget(panelClient, 1);

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setObjectName(QStringLiteral("ChartTableSplitter"));
    m_splitter->setHandleWidth(2);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_chart);
    m_splitter->addWidget(panelRight);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({ChartWidth, panelWidth});
    setCentralWidget(m_splitter);

    connect(m_newStormButton, &QPushButton::clicked, this, [this] { runCommand([this] { newStorm(); }); });
    connect(m_chart, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent *event) { pointAtChart(event->position()); });
    connect(m_chart, &QCustomPlot::mousePress, this, [this](QMouseEvent *event) {
        if (event->button() != Qt::LeftButton)
            return;
        int index = m_chart->lineIndexAt(event->position());
        if (index < 0)
            index = m_chart->barIndexAt(event->position());
        if (index >= 0)
            chooseBar(index);
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { followTableRow(); });
    // The views follow the session. While new rows are computed the chart's
    // line lets go of its copy of the old ones: a long storm's rows are then
    // held twice, not thrice; it is whole again before anything is shown.
    connect(m_session, &StormSession::aboutToCompute, this, [this] { m_chart->releaseLinePoints(); });
    connect(m_session, &StormSession::rowsChanged, this, [this] { stormComputed(std::nullopt); });
    connect(m_session, &StormSession::computeFailed, this,
            [this](const QString &failure) { stormComputed(failure); });
    connect(m_session, &StormSession::failureChanged, this, [this] { showFailure(); });
    connect(m_session, &StormSession::optionsChanged, this, [this] { showLabelsByOptions(); });
    connect(m_session, &StormSession::currentRowChanged, this, [this](int row) { showCurrentRow(row); });
    connect(m_grid, &QAbstractItemView::clicked, this, [this] { followTableRow(); });
    // The user's clicks only: when the program sets a box it runs the handler itself.
    connect(m_checkOverall, &QCheckBox::clicked, this, [this] { switchSeries(m_checkOverall); });
    connect(m_checkIntensity, &QCheckBox::clicked, this, [this] { switchSeries(m_checkIntensity); });
}

QAction *MainWindow::addCommand(QMenu *menu, const QString &objectName, const QString &caption,
                                std::function<void()> handler)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(objectName);
    connect(action, &QAction::triggered, this, [this, handler] { runCommand(handler); });
    return action;
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->setObjectName(QStringLiteral("FileMenu"));
    addCommand(file, QStringLiteral("Menu_NewRainModel"), QStringLiteral("新建雨型..."),
               [this] { newStorm(); });
    addCommand(file, QStringLiteral("Menu_Open"), QStringLiteral("打开雨型..."), [this] { openStorm(); });
    QAction *save =
        addCommand(file, QStringLiteral("Menu_Save"), QStringLiteral("保存雨型"), [this] { saveStorm(); });
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(file, QStringLiteral("Menu_SaveAs"), QStringLiteral("雨型另存为..."),
               [this] { saveStormAs(); });
    file->addSeparator();
    addCommand(file, QStringLiteral("Menu_Exit"), QStringLiteral("退出"), [this] { exitProgram(); });

    QMenu *functions = menuBar()->addMenu(QStringLiteral("功能(&F)"));
    functions->setObjectName(QStringLiteral("FunctionsMenu"));
    m_functionsMenu = functions;

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    m_helpMenu = help;

    // The chart's pop-up menu: the two series switches, then the pictures.
    m_popupPicture = new QMenu(this);
    m_popupPicture->setObjectName(QStringLiteral("PopupMenu_Picture"));
    m_menuOverall = m_popupPicture->addAction(QStringLiteral("显示总降雨量数据"));
    m_menuOverall->setObjectName(QStringLiteral("menu_Overall_Rainfall"));
    m_menuOverall->setCheckable(true);
    m_menuOverall->setChecked(true);
    m_menuIntensity = m_popupPicture->addAction(QStringLiteral("显示降雨强度数据"));
    m_menuIntensity->setObjectName(QStringLiteral("menu_Rainfall_Intensity"));
    m_menuIntensity->setCheckable(true);
    m_menuIntensity->setChecked(true);
    // A check item flips its own mark before its handler runs.
    connect(m_menuOverall, &QAction::triggered, this, [this] { switchSeries(m_menuOverall); });
    connect(m_menuIntensity, &QAction::triggered, this, [this] { switchSeries(m_menuIntensity); });
    m_popupPicture->addSeparator();
    connect(m_chart, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_popupPicture->popup(m_chart->mapToGlobal(at)); });

    m_popupData = new QMenu(this);
    m_popupData->setObjectName(QStringLiteral("PopupMenu_Data"));
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_popupData->popup(m_grid->viewport()->mapToGlobal(at)); });

    buildExportMenus();
}

void MainWindow::setUp()
{
    m_grid->setStartWidths({40, 70, 70});

    QString programFolder = QDir::fromNativeSeparators(QCoreApplication::applicationDirPath());
    if (!programFolder.endsWith(u'/'))
        programFolder += u'/';
    m_programFolder = programFolder;

    // Without a data folder the program still runs, on default options it cannot keep.
    const QString dataFolder = DataFolderOf(m_configurationFolder);
    if (!dataFolder.isEmpty() && QDir().mkpath(dataFolder) && QFileInfo(dataFolder).isDir()) {
        m_session->setOptionsFile(dataFolder + QStringLiteral("options.ini"));
    } else {
        m_session->setOptionsFile(QString());
        m_prompts->message(
            nullptr, QStringLiteral("提示"),
            QStringLiteral("无法创建数据文件夹“%1”。\n程序将以默认设置运行，本次对设置的更改不会被保存。")
                .arg(QDir::toNativeSeparators(dataFolder)),
            UserPrompts::Icon::Warning);
    }
    if (!m_session->optionsFile().isEmpty()) {
        // An options file that cannot be read is left as it is: the program
        // runs on the defaults and keeps no change.
        ViewOptions options = m_session->options();
        const std::optional<QString> failure = LoadOptions(options, m_session->optionsFile());
        m_session->setOptions(options);
        if (failure) {
            m_session->setOptionsFile(QString());
            m_prompts->message(
                nullptr, QStringLiteral("提示"),
                QStringLiteral("无法读取设置文件：%1\n程序将以默认设置运行，本次对设置的更改不会被保存。")
                    .arg(*failure),
                UserPrompts::Icon::Warning);
        }
    }

    setWindowTitle(QStringLiteral("澜岑云图 Ver") + ProgramInfo::version() + QStringLiteral("（") +
                   ProgramInfo::makerUrl() + QStringLiteral("）"));

    if (!m_newStormDialog)
        m_newStormDialog = new NewStormDialog(*m_prompts, m_separators, this);

    // Client area 800 by 480 (wider by what the right panel's texts need),
    // centred on the screen. Below 640 by 480 the axis numbers of the chart
    // crowd each other and the table shows too few rows to read.
    const int panelWidth =
        centralWidget()->findChild<QWidget *>(QStringLiteral("PanelRight"))->minimumWidth();
    setMinimumSize(MinimumWindowSize + QSize(panelWidth - RightPanelWidth, 0));
    resize(ChartWidth + m_splitter->handleWidth() + panelWidth, 480 + menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    restoreWindowLayout();

    refreshStorm();
}

namespace {

const QString GeometryKey = QStringLiteral("geometry");
const QString SplitterKey = QStringLiteral("splitter");

} // namespace

QString MainWindow::windowLayoutFile() const
{
    const QString dataFolder = DataFolderOf(m_configurationFolder);
    return dataFolder.isEmpty() ? QString() : dataFolder + QStringLiteral("WindowLayout.txt");
}

void MainWindow::restoreWindowLayout()
{
    const QString file = windowLayoutFile();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    QHash<QString, QByteArray> values;
    try {
        for (const QByteArray &line : ReadFileBytes(file).split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                values.insert(QString::fromLatin1(line.left(equals)),
                              QByteArray::fromBase64(line.mid(equals + 1).trimmed()));
        }
    } catch (const PluvionError &) {
        return; // unreadable: the default layout
    }
    // Qt checks what it restores: a layout from another screen is brought onto this one.
    if (values.contains(GeometryKey))
        restoreGeometry(values.value(GeometryKey));
    if (values.contains(SplitterKey))
        m_splitter->restoreState(values.value(SplitterKey));
}

void MainWindow::saveWindowLayout() const
{
    const QString file = windowLayoutFile();
    if (file.isEmpty())
        return;
    const QByteArray text = GeometryKey.toLatin1() + '=' + saveGeometry().toBase64() + '\n' +
                            SplitterKey.toLatin1() + '=' + m_splitter->saveState().toBase64() + '\n';
    try {
        WriteFileBytes(file, text);
    } catch (const PluvionError &) {
        // Not written: the next session starts at the default layout.
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowLayout();
    QMainWindow::closeEvent(event);
}

void MainWindow::runCommand(const std::function<void()> &command)
{
    try {
        command();
    } catch (const PluvionError &error) {
        ShowStandardError(*m_prompts, this, error.description());
    } catch (const std::bad_alloc &) {
        ShowStandardError(*m_prompts, this, OutOfMemoryMessage());
    } catch (const std::exception &error) {
        ShowStandardError(*m_prompts, this, QString::fromLocal8Bit(error.what()));
    }
}

void MainWindow::setCheckBox(QCheckBox *box, bool checked)
{
    if (box->isChecked() == checked)
        return;
    box->setChecked(checked);
    // A failure belongs to the step that changed the box.
    applySeriesVisibility(box);
}

void MainWindow::switchSeries(QObject *sender)
{
    // The user's own click: a failure ends in the standard error box.
    runCommand([&] { applySeriesVisibility(sender); });
}

void MainWindow::refreshStorm()
{
    const ViewOptions &options = m_session->options();
    showLabelsByOptions();

    // The switches follow the options; the axes are scaled once the rows are there.
    for (const auto &[box, shown] : {std::pair{m_checkOverall, options.ShowAxis_Overall},
                                     std::pair{m_checkIntensity, options.ShowAxis_Intensity}}) {
        if (box->isChecked() != shown) {
            box->setChecked(shown);
            syncSeriesSwitches(box);
        }
    }
    syncSeriesSwitches(m_checkOverall);

    m_session->refresh();
}

void MainWindow::stormComputed(std::optional<QString> failure)
{
    m_chart->restoreLinePoints();
    if (!failure) {
        showRows();
        // The storm shown, the options are kept; a failed write is told as the computation's failure.
        try {
            m_session->saveOptions();
        } catch (const PluvionError &error) {
            failure = error.description();
        }
    }
    writeLabels();
    if (failure) {
        m_prompts->message(this, QStringLiteral("错误"), QStringLiteral("出错：") + *failure,
                           UserPrompts::Icon::Error);
    }
}

void MainWindow::showFailure()
{
    // Until a computation succeeds, the window says that what it shows is the storm before.
    const std::optional<QString> &failure = m_session->failure();
    m_failureNotice->setVisible(failure.has_value());
    if (!failure)
        return;
    m_failureNotice->setText(
        QStringLiteral("计算出错：%1。图表、表格和标注仍是上一个雨型的结果。").arg(*failure));
    const int width = std::max(100, m_chart->width() - 8);
    m_failureNotice->setFixedWidth(width);
    m_failureNotice->setFixedHeight(m_failureNotice->heightForWidth(width));
    m_failureNotice->move(4, 4);
    m_failureNotice->raise();
}

void MainWindow::writeLabels()
{
    // The labels belong to the storm the chart and the table show.
    const Storm &storm = m_session->shownStorm();
    const int precision = m_session->options().Precision;
    const auto texts = LabelTexts(storm, precision, m_separators);
    for (int i = 0; i < 5; ++i)
        m_chart->setValueLabelText(i, texts[size_t(i)]);
    m_chart->setValueLabelText(5, FormulaDepthText(storm, precision, m_separators));
}

void MainWindow::showLabelsByOptions()
{
    const ViewOptions &options = m_session->options();
    m_labels[0]->setVisible(options.ShowLabel_P);
    m_labels[1]->setVisible(options.ShowLabel_T);
    m_labels[2]->setVisible(options.ShowLabel_R);
    m_labels[3]->setVisible(options.ShowLabel__Overall_Rainfall);
    m_labels[4]->setVisible(options.ShowLabel_Average);
    m_labels[5]->setVisible(options.ShowLabel_Formula_Depth);
}

void MainWindow::showRows()
{
    const std::shared_ptr<const RainPoints> shared = m_session->sharedRows();
    m_grid->setFrameRow(-1);
    m_grid->scrollToTop(); // a new storm is read from its start
    m_grid->fitColumns(WidestTextRows(*shared));

    m_chart->setPoints(shared, m_session->shownStorm().duration);
    m_peaks = SeriesPeaksOf(*shared);
    syncSeriesSwitches(nullptr);
    m_chart->scaleAxes(m_peaks);
    m_session->setSeriesShown(m_checkOverall->isChecked(), m_checkIntensity->isChecked());
    m_chart->replot(QCustomPlot::rpQueuedReplot);
}

void MainWindow::applySeriesVisibility(QObject *sender)
{
    syncSeriesSwitches(sender);
    if (m_session->hasRows()) {
        m_chart->scaleAxes(m_peaks);
        m_session->setSeriesShown(m_checkOverall->isChecked(), m_checkIntensity->isChecked());
        m_session->saveOptions();
    }
    m_chart->replot(QCustomPlot::rpQueuedReplot);
}

void MainWindow::syncSeriesSwitches(QObject *sender)
{
    if (qobject_cast<QCheckBox *>(sender)) {
        m_menuIntensity->setChecked(m_checkIntensity->isChecked());
        m_menuOverall->setChecked(m_checkOverall->isChecked());
    } else {
        setCheckBox(m_checkIntensity, m_menuIntensity->isChecked());
        setCheckBox(m_checkOverall, m_menuOverall->isChecked());
    }

    const bool barsShown = m_checkOverall->isChecked();
    const bool lineShown = m_checkIntensity->isChecked();
    m_chart->overallSeries()->setVisible(barsShown);
    m_chart->intensitySeries()->setVisible(lineShown);
    m_chart->setHoveredIndex(m_chart->intensitySeries(), m_chart->hoveredIndex(m_chart->intensitySeries()));
}

Storm MainWindow::chicagoBase() const
{
    const Storm &storm = m_session->storm();
    if (storm.kind == StormKind::Chicago)
        return storm;
    // A long-duration storm has no formula to edit: the dialog proposes the
    // start-up formula with the storm's return period.
    Storm chicago = StartUpStorm();
    chicago.period = storm.period;
    return chicago;
}

void MainWindow::newStorm()
{
    // The dialog edits a copy; the session takes it back on OK only.
    m_newStormDialog->setStorm(chicagoBase());
    if (m_newStormDialog->exec() != QDialog::Accepted)
        return;
    m_session->setFile(QString());
    m_session->setStorm(m_newStormDialog->storm());
}

bool MainWindow::saveStormFile(QString path)
{
    if (TrimControls(path).isEmpty()) {
        UserPrompts::FileDialog dialog;
        dialog.title = QStringLiteral("保存曲线");
        dialog.filters = stormFileFilters();
        dialog.kind = FileKind::Storm;
        const auto choice = m_prompts->saveFile(this, dialog);
        if (choice) {
            const QString target = StormFileTarget(choice->path);
            m_session->setFile(target);
            path = target;
        }
    }
    if (TrimControls(path).isEmpty())
        return false;
    WriteStormFile(path, m_session->storm(), m_separators);
    return true;
}

void MainWindow::saveStorm()
{
    saveStormFile(m_session->file());
}

void MainWindow::saveStormAs()
{
    saveStormFile(QString());
}

void MainWindow::openStorm()
{
    UserPrompts::FileDialog dialog;
    dialog.title = QStringLiteral("打开雨型");
    dialog.filters = stormFileFilters();
    dialog.confirmOverwrite = false;
    dialog.kind = FileKind::Storm;
    const auto choice = m_prompts->openFile(this, dialog);
    if (!choice || !QFileInfo::exists(choice->path))
        return;
    Storm opened = m_session->storm();
    if (ReadStormFile(choice->path, opened, m_separators) == StormFileReadResult::NotAStormFile) {
        m_prompts->message(this, NotAStormFileCaption(), NotAStormFileMessage(), UserPrompts::Icon::Error);
        return;
    }
    m_session->setFile(choice->path);
    m_session->setStorm(opened);
}

void MainWindow::exitProgram()
{
    close();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *label = qobject_cast<QLabel *>(watched);
    const int index = int(std::find(std::begin(m_labels), std::end(m_labels), label) - std::begin(m_labels));
    if (!label || index >= StormChart::ValueLabelCount)
        return QMainWindow::eventFilter(watched, event);
    // Dragging a label: any button grabs it, only the left button moves it.
    // The chart clips what lies outside while it moves; let go, the label
    // comes back wholly inside the plot area.
    if (event->type() == QEvent::MouseButtonRelease) {
        if (m_chart->valueLabelMoved(index))
            m_chart->keepValueLabelInside(index);
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        m_dragOrigin = static_cast<QMouseEvent *>(event)->position().toPoint();
        return false;
    }
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (move->buttons() & Qt::LeftButton)
            m_chart->moveValueLabel(index, label->pos() + move->position().toPoint() - m_dragOrigin);
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setGridCurrentRow(int row)
{
    // The chart moves the session's current row; table and chart follow it.
    if (!m_session->setCurrentRow(row))
        showCurrentRow(row);
}

void MainWindow::showCurrentRow(int row)
{
    // The table makes the row current (its own change comes back to the
    // session as the same row, which changes nothing), the chart marks the
    // row's point and bar, and the chart repaints once.
    const QModelIndex current = m_grid->currentIndex();
    if (row >= 0 && !(current.isValid() && current.row() == row)) {
        const QModelIndex target = m_session->table().index(row, current.isValid() ? current.column() : 0);
        if (target.isValid()) {
            m_grid->setCurrentIndex(target);
            m_grid->scrollTo(target);
        }
    }
    m_chart->setHoveredIndex(m_chart->intensitySeries(), row);
    m_chart->setHoveredIndex(m_chart->overallSeries(), row);
    m_chart->replotHighlights();
}

void MainWindow::pointAtChart(const QPointF &pos)
{
    // The point under the mouse, the line's before the bars'.
    const int lineIndex = m_chart->lineIndexAt(pos);
    const int index = lineIndex >= 0 ? lineIndex : m_chart->barIndexAt(pos);
    if (index < 0) {
        // Off every point: the marks and the frame go, the row stays current.
        m_chart->setHoveredIndex(m_chart->intensitySeries(), -1);
        m_chart->setHoveredIndex(m_chart->overallSeries(), -1);
        m_grid->setFrameRow(-1);
        m_chart->replotHighlights();
        return;
    }
    setGridCurrentRow(index);
    markCurrentRow();
}

void MainWindow::chooseBar(int index)
{
    setGridCurrentRow(index);
}

void MainWindow::followTableRow()
{
    // The user's move in the table: the frame goes, the session takes the row.
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    m_grid->setFrameRow(-1);
    setGridCurrentRow(current.row());
}

void MainWindow::markCurrentRow()
{
    const QModelIndex current = m_grid->currentIndex();
    m_grid->setFrameRow(current.isValid() ? current.row() : -1);
}
