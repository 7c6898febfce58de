#include "dialogs/UnitFormulaFit.h"

#include "chart/FitChart.h"
#include "export/CalcReport.h"
#include "export/ExportTarget.h"
#include "export/FitReport.h"
#include "export/WordTemplate.h"
#include "fit/FitTables.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "records/RecordAnalysis.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <qcustomplot.h>

namespace {

const QString Caption = QStringLiteral("暴雨强度公式推求");

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
    return grid;
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

TFormFormulaFit::TFormFormulaFit(UserPrompts &prompts, QWidget *parent) : QDialog(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("FormFormulaFit"));
    setWindowTitle(Caption);
    buildControls();
    inputKindChange();
    clearOutcome();
    resize(980, 640);
}

void TFormFormulaFit::buildControls()
{
    auto *settingsRow = new QHBoxLayout;
    m_cbbInputKind = new QComboBox(this);
    m_cbbInputKind->setObjectName(QStringLiteral("cbbInputKind"));
    m_cbbInputKind->addItems({QStringLiteral("i–t–P表（雨强 mm/min）"), QStringLiteral("i–t–P表（雨量 mm）"),
                              QStringLiteral("样本（年最大值法）"), QStringLiteral("样本（年多个样法）"),
                              QStringLiteral("降雨记录")});
    m_EditYears = new QSpinBox(this);
    m_EditYears->setObjectName(QStringLiteral("EditYears"));
    m_EditYears->setRange(1, 500);
    m_EditYears->setValue(20);
    m_EditYears->setSuffix(QStringLiteral(" 年"));
    m_CheckBoxAnnualMax = new QCheckBox(QStringLiteral("换算为年最大值法重现期"), this);
    m_CheckBoxAnnualMax->setObjectName(QStringLiteral("CheckBoxAnnualMax"));
    m_cbbDistribution = new QComboBox(this);
    m_cbbDistribution->setObjectName(QStringLiteral("cbbDistribution"));
    for (FrequencyDistribution d : {FrequencyDistribution::PearsonIII, FrequencyDistribution::Gumbel,
                                    FrequencyDistribution::Exponential})
        m_cbbDistribution->addItem(DistributionName(d));
    m_ComboBox_LgLn = new QComboBox(this);
    m_ComboBox_LgLn->setObjectName(QStringLiteral("ComboBox_LgLn"));
    m_ComboBox_LgLn->addItems({QStringLiteral("lg P"), QStringLiteral("ln P")});
    auto *open = new QPushButton(QStringLiteral("打开..."), this);
    open->setObjectName(QStringLiteral("ButtonOpen"));
    auto *fit = new QPushButton(QStringLiteral("计算"), this);
    fit->setObjectName(QStringLiteral("ButtonFit"));
    settingsRow->addWidget(new QLabel(QStringLiteral("资料："), this));
    settingsRow->addWidget(m_cbbInputKind);
    settingsRow->addWidget(new QLabel(QStringLiteral("资料年数："), this));
    settingsRow->addWidget(m_EditYears);
    settingsRow->addWidget(m_CheckBoxAnnualMax);
    settingsRow->addWidget(new QLabel(QStringLiteral("分布："), this));
    settingsRow->addWidget(m_cbbDistribution);
    settingsRow->addWidget(new QLabel(QStringLiteral("公式："), this));
    settingsRow->addWidget(m_ComboBox_LgLn);
    settingsRow->addStretch();
    settingsRow->addWidget(open);
    settingsRow->addWidget(fit);

    // How to read rain-gauge records; shown with the input kind "降雨记录".
    m_RecordsRow = new QWidget(this);
    m_RecordsRow->setObjectName(QStringLiteral("RecordsRow"));
    auto *recordsRow = new QHBoxLayout(m_RecordsRow);
    recordsRow->setContentsMargins(0, 0, 0, 0);
    m_cbbRecordGaps = new QComboBox(this);
    m_cbbRecordGaps->setObjectName(QStringLiteral("cbbRecordGaps"));
    m_cbbRecordGaps->addItems(
        {QStringLiteral("只列有雨时段（未列出为无雨）"), QStringLiteral("逐时段全列（未列出为缺测）")});
    m_cbbRecordUnit = new QComboBox(this);
    m_cbbRecordUnit->setObjectName(QStringLiteral("cbbRecordUnit"));
    m_cbbRecordUnit->addItems({QStringLiteral("mm"), QStringLiteral("0.1 mm（整数）")});
    m_cbbRecordStep = new QComboBox(this);
    m_cbbRecordStep->setObjectName(QStringLiteral("cbbRecordStep"));
    m_cbbRecordStep->addItems(
        {QStringLiteral("由记录判断"), QStringLiteral("1 分钟"), QStringLiteral("5 分钟")});
    m_EditMinCompleteness = new QSpinBox(this);
    m_EditMinCompleteness->setObjectName(QStringLiteral("EditMinCompleteness"));
    m_EditMinCompleteness->setRange(0, 100);
    m_EditMinCompleteness->setValue(int(DefaultMinCompleteness));
    m_EditMinCompleteness->setSuffix(QStringLiteral(" %"));
    m_cbbRecordSampling = new QComboBox(this);
    m_cbbRecordSampling->setObjectName(QStringLiteral("cbbRecordSampling"));
    m_cbbRecordSampling->addItems({SamplingMethodName(SamplingMethod::AnnualMaximum),
                                   SamplingMethodName(SamplingMethod::AnnualMultiple)});
    recordsRow->addWidget(new QLabel(QStringLiteral("记录："), this));
    recordsRow->addWidget(m_cbbRecordGaps);
    recordsRow->addWidget(new QLabel(QStringLiteral("单位："), this));
    recordsRow->addWidget(m_cbbRecordUnit);
    recordsRow->addWidget(new QLabel(QStringLiteral("步长："), this));
    recordsRow->addWidget(m_cbbRecordStep);
    recordsRow->addWidget(new QLabel(QStringLiteral("完整率下限："), this));
    recordsRow->addWidget(m_EditMinCompleteness);
    recordsRow->addWidget(new QLabel(QStringLiteral("取样："), this));
    recordsRow->addWidget(m_cbbRecordSampling);
    recordsRow->addStretch();
    auto *openFolder = new QPushButton(QStringLiteral("打开文件夹..."), this);
    openFolder->setObjectName(QStringLiteral("ButtonOpenFolder"));
    recordsRow->addWidget(openFolder);
    connect(openFolder, &QPushButton::clicked, this, &TFormFormulaFit::ButtonOpenFolderClick);

    m_MemoData = new QPlainTextEdit(this);
    m_MemoData->setObjectName(QStringLiteral("MemoData"));
    m_MemoData->setLineWrapMode(QPlainTextEdit::NoWrap); // a row of the table stays one line

    m_LabelFormula = new QLabel(this);
    m_LabelFormula->setObjectName(QStringLiteral("LabelFormula"));
    m_LabelFormula->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_LabelStale = new QLabel(QStringLiteral("资料或设置已改动，下面是改动前的结果：请重新“计算”。"), this);
    m_LabelStale->setObjectName(QStringLiteral("LabelStale"));
    m_LabelStale->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_LabelStale->setVisible(false);
    m_GridAccuracy = NewGrid(QStringLiteral("GridAccuracy"), AccuracyTable({}).header, this);
    m_GridPeriodFormulas = NewGrid(QStringLiteral("GridPeriodFormulas"), PeriodFormulaTable({}).header, this);
    m_GridGoodness = NewGrid(QStringLiteral("GridGoodness"), GoodnessTable({}).header, this);
    m_ChartFit = new QCustomPlot(this);
    m_ChartFit->setObjectName(QStringLiteral("ChartFit"));
    m_ChartFit->setMinimumSize(360, 220);
    m_CheckBoxLogAxes = new QCheckBox(QStringLiteral("对数坐标"), this);
    m_CheckBoxLogAxes->setObjectName(QStringLiteral("CheckBoxLogAxes"));

    auto *tabs = new QTabWidget(this);
    m_TabResults = tabs;
    tabs->setObjectName(QStringLiteral("TabResults"));
    tabs->addTab(m_GridAccuracy, QStringLiteral("精度检验"));
    tabs->addTab(m_GridPeriodFormulas, QStringLiteral("单一重现期公式"));
    tabs->addTab(m_GridGoodness, QStringLiteral("分布拟合优度(mm)"));
    // From records: each year's completeness, the samples and the peak ratio.
    m_GridRecordYears = NewGrid(QStringLiteral("GridRecordYears"), {}, this);
    m_GridRecordSamples = NewGrid(QStringLiteral("GridRecordSamples"), {}, this);
    m_GridPeakRatio = NewGrid(QStringLiteral("GridPeakRatio"), {}, this);
    m_LabelPeakRatio = new QLabel(this);
    m_LabelPeakRatio->setObjectName(QStringLiteral("LabelPeakRatio"));
    m_LabelPeakRatio->setWordWrap(true);
    auto *peak = new QWidget(this);
    auto *peakLayout = new QVBoxLayout(peak);
    peakLayout->setContentsMargins(0, 0, 0, 0);
    peakLayout->addWidget(m_GridPeakRatio, 1);
    peakLayout->addWidget(m_LabelPeakRatio);
    tabs->addTab(m_GridRecordYears, QStringLiteral("记录年份"));
    tabs->addTab(m_GridRecordSamples, QStringLiteral("样本(mm)"));
    tabs->addTab(peak, QStringLiteral("雨峰位置r"));

    // The result greys as a whole when it no longer belongs to the data.
    m_Results = new QWidget(this);
    auto *shown = new QVBoxLayout(m_Results);
    shown->setContentsMargins(0, 0, 0, 0);
    shown->addWidget(m_LabelFormula);
    shown->addWidget(tabs, 1);
    shown->addWidget(m_ChartFit, 2);
    shown->addWidget(m_CheckBoxLogAxes);
    auto *results = new QWidget(this);
    auto *resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->addWidget(m_LabelStale);
    resultsLayout->addWidget(m_Results, 1);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_MemoData);
    splitter->addWidget(results);
    splitter->setStretchFactor(1, 2);

    m_ButtonUseFormula = new QPushButton(QStringLiteral("用于新雨型"), this);
    m_ButtonUseFormula->setObjectName(QStringLiteral("ButtonUseFormula"));
    m_ButtonExport = new QPushButton(QStringLiteral("导出..."), this);
    m_ButtonExport->setObjectName(QStringLiteral("ButtonExport"));
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("ButtonClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ButtonUseFormula);
    buttons->addWidget(m_ButtonExport);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settingsRow);
    layout->addWidget(m_RecordsRow);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(m_cbbInputKind, &QComboBox::currentIndexChanged, this, [this] { inputKindChange(); });
    // Any change to what the result was computed from makes it stale.
    connect(m_cbbInputKind, &QComboBox::currentIndexChanged, this, &TFormFormulaFit::markStale);
    connect(m_cbbDistribution, &QComboBox::currentIndexChanged, this, &TFormFormulaFit::markStale);
    connect(m_ComboBox_LgLn, &QComboBox::currentIndexChanged, this, &TFormFormulaFit::markStale);
    connect(m_EditYears, &QSpinBox::valueChanged, this, &TFormFormulaFit::markStale);
    connect(m_CheckBoxAnnualMax, &QCheckBox::toggled, this, &TFormFormulaFit::markStale);
    connect(m_MemoData, &QPlainTextEdit::textChanged, this, &TFormFormulaFit::markStale);
    for (QComboBox *list : {m_cbbRecordGaps, m_cbbRecordUnit, m_cbbRecordStep, m_cbbRecordSampling})
        connect(list, &QComboBox::currentIndexChanged, this, &TFormFormulaFit::markStale);
    connect(m_EditMinCompleteness, &QSpinBox::valueChanged, this, &TFormFormulaFit::markStale);
    // Annual multiple samples are commonly fitted with the exponential distribution.
    connect(m_cbbRecordSampling, &QComboBox::currentIndexChanged, this, [this](int method) {
        m_cbbDistribution->setCurrentIndex(
            int(method == 1 ? FrequencyDistribution::Exponential : FrequencyDistribution::PearsonIII));
    });
    connect(open, &QPushButton::clicked, this, &TFormFormulaFit::ButtonOpenClick);
    connect(fit, &QPushButton::clicked, this, &TFormFormulaFit::ButtonFitClick);
    connect(m_ButtonUseFormula, &QPushButton::clicked, this, &TFormFormulaFit::ButtonUseFormulaClick);
    connect(m_ButtonExport, &QPushButton::clicked, this, &TFormFormulaFit::ButtonExportClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_CheckBoxLogAxes, &QCheckBox::toggled, this, [this] {
        if (m_outcome)
            DrawFitChart(*m_ChartFit, *m_outcome, m_CheckBoxLogAxes->isChecked());
    });
}

bool TFormFormulaFit::recordsChosen() const
{
    return m_cbbInputKind->currentIndex() == RecordsInput;
}

void TFormFormulaFit::inputKindChange()
{
    const int kind = m_cbbInputKind->currentIndex();
    const bool samples =
        kind == SamplesAnnualMaximum || kind == SamplesAnnualMultiple || kind == RecordsInput;
    m_RecordsRow->setVisible(kind == RecordsInput);
    m_MemoData->setPlaceholderText(
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
    m_cbbDistribution->setEnabled(samples);
    m_EditYears->setEnabled(kind == SamplesAnnualMultiple);
    m_CheckBoxAnnualMax->setEnabled(kind == SamplesAnnualMultiple);
    // Annual multiple samples are commonly fitted with the exponential distribution.
    if (kind == SamplesAnnualMultiple || (kind == RecordsInput && m_cbbRecordSampling->currentIndex() == 1))
        m_cbbDistribution->setCurrentIndex(int(FrequencyDistribution::Exponential));
    else if (kind == SamplesAnnualMaximum || kind == RecordsInput)
        m_cbbDistribution->setCurrentIndex(int(FrequencyDistribution::PearsonIII));
}

FitSettings TFormFormulaFit::settings() const
{
    FitSettings s;
    const int kind = m_cbbInputKind->currentIndex();
    s.input = kind == TableIntensity || kind == TableDepth ? FitInputKind::Table : FitInputKind::Samples;
    s.values = kind == TableDepth ? TableValueKind::Depth : TableValueKind::Intensity;
    s.frequency.sampling =
        kind == SamplesAnnualMultiple ? SamplingMethod::AnnualMultiple : SamplingMethod::AnnualMaximum;
    s.frequency.years = m_EditYears->value();
    s.frequency.annualMaximumPeriods = m_CheckBoxAnnualMax->isChecked();
    s.frequency.distribution = FrequencyDistribution(m_cbbDistribution->currentIndex());
    s.log = m_ComboBox_LgLn->currentIndex() == 1 ? Logarithm::Ln : Logarithm::Lg;
    return s;
}

std::optional<TotalFormula> TFormFormulaFit::fittedFormula() const
{
    if (!m_outcome)
        return std::nullopt;
    return m_outcome->total;
}

std::optional<double> TFormFormulaFit::fittedPeakRatio() const
{
    if (!m_outcome || !m_outcome->records || !IsPeakRatioInside(m_outcome->records->r))
        return std::nullopt;
    return m_outcome->records->r;
}

void TFormFormulaFit::ButtonOpenClick()
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
        m_MemoData->setPlainText(
            (choice->paths.isEmpty() ? QStringList{choice->path} : choice->paths).join(u'\n'));
        ButtonFitClick();
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
        m_MemoData->setPlainText(DecodeFitLines(ReadFileBytes(choice->path, FitFileLimit)).join(u'\n'));
    } catch (const PluvionError &error) {
        m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
        return;
    }
    ButtonFitClick();
}

void TFormFormulaFit::offerApparentKind(const QByteArray &data)
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
        m_cbbInputKind->setCurrentIndex(samples ? SamplesAnnualMaximum : TableIntensity);
}

void TFormFormulaFit::ButtonOpenFolderClick()
{
    // A folder of records: every .csv and .txt file in it is read.
    UserPrompts::FileDialog dialog;
    dialog.title = QStringLiteral("打开降雨记录文件夹");
    dialog.kind = FileKind::Records;
    dialog.folder = true;
    const auto choice = m_prompts.openFile(this, dialog);
    if (!choice)
        return;
    m_MemoData->setPlainText(choice->path);
    ButtonFitClick();
}

std::optional<FitOutcome> TFormFormulaFit::fitRecords()
{
    QStringList paths;
    for (const QString &line : m_MemoData->toPlainText().split(u'\n')) {
        if (!line.trimmed().isEmpty())
            paths << line.trimmed();
    }
    if (paths.isEmpty())
        throw PluvionError(
            QStringLiteral("请先点“打开...”选择降雨记录文件，或在左侧每行写一个文件或文件夹的路径。"));
    RecordSettings record;
    record.gaps = m_cbbRecordGaps->currentIndex() == 1 ? RecordGaps::Missing : RecordGaps::Zero;
    record.format.unit =
        m_cbbRecordUnit->currentIndex() == 1 ? std::optional(RecordUnit::TenthMillimetre) : std::nullopt;
    record.step = m_cbbRecordStep->currentIndex() == 1 ? 1 : m_cbbRecordStep->currentIndex() == 2 ? 5 : 0;
    record.minCompleteness = m_EditMinCompleteness->value();
    RecordSampling sampling;
    sampling.method = m_cbbRecordSampling->currentIndex() == 1 ? SamplingMethod::AnnualMultiple
                                                               : SamplingMethod::AnnualMaximum;

    // The records are read on a worker thread; this thread keeps the window
    // answering and the progress box up to date, and passes on a cancel.
    std::atomic<int> permille{0};
    std::atomic<bool> cancelled{false};
    std::optional<RecordAnalysis> analysis;
    std::optional<PluvionError> failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            analysis = AnalyseRecords(paths, record, sampling, [&](double fraction) {
                permille = int(fraction * 1000);
                return !cancelled.load();
            });
        } catch (const PluvionError &error) {
            failure = error;
        } catch (const std::bad_alloc &) {
            failure = PluvionError(OutOfMemoryMessage());
        }
    }));
    QProgressDialog progress(QStringLiteral("正在读取降雨记录并取样……"), QStringLiteral("取消"), 0, 1000,
                             this);
    progress.setObjectName(QStringLiteral("RecordsProgress"));
    progress.setWindowTitle(Caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoReset(false);
    connect(&progress, &QProgressDialog::canceled, this, [&cancelled] { cancelled = true; });
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, this, [&] {
        if (progress.wasCanceled())
            cancelled = true;
        else
            progress.setValue(permille.load());
    });
    QEventLoop waiting;
    connect(worker.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    worker->start();
    ticks.start(50);
    waiting.exec();
    worker->wait();
    progress.reset();
    if (failure) {
        if (failure->kind() == PluvionErrorKind::Cancelled)
            return std::nullopt;
        throw *failure;
    }
    FitSettings fit = settings();
    return FitRecordSamples(*analysis, fit);
}

void TFormFormulaFit::ButtonFitClick()
{
    if (recordsChosen()) {
        try {
            std::optional<FitOutcome> outcome = fitRecords();
            if (!outcome)
                return; // cancelled: whatever was shown stays as it was
            m_outcome = std::move(outcome);
        } catch (const PluvionError &error) {
            clearOutcome();
            m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
            return;
        }
        showOutcome();
        return;
    }
    // Cells copied from Excel arrive separated by tabs.
    QString text = m_MemoData->toPlainText();
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
}

void TFormFormulaFit::clearOutcome()
{
    m_outcome.reset();
    m_LabelFormula->setText(QStringLiteral("总公式：（尚未计算）"));
    m_GridAccuracy->setRowCount(0);
    m_GridPeriodFormulas->setRowCount(0);
    m_GridGoodness->setRowCount(0);
    for (int tab = 3; tab < 6; ++tab)
        m_TabResults->setTabVisible(tab, false);
    m_ChartFit->clearGraphs();
    // No bare axes and no empty legend without a result.
    showChart(false);
    m_LabelStale->setVisible(false);
    m_Results->setEnabled(true);
    m_ButtonUseFormula->setEnabled(false);
    m_ButtonExport->setEnabled(false);
}

void TFormFormulaFit::showChart(bool shown)
{
    m_ChartFit->setVisible(shown);
    m_CheckBoxLogAxes->setVisible(shown);
}

void TFormFormulaFit::markStale()
{
    if (!m_outcome || !m_LabelStale->isHidden())
        return;
    m_LabelStale->setVisible(true);
    m_Results->setEnabled(false);
    // What no longer belongs to the data is neither used nor exported.
    m_ButtonUseFormula->setEnabled(false);
    m_ButtonExport->setEnabled(false);
}

void TFormFormulaFit::showOutcome()
{
    const FitOutcome &o = *m_outcome;
    m_LabelFormula->setText(QStringLiteral("总公式：%1    残差平方和 %2")
                                .arg(FormulaText(o.total), QString::number(o.total.rss, 'g', 4)));
    FillGrid(m_GridAccuracy, AccuracyTable(o).rows);
    FillGrid(m_GridPeriodFormulas, PeriodFormulaTable(o).rows);
    FillGrid(m_GridGoodness, GoodnessTable(o).rows);
    for (int tab = 3; tab < 6; ++tab)
        m_TabResults->setTabVisible(tab, o.records.has_value());
    if (o.records) {
        FillGridWithLines(m_GridRecordYears, o.records->years);
        FillGridWithLines(m_GridRecordSamples, o.records->samples);
        m_LabelPeakRatio->setText(FillGridWithLines(m_GridPeakRatio, o.records->peakRatio).join(u'\n'));
    }
    showChart(true);
    DrawFitChart(*m_ChartFit, o, m_CheckBoxLogAxes->isChecked());
    m_LabelStale->setVisible(false);
    m_Results->setEnabled(true);
    m_ButtonUseFormula->setEnabled(true);
    m_ButtonExport->setEnabled(true);
}

void TFormFormulaFit::ButtonUseFormulaClick()
{
    if (m_outcome)
        accept();
}

void TFormFormulaFit::ButtonExportClick()
{
    if (!m_outcome)
        return;
    UserPrompts::FileDialog dialog;
    dialog.title = QStringLiteral("导出推求报告");
    dialog.filters = {QStringLiteral("Word文档(*.docx)"), QStringLiteral("CSV文件(*.csv)")};
    // From records the sample table can be kept too, in the layout the
    // samples are read in, to be looked at, edited and fitted again.
    constexpr int SampleTableFilter = 2;
    if (m_outcome->records)
        dialog.filters << QStringLiteral("样本表(*.csv)");
    dialog.proposedName = FitReportProposedName();
    dialog.kind = FileKind::FitReport;
    const auto choice = m_prompts.saveFile(this, dialog);
    if (!choice)
        return;
    try {
        if (m_outcome->records && choice->filter == SampleTableFilter) {
            WriteFileBytes(ChangeFileExtension(choice->path, QStringLiteral(".csv")),
                           EncodeLegacyLines(m_outcome->records->samples));
            return;
        }
        const bool csv =
            choice->filter == 1 ||
            FileExtension(choice->path).compare(QStringLiteral(".csv"), Qt::CaseInsensitive) == 0;
        if (csv)
            WriteFitReportCsv(ChangeFileExtension(choice->path, QStringLiteral(".csv")), *m_outcome);
        else
            WriteFitReportDocx(WordDocumentPath(choice->path), *m_outcome,
                               FitChartPng(*m_outcome, ReportPictureSize, m_CheckBoxLogAxes->isChecked()));
    } catch (const PluvionError &error) {
        m_prompts.message(this, Caption, error.description(), UserPrompts::Icon::Error);
    }
}
