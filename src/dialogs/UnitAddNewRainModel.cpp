#include "UnitAddNewRainModel.h"

#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <optional>
#include <utility>

namespace {

// 宋体 at the given pixel size; where it is not installed, the CJK fonts that
// are, so that the Chinese texts always render.
QFont songTi(int pixels)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixels);
    return font;
}

QLabel *formulaText(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setFont(songTi(14));
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
    list->setFont(songTi(12));
    list->setGeometry(geometry);
    return list;
}

// The character a key press types into an edit, as a key filter receives it:
// backspace is character 8; keys that type nothing (arrows, Delete, Home) and
// the keys the dialog itself answers (Tab, Enter, Escape) never reach a filter.
std::optional<QChar> typedCharacter(const QKeyEvent &key)
{
    switch (key.key()) {
    case Qt::Key_Backspace:
        return QChar(8);
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return std::nullopt;
    default:
        break;
    }
    if (key.text().isEmpty())
        return std::nullopt;
    return key.text().front();
}

bool isDigit(QChar key)
{
    return key >= u'0' && key <= u'9';
}

} // namespace

TFormAddNewRainModel::TFormAddNewRainModel(TExpressionObject &model, UserPrompts &prompts,
                                           const Separators &sep, QWidget *parent)
    : QDialog(parent), m_model(model), m_prompts(prompts), m_sep(sep)
{
    buildControls();
    FormCreate();
}

void TFormAddNewRainModel::buildControls()
{
    setObjectName(QStringLiteral("FormAddNewRainModel"));
    setWindowTitle(QStringLiteral("添加新曲线"));
    setFont(songTi(12));
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

    m_cbbStormType = entryList(QStringLiteral("cbbStormType"), {QStringLiteral(" i"), QStringLiteral(" q")},
                               formula, QRect(8, bar - rowHeight / 2, 42, rowHeight));
    formulaText(QStringLiteral(" = "), formula, QRect(52, bar - rowHeight / 2, 22, rowHeight));

    m_Edit_a1 = centredEdit(QStringLiteral("Edit_a1"), QStringLiteral("9.5981"), QStringLiteral("参数A1"),
                            QStringLiteral("A1"), formula, QRect(76, upperRow, 66, rowHeight));
    formulaText(QStringLiteral("(1+"), formula, QRect(142, upperRow, 26, rowHeight));
    m_Edit_c = centredEdit(QStringLiteral("Edit_c"), QStringLiteral("0.846"), QStringLiteral("参数c"),
                           QStringLiteral("C"), formula, QRect(168, upperRow, 50, rowHeight));
    m_ComboBox_LgLn =
        entryList(QStringLiteral("ComboBox_LgLn"), {QStringLiteral("lgP"), QStringLiteral("lnP")}, formula,
                  QRect(220, upperRow, 54, rowHeight));
    formulaText(QStringLiteral(")"), formula, QRect(274, upperRow, 10, rowHeight));

    auto *fractionBar = new QFrame(formula);
    fractionBar->setObjectName(QStringLiteral("FractionBar"));
    fractionBar->setFrameStyle(QFrame::HLine | QFrame::Plain);
    fractionBar->setLineWidth(1);
    fractionBar->setGeometry(76, bar - 1, 210, 3);

    formulaText(QStringLiteral("(t+"), formula, QRect(114, lowerRow, 26, rowHeight));
    m_Edit_b = centredEdit(QStringLiteral("Edit_b"), QStringLiteral("7.0"), QStringLiteral("参数b"),
                           QStringLiteral("b"), formula, QRect(140, lowerRow, 50, rowHeight));
    formulaText(QStringLiteral(")"), formula, QRect(190, lowerRow, 10, rowHeight));
    m_Edit_n = centredEdit(QStringLiteral("Edit_n"), QStringLiteral("0.656"), QStringLiteral("参数n"),
                           QStringLiteral("n"), formula, QRect(201, lowerRow - 3, 44, 18));

    m_lblStormDanWei =
        formulaText(QStringLiteral("(mm/min)"), formula, QRect(290, bar - rowHeight / 2, 102, rowHeight));
    m_lblStormDanWei->setObjectName(QStringLiteral("lblStormDanWei"));

    for (QLineEdit *edit : {m_Edit_a1, m_Edit_c, m_Edit_b})
        edit->setFont(songTi(14));
    m_Edit_n->setFont(songTi(12));

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
    m_EditRepeatYear =
        centredEdit(QStringLiteral("EditRepeatYear"), QStringLiteral("2"),
                    QStringLiteral("设计重现期，单位（年）"), QStringLiteral("重现期P"), frame, {});
    m_EditStormTime =
        centredEdit(QStringLiteral("EditStormTime"), QStringLiteral("120"),
                    QStringLiteral("降雨历时，单位（分钟）"), QStringLiteral("暴雨历时T"), frame, {});
    m_EditStormPercent =
        centredEdit(QStringLiteral("EditStormPercent"), QStringLiteral("0.4"),
                    QStringLiteral("峰值比例，取值0~1之间"), QStringLiteral("雨峰位置r"), frame, {});
    m_EditStep = centredEdit(QStringLiteral("EditStep"), QStringLiteral("1"),
                             QStringLiteral("计算步长，单位（分钟）"), QStringLiteral("计算步长"), frame, {});
    captioned(QStringLiteral("设计重现期(年)："), 0, 0, m_EditRepeatYear);
    captioned(QStringLiteral("降雨历时(分钟)："), 1, 0, m_EditStormTime);
    captioned(QStringLiteral("峰值比例(0-1)："), 0, 1, m_EditStormPercent);
    captioned(QStringLiteral("计算步长(分钟)："), 1, 1, m_EditStep);

    // How the rows are computed: the formula sampled at each minute, or each
    // step's exact average (the storm then totals the formula's own depth).
    m_cbbStormMode = entryList(QStringLiteral("cbbStormMode"),
                               {StormModeName(StormModeInstant), StormModeName(StormModeBlock)}, frame,
                               QRect(122, 176, 90, 22));
    m_cbbStormMode->setToolTip(QStringLiteral("瞬时雨强：逐分钟取公式雨强；时段平均：每个步长内的平均雨强，"
                                              "总雨量与公式雨量一致，适合 SWMM 等水力模型"));
    auto *modeCaption = new QLabel(QStringLiteral("计算模式："), frame);
    modeCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    modeCaption->setGeometry(10, 176, 110, 22);
    modeCaption->setBuddy(m_cbbStormMode);

    // Numbers only: no input method for Chinese characters, and every typed
    // character passes the key filters first.
    for (QLineEdit *edit : {m_EditRepeatYear, m_EditStormTime, m_EditStormPercent, m_EditStep}) {
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        edit->installEventFilter(this);
    }
    m_EditRepeatYear->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    m_EditStormPercent->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    m_EditStormTime->setInputMethodHints(Qt::ImhDigitsOnly);
    m_EditStep->setInputMethodHints(Qt::ImhDigitsOnly);

    m_ButtonOK = new QPushButton(QStringLiteral("确定"), this);
    m_ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    m_ButtonOK->setDefault(true);
    m_ButtonOK->setGeometry(226, 220, 80, 26);
    m_ButtonCancle = new QPushButton(QStringLiteral("取消"), this);
    m_ButtonCancle->setObjectName(QStringLiteral("ButtonCancle"));
    m_ButtonCancle->setGeometry(318, 220, 80, 26);

    QWidget *const tabOrder[] = {m_Edit_a1,     m_Edit_c,           m_ComboBox_LgLn,  m_Edit_n,
                                 m_Edit_b,      m_cbbStormType,     m_EditRepeatYear, m_EditStormTime,
                                 m_EditStep,    m_EditStormPercent, m_cbbStormMode,   m_ButtonOK,
                                 m_ButtonCancle};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_Edit_a1->setFocus();

    connect(m_cbbStormType, &QComboBox::activated, this, &TFormAddNewRainModel::cbbStormTypeChange);
    connect(m_ButtonOK, &QPushButton::clicked, this, &TFormAddNewRainModel::ButtonOKClick);
    connect(m_ButtonCancle, &QPushButton::clicked, this, &TFormAddNewRainModel::ButtonCancleClick);
}

void TFormAddNewRainModel::FormCreate()
{
    m_model = StartUpStorm();
}

void TFormAddNewRainModel::FormShow()
{
    // A storm file may bring a form or a logarithm outside the lists: then no
    // entry is selected and the form's captions stay as they were.
    const auto listIndex = [](int value) { return value == 0 || value == 1 ? value : -1; };
    m_cbbStormType->setCurrentIndex(listIndex(m_model.F_type));
    cbbStormTypeChange();
    m_Edit_a1->setText(GeneralNumber(m_model.F_type != 0 ? m_model.a1_167 : m_model.a1, m_sep));
    m_Edit_c->setText(GeneralNumber(m_model.c, m_sep));
    m_Edit_b->setText(GeneralNumber(m_model.b, m_sep));
    m_Edit_n->setText(GeneralNumber(m_model.n, m_sep));
    m_ComboBox_LgLn->setCurrentIndex(listIndex(m_model.LG_LN));
    m_EditRepeatYear->setText(GeneralNumber(m_model.Storm_RepeatYear, m_sep));
    m_EditStormTime->setText(GeneralNumber(m_model.Storm_Time, m_sep));
    m_EditStormPercent->setText(GeneralNumber(m_model.Storm_Percent, m_sep));
    m_cbbStormMode->setCurrentIndex(m_model.StormMode == StormModeBlock ? 1 : 0);
    // The step edit is left alone: it shows the step the user typed last.
    if (m_proposedFormula) {
        const TExpressionObject f = *std::exchange(m_proposedFormula, std::nullopt);
        m_cbbStormType->setCurrentIndex(listIndex(f.F_type));
        cbbStormTypeChange();
        m_Edit_a1->setText(GeneralNumber(f.F_type != 0 ? f.a1_167 : f.a1, m_sep));
        m_Edit_c->setText(GeneralNumber(f.c, m_sep));
        m_Edit_b->setText(GeneralNumber(f.b, m_sep));
        m_Edit_n->setText(GeneralNumber(f.n, m_sep));
        m_ComboBox_LgLn->setCurrentIndex(listIndex(f.LG_LN));
    }
}

void TFormAddNewRainModel::cbbStormTypeChange()
{
    // Only the captions change: the number in the A1 edit stays as typed and
    // is read in the chosen form when OK stores it.
    switch (m_cbbStormType->currentIndex()) {
    case 0:
        m_lblStormDanWei->setText(QStringLiteral("(mm/min)"));
        m_Edit_a1->setPlaceholderText(QStringLiteral("A1"));
        m_Edit_a1->setToolTip(QStringLiteral("参数A1"));
        break;
    case 1:
        m_lblStormDanWei->setText(QStringLiteral("(L/(s.hm²))"));
        m_Edit_a1->setPlaceholderText(QStringLiteral("166.7A1"));
        m_Edit_a1->setToolTip(QStringLiteral("参数166.7A1"));
        break;
    default:
        break;
    }
}

bool TFormAddNewRainModel::EditStormPercentKeyPress(QChar key) const
{
    // The locale's decimal separator is let through too, so that a user whose
    // numbers are written with a comma can still type a fraction.
    return key == QChar(8) || key == u'.' || key == m_sep.decimal || isDigit(key);
}

bool TFormAddNewRainModel::EditStepKeyPress(QChar key) const
{
    return key == QChar(8) || isDigit(key);
}

bool TFormAddNewRainModel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        if (const std::optional<QChar> key = typedCharacter(*static_cast<QKeyEvent *>(event))) {
            bool accepted = true;
            if (watched == m_EditStep)
                accepted = EditStepKeyPress(*key);
            else if (watched == m_EditRepeatYear || watched == m_EditStormTime ||
                     watched == m_EditStormPercent)
                accepted = EditStormPercentKeyPress(*key);
            // The duration and the step are whole minutes: digits only.
            if (watched == m_EditStormTime || watched == m_EditStep)
                accepted = accepted && (*key == QChar(8) || isDigit(*key));
            if (!accepted)
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormAddNewRainModel::keyPressEvent(QKeyEvent *event)
{
    // No key is bound to "取消": Escape leaves the dialog open.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormAddNewRainModel::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

StormEntry TFormAddNewRainModel::typedEntry() const
{
    StormEntry entry;
    entry.a1 = m_Edit_a1->text();
    entry.c = m_Edit_c->text();
    entry.b = m_Edit_b->text();
    entry.n = m_Edit_n->text();
    entry.repeatYear = m_EditRepeatYear->text();
    entry.stormTime = m_EditStormTime->text();
    entry.stormPercent = m_EditStormPercent->text();
    entry.step = m_EditStep->text();
    entry.stormType = m_cbbStormType->currentIndex();
    entry.lgLn = m_ComboBox_LgLn->currentIndex();
    entry.stormMode = m_cbbStormMode->currentIndex();
    return entry;
}

QLineEdit *TFormAddNewRainModel::editFor(StormEntryField field) const
{
    switch (field) {
    case StormEntryField::A1:
        return m_Edit_a1;
    case StormEntryField::C:
        return m_Edit_c;
    case StormEntryField::B:
        return m_Edit_b;
    case StormEntryField::N:
        return m_Edit_n;
    case StormEntryField::RepeatYear:
        return m_EditRepeatYear;
    case StormEntryField::StormTime:
        return m_EditStormTime;
    case StormEntryField::StormPercent:
        return m_EditStormPercent;
    case StormEntryField::Step:
        return m_EditStep;
    }
    return m_Edit_a1;
}

void TFormAddNewRainModel::ButtonOKClick()
{
    const StormEntry entry = typedEntry();
    std::optional<StormEntryProblem> problem;
    try {
        problem = CheckStormEntry(entry, m_Edit_a1->placeholderText(), m_sep.decimal);
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
    if (!StoreStormEntry(entry, m_model, m_sep)) {
        m_prompts.message(this, StormEntryCaption(), StormEntryNotNumbersMessage(),
                          UserPrompts::Icon::Information);
        return;
    }
    accept();
}

void TFormAddNewRainModel::ButtonCancleClick()
{
    reject();
}
