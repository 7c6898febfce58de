#include "dialogs/UnitFormulaFit.h"

#include "chart/FitChart.h"
#include "export/CalcReport.h"
#include "export/ExportTarget.h"
#include "export/FitReport.h"
#include "export/WordTemplate.h"
#include "fit/FitTables.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace {

const QString Caption = QStringLiteral("暴雨强度公式推求");

// The input kinds in the list's order.
enum InputChoice
{
    TableIntensity,
    TableDepth,
    SamplesAnnualMaximum,
    SamplesAnnualMultiple
};

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
                              QStringLiteral("样本（年最大值法）"), QStringLiteral("样本（年多个样法）")});
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

    m_MemoData = new QPlainTextEdit(this);
    m_MemoData->setObjectName(QStringLiteral("MemoData"));
    m_MemoData->setLineWrapMode(QPlainTextEdit::NoWrap); // a row of the table stays one line
    m_MemoData->setPlaceholderText(QStringLiteral(
        "在此粘贴表格（可直接从 Excel 复制），或点“打开...”读取 CSV 文件。\n"
        "i–t–P表：第一行为标签和各重现期（年），以下每行为历时（分钟）和各重现期的值。\n"
        "样本：第一行为标签和各历时（分钟），以下每行为标签（如年份）和各历时的雨量（mm），空格为缺测。"));

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
    m_ChartFit->setMinimumSize(360, 260);
    m_CheckBoxLogAxes = new QCheckBox(QStringLiteral("对数坐标"), this);
    m_CheckBoxLogAxes->setObjectName(QStringLiteral("CheckBoxLogAxes"));

    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("TabResults"));
    tabs->addTab(m_GridAccuracy, QStringLiteral("精度检验"));
    tabs->addTab(m_GridPeriodFormulas, QStringLiteral("单一重现期公式"));
    tabs->addTab(m_GridGoodness, QStringLiteral("分布拟合优度(mm)"));

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

void TFormFormulaFit::inputKindChange()
{
    const int kind = m_cbbInputKind->currentIndex();
    const bool samples = kind == SamplesAnnualMaximum || kind == SamplesAnnualMultiple;
    m_cbbDistribution->setEnabled(samples);
    m_EditYears->setEnabled(kind == SamplesAnnualMultiple);
    m_CheckBoxAnnualMax->setEnabled(kind == SamplesAnnualMultiple);
    // Annual multiple samples are commonly fitted with the exponential distribution.
    if (kind == SamplesAnnualMultiple)
        m_cbbDistribution->setCurrentIndex(int(FrequencyDistribution::Exponential));
    else if (kind == SamplesAnnualMaximum)
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

void TFormFormulaFit::ButtonOpenClick()
{
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
        samples
            ? QStringLiteral("这些数据看来是样本（第一格为年份，或各行以年份开头），而所选资料是 i–t–P 表。\n"
                             "改按“样本（年最大值法）”计算吗？")
            : QStringLiteral("这些数据看来是 i–t–P 表（第一格标明重现期 P），而所选资料是样本。\n"
                             "改按“i–t–P表（雨强 mm/min）”计算吗？");
    if (m_prompts.message(this, Caption, text, UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo) ==
        UserPrompts::Answer::Yes)
        m_cbbInputKind->setCurrentIndex(samples ? SamplesAnnualMaximum : TableIntensity);
}

void TFormFormulaFit::ButtonFitClick()
{
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
    dialog.proposedName = FitReportProposedName();
    dialog.kind = FileKind::FitReport;
    const auto choice = m_prompts.saveFile(this, dialog);
    if (!choice)
        return;
    try {
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
