#include "NewStormDialog.h"

#include "model/PluvionError.h"
#include "model/ShownTexts.h"
#include "ui/WindowFonts.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QValidator>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace {

QLabel *formulaText(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setFont(WindowFonts::songTiPixels(14));
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(geometry);
    return label;
}

QLineEdit *centredEdit(const QString &name, const QString &text, const QString &toolTip,
                       const QString &placeholder, QWidget *parent, const QRect &geometry)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignCenter);
    edit->setToolTip(toolTip);
    edit->setPlaceholderText(placeholder);
    edit->setGeometry(geometry);
    return edit;
}

QComboBox *entryList(const QString &name, const QStringList &entries, QWidget *parent, const QRect &geometry)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->addItems(entries);
    list->setFont(WindowFonts::songTiPixels(12));
    list->setGeometry(geometry);
    return list;
}

bool isDigit(QChar key)
{
    return key >= u'0' && key <= u'9';
}

// Lets into an edit only texts whose every character passes the edit's key
// filter. A validator sees the edit's text after typing, pasting (keys or
// context menu), cutting and undoing alike, so the shortcuts and the context
// menu keep working and nothing reaches the edit around the filter.
class CharacterFilter : public QValidator
{
public:
    CharacterFilter(std::function<bool(QChar)> passes, QObject *parent)
        : QValidator(parent), m_passes(std::move(passes))
    {}

    State validate(QString &text, int &) const override
    {
        return std::all_of(text.cbegin(), text.cend(), m_passes) ? Acceptable : Invalid;
    }

private:
    std::function<bool(QChar)> m_passes;
};

} // namespace

NewStormDialog::NewStormDialog(UserPrompts &prompts, const Separators &sep, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_separators(sep)
{
    buildControls();
}

void NewStormDialog::buildControls()
{
    setObjectName(QStringLiteral("NewStormDialog"));
    setWindowTitle(QStringLiteral("添加新曲线"));
    setFont(WindowFonts::songTiPixels(12));
    setFixedSize(414, 255);

    auto *frame = new QFrame(this);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    frame->setGeometry(0, 0, 414, 210);

    auto *formula = new QGroupBox(QStringLiteral("暴雨强度公式"), frame);
    formula->setGeometry(8, 6, 398, 94);

    // The formula reads as written: the form and " = " level with the bar,
    // the numerator above it, the denominator below with n raised as the
    // exponent, the unit at the right.
    const int upperRow = 24;
    const int bar = 52;
    const int lowerRow = 58;
    const int rowHeight = 22;

    m_formBox = entryList(QStringLiteral("cbbStormType"), {QStringLiteral(" i"), QStringLiteral(" q")},
                          formula, QRect(8, bar - rowHeight / 2, 42, rowHeight));
    formulaText(QStringLiteral(" = "), formula, QRect(52, bar - rowHeight / 2, 22, rowHeight));

    m_a1Edit = centredEdit(QStringLiteral("Edit_a1"), QStringLiteral("9.5981"), QStringLiteral("参数A1"),
                           QStringLiteral("A1"), formula, QRect(76, upperRow, 74, rowHeight));
    formulaText(QStringLiteral("(1+"), formula, QRect(150, upperRow, 26, rowHeight));
    m_cEdit = centredEdit(QStringLiteral("Edit_c"), QStringLiteral("0.846"), QStringLiteral("参数c"),
                          QStringLiteral("C"), formula, QRect(176, upperRow, 60, rowHeight));
    m_logBox = entryList(QStringLiteral("ComboBox_LgLn"), {QStringLiteral("lgP"), QStringLiteral("lnP")},
                         formula, QRect(238, upperRow, 54, rowHeight));
    formulaText(QStringLiteral(")"), formula, QRect(292, upperRow, 10, rowHeight));

    auto *fractionBar = new QFrame(formula);
    fractionBar->setObjectName(QStringLiteral("FractionBar"));
    fractionBar->setFrameStyle(QFrame::HLine | QFrame::Plain);
    fractionBar->setLineWidth(1);
    fractionBar->setGeometry(76, bar - 1, 228, 3);

    formulaText(QStringLiteral("(t+"), formula, QRect(116, lowerRow, 26, rowHeight));
    m_bEdit = centredEdit(QStringLiteral("Edit_b"), QStringLiteral("7.0"), QStringLiteral("参数b"),
                          QStringLiteral("b"), formula, QRect(142, lowerRow, 60, rowHeight));
    formulaText(QStringLiteral(")"), formula, QRect(202, lowerRow, 10, rowHeight));
    m_nEdit = centredEdit(QStringLiteral("Edit_n"), QStringLiteral("0.656"), QStringLiteral("参数n"),
                          QStringLiteral("n"), formula, QRect(213, lowerRow - 3, 52, 18));

    m_unitLabel =
        formulaText(QStringLiteral("(mm/min)"), formula, QRect(306, bar - rowHeight / 2, 90, rowHeight));
    m_unitLabel->setObjectName(QStringLiteral("UnitLabel"));
    // Which number the first entry holds, in either form.
    m_a1Caption = formulaText(QStringLiteral("首项：A1"), formula, QRect(4, lowerRow, 108, rowHeight));
    m_a1Caption->setObjectName(QStringLiteral("A1Caption"));
    m_a1Caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_a1Caption->setFont(WindowFonts::songTiPixels(12));
    m_a1Caption->setStyleSheet(QStringLiteral("color: #606060"));

    for (QLineEdit *edit : {m_a1Edit, m_cEdit, m_bEdit})
        edit->setFont(WindowFonts::songTiPixels(14));
    m_nEdit->setFont(WindowFonts::songTiPixels(12));

    // The design values: two rows of two captioned edits.
    const auto captioned = [frame](const QString &caption, int column, int row, QLineEdit *edit) {
        const int left = 10 + column * 200;
        const int top = 112 + row * 32;
        auto *label = new QLabel(caption, frame);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(left, top, 110, 22);
        label->setBuddy(edit);
        edit->setGeometry(left + 112, top, 68, 22);
    };
    m_periodEdit =
        centredEdit(QStringLiteral("EditRepeatYear"), QStringLiteral("2"),
                    QStringLiteral("设计重现期，单位（年）"), QStringLiteral("重现期P"), frame, {});
    m_durationEdit =
        centredEdit(QStringLiteral("EditStormTime"), QStringLiteral("120"),
                    QStringLiteral("降雨历时，单位（分钟）"), QStringLiteral("暴雨历时T"), frame, {});
    m_peakEdit = centredEdit(QStringLiteral("EditStormPercent"), QStringLiteral("0.4"),
                             QStringLiteral("峰值比例，取值0~1之间"), QStringLiteral("雨峰位置r"), frame, {});
    m_stepEdit = centredEdit(QStringLiteral("EditStep"), QStringLiteral("1"),
                             QStringLiteral("计算步长，单位（分钟）"), QStringLiteral("计算步长"), frame, {});
    captioned(QStringLiteral("设计重现期(年)："), 0, 0, m_periodEdit);
    captioned(QStringLiteral("降雨历时(分钟)："), 1, 0, m_durationEdit);
    captioned(QStringLiteral("峰值比例(0-1)："), 0, 1, m_peakEdit);
    captioned(QStringLiteral("计算步长(分钟)："), 1, 1, m_stepEdit);

    // How the rows are computed: the formula sampled at each minute, or each
    // step's exact average (the storm then totals the formula's own depth).
    m_modeBox = entryList(QStringLiteral("cbbStormMode"),
                          {StormModeName(CalcMode::Instant), StormModeName(CalcMode::Block)}, frame,
                          QRect(122, 176, 90, 22));
    m_modeBox->setToolTip(QStringLiteral("瞬时雨强：逐分钟取公式雨强；时段平均：每个步长内的平均雨强，"
                                         "总雨量与公式雨量一致，适合 SWMM 等水力模型"));
    auto *modeCaption = new QLabel(QStringLiteral("计算模式："), frame);
    modeCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    modeCaption->setGeometry(10, 176, 110, 22);
    modeCaption->setBuddy(m_modeBox);

    // Numbers only: no input method for Chinese characters, and every
    // character typed or pasted passes the key filters first. The duration and
    // the step are whole minutes: digits only.
    for (QLineEdit *edit : {m_periodEdit, m_durationEdit, m_peakEdit, m_stepEdit})
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    const auto decimalKey = [this](QChar key) { return EditStormPercentKeyPress(key); };
    const auto minuteKey = [this](QChar key) { return EditStepKeyPress(key); };
    m_periodEdit->setValidator(new CharacterFilter(decimalKey, m_periodEdit));
    m_peakEdit->setValidator(new CharacterFilter(decimalKey, m_peakEdit));
    m_durationEdit->setValidator(new CharacterFilter(minuteKey, m_durationEdit));
    m_stepEdit->setValidator(new CharacterFilter(minuteKey, m_stepEdit));
    m_periodEdit->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    m_peakEdit->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    m_durationEdit->setInputMethodHints(Qt::ImhDigitsOnly);
    m_stepEdit->setInputMethodHints(Qt::ImhDigitsOnly);

    m_okButton = new QPushButton(QStringLiteral("确定"), this);
    m_okButton->setObjectName(QStringLiteral("ButtonOK"));
    m_okButton->setDefault(true);
    m_okButton->setGeometry(226, 220, 80, 26);
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("ButtonCancel"));
    m_cancelButton->setGeometry(318, 220, 80, 26);

    QWidget *const tabOrder[] = {m_a1Edit,  m_cEdit,      m_logBox,       m_nEdit,    m_bEdit,
                                 m_formBox, m_periodEdit, m_durationEdit, m_stepEdit, m_peakEdit,
                                 m_modeBox, m_okButton,   m_cancelButton};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_a1Edit->setFocus();

    connect(m_formBox, &QComboBox::activated, this, &NewStormDialog::formPicked);
    connect(m_okButton, &QPushButton::clicked, this, &NewStormDialog::confirm);
    connect(m_cancelButton, &QPushButton::clicked, this, &NewStormDialog::cancel);
}

namespace {

// A storm file may bring a form or a logarithm outside the lists: then no
// entry is selected and the form's captions stay as they were.
int listIndex(int value)
{
    return value == 0 || value == 1 ? value : -1;
}

} // namespace

void NewStormDialog::showFormula(const Storm &formula)
{
    m_formBox->setCurrentIndex(listIndex(int(formula.form)));
    formChanged();
    m_a1Edit->setText(
        GeneralNumber(formula.form != FormulaForm::Intensity ? formula.a1Flow : formula.a1, m_separators));
    m_cEdit->setText(GeneralNumber(formula.c, m_separators));
    m_bEdit->setText(GeneralNumber(formula.b, m_separators));
    m_nEdit->setText(GeneralNumber(formula.n, m_separators));
    m_logBox->setCurrentIndex(listIndex(int(formula.log)));
    // A number wider than its entry shows its leading digits.
    for (QLineEdit *edit : {m_a1Edit, m_cEdit, m_bEdit, m_nEdit})
        edit->setCursorPosition(0);
}

void NewStormDialog::prepareToShow()
{
    m_a1Conversion.reset();
    showFormula(m_storm);
    m_periodEdit->setText(GeneralNumber(m_storm.period, m_separators));
    m_durationEdit->setText(GeneralNumber(m_storm.duration, m_separators));
    m_peakEdit->setText(GeneralNumber(m_storm.peakRatio, m_separators));
    m_modeBox->setCurrentIndex(m_storm.mode == CalcMode::Block ? 1 : 0);
    // The step edit is left alone: it shows the step the user typed last.
    // A fitted formula waiting to be used takes the formula's place once.
    if (m_proposedFormula)
        showFormula(*std::exchange(m_proposedFormula, std::nullopt));
    if (m_proposedPeakRatio)
        m_peakEdit->setText(GeneralNumber(*std::exchange(m_proposedPeakRatio, std::nullopt), m_separators));
}

void NewStormDialog::formChanged()
{
    switch (m_formBox->currentIndex()) {
    case 0:
        m_unitLabel->setText(QStringLiteral("(mm/min)"));
        m_a1Edit->setPlaceholderText(QStringLiteral("A1"));
        m_a1Edit->setToolTip(QStringLiteral("参数A1"));
        m_a1Caption->setText(QStringLiteral("首项：A1"));
        break;
    case 1:
        m_unitLabel->setText(QStringLiteral("(L/(s.hm²))"));
        m_a1Edit->setPlaceholderText(QStringLiteral("166.7A1"));
        m_a1Edit->setToolTip(QStringLiteral("参数166.7A1"));
        m_a1Caption->setText(QStringLiteral("首项：166.7A1"));
        break;
    default:
        break;
    }
}

void NewStormDialog::formPicked()
{
    const QString previousCaption = m_a1Caption->text();
    formChanged();
    if (m_a1Caption->text() == previousCaption)
        return; // the same form again
    const bool toFlow = m_formBox->currentIndex() == 1;
    const QString typed = m_a1Edit->text();
    // Switched back before anything was typed: the text as it was.
    if (m_a1Conversion && typed == m_a1Conversion->shown) {
        m_a1Edit->setText(std::exchange(m_a1Conversion, std::nullopt)->before);
        m_a1Edit->setCursorPosition(0);
        return;
    }
    // The number typed is the parameter of the form it was typed in: the
    // same formula in the other form has the other number.
    double value = 0;
    if (!TryParseFloat(typed, m_separators.decimal, &value) || !std::isfinite(value)) {
        m_a1Conversion.reset();
        return; // not a number: left for OK to name
    }
    const QString shown =
        GeneralNumber(toFlow ? value / FlowFormFactor : value * FlowFormFactor, m_separators);
    m_a1Conversion = A1Conversion{shown, !toFlow, value, typed};
    m_a1Edit->setText(shown);
    m_a1Edit->setCursorPosition(0);
}

bool NewStormDialog::EditStormPercentKeyPress(QChar key) const
{
    // The locale's decimal separator is let through too, so that a user whose
    // numbers are written with a comma can still type a fraction.
    return key == u'.' || key == m_separators.decimal || isDigit(key);
}

bool NewStormDialog::EditStepKeyPress(QChar key) const
{
    return isDigit(key);
}

void NewStormDialog::keyPressEvent(QKeyEvent *event)
{
    // No key is bound to "取消": Escape leaves the dialog open.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void NewStormDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        prepareToShow();
    QDialog::showEvent(event);
}

StormEntry NewStormDialog::typedEntry() const
{
    StormEntry entry;
    entry.a1 = m_a1Edit->text();
    entry.c = m_cEdit->text();
    entry.b = m_bEdit->text();
    entry.n = m_nEdit->text();
    entry.repeatYear = m_periodEdit->text();
    entry.stormTime = m_durationEdit->text();
    entry.stormPercent = m_peakEdit->text();
    entry.step = m_stepEdit->text();
    entry.stormType = m_formBox->currentIndex();
    entry.lgLn = m_logBox->currentIndex();
    entry.stormMode = m_modeBox->currentIndex();
    return entry;
}

QLineEdit *NewStormDialog::editFor(StormEntryField field) const
{
    switch (field) {
    case StormEntryField::A1:
        return m_a1Edit;
    case StormEntryField::C:
        return m_cEdit;
    case StormEntryField::B:
        return m_bEdit;
    case StormEntryField::N:
        return m_nEdit;
    case StormEntryField::RepeatYear:
        return m_periodEdit;
    case StormEntryField::StormTime:
        return m_durationEdit;
    case StormEntryField::StormPercent:
        return m_peakEdit;
    case StormEntryField::Step:
        return m_stepEdit;
    }
    return m_a1Edit;
}

void NewStormDialog::confirm()
{
    const StormEntry entry = typedEntry();
    std::optional<StormEntryProblem> problem;
    try {
        problem = CheckStormEntry(entry, m_a1Edit->placeholderText(), m_separators.decimal);
    } catch (const PluvionError &error) {
        // A peak ratio that is no number at all (0.4.1 passes the key filter)
        // ends the command in the application's standard error box; the
        // dialog stays open and the focus where it was.
        ShowStandardError(m_prompts, this, error.description());
        return;
    }
    if (problem) {
        m_prompts.message(this, StormEntryCaption(), problem->message, UserPrompts::Icon::Information);
        editFor(problem->focus)->setFocus();
        return;
    }
    Storm storm = m_storm;
    if (!StoreStormEntry(entry, storm, m_separators)) {
        m_prompts.message(this, StormEntryCaption(), StormEntryNotNumbersMessage(),
                          UserPrompts::Icon::Information);
        return;
    }
    // The converted number untouched: the formula is exactly the one it came
    // from, not the conversion's rounded digits.
    if (m_a1Conversion && entry.a1 == m_a1Conversion->shown) {
        if (m_a1Conversion->fromFlow)
            storm.setA1Flow(m_a1Conversion->original);
        else
            storm.setA1(m_a1Conversion->original);
    }
    m_storm = storm;
    accept();
}

void NewStormDialog::cancel()
{
    reject();
}
