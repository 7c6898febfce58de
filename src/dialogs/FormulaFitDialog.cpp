#include "dialogs/FormulaFitDialog.h"

#include "chart/FitChart.h"
#include "dialogs/LongStormDialog.h"
#include "export/CalcReport.h"
#include "export/ExportTarget.h"
#include "export/FitReport.h"
#include "export/WordTemplate.h"
#include "fit/BandTable.h"
#include "fit/FitTables.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "records/RecordAnalysis.h"
#include "records/RecordBootstrap.h"
#include "records/RecordSamples.h"
#include "ui/ProgressRun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <qcustomplot.h>

namespace {

const QString Caption = QStringLiteral("暴雨强度公式推求");
// The result tab of the bands, after the records' three.
constexpr int BandsTab = 6;

void FillGrid(QTableWidget *grid, const QList<QStringList> &rows);

// The input kinds in the list's order.
enum InputChoice
{
    TableIntensity,
    TableDepth,
    SamplesAnnualMaximum,
    SamplesAnnualMultiple,
    RecordsInput
};

// Comma-separated lines into a grid: the first line its header, the lines of
// the header's width its rows; any other line (a closing remark) is returned.
QStringList FillGridWithLines(QTableWidget *grid, const QStringList &lines)
{
    QStringList remarks;
    if (lines.isEmpty()) {
        grid->setRowCount(0);
        return remarks;
    }
    const QStringList header = SplitCsvLine(lines.front());
    grid->setColumnCount(int(header.size()));
    grid->setHorizontalHeaderLabels(header);
    QList<QStringList> rows;
    for (qsizetype k = 1; k < lines.size(); ++k) {
        const QStringList cells = SplitCsvLine(lines[k]);
        if (cells.size() == header.size())
            rows.append(cells);
        else
            remarks.append(lines[k]);
    }
    FillGrid(grid, rows);
    return remarks;
}

QTableWidget *NewGrid(const QString &objectName, const QStringList &header, QWidget *parent)
{
    auto *grid = new QTableWidget(0, int(header.size()), parent);
    grid->setObjectName(objectName);
    grid->setHorizontalHeaderLabels(header);
    grid->verticalHeader()->setVisible(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Rows as high as their text needs, so that the tables leave the chart its room.
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    return grid;
}

// The height that shows every row of the grid and its header.
int WholeHeight(const QTableWidget *grid)
{
    int height = grid->horizontalHeader()->sizeHint().height() + 2 * grid->frameWidth();
    for (int row = 0; row < grid->rowCount(); ++row)
        height += grid->rowHeight(row);
    return height;
}

void FillGrid(QTableWidget *grid, const QList<QStringList> &rows)
{
    grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            auto *item = new QTableWidgetItem(rows[r][c]);
            item->setTextAlignment(Qt::AlignCenter);
            if (rows[r][c] == QStringLiteral("不合格"))
                item->setForeground(Qt::red);
            grid->setItem(r, c, item);
        }
}

} // namespace

FormulaFitDialog::FormulaFitDialog(UserPrompts &prompts, QWidget *parent)
    : QDialog(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("FormulaFitDialog"));
    setWindowTitle(Caption);
    buildControls();
    inputKindChange();
    clearOutcome();
    resize(980, 700);
}

void FormulaFitDialog::buildControls()
{
    auto *settingsRow = new QHBoxLayout;
    m_inputKindBox = new QComboBox(this);
    m_inputKindBox->setObjectName(QStringLiteral("InputKindBox"));
    m_inputKindBox->addItems({QStringLiteral("i–t–P表（雨强 mm/min）"), QStringLiteral("i–t–P表（雨量 mm）"),
                              QStringLiteral("样本（年最大值法）"), QStringLiteral("样本（年多个样法）"),
                              QStringLiteral("降雨记录")});
    m_yearsEdit = new QSpinBox(this);
    m_yearsEdit->setObjectName(QStringLiteral("YearsEdit"));
    m_yearsEdit->setRange(1, 500);
    m_yearsEdit->setValue(20);
    m_yearsEdit->setSuffix(QStringLiteral(" 年"));
    m_annualMaximumBox = new QCheckBox(QStringLiteral("换算为年最大值法重现期"), this);
    m_annualMaximumBox->setObjectName(QStringLiteral("CheckBoxAnnualMax"));
    m_distributionBox = new QComboBox(this);
    m_distributionBox->setObjectName(QStringLiteral("DistributionBox"));
    for (FrequencyDistribution d : {FrequencyDistribution::PearsonIII, FrequencyDistribution::Gumbel,
                                    FrequencyDistribution::Exponential})
        m_distributionBox->addItem(DistributionName(d), int(d));
    m_logarithmBox = new QComboBox(this);
    m_logarithmBox->setObjectName(QStringLiteral("ComboBox_LgLn"));
    m_logarithmBox->addItem(QStringLiteral("lg P"), int(Logarithm::Lg));
    m_logarithmBox->addItem(QStringLiteral("ln P"), int(Logarithm::Ln));
    auto *open = new QPushButton(QStringLiteral("打开..."), this);
    open->setObjectName(QStringLiteral("ButtonOpen"));
    auto *fit = new QPushButton(QStringLiteral("计算"), this);
    fit->setObjectName(QStringLiteral("ButtonFit"));
    settingsRow->addWidget(new QLabel(QStringLiteral("资料："), this));
    settingsRow->addWidget(m_inputKindBox);
    settingsRow->addWidget(new QLabel(QStringLiteral("资料年数："), this));
    settingsRow->addWidget(m_yearsEdit);
    settingsRow->addWidget(m_annualMaximumBox);
    settingsRow->addWidget(new QLabel(QStringLiteral("分布："), this));
    settingsRow->addWidget(m_distributionBox);
    settingsRow->addWidget(new QLabel(QStringLiteral("公式："), this));
    settingsRow->addWidget(m_logarithmBox);
    m_bandsBox = new QCheckBox(QStringLiteral("置信区间（%1）").arg(BandLevelText(DefaultBandLevel)), this);
    m_bandsBox->setObjectName(QStringLiteral("CheckBoxBands"));
    m_bandsBox->setToolTip(
        QStringLiteral("计算时按年有放回地重抽样 %1 次，重做频率分析与公式拟合，给出各数值的区间")
            .arg(DefaultResamples));
    settingsRow->addStretch();
    settingsRow->addWidget(open);
    settingsRow->addWidget(fit);

    // How to read rain-gauge records; shown with the input kind "降雨记录".
    m_recordsRow = new QWidget(this);
    m_recordsRow->setObjectName(QStringLiteral("RecordsRow"));
    auto *recordsRow = new QHBoxLayout(m_recordsRow);
    recordsRow->setContentsMargins(0, 0, 0, 0);
    m_recordGapsBox = new QComboBox(this);
    m_recordGapsBox->setObjectName(QStringLiteral("RecordGapsBox"));
    m_recordGapsBox->addItem(QStringLiteral("只列有雨时段（未列出为无雨）"), int(RecordGaps::Zero));
    m_recordGapsBox->addItem(QStringLiteral("逐时段全列（未列出为缺测）"), int(RecordGaps::Missing));
    m_recordUnitBox = new QComboBox(this);
    m_recordUnitBox->setObjectName(QStringLiteral("RecordUnitBox"));
    m_recordUnitBox->addItem(QStringLiteral("mm（或按表头）"),
                             -1); // the header's unit, mm when it names none
    m_recordUnitBox->addItem(QStringLiteral("0.1 mm（整数）"), int(RecordUnit::TenthMillimetre));
    m_recordStepBox = new QComboBox(this);
    m_recordStepBox->setObjectName(QStringLiteral("RecordStepBox"));
    m_recordStepBox->addItem(QStringLiteral("由记录判断"), 0); // the step the timestamps show
    m_recordStepBox->addItem(QStringLiteral("1 分钟"), 1);
    m_recordStepBox->addItem(QStringLiteral("5 分钟"), 5);
    m_minCompletenessEdit = new QSpinBox(this);
    m_minCompletenessEdit->setObjectName(QStringLiteral("MinCompletenessEdit"));
    m_minCompletenessEdit->setRange(0, 100);
    m_minCompletenessEdit->setValue(int(DefaultMinCompleteness));
    m_minCompletenessEdit->setSuffix(QStringLiteral(" %"));
    m_recordSamplingBox = new QComboBox(this);
    m_recordSamplingBox->setObjectName(QStringLiteral("RecordSamplingBox"));
    for (SamplingMethod method : {SamplingMethod::AnnualMaximum, SamplingMethod::AnnualMultiple})
        m_recordSamplingBox->addItem(SamplingMethodName(method), int(method));
    recordsRow->addWidget(new QLabel(QStringLiteral("记录："), this));
    recordsRow->addWidget(m_recordGapsBox);
    recordsRow->addWidget(new QLabel(QStringLiteral("单位："), this));
    recordsRow->addWidget(m_recordUnitBox);
    recordsRow->addWidget(new QLabel(QStringLiteral("步长："), this));
    recordsRow->addWidget(m_recordStepBox);
    recordsRow->addWidget(new QLabel(QStringLiteral("完整率下限："), this));
    recordsRow->addWidget(m_minCompletenessEdit);
    recordsRow->addWidget(new QLabel(QStringLiteral("取样："), this));
    recordsRow->addWidget(m_recordSamplingBox);
    recordsRow->addStretch();
    auto *openFolder = new QPushButton(QStringLiteral("打开文件夹..."), this);
    openFolder->setObjectName(QStringLiteral("ButtonOpenFolder"));
    recordsRow->addWidget(openFolder);
    connect(openFolder, &QPushButton::clicked, this, guarded(&FormulaFitDialog::openRecordsFolder));

    m_dataEdit = new QPlainTextEdit(this);
    m_dataEdit->setObjectName(QStringLiteral("DataEdit"));
    m_dataEdit->setLineWrapMode(QPlainTextEdit::NoWrap); // a row of the table stays one line

    m_formulaLabel = new QLabel(this);
    m_formulaLabel->setObjectName(QStringLiteral("LabelFormula"));
    m_formulaLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_staleLabel = new QLabel(QStringLiteral("资料或设置已改动，下面是改动前的结果：请重新“计算”。"), this);
    m_staleLabel->setObjectName(QStringLiteral("LabelStale"));
    m_staleLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_staleLabel->setVisible(false);
    m_accuracyTable = NewGrid(QStringLiteral("GridAccuracy"), AccuracyTable({}).header, this);
    m_periodFormulaTable = NewGrid(QStringLiteral("GridPeriodFormulas"), PeriodFormulaTable({}).header, this);
    m_goodnessTable = NewGrid(QStringLiteral("GridGoodness"), GoodnessTable({}).header, this);
    m_fitChart = new QCustomPlot(this);
    m_fitChart->setObjectName(QStringLiteral("ChartFit"));
    m_fitChart->setMinimumSize(360, 180);
    m_fitChartFade = new QGraphicsOpacityEffect(m_fitChart);
    m_fitChartFade->setOpacity(0.3);
    m_fitChartFade->setEnabled(false);
    m_fitChart->setGraphicsEffect(m_fitChartFade);
    m_logAxesBox = new QCheckBox(QStringLiteral("对数坐标"), this);
    m_logAxesBox->setObjectName(QStringLiteral("CheckBoxLogAxes"));

    auto *tabs = new QTabWidget(this);
    m_resultTabs = tabs;
    tabs->setObjectName(QStringLiteral("TabResults"));
    tabs->addTab(m_accuracyTable, QStringLiteral("精度检验"));
    tabs->addTab(m_periodFormulaTable, QStringLiteral("单一重现期公式"));
    tabs->addTab(m_goodnessTable, QStringLiteral("分布拟合优度(mm)"));
    // From records: each year's completeness, the samples and the peak ratio.
    m_recordYearsTable = NewGrid(QStringLiteral("GridRecordYears"), {}, this);
    m_recordSamplesTable = NewGrid(QStringLiteral("GridRecordSamples"), {}, this);
    m_peakRatioTable = NewGrid(QStringLiteral("GridPeakRatio"), {}, this);
    m_peakRatioLabel = new QLabel(this);
    m_peakRatioLabel->setObjectName(QStringLiteral("LabelPeakRatio"));
    m_peakRatioLabel->setWordWrap(true);
    auto *peak = new QWidget(this);
    auto *peakLayout = new QVBoxLayout(peak);
    peakLayout->setContentsMargins(0, 0, 0, 0);
    peakLayout->addWidget(m_peakRatioTable, 1);
    peakLayout->addWidget(m_peakRatioLabel);
    m_sampleNotesLabel = new QLabel(this);
    m_sampleNotesLabel->setObjectName(QStringLiteral("LabelSampleNotes"));
    m_sampleNotesLabel->setWordWrap(true);
    auto *samplesTab = new QWidget(this);
    auto *samplesLayout = new QVBoxLayout(samplesTab);
    samplesLayout->setContentsMargins(0, 0, 0, 0);
    samplesLayout->addWidget(m_recordSamplesTable, 1);
    samplesLayout->addWidget(m_sampleNotesLabel);
    tabs->addTab(m_recordYearsTable, QStringLiteral("记录年份"));
    tabs->addTab(samplesTab, QStringLiteral("样本(mm)"));
    tabs->addTab(peak, QStringLiteral("雨峰位置r"));
    // With 置信区间: every cell's band, then the parameters' and the design readings.
    // The header in two lines, the limits under their number, so that eight columns fit.
    BootstrapResult noBands;
    noBands.level = DefaultBandLevel;
    QStringList bandsHeader = BandTable(noBands).header;
    for (QString &label : bandsHeader) {
        const qsizetype level = label.indexOf(BandLevelText(DefaultBandLevel));
        if (level > 0)
            label = label.left(level) + u'\n' + label.mid(level).remove(QStringLiteral("(mm/min)"));
        else
            label.replace(QStringLiteral("雨强("), QStringLiteral("雨强\n("));
    }
    m_bandsTable = NewGrid(QStringLiteral("GridBands"), bandsHeader, this);
    m_bandsLabel = new QLabel(this);
    m_bandsLabel->setObjectName(QStringLiteral("LabelBands"));
    m_bandsLabel->setWordWrap(true);
    m_bandsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bandsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *bandsText = new QScrollArea(this);
    bandsText->setWidget(m_bandsLabel);
    bandsText->setWidgetResizable(true);
    bandsText->setFrameShape(QFrame::NoFrame);
    auto *bandsTab = new QSplitter(Qt::Vertical, this);
    bandsTab->addWidget(m_bandsTable);
    bandsTab->addWidget(bandsText);
    bandsTab->setStretchFactor(0, 3);
    bandsTab->setStretchFactor(1, 2);
    tabs->addTab(bandsTab, QStringLiteral("置信区间"));

    // The result greys as a whole when it no longer belongs to the data.
    m_results = new QWidget(this);
    auto *shown = new QVBoxLayout(m_results);
    shown->setContentsMargins(0, 0, 0, 0);
    shown->addWidget(m_formulaLabel);
    shown->addWidget(tabs, 1);
    shown->addWidget(m_fitChart, 2);
    shown->addWidget(m_logAxesBox);
    auto *results = new QWidget(this);
    auto *resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->addWidget(m_staleLabel);
    resultsLayout->addWidget(m_results, 1);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_dataEdit);
    splitter->addWidget(results);
    splitter->setStretchFactor(1, 2);

    m_useFormulaButton = new QPushButton(QStringLiteral("用于新雨型"), this);
    m_useFormulaButton->setObjectName(QStringLiteral("ButtonUseFormula"));
    m_exportButton = new QPushButton(QStringLiteral("导出..."), this);
    m_exportButton->setObjectName(QStringLiteral("ButtonExport"));
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("ButtonClose"));
    auto *buttons = new QHBoxLayout;
    // Under the results, whose bands it asks 计算 for (the settings row has no room left).
    buttons->addWidget(m_bandsBox);
    buttons->addStretch();
    // From records: the long-duration storm of the same records.
    m_longStormButton = new QPushButton(QStringLiteral("长历时雨型..."), this);
    m_longStormButton->setObjectName(QStringLiteral("ButtonLongStorm"));
    m_longStormButton->setToolTip(QStringLiteral("由同一组降雨记录推求长历时（如 24 小时）设计雨型"));
    buttons->addWidget(m_longStormButton);
    buttons->addWidget(m_useFormulaButton);
    buttons->addWidget(m_exportButton);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settingsRow);
    layout->addWidget(m_recordsRow);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(m_inputKindBox, &QComboBox::currentIndexChanged, this, [this] { inputKindChange(); });
    // Any change to what the result was computed from makes it stale.
    connect(m_inputKindBox, &QComboBox::currentIndexChanged, this, &FormulaFitDialog::markStale);
    connect(m_distributionBox, &QComboBox::currentIndexChanged, this, &FormulaFitDialog::markStale);
    connect(m_logarithmBox, &QComboBox::currentIndexChanged, this, &FormulaFitDialog::markStale);
    connect(m_yearsEdit, &QSpinBox::valueChanged, this, &FormulaFitDialog::markStale);
    connect(m_annualMaximumBox, &QCheckBox::toggled, this, &FormulaFitDialog::markStale);
    connect(m_dataEdit, &QPlainTextEdit::textChanged, this, &FormulaFitDialog::markStale);
    for (QComboBox *list : {m_recordGapsBox, m_recordUnitBox, m_recordStepBox, m_recordSamplingBox})
        connect(list, &QComboBox::currentIndexChanged, this, &FormulaFitDialog::markStale);
    connect(m_minCompletenessEdit, &QSpinBox::valueChanged, this, &FormulaFitDialog::markStale);
    connect(m_bandsBox, &QCheckBox::toggled, this, &FormulaFitDialog::markStale);
    // Each sampling method proposes its distribution.
    connect(m_recordSamplingBox, &QComboBox::currentIndexChanged, this, [this](int method) {
        m_distributionBox->setCurrentIndex(int(DefaultDistribution(
            method == 1 ? SamplingMethod::AnnualMultiple : SamplingMethod::AnnualMaximum)));
    });
    connect(open, &QPushButton::clicked, this, guarded(&FormulaFitDialog::openData));
    connect(fit, &QPushButton::clicked, this, guarded(&FormulaFitDialog::runFit));
    connect(m_useFormulaButton, &QPushButton::clicked, this, guarded(&FormulaFitDialog::useFormula));
    connect(m_longStormButton, &QPushButton::clicked, this, guarded(&FormulaFitDialog::makeLongStorm));
    connect(m_exportButton, &QPushButton::clicked, this, guarded(&FormulaFitDialog::exportResults));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_logAxesBox, &QCheckBox::toggled, this, [this] {
        if (m_outcome)
            DrawFitChart(*m_fitChart, *m_outcome, m_logAxesBox->isChecked(), m_bands ? &*m_bands : nullptr);
    });
}

std::function<void()> FormulaFitDialog::guarded(void (FormulaFitDialog::*slot)())
{
    // The user's work runs guarded: a failure it does not catch itself, memory
    // running out included, becomes a message, never the end of the program.
    return [this, slot] {
        try {
            (this->*slot)();
        } catch (const PluvionError &error) {
            m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
        } catch (const std::bad_alloc &) {
            m_prompts.message(this, Caption, OutOfMemoryMessage(), UserPrompts::Icon::Error);
        } catch (const std::exception &error) {
            m_prompts.message(this, Caption, QString::fromLocal8Bit(error.what()), UserPrompts::Icon::Error);
        }
    };
}

bool FormulaFitDialog::recordsChosen() const
{
    return m_inputKindBox->currentIndex() == RecordsInput;
}

void FormulaFitDialog::inputKindChange()
{
    const int kind = m_inputKindBox->currentIndex();
    const bool samples =
        kind == SamplesAnnualMaximum || kind == SamplesAnnualMultiple || kind == RecordsInput;
    m_recordsRow->setVisible(kind == RecordsInput);
    m_dataEdit->setPlaceholderText(
        kind == RecordsInput
            ? QStringLiteral(
                  "点“打开...”选择降雨记录文件（可多选），或在此每行写一个文件或文件夹的路径"
                  "（文件夹：其中所有 .csv 和 .txt 文件）。\n"
                  "记录文件每行一个时段：时间和该时段的雨量；时间可为 2019-07-21 14:05、2019/7/21 14:05、"
                  "201907211405，或分列的年、月、日、时、分，由标题行说明。")
            : QStringLiteral(
                  "在此粘贴表格（可直接从 Excel 复制），或点“打开...”读取 CSV 文件。\n"
                  "i–t–P表：第一行为标签和各重现期（年），以下每行为历时（分钟）和各重现期的值。\n"
                  "样本：第一行为标签和各历时（分钟），以下每行为标签（如年份）和各历时的雨量（mm），"
                  "空格为缺测。"));
    m_distributionBox->setEnabled(samples);
    // The bands redraw samples: an i–t–P table has none.
    m_bandsBox->setEnabled(samples);
    m_yearsEdit->setEnabled(kind == SamplesAnnualMultiple);
    m_annualMaximumBox->setEnabled(kind == SamplesAnnualMultiple);
    // Each sampling method proposes its distribution.
    if (kind == SamplesAnnualMultiple || (kind == RecordsInput && m_recordSamplingBox->currentIndex() == 1))
        m_distributionBox->setCurrentIndex(int(DefaultDistribution(SamplingMethod::AnnualMultiple)));
    else if (kind == SamplesAnnualMaximum || kind == RecordsInput)
        m_distributionBox->setCurrentIndex(int(DefaultDistribution(SamplingMethod::AnnualMaximum)));
}

FitSettings FormulaFitDialog::settings() const
{
    FitSettings s;
    const int kind = m_inputKindBox->currentIndex();
    s.input = kind == TableIntensity || kind == TableDepth ? FitInputKind::Table : FitInputKind::Samples;
    s.values = kind == TableDepth ? TableValueKind::Depth : TableValueKind::Intensity;
    s.frequency.sampling =
        kind == SamplesAnnualMultiple ? SamplingMethod::AnnualMultiple : SamplingMethod::AnnualMaximum;
    s.frequency.years = m_yearsEdit->value();
    s.frequency.annualMaximumPeriods = m_annualMaximumBox->isChecked();
    s.frequency.distribution = FrequencyDistribution(m_distributionBox->currentData().toInt());
    s.log = Logarithm(m_logarithmBox->currentData().toInt());
    return s;
}

RecordsRequest FormulaFitDialog::recordsRequest() const
{
    RecordsRequest request;
    for (const QString &line : m_dataEdit->toPlainText().split(u'\n')) {
        if (!line.trimmed().isEmpty())
            request.paths << line.trimmed();
    }
    request.read.gaps = RecordGaps(m_recordGapsBox->currentData().toInt());
    const int unit = m_recordUnitBox->currentData().toInt();
    request.read.format.unit = unit < 0 ? std::nullopt : std::optional(RecordUnit(unit));
    request.read.step = m_recordStepBox->currentData().toInt();
    request.read.minCompleteness = m_minCompletenessEdit->value();
    request.sampling.method = SamplingMethod(m_recordSamplingBox->currentData().toInt());
    request.fit = settings();
    return request;
}

std::optional<TotalFormula> FormulaFitDialog::fittedFormula() const
{
    if (!m_outcome)
        return std::nullopt;
    return m_outcome->total;
}

std::optional<double> FormulaFitDialog::fittedPeakRatio() const
{
    if (!m_outcome || !m_outcome->records || !IsPeakRatioInside(m_outcome->records->r))
        return std::nullopt;
    return m_outcome->records->r;
}

void FormulaFitDialog::openData()
{
    if (recordsChosen()) {
        // Record files are read when 计算 is pressed; the field lists them.
        UserPrompts::FileDialog dialog;
        dialog.title = QStringLiteral("打开降雨记录");
        dialog.filters = {QStringLiteral("记录文件(*.csv *.txt *.dat)"), QStringLiteral("所有文件(*)")};
        dialog.kind = FileKind::Records;
        dialog.manyFiles = true;
        const auto choice = m_prompts.openFile(this, dialog);
        if (!choice)
            return;
        m_dataEdit->setPlainText(
            (choice->paths.isEmpty() ? QStringList{choice->path} : choice->paths).join(u'\n'));
        runFit();
        return;
    }
    UserPrompts::FileDialog dialog;
    dialog.title = QStringLiteral("打开数据");
    dialog.kind = FileKind::FitData;
    dialog.filters = {QStringLiteral("CSV文件(*.csv)"), QStringLiteral("文本文件(*.txt)"),
                      QStringLiteral("所有文件(*)")};
    const auto choice = m_prompts.openFile(this, dialog);
    if (!choice)
        return;
    try {
        m_dataEdit->setPlainText(DecodeFitLines(ReadFileBytes(choice->path, FitFileLimit)).join(u'\n'));
    } catch (const PluvionError &error) {
        m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
        return;
    }
    runFit();
}

void FormulaFitDialog::offerApparentKind(const QByteArray &data)
{
    const std::optional<FitInputKind> apparent = ApparentInputKind(data);
    if (!apparent || *apparent == settings().input)
        return;
    const bool samples = *apparent == FitInputKind::Samples;
    const QString text =
        ApparentInputText(*apparent) +
        (samples ? QStringLiteral("，而所选资料是 i–t–P 表。\n改按“样本（年最大值法）”计算吗？")
                 : QStringLiteral("，而所选资料是样本。\n改按“i–t–P表（雨强 mm/min）”计算吗？"));
    if (m_prompts.message(this, Caption, text, UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo) ==
        UserPrompts::Answer::Yes)
        m_inputKindBox->setCurrentIndex(samples ? SamplesAnnualMaximum : TableIntensity);
}

void FormulaFitDialog::openRecordsFolder()
{
    // A folder of records: every .csv and .txt file in it is read.
    UserPrompts::FileDialog dialog;
    dialog.title = QStringLiteral("打开降雨记录文件夹");
    dialog.kind = FileKind::Records;
    dialog.folder = true;
    const auto choice = m_prompts.openFile(this, dialog);
    if (!choice)
        return;
    m_dataEdit->setPlainText(choice->path);
    runFit();
}

std::optional<FitOutcome> FormulaFitDialog::fitRecords()
{
    const RecordsRequest request = recordsRequest();
    m_records.reset();
    if (request.paths.isEmpty())
        throw PluvionError(
            QStringLiteral("请先点“打开...”选择降雨记录文件，或在左侧每行写一个文件或文件夹的路径。"));
    std::optional<RecordAnalysis> analysis;
    const bool done = RunWithProgress(
        this, Caption, QStringLiteral("正在读取降雨记录并取样……"),
        [&](const ProgressReport &report) { analysis = AnalyseRecords(request, report); },
        QStringLiteral("RecordsProgress"));
    if (!done)
        return std::nullopt;
    m_records = std::move(analysis);
    m_recordsRequest = request;
    return FitRecordSamples(*m_records, request.fit);
}

std::optional<BootstrapResult> FormulaFitDialog::resample(const QByteArray &samples)
{
    BootstrapSettings resampling;
    std::optional<BootstrapResult> bands;
    std::function<BootstrapResult(const BootstrapProgress &)> run;
    if (recordsChosen()) {
        if (!m_records)
            return std::nullopt;
        resampling.fit = m_recordsRequest.fit;
        run = [this, resampling](const BootstrapProgress &progress) {
            return BootstrapRecords(*m_records, resampling, progress);
        };
    } else {
        resampling.fit = settings();
        run = [table = ParseSampleTable(samples), resampling](const BootstrapProgress &progress) {
            return RunBootstrap(SampleTableResampling(table), resampling, progress);
        };
    }
    const bool done = RunWithProgress(
        this, Caption, QStringLiteral("正在重抽样 %1 次，推求置信区间……").arg(resampling.resamples),
        [&](const ProgressReport &report) { bands = run(report); }, QStringLiteral("BandsProgress"));
    if (!done)
        return std::nullopt;
    return bands;
}

void FormulaFitDialog::runFit()
{
    m_bands.reset();
    if (recordsChosen()) {
        try {
            std::optional<FitOutcome> outcome = fitRecords();
            if (!outcome)
                return; // cancelled: whatever was shown stays as it was
            m_outcome = std::move(outcome);
        } catch (const PluvionError &error) {
            std::optional<RecordAnalysis> read = std::move(m_records);
            clearOutcome();
            if (!read) {
                m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
                return;
            }
            // The records were read and sampled: they stay shown, and their
            // samples can be exported, whatever became of the fit.
            m_records = std::move(read);
            showRecords(SummarizeRecords(m_records->record, m_records->samples, m_records->peak));
            m_exportButton->setEnabled(true);
            m_longStormButton->setEnabled(true); // its depths can come from the records
            QString reason = error.description();
            reason.replace(QStringLiteral("表中的雨强"), QStringLiteral("由样本得出的雨强"));
            m_prompts.message(this, Caption,
                              QStringLiteral("降雨记录已读入并取样（见“逐年记录”“样本”“峰值比例”页，"
                                             "样本表可以导出），但由这些样本推求公式失败：") +
                                  reason,
                              UserPrompts::Icon::Error);
            return;
        }
        showOutcome();
        showBands();
        return;
    }
    // Cells copied from Excel arrive separated by tabs.
    QString text = m_dataEdit->toPlainText();
    text.replace(u'\t', u',');
    const QByteArray data = text.toUtf8();
    offerApparentKind(data);
    try {
        m_outcome = RunFormulaFit(data, settings());
    } catch (const PluvionError &error) {
        clearOutcome();
        m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
        return;
    }
    showOutcome();
    showBands();
}

void FormulaFitDialog::showBands()
{
    // The fit is shown first: the bands are added to it, and without them
    // (cancelled, or too few resamples fitted) it stands on its own.
    if (m_bandsBox->isChecked() && m_bandsBox->isEnabled() && m_outcome) {
        try {
            QString text = m_dataEdit->toPlainText();
            text.replace(u'\t', u',');
            m_bands = resample(text.toUtf8());
        } catch (const PluvionError &error) {
            m_bands.reset();
            m_prompts.message(this, Caption,
                              QStringLiteral("公式已推求，但未能给出置信区间：") + error.description(),
                              UserPrompts::Icon::Error);
        }
    }
    m_resultTabs->setTabVisible(BandsTab, m_bands.has_value());
    if (!m_bands)
        return;
    const BootstrapResult &bands = *m_bands;
    FillGrid(m_bandsTable, BandTable(bands).rows);
    QStringList lines;
    const FitResultTable parameters = ParameterBandTable(bands);
    lines << parameters.header.join(QStringLiteral("  "));
    for (const QStringList &row : parameters.rows)
        lines << row.join(QStringLiteral("  "));
    lines << DesignBandReadings(bands) << BootstrapSentence(bands);
    m_bandsLabel->setText(lines.join(u'\n'));
    DrawFitChart(*m_fitChart, *m_outcome, m_logAxesBox->isChecked(), &bands);
    m_resultTabs->setCurrentIndex(BandsTab);
}

void FormulaFitDialog::clearOutcome()
{
    m_outcome.reset();
    m_bands.reset();
    m_resultTabs->setTabVisible(BandsTab, false);
    m_records.reset();
    m_formulaLabel->setText(QStringLiteral("总公式：（尚未计算）"));
    m_accuracyTable->setRowCount(0);
    m_periodFormulaTable->setRowCount(0);
    m_goodnessTable->setRowCount(0);
    for (int tab = 3; tab < 6; ++tab)
        m_resultTabs->setTabVisible(tab, false);
    m_fitChart->clearGraphs();
    // No bare axes and no empty legend without a result.
    showChart(false);
    m_staleLabel->setVisible(false);
    m_results->setEnabled(true);
    m_fitChartFade->setEnabled(false);
    m_useFormulaButton->setEnabled(false);
    m_exportButton->setEnabled(false);
    m_longStormButton->setEnabled(false);
}

void FormulaFitDialog::showChart(bool shown)
{
    m_fitChart->setVisible(shown);
    m_logAxesBox->setVisible(shown);
}

void FormulaFitDialog::markStale()
{
    if ((!m_outcome && !m_records) || !m_staleLabel->isHidden())
        return;
    m_staleLabel->setVisible(true);
    m_results->setEnabled(false);
    // A disabled chart still draws in colour: it fades with the numbers.
    m_fitChartFade->setEnabled(true);
    // What no longer belongs to the data is neither used nor exported.
    m_useFormulaButton->setEnabled(false);
    m_exportButton->setEnabled(false);
    m_longStormButton->setEnabled(false);
}

void FormulaFitDialog::showOutcome()
{
    const FitOutcome &o = *m_outcome;
    QString formula = QStringLiteral("总公式：%1    残差平方和 %2")
                          .arg(FormulaText(o.total), QString::number(o.total.rss, 'g', 4));
    const std::optional<QString> refusal = ChicagoStormRefusal(o.total);
    if (refusal)
        formula += QStringLiteral("\n注意：") + *refusal;
    m_formulaLabel->setText(formula);
    FillGrid(m_accuracyTable, AccuracyTable(o).rows);
    // The accuracy table is read whole, its mean row included, without scrolling.
    m_resultTabs->setMinimumHeight(m_resultTabs->tabBar()->sizeHint().height() +
                                   WholeHeight(m_accuracyTable) + 4);
    FillGrid(m_periodFormulaTable, PeriodFormulaTable(o).rows);
    FillGrid(m_goodnessTable, GoodnessTable(o).rows);
    for (int tab = 3; tab < 6; ++tab)
        m_resultTabs->setTabVisible(tab, o.records.has_value());
    if (o.records)
        showRecords(*o.records);
    showChart(true);
    DrawFitChart(*m_fitChart, o, m_logAxesBox->isChecked());
    m_staleLabel->setVisible(false);
    m_results->setEnabled(true);
    m_fitChartFade->setEnabled(false);
    // A formula that makes no Chicago storm is shown, not used.
    m_useFormulaButton->setEnabled(!refusal);
    m_useFormulaButton->setToolTip(refusal ? *refusal : QString());
    m_longStormButton->setEnabled(m_records.has_value());
    m_exportButton->setEnabled(true);
}

void FormulaFitDialog::showRecords(const RecordsSummary &records)
{
    for (int tab = 3; tab < 6; ++tab)
        m_resultTabs->setTabVisible(tab, true);
    FillGridWithLines(m_recordYearsTable, records.years);
    const QStringList notes = FillGridWithLines(m_recordSamplesTable, records.samples);
    // A sample measured across a gap is marked on its cell and named under the table.
    // The notes come in the order of the marked cells.
    for (size_t k = 0; k < records.partialSamples.size(); ++k) {
        const auto [line, column] = records.partialSamples[k];
        if (QTableWidgetItem *cell = m_recordSamplesTable->item(line - 1, column)) {
            cell->setText(cell->text() + u'*');
            cell->setToolTip(qsizetype(k) < notes.size() ? notes[qsizetype(k)] : QString());
        }
    }
    m_sampleNotesLabel->setText(notes.join(u'\n'));
    m_sampleNotesLabel->setVisible(!notes.isEmpty());
    m_peakRatioLabel->setText(FillGridWithLines(m_peakRatioTable, records.peakRatio).join(u'\n'));
}

void FormulaFitDialog::useFormula()
{
    if (m_outcome && !ChicagoStormRefusal(m_outcome->total))
        accept();
}

void FormulaFitDialog::makeLongStorm()
{
    if (!m_records || !m_staleLabel->isHidden())
        return;
    const bool formulaFitted = m_outcome && m_outcome->records;
    LongStormDialog dialog(m_records->record, formulaFitted, m_prompts, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The design depths are sampled and analysed as the fit's samples were.
    LongStormSettings settings = dialog.settings();
    settings.sampling = m_recordsRequest.sampling;
    settings.frequency = m_recordsRequest.fit.frequency;
    if (formulaFitted)
        settings.formula = m_outcome->total;
    std::optional<LongStorm> storm;
    const bool done = RunWithProgress(
        this, Caption, QStringLiteral("正在推求长历时雨型……"),
        [&](const ProgressReport &) { storm = BuildLongStorm(m_records->record, settings); },
        QStringLiteral("LongStormProgress"));
    if (!done || !storm)
        return;
    m_longStorm = std::move(storm);
    accept();
}

void FormulaFitDialog::exportResults()
{
    if (!m_outcome && !m_records)
        return;
    UserPrompts::FileDialog dialog;
    dialog.title = QStringLiteral("导出推求报告");
    // From records the sample table can be kept too, in the layout the
    // samples are read in, to be looked at, edited and fitted again; after a
    // failed fit it is all there is to export.
    if (m_outcome)
        dialog.filters = {QStringLiteral("Word文档(*.docx)"), QStringLiteral("CSV文件(*.csv)")};
    const int sampleTableFilter = int(dialog.filters.size());
    if (m_records)
        dialog.filters << QStringLiteral("样本表(*.csv)");
    dialog.proposedName = FitReportProposedName();
    dialog.kind = FileKind::FitReport;
    const auto choice = m_prompts.saveFile(this, dialog);
    if (!choice)
        return;
    try {
        if (m_records && choice->filter == sampleTableFilter) {
            WriteRecordSamples(ChangeFileExtension(choice->path, QStringLiteral(".csv")), m_records->samples);
            return;
        }
        if (!m_outcome)
            return;
        // The name's own extension decides, as on the command line; a name
        // without one takes the chosen filter's.
        const FitReportKind kind =
            FitReportKindOfPath(choice->path)
                .value_or(choice->filter == 1 ? FitReportKind::Csv : FitReportKind::Word);
        const BootstrapResult *bands = m_bands ? &*m_bands : nullptr;
        if (kind == FitReportKind::Csv)
            WriteFitReportCsv(ChangeFileExtension(choice->path, QStringLiteral(".csv")), *m_outcome, bands);
        else
            WriteFitReportDocx(WordDocumentPath(choice->path), *m_outcome,
                               FitChartPng(*m_outcome, ReportPictureSize, m_logAxesBox->isChecked(), bands),
                               bands);
    } catch (const PluvionError &error) {
        m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
    }
}
