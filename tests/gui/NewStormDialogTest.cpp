#include "dialogs/NewStormDialog.h"

#include "ScriptedPrompts.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <tuple>

namespace {

auto fields(const Storm &s)
{
    return std::tie(s.form, s.a1, s.a1Flow, s.c, s.b, s.n, s.log, s.period, s.duration, s.step, s.peakRatio,
                    s.averageIntensity, s.totalDepth, s.mode);
}

class NewStormDialogTest : public ::testing::Test
{
protected:
    NewStormDialogTest()
    {
        dialog = std::make_unique<NewStormDialog>(prompts, Separators{});
        model = dialog->storm();
        // The dialog edits a copy: `model` is what its owner hands it and takes back on OK.
        QObject::connect(dialog.get(), &QDialog::accepted, [this] { model = dialog->storm(); });
    }
    void showDialog()
    {
        dialog->setStorm(model);
        dialog->show();
    }

    QLineEdit *edit(const char *name) const
    {
        auto *found = dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QComboBox *list(const char *name) const
    {
        return dialog->findChild<QComboBox *>(QString::fromLatin1(name));
    }
    QString unit() const { return dialog->findChild<QLabel *>(QStringLiteral("UnitLabel"))->text(); }
    QWidget *focused() const { return dialog->focusWidget(); }

    void retype(const char *name, const QString &text) const
    {
        QLineEdit *target = edit(name);
        target->clear();
        QTest::keyClicks(target, text);
    }
    void pickFlowForm() const { QTest::keyClick(list("cbbStormType"), Qt::Key_Down); }
    void clickOk() const
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ButtonOK")), Qt::LeftButton);
    }
    void clickCancel() const
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ButtonCancel")), Qt::LeftButton);
    }

    // OK (clicked, or Enter in the edit `enterIn`) must be refused with this information box, the focus
    // on `focus`, the dialog open and the storm as it was.
    void expectRefused(const QString &message, const char *focus, const char *enterIn = nullptr)
    {
        const Storm before = model;
        prompts.messages.clear();
        if (enterIn) {
            edit(enterIn)->setFocus();
            QTest::keyClick(edit(enterIn), Qt::Key_Return);
        } else {
            clickOk();
        }
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0].text, message);
        EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("提示"));
        EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Information);
        if (focus) {
            EXPECT_EQ(focused(), edit(focus));
        }
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(fields(model), fields(before));
    }
    void expectAccepted()
    {
        prompts.messages.clear();
        clickOk();
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.lastText().toStdString();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }

    Storm model;
    ScriptedPrompts prompts;
    std::unique_ptr<NewStormDialog> dialog;
};

TEST_F(NewStormDialogTest, StartsWithTheStartUpStormAndShowsIt)
{
    EXPECT_EQ(fields(model), fields(StartUpStorm()));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("添加新曲线"));
    EXPECT_EQ(dialog->size(), QSize(414, 255));

    showDialog();
    EXPECT_EQ(list("cbbStormType")->currentText(), " i");
    EXPECT_EQ(list("ComboBox_LgLn")->currentText(), "lgP");
    EXPECT_EQ(list("cbbStormMode")->currentText(), QStringLiteral("瞬时雨强"));
    EXPECT_EQ(unit(), "(mm/min)");
    const std::pair<const char *, const char *> texts[] = {
        {"Edit_a1", "9.5981"},       {"Edit_c", "0.846"},     {"Edit_b", "7"},
        {"Edit_n", "0.656"},         {"EditRepeatYear", "2"}, {"EditStormTime", "120"},
        {"EditStormPercent", "0.4"}, {"EditStep", "1"},
    };
    for (const auto &[name, text] : texts) {
        EXPECT_EQ(edit(name)->text(), text) << name;
        EXPECT_EQ(edit(name)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << name;
    }
    EXPECT_EQ(edit("Edit_a1")->placeholderText(), "A1");
    EXPECT_EQ(edit("Edit_a1")->toolTip(), "参数A1");
    EXPECT_EQ(edit("EditStormPercent")->placeholderText(), "雨峰位置r");
    EXPECT_FALSE(edit("EditStep")->testAttribute(Qt::WA_InputMethodEnabled));

    // Tab moves through the formula first, then P, T, the step, r, the mode and the buttons.
    const char *order[] = {"Edit_a1",      "Edit_c",         "ComboBox_LgLn", "Edit_n",   "Edit_b",
                           "cbbStormType", "EditRepeatYear", "EditStormTime", "EditStep", "EditStormPercent",
                           "cbbStormMode", "ButtonOK",       "ButtonCancel"};
    QWidget *current = dialog->findChild<QWidget *>(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        do
            current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus);
        EXPECT_EQ(current->objectName(), order[i]);
    }
}

// Switching the form converts the first entry to the same formula in the
// other form, and the captions say which number it holds; switching back
// before typing gives the text back, and OK on the converted number stores
// the formula it came from exactly.
TEST_F(NewStormDialogTest, FlowFormConvertsTheFirstEntryAndCaptionsIt)
{
    const auto caption = [this] { return dialog->findChild<QLabel *>(QStringLiteral("A1Caption"))->text(); };
    showDialog();
    EXPECT_EQ(caption(), QStringLiteral("首项：A1"));
    pickFlowForm();
    EXPECT_EQ(unit(), "(L/(s.hm²))");
    EXPECT_EQ(caption(), QStringLiteral("首项：166.7A1"));
    EXPECT_EQ(edit("Edit_a1")->placeholderText(), "166.7A1");
    EXPECT_EQ(edit("Edit_a1")->toolTip(), "参数166.7A1");
    EXPECT_EQ(edit("Edit_a1")->text(), "1599.68333333333");
    QTest::keyClick(list("cbbStormType"), Qt::Key_Up);
    EXPECT_EQ(edit("Edit_a1")->text(), "9.5981");
    EXPECT_EQ(caption(), QStringLiteral("首项：A1"));
    pickFlowForm();

    // Enter presses OK.
    QTest::keyClick(edit("Edit_b"), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(model.form, FormulaForm::Flow);
    EXPECT_EQ(model.a1, 9.5981);
    EXPECT_EQ(GeneralNumber(model.a1Flow), "1599.68333333333");

    showDialog();
    EXPECT_EQ(list("cbbStormType")->currentText(), " q");
    EXPECT_EQ(edit("Edit_a1")->text(), "1599.68333333333");
    EXPECT_EQ(unit(), "(L/(s.hm²))");

    // A number typed in the flow form, switched to the intensity form.
    retype("Edit_a1", "1000");
    QTest::keyClick(list("cbbStormType"), Qt::Key_Up);
    EXPECT_EQ(edit("Edit_a1")->text(), "6");
    expectAccepted();
    EXPECT_EQ(model.form, FormulaForm::Intensity);
    EXPECT_EQ(model.a1Flow, 1000);
    EXPECT_EQ(model.a1, 6);
}

TEST_F(NewStormDialogTest, OkStoresTheTypedFormAndDerivesTheOther)
{
    struct Case
    {
        bool flow;
        const char *typed;
        const char *a1;
        const char *a1Flow;
    };
    const Case cases[] = {
        {false, "10", "10", "1666.66666666667"},
        {true, "1667", "10.002", "1667"},
        {true, "1000", "6", "1000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        model = StartUpStorm();
        model.totalDepth = 40;
        model.averageIntensity = 0.3;
        showDialog();
        if (c.flow)
            pickFlowForm();
        retype("Edit_a1", QString::fromLatin1(c.typed));
        retype("EditRepeatYear", "5");
        QTest::keyClick(list("ComboBox_LgLn"), Qt::Key_Down);
        expectAccepted();
        EXPECT_EQ(model.form, c.flow ? FormulaForm::Flow : FormulaForm::Intensity);
        EXPECT_EQ(GeneralNumber(model.a1), c.a1);
        EXPECT_EQ(GeneralNumber(model.a1Flow), c.a1Flow);
        EXPECT_EQ(model.log, Logarithm::Ln);
        EXPECT_EQ(model.period, 5);
        EXPECT_EQ(model.totalDepth, 0);
        EXPECT_EQ(model.averageIntensity, 0);
    }
}

TEST_F(NewStormDialogTest, ModeListShowsTheStormsModeAndOkStoresTheChoice)
{
    model.mode = CalcMode::Block;
    showDialog();
    EXPECT_EQ(list("cbbStormMode")->currentText(), QStringLiteral("时段平均"));
    QTest::keyClick(list("cbbStormMode"), Qt::Key_Up);
    expectAccepted();
    EXPECT_EQ(model.mode, CalcMode::Instant);

    showDialog();
    EXPECT_EQ(list("cbbStormMode")->currentText(), QStringLiteral("瞬时雨强"));
    QTest::keyClick(list("cbbStormMode"), Qt::Key_Down);
    expectAccepted();
    EXPECT_EQ(model.mode, CalcMode::Block);

    // Cancel keeps the mode the storm had.
    showDialog();
    QTest::keyClick(list("cbbStormMode"), Qt::Key_Up);
    clickCancel();
    EXPECT_EQ(model.mode, CalcMode::Block);
}

TEST_F(NewStormDialogTest, ChecksRunInOrderAndMoveTheFocus)
{
    showDialog();
    retype("Edit_c", "");
    retype("Edit_b", " ");
    expectRefused("[c]不能为空！", "Edit_c");
    retype("Edit_c", "0.8");
    expectRefused("[b]不能为空！", "Edit_b");
    retype("Edit_b", "7");

    // The A1 edit is named by its placeholder: the form decides the text.
    retype("Edit_a1", "");
    expectRefused("[A1]不能为空！", "Edit_a1");
    pickFlowForm();
    expectRefused("[166.7A1]不能为空！", "Edit_a1");
    retype("Edit_a1", "1600");

    retype("EditStep", "");
    expectRefused("计算步长不能为空！", "EditStep");
}

TEST_F(NewStormDialogTest, PeakRatioMustLieStrictlyBetweenZeroAndOne)
{
    showDialog();
    for (const char *refused : {"0", "1", "1.5"}) {
        SCOPED_TRACE(refused);
        retype("EditStormPercent", QString::fromLatin1(refused));
        expectRefused("峰值比例只能取值(0~1)之间，不包括0和1", "EditStormPercent");
    }
    retype("EditStormPercent", "0.999");
    expectAccepted();
    EXPECT_EQ(model.peakRatio, 0.999);
}

TEST_F(NewStormDialogTest, PeakRatioThatIsNoNumberEndsInTheStandardErrorBox)
{
    showDialog();
    retype("EditStormPercent", "0.4.1");
    edit("Edit_c")->setFocus();
    QTest::keyClick(edit("Edit_c"), Qt::Key_Return);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.lastText(), "'0.4.1' is not a valid floating point value.");
    EXPECT_EQ(prompts.messages[0].caption, ApplicationTitle());
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Error);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(focused(), edit("Edit_c"));
    EXPECT_EQ(fields(model), fields(StartUpStorm()));
}

TEST_F(NewStormDialogTest, LowerEditsTakeOnlyNumbers)
{
    showDialog();
    const std::pair<const char *, const char *> typed[] = {
        {"EditRepeatYear", "1.5"},
        {"EditStormTime", "15"},
        {"EditStormPercent", "1.5"},
        {"EditStep", "15"},
    };
    for (const auto &[name, kept] : typed) {
        SCOPED_TRACE(name);
        retype(name, QStringLiteral("a1 .x5-"));
        QTest::sendKeyEvent(QTest::Click, edit(name), Qt::Key_unknown, QStringLiteral("中"), Qt::NoModifier);
        EXPECT_EQ(edit(name)->text(), kept);
        QTest::keyClick(edit(name), Qt::Key_Backspace);
        EXPECT_EQ(edit(name)->text(), QString::fromLatin1(kept).chopped(1));
    }
    // The formula edits take anything.
    retype("Edit_n", "n=0.6");
    EXPECT_EQ(edit("Edit_n")->text(), "n=0.6");
}

TEST_F(NewStormDialogTest, FilteredEditsKeepTheDesktopShortcutsAndFilterPastes)
{
    showDialog();
    QClipboard *clipboard = QGuiApplication::clipboard();
    for (const char *name : {"EditRepeatYear", "EditStormTime", "EditStormPercent", "EditStep", "Edit_a1"}) {
        SCOPED_TRACE(name);
        QLineEdit *target = edit(name);
        retype(name, QStringLiteral("12"));
        // Ctrl+A then typing replaces the selection; Ctrl+Z brings it back.
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(target->selectedText(), "12");
        QTest::keyClicks(target, QStringLiteral("3"));
        EXPECT_EQ(target->text(), "3");
        QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(target->text(), "12");
        // Ctrl+C and Ctrl+X copy; Ctrl+V pastes what passes the filter.
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard->text(), "12");
        QTest::keyClick(target, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(target->text(), "");
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(target->text(), "1212");
    }
    // A paste, by the keys or the context menu's 粘贴, goes through the same
    // filter as typing: nothing of it reaches an edit that refuses one of its
    // characters. The formula edits take anything.
    const struct
    {
        const char *name;
        const char *pasted;
        const char *shown;
    } pastes[] = {
        {"EditStormTime", "9x", "5"},
        {"EditStep", "1.5", "5"},
        {"EditStormTime", "90", "590"},
        {"EditRepeatYear", "2a", "5"},
        {"EditStormPercent", "0.4.1", "50.4.1"},
        {"Edit_n", "n=0.6", "5n=0.6"},
    };
    for (const auto &paste : pastes) {
        SCOPED_TRACE(paste.name);
        retype(paste.name, QStringLiteral("5"));
        clipboard->setText(QString::fromLatin1(paste.pasted));
        edit(paste.name)->paste();
        EXPECT_EQ(edit(paste.name)->text(), paste.shown);
        retype(paste.name, QStringLiteral("5"));
        QTest::keyClick(edit(paste.name), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit(paste.name)->text(), paste.shown);
    }
}

TEST_F(NewStormDialogTest, ValuesThatDoNotConvertStoreNothing)
{
    showDialog();
    for (const char *name : {"Edit_n", "EditRepeatYear", "EditStep"}) {
        SCOPED_TRACE(name);
        const QString text = edit(name)->text();
        edit(name)->setText(QStringLiteral("1.2.3"));
        // The focus is not moved.
        expectRefused("输入的数据有错误，只能输入数字，请重新检查", "Edit_c", "Edit_c");
        edit(name)->setText(text);
    }
    retype("Edit_a1", "abc");
    expectRefused("输入的数据有错误，只能输入数字，请重新检查", nullptr);
    clickCancel();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(fields(model), fields(StartUpStorm()));
}

TEST_F(NewStormDialogTest, StepEditKeepsTheStepLastTyped)
{
    showDialog();
    retype("EditStep", "3");
    expectAccepted();
    EXPECT_EQ(model.step, 3);

    model.step = 5; // as an opened storm file leaves it
    showDialog();
    EXPECT_EQ(edit("EditStep")->text(), "3");
    expectAccepted();
    EXPECT_EQ(model.step, 3);
}

TEST_F(NewStormDialogTest, CancelCloseBoxAndEscapeChangeNothing)
{
    model = StartUpStorm();
    model.totalDepth = 40;
    const Storm before = model;
    showDialog();
    pickFlowForm();
    QTest::keyClick(list("ComboBox_LgLn"), Qt::Key_Down);
    for (const char *name : {"Edit_a1", "Edit_c", "Edit_b", "Edit_n", "EditRepeatYear", "EditStormTime",
                             "EditStormPercent", "EditStep"})
        retype(name, "8");

    QTest::keyClick(edit("Edit_c"), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());

    clickCancel();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(fields(model), fields(before));

    showDialog();
    retype("Edit_c", "2");
    dialog->close();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(fields(model), fields(before));
}

TEST_F(NewStormDialogTest, FormAndLogarithmOutsideTheListsSelectNoEntry)
{
    model.form = FormulaForm(5);
    model.a1Flow = 1234;
    model.log = static_cast<Logarithm>(7);
    showDialog();
    EXPECT_EQ(list("cbbStormType")->currentIndex(), -1);
    EXPECT_EQ(list("ComboBox_LgLn")->currentIndex(), -1);
    EXPECT_EQ(edit("Edit_a1")->text(), "1234");
    EXPECT_EQ(unit(), "(mm/min)");
    EXPECT_EQ(edit("Edit_a1")->placeholderText(), "A1");

    retype("Edit_a1", "50");
    expectAccepted();
    EXPECT_EQ(model.form, FormulaForm(-1));
    EXPECT_EQ(model.a1, 9.5981);
    EXPECT_EQ(model.a1Flow, 1234);
    EXPECT_EQ(model.log, static_cast<Logarithm>(255));
}

} // namespace
