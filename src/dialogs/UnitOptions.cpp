#include "UnitOptions.h"

#include "chart/WindowFonts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <algorithm>
#include <initializer_list>

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

} // namespace

TFormOptions::TFormOptions(TViewOptions &options, std::function<void()> previewOnWindow, QWidget *parent)
    : QDialog(parent), m_options(options), m_previewOnWindow(std::move(previewOnWindow))
{
    buildControls();
    FormCreate();
}

TFormOptions::~TFormOptions()
{
    // QDialog's destructor hides a dialog that is still open, and the focus
    // leaving a half-typed precision field fixes the field up and signals a
    // change. By then the options and the preview are gone: nothing may
    // reach ApplyOptions any more.
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_CheckBox_ShowLabel_P, m_CheckBox_ShowLabel_T, m_CheckBox_ShowLabel_R,
             m_CheckBox_ShowLabel_Overall_Rainfall, m_CheckBox_ShowLabel_Average_Rainfall_Intensity,
             m_CheckBox_ShowLabel_Formula_Depth, m_CheckBox_ShowAxis_Overall_Rainfall,
             m_CheckBox_ShowAxis_Rainfall_Intensity, m_CheckBox_CalcByShow, m_SpinEdit_Precision,
             m_ComboBox_TimeForamt})
        control->disconnect(this);
}

void TFormOptions::buildControls()
{
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("设置"));
    setFont(WindowFonts::songTi(9));
    setFixedSize(256, 232);

    auto *labels =
        groupBox(QStringLiteral("GroupBox1"), QStringLiteral("显示标签"), this, QRect(8, 8, 121, 149));
    m_CheckBox_ShowLabel_P = checkBox(QStringLiteral("CheckBox_ShowLabel_P"), QStringLiteral("重现期(P)"),
                                      labels, QRect(8, 18, 110, kCheckBoxHeight));
    m_CheckBox_ShowLabel_T = checkBox(QStringLiteral("CheckBox_ShowLabel_T"), QStringLiteral("暴雨历时(T)"),
                                      labels, QRect(8, 39, 110, kCheckBoxHeight));
    m_CheckBox_ShowLabel_R = checkBox(QStringLiteral("CheckBox_ShowLabel_R"), QStringLiteral("峰值比例(R)"),
                                      labels, QRect(8, 60, 110, kCheckBoxHeight));
    m_CheckBox_ShowLabel_Overall_Rainfall =
        checkBox(QStringLiteral("CheckBox_ShowLabel_Overall_Rainfall"), QStringLiteral("总降雨量(H)"), labels,
                 QRect(8, 81, 110, kCheckBoxHeight));
    m_CheckBox_ShowLabel_Average_Rainfall_Intensity =
        checkBox(QStringLiteral("CheckBox_ShowLabel_Average_Rainfall_Intensity"),
                 QStringLiteral("平均雨强(i)"), labels, QRect(8, 102, 110, kCheckBoxHeight));
    m_CheckBox_ShowLabel_Formula_Depth =
        checkBox(QStringLiteral("CheckBox_ShowLabel_Formula_Depth"), QStringLiteral("公式雨量"), labels,
                 QRect(8, 123, 110, kCheckBoxHeight));
    m_CheckBox_ShowLabel_Formula_Depth->setToolTip(
        QStringLiteral("暴雨强度公式在降雨历时内的雨量，与总降雨量(H)对照"));

    auto *series =
        groupBox(QStringLiteral("GroupBox2"), QStringLiteral("显示曲线"), this, QRect(135, 8, 114, 68));
    m_CheckBox_ShowAxis_Overall_Rainfall =
        checkBox(QStringLiteral("CheckBox_ShowAxis_Overall_Rainfall"), QStringLiteral("降雨总量(H)"), series,
                 QRect(8, 18, 97, kCheckBoxHeight));
    m_CheckBox_ShowAxis_Rainfall_Intensity =
        checkBox(QStringLiteral("CheckBox_ShowAxis_Rainfall_Intensity"), QStringLiteral("降雨强度(I)"),
                 series, QRect(8, 39, 97, kCheckBoxHeight));

    auto *time =
        groupBox(QStringLiteral("GroupBox4"), QStringLiteral("时间格式"), this, QRect(135, 84, 114, 52));
    m_ComboBox_TimeForamt = new QComboBox(time);
    m_ComboBox_TimeForamt->setObjectName(QStringLiteral("ComboBox_TimeForamt"));
    m_ComboBox_TimeForamt->setEditable(false);
    m_ComboBox_TimeForamt->addItems({QStringLiteral("HH:MM"), QStringLiteral("min")});
    m_ComboBox_TimeForamt->setGeometry(8, 20, 96, 20);

    auto *precision =
        groupBox(QStringLiteral("GroupBox3"), QStringLiteral("精度"), this, QRect(8, 160, 161, 67));
    auto *precisionText = new QLabel(QStringLiteral("显示小数位数："), precision);
    precisionText->setObjectName(QStringLiteral("Label1"));
    precisionText->move(8, 18);
    precisionText->adjustSize();
    m_SpinEdit_Precision = new PrecisionSpinBox(precision);
    m_SpinEdit_Precision->setObjectName(QStringLiteral("SpinEdit_Precision"));
    m_SpinEdit_Precision->setRange(kLowestPrecision, kHighestPrecision);
    m_SpinEdit_Precision->setGeometry(92, 14, 55, 21);
    m_CheckBox_CalcByShow = checkBox(QStringLiteral("CheckBox_CalcByShow"), QStringLiteral("按显示精度计算"),
                                     precision, QRect(8, 41, 161, kCheckBoxHeight));
    m_CheckBox_CalcByShow->setToolTip(QStringLiteral("按显示的数值计算，会降低计算精度"));

    m_Button_OK = button(QStringLiteral("Button_OK"), QStringLiteral("确定"), this, QRect(174, 170, 75, 25));
    m_Button_Cancle =
        button(QStringLiteral("Button_Cancle"), QStringLiteral("取消"), this, QRect(174, 201, 75, 25));
    connect(m_Button_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_Button_Cancle, &QPushButton::clicked, this, &QDialog::reject);

    for (QCheckBox *box :
         {m_CheckBox_ShowLabel_P, m_CheckBox_ShowLabel_T, m_CheckBox_ShowLabel_R,
          m_CheckBox_ShowLabel_Overall_Rainfall, m_CheckBox_ShowLabel_Average_Rainfall_Intensity,
          m_CheckBox_ShowLabel_Formula_Depth, m_CheckBox_ShowAxis_Overall_Rainfall,
          m_CheckBox_ShowAxis_Rainfall_Intensity, m_CheckBox_CalcByShow})
        connect(box, &QCheckBox::toggled, this, &TFormOptions::CheckBox_ShowLabel_PClick);
    connect(m_SpinEdit_Precision, &QSpinBox::valueChanged, this, &TFormOptions::CheckBox_ShowLabel_PClick);
    connect(m_ComboBox_TimeForamt, &QComboBox::currentIndexChanged, this,
            &TFormOptions::CheckBox_ShowLabel_PClick);
}

void TFormOptions::FormCreate()
{
    // Setting the controls fires their change signals; the flag keeps the
    // live preview out of it, and goes down again however this ends.
    const QScopedValueRollback<bool> creating(Bool_IsCreatingForm, true);

    m_CheckBox_ShowLabel_P->setChecked(m_options.ShowLabel_P);
    m_CheckBox_ShowLabel_T->setChecked(m_options.ShowLabel_T);
    m_CheckBox_ShowLabel_R->setChecked(m_options.ShowLabel_R);
    m_CheckBox_ShowLabel_Overall_Rainfall->setChecked(m_options.ShowLabel__Overall_Rainfall);
    m_CheckBox_ShowLabel_Average_Rainfall_Intensity->setChecked(m_options.ShowLabel_Average);
    m_CheckBox_ShowLabel_Formula_Depth->setChecked(m_options.ShowLabel_Formula_Depth);
    m_CheckBox_ShowAxis_Overall_Rainfall->setChecked(m_options.ShowAxis_Overall);
    m_CheckBox_ShowAxis_Rainfall_Intensity->setChecked(m_options.ShowAxis_Intensity);
    m_CheckBox_CalcByShow->setChecked(m_options.CalcByShow);
    // A file value outside 1 to 99 shows at the nearer bound.
    m_SpinEdit_Precision->setValue(m_options.Precision);
    // A time format the list does not offer (a hand-edited file) selects no
    // entry, and the option keeps its value until the user picks one.
    const bool offered = m_options.TimeFormat >= 0 && m_options.TimeFormat < m_ComboBox_TimeForamt->count();
    m_ComboBox_TimeForamt->setCurrentIndex(offered ? int(m_options.TimeFormat) : -1);
}

void TFormOptions::CheckBox_ShowLabel_PClick()
{
    ApplyOptions();
}

void TFormOptions::ApplyOptions()
{
    if (Bool_IsCreatingForm)
        return;

    // All the controls, whichever of them changed.
    m_options.ShowLabel_P = m_CheckBox_ShowLabel_P->isChecked();
    m_options.ShowLabel_T = m_CheckBox_ShowLabel_T->isChecked();
    m_options.ShowLabel_R = m_CheckBox_ShowLabel_R->isChecked();
    m_options.ShowLabel__Overall_Rainfall = m_CheckBox_ShowLabel_Overall_Rainfall->isChecked();
    m_options.ShowLabel_Average = m_CheckBox_ShowLabel_Average_Rainfall_Intensity->isChecked();
    m_options.ShowLabel_Formula_Depth = m_CheckBox_ShowLabel_Formula_Depth->isChecked();
    m_options.ShowAxis_Overall = m_CheckBox_ShowAxis_Overall_Rainfall->isChecked();
    m_options.ShowAxis_Intensity = m_CheckBox_ShowAxis_Rainfall_Intensity->isChecked();
    m_options.CalcByShow = m_CheckBox_CalcByShow->isChecked();
    m_options.Precision = shownPrecision();
    if (m_ComboBox_TimeForamt->currentIndex() >= 0)
        m_options.TimeFormat = m_ComboBox_TimeForamt->currentIndex();

    if (m_previewOnWindow)
        m_previewOnWindow();
}

int TFormOptions::shownPrecision() const
{
    // The number the field shows, which may be half typed: text that is not
    // a number counts as the lower bound, a number beyond the range as the
    // bound the field will bring it to.
    bool isNumber = false;
    const qlonglong number =
        m_SpinEdit_Precision->locale().toLongLong(m_SpinEdit_Precision->cleanText().trimmed(), &isNumber);
    if (!isNumber)
        return m_SpinEdit_Precision->minimum();
    return int(
        std::clamp<qlonglong>(number, m_SpinEdit_Precision->minimum(), m_SpinEdit_Precision->maximum()));
}
