#include "OptionsDialog.h"

#include "ui/WindowFonts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <algorithm>
#include <limits>

namespace {

constexpr int kCheckBoxHeight = 17;
constexpr int kLowestPrecision = 1;
constexpr int kHighestPrecision = 99;

// The precision field. A number beyond the range may be typed (it is not
// refused key by key, which would turn a typed 150 into 15); when the field
// loses the focus or Enter is pressed, the number is brought to the nearer
// bound, and text that is not a number becomes the lower bound.
class PrecisionSpinBox : public QSpinBox
{
public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString &text, int &pos) const override
    {
        const QValidator::State state = QSpinBox::validate(text, pos);
        if (state != QValidator::Invalid)
            return state;
        return isDigits(text) ? QValidator::Intermediate : QValidator::Invalid;
    }

    void fixup(QString &text) const override
    {
        bool isNumber = false;
        const qlonglong number = locale().toLongLong(text.trimmed(), &isNumber);
        const qlonglong fixed = isNumber ? std::clamp<qlonglong>(number, minimum(), maximum()) : minimum();
        text = textFromValue(int(fixed));
    }

private:
    // Nine digits at most: enough for any slip of the fingers, and the number
    // stays well inside the integer range.
    static bool isDigits(const QString &text)
    {
        const QString digits = text.trimmed();
        return !digits.isEmpty() && digits.size() <= 9 &&
               std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    }
};

QGroupBox *groupBox(const QString &name, const QString &title, QWidget *parent, const QRect &geometry)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QCheckBox *checkBox(const QString &name, const QString &caption, QWidget *parent, const QRect &geometry)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QPushButton *button(const QString &name, const QString &caption, QWidget *parent, const QRect &geometry)
{
    auto *push = new QPushButton(caption, parent);
    push->setObjectName(name);
    push->setGeometry(geometry);
    return push;
}

// The nine check boxes and the options they edit, in the order they are made:
// six labels in 显示标签, two series in 显示曲线, the computing switch in 精度.
struct FlagBox
{
    const char *objectName;
    const char16_t *caption;
    int group; // 0 显示标签, 1 显示曲线, 2 精度
    QRect geometry;
    bool ViewOptions::*option;
    const char16_t *toolTip = nullptr;
};

const FlagBox FlagBoxes[OptionsDialog::FlagBoxCount] = {
    {"CheckBox_ShowLabel_P", u"重现期(P)", 0, QRect(8, 18, 110, kCheckBoxHeight), &ViewOptions::ShowLabel_P},
    {"CheckBox_ShowLabel_T", u"暴雨历时(T)", 0, QRect(8, 39, 110, kCheckBoxHeight),
     &ViewOptions::ShowLabel_T},
    {"CheckBox_ShowLabel_R", u"峰值比例(R)", 0, QRect(8, 60, 110, kCheckBoxHeight),
     &ViewOptions::ShowLabel_R},
    {"CheckBox_ShowLabel_Overall_Rainfall", u"总降雨量(H)", 0, QRect(8, 81, 110, kCheckBoxHeight),
     &ViewOptions::ShowLabel__Overall_Rainfall},
    {"CheckBox_ShowLabel_Average_Rainfall_Intensity", u"平均雨强(i)", 0, QRect(8, 102, 110, kCheckBoxHeight),
     &ViewOptions::ShowLabel_Average},
    {"CheckBox_ShowLabel_Formula_Depth", u"公式雨量", 0, QRect(8, 123, 110, kCheckBoxHeight),
     &ViewOptions::ShowLabel_Formula_Depth, u"暴雨强度公式在降雨历时内的雨量，与总降雨量(H)对照"},
    {"CheckBox_ShowAxis_Overall_Rainfall", u"降雨总量(H)", 1, QRect(8, 18, 97, kCheckBoxHeight),
     &ViewOptions::ShowAxis_Overall},
    {"CheckBox_ShowAxis_Rainfall_Intensity", u"降雨强度(I)", 1, QRect(8, 39, 97, kCheckBoxHeight),
     &ViewOptions::ShowAxis_Intensity},
    {"CheckBox_CalcByShow", u"按显示精度计算", 2, QRect(8, 41, 161, kCheckBoxHeight),
     &ViewOptions::CalcByShow, u"按显示的数值计算，会降低计算精度"},
};

// Moves a group's controls below its title and widens them and the group to
// what their texts need in the fonts at hand. The places and sizes given are
// the smallest; a group whose font needs no more keeps them exactly.
void fitGroup(QGroupBox *group)
{
    const QWidgetList controls = group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    if (controls.isEmpty())
        return;
    // A caption's line of text must fit; the rest of a check box's size hint
    // is room for the focus frame, which the rows 21 pixels apart leave out.
    for (QWidget *control : controls) {
        if (qobject_cast<QCheckBox *>(control) || qobject_cast<QLabel *>(control))
            control->resize(std::max(control->width(), control->sizeHint().width()),
                            std::max(control->height(), control->fontMetrics().height()));
    }
    // The precision field stays right of its caption.
    if (auto *caption = group->findChild<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QWidget *control : controls) {
            if (qobject_cast<QSpinBox *>(control) && control->x() < caption->geometry().right() + 4)
                control->move(caption->geometry().right() + 4, control->y());
        }
    }

    const QRect contents = group->contentsRect();
    int top = std::numeric_limits<int>::max();
    for (const QWidget *control : controls)
        top = std::min(top, control->y());
    const int down = std::max(0, contents.top() + 2 - top);
    QRect used;
    for (QWidget *control : controls) {
        control->move(control->pos() + QPoint(0, down));
        used = used.united(control->geometry());
    }
    const int rightMargin = group->width() - 1 - contents.right() + 3;
    const int bottomMargin = group->height() - 1 - contents.bottom() + 3;
    group->resize(std::max(group->width(), used.right() + 1 + rightMargin),
                  std::max(group->height(), used.bottom() + 1 + bottomMargin));
}

} // namespace

OptionsDialog::OptionsDialog(const ViewOptions &options,
                             std::function<void(const ViewOptions &)> previewOnWindow, QWidget *parent)
    : QDialog(parent), m_options(options), m_previewOnWindow(std::move(previewOnWindow))
{
    buildControls();
    setUp();
}

OptionsDialog::~OptionsDialog()
{
    // QDialog's destructor hides a dialog that is still open, and the focus
    // leaving a half-typed precision field fixes the field up and signals a
    // change. By then the options and the preview are gone: nothing may
    // reach applyOptions any more.
    for (QCheckBox *box : m_flagBoxes)
        box->disconnect(this);
    m_precisionEdit->disconnect(this);
    m_timeFormatBox->disconnect(this);
}

void OptionsDialog::buildControls()
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("设置"));
    setFont(WindowFonts::songTi(9));

    // A group's check boxes, made in table order so that Tab visits them so.
    QGroupBox *groups[3] = {};
    const auto addFlagBoxes = [&](int group) {
        for (int i = 0; i < FlagBoxCount; ++i) {
            const FlagBox &flag = FlagBoxes[i];
            if (flag.group != group)
                continue;
            m_flagBoxes[i] = checkBox(QString::fromLatin1(flag.objectName), QString::fromUtf16(flag.caption),
                                      groups[group], flag.geometry);
            if (flag.toolTip)
                m_flagBoxes[i]->setToolTip(QString::fromUtf16(flag.toolTip));
        }
    };
    groups[0] =
        groupBox(QStringLiteral("GroupBox1"), QStringLiteral("显示标签"), this, QRect(8, 8, 121, 149));
    addFlagBoxes(0);
    groups[1] =
        groupBox(QStringLiteral("GroupBox2"), QStringLiteral("显示曲线"), this, QRect(135, 8, 114, 68));
    addFlagBoxes(1);

    auto *time =
        groupBox(QStringLiteral("GroupBox4"), QStringLiteral("时间格式"), this, QRect(135, 84, 114, 52));
    m_timeFormatBox = new QComboBox(time);
    m_timeFormatBox->setObjectName(QStringLiteral("ComboBox_TimeFormat"));
    m_timeFormatBox->setEditable(false);
    m_timeFormatBox->addItems({QStringLiteral("HH:MM"), QStringLiteral("min")});
    m_timeFormatBox->setGeometry(8, 20, 96, 20);

    groups[2] = groupBox(QStringLiteral("GroupBox3"), QStringLiteral("精度"), this, QRect(8, 160, 161, 67));
    auto *precisionText = new QLabel(QStringLiteral("显示小数位数："), groups[2]);
    precisionText->setObjectName(QStringLiteral("PrecisionLabel"));
    precisionText->move(8, 18);
    precisionText->adjustSize();
    m_precisionEdit = new PrecisionSpinBox(groups[2]);
    m_precisionEdit->setObjectName(QStringLiteral("SpinEdit_Precision"));
    m_precisionEdit->setRange(kLowestPrecision, kHighestPrecision);
    m_precisionEdit->setGeometry(92, 14, 55, 21);
    addFlagBoxes(2);

    m_okButton = button(QStringLiteral("Button_OK"), QStringLiteral("确定"), this, QRect(174, 170, 75, 25));
    m_cancelButton =
        button(QStringLiteral("Button_Cancle"), QStringLiteral("取消"), this, QRect(174, 201, 75, 25));
    fitToFonts(groups[0], groups[1], time, groups[2]);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    for (QCheckBox *box : m_flagBoxes)
        connect(box, &QCheckBox::toggled, this, &OptionsDialog::copyControlsToOptions);
    connect(m_precisionEdit, &QSpinBox::valueChanged, this, &OptionsDialog::copyControlsToOptions);
    connect(m_timeFormatBox, &QComboBox::currentIndexChanged, this, &OptionsDialog::copyControlsToOptions);
}

void OptionsDialog::fitToFonts(QGroupBox *labels, QGroupBox *series, QGroupBox *time, QGroupBox *precision)
{
    for (QGroupBox *group : {labels, series, time, precision})
        fitGroup(group);
    // The groups keep their order and gaps when one of them grows: labels
    // at the top left, series and time format to its right one above the
    // other, precision below the labels with the two buttons beside it.
    const int rightColumn = std::max(series->x(), labels->geometry().right() + 7);
    const int rightWidth = std::max(series->width(), time->width());
    series->setGeometry(rightColumn, series->y(), rightWidth, series->height());
    time->setGeometry(rightColumn, std::max(time->y(), series->geometry().bottom() + 9), rightWidth,
                      time->height());
    precision->move(precision->x(), std::max({precision->y(), labels->geometry().bottom() + 4,
                                              time->geometry().bottom() + 4}));
    const int buttonsLeft = std::max(m_okButton->x(), precision->geometry().right() + 6);
    m_okButton->move(buttonsLeft, precision->y() + 10);
    m_cancelButton->move(buttonsLeft, precision->y() + 41);
    const int right = std::max({time->geometry().right(), m_okButton->geometry().right()});
    const int bottom = std::max(precision->geometry().bottom(), m_cancelButton->geometry().bottom());
    setFixedSize(std::max(256, right + 8), std::max(232, bottom + 6));
}

void OptionsDialog::setUp()
{
    // Setting the controls fires their change signals; the flag keeps the
    // live preview out of it, and goes down again however this ends.
    const QScopedValueRollback<bool> creating(m_creating, true);

    for (int i = 0; i < FlagBoxCount; ++i)
        m_flagBoxes[i]->setChecked(m_options.*FlagBoxes[i].option);
    // A file value outside 1 to 99 shows at the nearer bound.
    m_precisionEdit->setValue(m_options.Precision);
    // A time format the list does not offer (a hand-edited file) selects no
    // entry, and the option keeps its value until the user picks one.
    const int column = int(m_options.TimeFormat);
    const bool offered = column >= 0 && column < m_timeFormatBox->count();
    m_timeFormatBox->setCurrentIndex(offered ? column : -1);
}

void OptionsDialog::copyControlsToOptions()
{
    applyOptions();
}

void OptionsDialog::applyOptions()
{
    if (m_creating)
        return;

    // All the controls, whichever of them changed.
    for (int i = 0; i < FlagBoxCount; ++i)
        m_options.*FlagBoxes[i].option = m_flagBoxes[i]->isChecked();
    m_options.Precision = shownPrecision();
    if (m_timeFormatBox->currentIndex() >= 0)
        m_options.TimeFormat = TimeColumn(m_timeFormatBox->currentIndex());

    if (m_previewOnWindow)
        m_previewOnWindow(m_options);
}

int OptionsDialog::shownPrecision() const
{
    // The number the field shows, which may be half typed: text that is not
    // a number counts as the lower bound, a number beyond the range as the
    // bound the field will bring it to.
    bool isNumber = false;
    const qlonglong number =
        m_precisionEdit->locale().toLongLong(m_precisionEdit->cleanText().trimmed(), &isNumber);
    if (!isNumber)
        return m_precisionEdit->minimum();
    return int(std::clamp<qlonglong>(number, m_precisionEdit->minimum(), m_precisionEdit->maximum()));
}
