#include "dialogs/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

struct CheckBoxField
{
    const char *name;
    bool ViewOptions::*field;
};

const CheckBoxField kCheckBoxes[] = {
    {"CheckBox_ShowLabel_P", &ViewOptions::ShowLabel_P},
    {"CheckBox_ShowLabel_T", &ViewOptions::ShowLabel_T},
    {"CheckBox_ShowLabel_R", &ViewOptions::ShowLabel_R},
    {"CheckBox_ShowLabel_Overall_Rainfall", &ViewOptions::ShowLabel__Overall_Rainfall},
    {"CheckBox_ShowLabel_Average_Rainfall_Intensity", &ViewOptions::ShowLabel_Average},
    {"CheckBox_ShowLabel_Formula_Depth", &ViewOptions::ShowLabel_Formula_Depth},
    {"CheckBox_ShowAxis_Overall_Rainfall", &ViewOptions::ShowAxis_Overall},
    {"CheckBox_ShowAxis_Rainfall_Intensity", &ViewOptions::ShowAxis_Intensity},
    {"CheckBox_CalcByShow", &ViewOptions::CalcByShow},
};

// Options as a hand-edited file may leave them: every field off its default,
// the precision and the time format outside what the dialog offers.
ViewOptions unusualOptions()
{
    ViewOptions options;
    options.ShowLabel_P = false;
    options.ShowLabel_R = false;
    options.ShowLabel_Average = false;
    options.ShowLabel_Formula_Depth = false;
    options.ShowAxis_Intensity = false;
    options.CalcByShow = true;
    options.Precision = 150;
    options.TimeFormat = TimeColumn(7);
    return options;
}

class OptionsDialogTest : public ::testing::Test
{
protected:
    void open(const ViewOptions &start)
    {
        options = start;
        dialog = std::make_unique<OptionsDialog>(options, [this](const ViewOptions &shown) {
            options = shown;
            previews.push_back(shown);
        });
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    template <typename Widget> Widget *control(const char *name) const
    {
        auto *found = dialog->findChild<Widget *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QCheckBox *checkBox(const char *name) const { return control<QCheckBox>(name); }
    QSpinBox *precision() const { return control<QSpinBox>("SpinEdit_Precision"); }
    QComboBox *timeFormat() const { return control<QComboBox>("ComboBox_TimeFormat"); }

    // A click on the box's indicator, as the user makes it.
    void click(QCheckBox *box) const
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
    }

    // Replaces the precision field's text by typing, the field keeping the focus.
    void typePrecision(const QString &text) const
    {
        precision()->setFocus();
        QTest::keyClick(precision(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(precision(), Qt::Key_Backspace);
        QTest::keyClicks(precision(), text);
    }

    ViewOptions options;
    std::vector<ViewOptions> previews; // the options as each preview found them
    std::unique_ptr<OptionsDialog> dialog;
};

// At the layout's place and size, or further right or down and larger.
void expectPlacedFrom(const QRect &geometry, const QRect &layout, const char *name)
{
    EXPECT_GE(geometry.x(), layout.x()) << name;
    EXPECT_GE(geometry.y(), layout.y()) << name;
    EXPECT_GE(geometry.width(), layout.width()) << name;
    EXPECT_GE(geometry.height(), layout.height()) << name;
}

TEST_F(OptionsDialogTest, LaysOutItsControlsWithTheirCaptions)
{
    open(ViewOptions());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("设置"));
    // The layout's sizes and places are where it starts; a font that needs
    // more room moves a group's controls below its title and widens them
    // (LayoutFitTest checks that everything then shows whole).
    EXPECT_GE(dialog->width(), 256);
    EXPECT_GE(dialog->height(), 232);
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_EQ(dialog->font().pointSizeF(), 9.0);
    EXPECT_TRUE(dialog->font().families().contains(QStringLiteral("SimSun")));

    struct Placed
    {
        const char *name;
        QString caption;
        QRect geometry;
    };
    const Placed groups[] = {
        {"GroupBox1", QStringLiteral("显示标签"), QRect(8, 8, 121, 149)},
        {"GroupBox2", QStringLiteral("显示曲线"), QRect(135, 8, 114, 68)},
        {"GroupBox4", QStringLiteral("时间格式"), QRect(135, 84, 114, 52)},
        {"GroupBox3", QStringLiteral("精度"), QRect(8, 160, 161, 67)},
    };
    for (const Placed &group : groups) {
        QGroupBox *box = control<QGroupBox>(group.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->title(), group.caption) << group.name;
        expectPlacedFrom(box->geometry(), group.geometry, group.name);
    }

    const Placed checkBoxes[] = {
        {"CheckBox_ShowLabel_P", QStringLiteral("重现期(P)"), QRect(8, 18, 110, 17)},
        {"CheckBox_ShowLabel_T", QStringLiteral("暴雨历时(T)"), QRect(8, 39, 110, 17)},
        {"CheckBox_ShowLabel_R", QStringLiteral("峰值比例(R)"), QRect(8, 60, 110, 17)},
        {"CheckBox_ShowLabel_Overall_Rainfall", QStringLiteral("总降雨量(H)"), QRect(8, 81, 110, 17)},
        {"CheckBox_ShowLabel_Average_Rainfall_Intensity", QStringLiteral("平均雨强(i)"),
         QRect(8, 102, 110, 17)},
        {"CheckBox_ShowLabel_Formula_Depth", QStringLiteral("公式雨量"), QRect(8, 123, 110, 17)},
        {"CheckBox_ShowAxis_Overall_Rainfall", QStringLiteral("降雨总量(H)"), QRect(8, 18, 97, 17)},
        {"CheckBox_ShowAxis_Rainfall_Intensity", QStringLiteral("降雨强度(I)"), QRect(8, 39, 97, 17)},
        {"CheckBox_CalcByShow", QStringLiteral("按显示精度计算"), QRect(8, 41, 161, 17)},
    };
    for (const Placed &placed : checkBoxes) {
        QCheckBox *box = checkBox(placed.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), placed.caption) << placed.name;
        expectPlacedFrom(box->geometry(), placed.geometry, placed.name);
        EXPECT_EQ(box->x(), placed.geometry.x()) << placed.name;
    }
    // A group's rows move together and stay 21 pixels apart.
    const auto shift = [&](const Placed &placed) { return checkBox(placed.name)->y() - placed.geometry.y(); };
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(shift(checkBoxes[i]), shift(checkBoxes[0])) << checkBoxes[i].name;
    EXPECT_EQ(shift(checkBoxes[7]), shift(checkBoxes[6]));
    EXPECT_EQ(checkBox("CheckBox_ShowLabel_P")->parent(), control<QGroupBox>("GroupBox1"));
    EXPECT_EQ(checkBox("CheckBox_ShowAxis_Overall_Rainfall")->parent(), control<QGroupBox>("GroupBox2"));
    EXPECT_EQ(checkBox("CheckBox_CalcByShow")->parent(), control<QGroupBox>("GroupBox3"));
    EXPECT_EQ(checkBox("CheckBox_CalcByShow")->toolTip(), QStringLiteral("按显示的数值计算，会降低计算精度"));

    EXPECT_EQ(precision()->parent(), control<QGroupBox>("GroupBox3"));
    expectPlacedFrom(precision()->geometry(), QRect(92, 14, 55, 21), "SpinEdit_Precision");
    EXPECT_EQ(precision()->width(), 55);
    EXPECT_EQ(precision()->minimum(), 1);
    EXPECT_EQ(precision()->maximum(), 99);
    QLabel *precisionText = control<QLabel>("PrecisionLabel");
    ASSERT_NE(precisionText, nullptr);
    EXPECT_EQ(precisionText->text(), QStringLiteral("显示小数位数："));
    EXPECT_EQ(precisionText->x(), 8);
    EXPECT_EQ(precisionText->y() - 18, precision()->y() - 14) << "moved down with the field";

    EXPECT_EQ(timeFormat()->parent(), control<QGroupBox>("GroupBox4"));
    expectPlacedFrom(timeFormat()->geometry(), QRect(8, 20, 96, 20), "ComboBox_TimeFormat");
    EXPECT_EQ(timeFormat()->width(), 96);
    EXPECT_FALSE(timeFormat()->isEditable());
    ASSERT_EQ(timeFormat()->count(), 2);
    EXPECT_EQ(timeFormat()->itemText(0), QStringLiteral("HH:MM"));
    EXPECT_EQ(timeFormat()->itemText(1), QStringLiteral("min"));

    EXPECT_EQ(control<QPushButton>("Button_OK")->text(), QStringLiteral("确定"));
    expectPlacedFrom(control<QPushButton>("Button_OK")->geometry(), QRect(174, 170, 75, 25), "Button_OK");
    EXPECT_EQ(control<QPushButton>("Button_OK")->size(), QSize(75, 25));
    EXPECT_EQ(control<QPushButton>("Button_Cancle")->text(), QStringLiteral("取消"));
    EXPECT_EQ(control<QPushButton>("Button_Cancle")->geometry(),
              control<QPushButton>("Button_OK")->geometry().translated(0, 31));
}

TEST_F(OptionsDialogTest, FillsItsControlsWithoutPreviewing)
{
    open(unusualOptions());
    for (const CheckBoxField &box : kCheckBoxes)
        EXPECT_EQ(checkBox(box.name)->isChecked(), options.*box.field) << box.name;
    EXPECT_EQ(previews.size(), 0u);
    EXPECT_EQ(options, unusualOptions());

    // A precision or time format outside what the dialog offers: the nearer
    // bound, no entry.
    struct Case
    {
        int32_t precision;
        int shown;
        int32_t timeFormat;
        int entry;
    };
    for (const Case &c : {Case{0, 1, 0, 0}, Case{150, 99, 1, 1}, Case{-5, 1, 2, -1}, Case{7, 7, -1, -1}}) {
        ViewOptions start;
        start.Precision = c.precision;
        start.TimeFormat = TimeColumn(c.timeFormat);
        previews.clear();
        open(start);
        EXPECT_EQ(precision()->value(), c.shown) << c.precision;
        EXPECT_EQ(precision()->text(), QString::number(c.shown)) << c.precision;
        EXPECT_EQ(timeFormat()->currentIndex(), c.entry) << c.timeFormat;
        EXPECT_EQ(previews.size(), 0u);
        EXPECT_EQ(options, start);
    }
}

TEST_F(OptionsDialogTest, EachCheckBoxClickCopiesAllTenControlsAndPreviewsOnce)
{
    open(unusualOptions());
    for (const CheckBoxField &box : kCheckBoxes) {
        ViewOptions expected = options;
        expected.*box.field = !(options.*box.field);
        // The first change also brings the precision the field shows into the
        // options; the time format the list does not offer stays.
        expected.Precision = 99;
        const size_t before = previews.size();

        click(checkBox(box.name));

        EXPECT_EQ(options, expected) << box.name;
        ASSERT_EQ(previews.size(), before + 1) << box.name;
        EXPECT_EQ(previews.back(), expected) << box.name << ": the preview must see the copied options";
    }
    EXPECT_EQ(options.TimeFormat, TimeColumn(7));
}

TEST_F(OptionsDialogTest, TimeFormatListCopiesTheChosenEntry)
{
    open(unusualOptions());
    timeFormat()->setFocus();
    QTest::keyClick(timeFormat(), Qt::Key_Down);
    EXPECT_EQ(timeFormat()->currentIndex(), 0);
    EXPECT_EQ(options.TimeFormat, TimeColumn::Clock);
    QTest::keyClick(timeFormat(), Qt::Key_Down);
    EXPECT_EQ(options.TimeFormat, TimeColumn::Minutes);
    ASSERT_EQ(previews.size(), 2u);
    // The other nine came along with the first pick.
    ViewOptions expected = unusualOptions();
    expected.Precision = 99;
    expected.TimeFormat = TimeColumn::Clock;
    EXPECT_EQ(previews[0], expected);
}

TEST_F(OptionsDialogTest, PrecisionArrowsAndTypingPreviewEachNewNumber)
{
    open(ViewOptions());
    precision()->setFocus();
    QTest::keyClick(precision(), Qt::Key_Up);
    QTest::keyClick(precision(), Qt::Key_Up);
    EXPECT_EQ(options.Precision, 6);
    QTest::keyClick(precision(), Qt::Key_Down);
    EXPECT_EQ(options.Precision, 5);
    EXPECT_EQ(previews.size(), 3u);

    previews.clear();
    typePrecision(QStringLiteral("12"));
    EXPECT_EQ(options.Precision, 12);
    ASSERT_EQ(previews.size(), 2u); // "1", then "12"
    EXPECT_EQ(previews[0].Precision, 1);
    ViewOptions expected;
    expected.Precision = 12;
    EXPECT_EQ(options, expected);
}

TEST_F(OptionsDialogTest, TypedPrecisionOutsideTheRangeComesToTheNearerBoundWhenTheFieldIsLeft)
{
    struct Case
    {
        const char *typed;
        int fixed;
    };
    for (const Case &c : {Case{"150", 99}, Case{"100", 99}, Case{"0", 1}, Case{"00", 1}, Case{"", 1}}) {
        open(ViewOptions());
        typePrecision(QString::fromLatin1(c.typed));
        EXPECT_EQ(precision()->text(), QString::fromLatin1(c.typed)) << "typed as is: " << c.typed;

        timeFormat()->setFocus();

        EXPECT_EQ(precision()->text(), QString::number(c.fixed)) << c.typed;
        EXPECT_EQ(precision()->value(), c.fixed) << c.typed;
        EXPECT_EQ(options.Precision, c.fixed) << c.typed;
    }
}

TEST_F(OptionsDialogTest, PrecisionThatIsNotANumberCountsAsOne)
{
    ViewOptions start;
    start.Precision = 8;
    open(start);
    typePrecision(QString());
    EXPECT_EQ(previews.size(), 0u) << "an empty field is no number yet";

    // Another control changes while the field is still empty and focused.
    checkBox("CheckBox_ShowLabel_T")->click();

    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(options.Precision, 1);
    EXPECT_FALSE(options.ShowLabel_T);
}

TEST_F(OptionsDialogTest, DestroyedWhileOpenWithAHalfTypedPrecisionPreviewsNothingMore)
{
    open(ViewOptions());
    typePrecision(QStringLiteral("150"));
    const size_t previewsBefore = previews.size();
    const ViewOptions optionsBefore = options;

    // The focus leaves the field as the dialog goes; the dialog is no longer
    // there to take the fixed-up number.
    dialog.reset();

    EXPECT_EQ(previews.size(), previewsBefore);
    EXPECT_EQ(options, optionsBefore);
}

TEST_F(OptionsDialogTest, ButtonsCloseWithTheirResults)
{
    open(ViewOptions());
    typePrecision(QStringLiteral("150"));
    QTest::mouseClick(control<QPushButton>("Button_OK"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(options.Precision, 99) << "the field is left before OK takes effect";

    open(ViewOptions());
    QTest::mouseClick(control<QPushButton>("Button_Cancle"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    open(ViewOptions());
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(previews.size(), 3u) << "only the typing previewed";
}

} // namespace
