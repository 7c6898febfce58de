#include "dialogs/LongStormDialog.h"

#include "model/NumberForms.h"
#include "model/PluvionError.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString NestText(const std::vector<int> &durations)
{
    QStringList texts;
    for (int d : durations)
        texts << QString::number(d);
    return texts.join(QStringLiteral(","));
}

} // namespace

LongStormDialog::LongStormDialog(const RainRecord &record, bool formulaFitted, UserPrompts &prompts,
                                 QWidget *parent)
    : QDialog(parent), m_record(record), m_prompts(prompts)
{
    setObjectName(QStringLiteral("LongStormDialog"));
    setWindowTitle(QStringLiteral("长历时雨型"));

    m_durationEdit = new QSpinBox(this);
    m_durationEdit->setObjectName(QStringLiteral("LongDurationEdit"));
    m_durationEdit->setRange(record.step, MaxRecordDuration);
    m_durationEdit->setSingleStep(60);
    m_durationEdit->setValue(DefaultLongStormDuration);
    m_durationEdit->setSuffix(QStringLiteral(" 分钟"));
    m_stepEdit = new QSpinBox(this);
    m_stepEdit->setObjectName(QStringLiteral("LongStepEdit"));
    m_stepEdit->setRange(record.step, 60);
    m_stepEdit->setSingleStep(record.step);
    m_stepEdit->setValue(std::max(DefaultLongStormStep, record.step));
    m_stepEdit->setSuffix(QStringLiteral(" 分钟"));
    m_periodEdit = new QDoubleSpinBox(this);
    m_periodEdit->setObjectName(QStringLiteral("LongPeriodEdit"));
    m_periodEdit->setDecimals(2);
    m_periodEdit->setRange(0.1, 10000);
    m_periodEdit->setValue(LongStormSettings().period);
    m_periodEdit->setSuffix(QStringLiteral(" 年"));
    m_methodBox = new QComboBox(this);
    m_methodBox->setObjectName(QStringLiteral("LongMethodBox"));
    m_methodBox->addItem(QStringLiteral("同频率放大（典型暴雨）"), int(LongStormMethod::SameFrequency));
    m_methodBox->addItem(QStringLiteral("平均变率法（Pilgrim–Cordery）"),
                         int(LongStormMethod::AverageVariability));
    m_nestEdit = new QLineEdit(this);
    m_nestEdit->setObjectName(QStringLiteral("NestEdit"));
    m_nestEdit->setToolTip(QStringLiteral("嵌套历时（分钟，逗号分隔，均为步长的倍数，以历时 D 结束）"));
    m_typicalBox = new QComboBox(this);
    m_typicalBox->setObjectName(QStringLiteral("TypicalStormBox"));
    m_stormCountEdit = new QSpinBox(this);
    m_stormCountEdit->setObjectName(QStringLiteral("StormCountEdit"));
    m_stormCountEdit->setRange(0, 10000);
    m_stormCountEdit->setSpecialValueText(QStringLiteral("每年最大一场"));
    m_stormCountEdit->setSuffix(QStringLiteral(" 场（互不重叠的最大场次）"));
    m_depthSourceBox = new QComboBox(this);
    m_depthSourceBox->setObjectName(QStringLiteral("DepthSourceBox"));
    m_depthSourceBox->addItem(QStringLiteral("由记录各历时的频率分析"), int(DesignDepthSource::Records));
    if (formulaFitted)
        m_depthSourceBox->addItem(QStringLiteral("由拟合的暴雨强度公式"), int(DesignDepthSource::Formula));
    m_candidatesNote = new QLabel(this);
    m_candidatesNote->setObjectName(QStringLiteral("CandidatesNote"));
    m_candidatesNote->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("降雨历时 D："), m_durationEdit);
    form->addRow(QStringLiteral("时段步长 Δt："), m_stepEdit);
    form->addRow(QStringLiteral("设计重现期 P："), m_periodEdit);
    form->addRow(QStringLiteral("雨型方法："), m_methodBox);
    form->addRow(QStringLiteral("嵌套历时："), m_nestEdit);
    form->addRow(QStringLiteral("典型暴雨："), m_typicalBox);
    form->addRow(QStringLiteral("平均的场次："), m_stormCountEdit);
    form->addRow(QStringLiteral("设计雨量："), m_depthSourceBox);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    auto *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &LongStormDialog::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_candidatesNote);
    layout->addWidget(buttons);

    connect(m_methodBox, &QComboBox::currentIndexChanged, this, &LongStormDialog::methodChanged);
    connect(m_durationEdit, &QSpinBox::valueChanged, this, &LongStormDialog::durationChanged);
    connect(m_stepEdit, &QSpinBox::valueChanged, this, &LongStormDialog::durationChanged);
    durationChanged();
    methodChanged();
}

void LongStormDialog::methodChanged()
{
    const bool sameFrequency =
        LongStormMethod(m_methodBox->currentData().toInt()) == LongStormMethod::SameFrequency;
    m_typicalBox->setEnabled(sameFrequency);
    m_nestEdit->setEnabled(sameFrequency);
    m_stormCountEdit->setEnabled(!sameFrequency);
}

void LongStormDialog::durationChanged()
{
    // The default nest of the new D and Δt, and the candidates of the new D.
    LongStormSettings defaults;
    defaults.duration = m_durationEdit->value();
    defaults.step = m_stepEdit->value();
    try {
        m_nestEdit->setText(NestText(NestedDurations(defaults)));
    } catch (const PluvionError &) {
        m_nestEdit->clear(); // D no multiple of Δt: said on OK
    }
    m_typicalBox->clear();
    m_candidates.clear();
    try {
        m_candidates = AnnualStormWindows(m_record, defaults.duration);
    } catch (const PluvionError &error) {
        m_candidatesNote->setText(error.description());
    }
    m_typicalBox->addItem(QStringLiteral("最大的一场（自动）"));
    for (const StormWindow &window : m_candidates)
        m_typicalBox->addItem(QStringLiteral("%1  %2 mm")
                                  .arg(StormStartText(window.start), QString::number(window.depth, 'f', 1)));
    if (!m_candidates.empty())
        m_candidatesNote->setText(
            QStringLiteral("候选暴雨：记录中每个使用年份雨量最大的 %1 分钟时段，共 %2 场。")
                .arg(defaults.duration)
                .arg(m_candidates.size()));
}

LongStormSettings LongStormDialog::settings() const
{
    LongStormSettings settings;
    settings.duration = m_durationEdit->value();
    settings.step = m_stepEdit->value();
    settings.period = m_periodEdit->value();
    settings.method = LongStormMethod(m_methodBox->currentData().toInt());
    settings.source = DesignDepthSource(m_depthSourceBox->currentData().toInt());
    for (const QString &text : m_nestEdit->text().split(u',', Qt::SkipEmptyParts)) {
        int32_t minutes = 0;
        if (!TryParseInt32(text.trimmed(), &minutes) || minutes <= 0)
            throw PluvionError(
                QStringLiteral("嵌套历时应为以逗号分隔的分钟数，而不是“%1”").arg(text.trimmed()));
        settings.nested.push_back(minutes);
    }
    const int typical = m_typicalBox->currentIndex();
    if (typical > 0 && size_t(typical) <= m_candidates.size())
        settings.typicalStart = m_candidates[size_t(typical - 1)].start;
    if (m_stormCountEdit->value() > 0) {
        settings.storms = VariabilityStorms::LargestIndependent;
        settings.stormCount = m_stormCountEdit->value();
    }
    return settings;
}

void LongStormDialog::confirm()
{
    try {
        const LongStormSettings chosen = settings();
        CheckLongStormSettings(chosen, m_record.step);
        (void)NestedDurations(chosen);
    } catch (const PluvionError &error) {
        m_prompts.message(this, windowTitle(), error.description(), UserPrompts::Icon::Information);
        return;
    }
    accept();
}
