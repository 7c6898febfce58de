// Qt's own dialogs speak Chinese: the standard buttons of a message box, the
// labels and buttons of Qt's file dialog (the desktop's native one brings its
// own language) and its question before replacing a file.
#include "app/QtTranslation.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(QtTranslation, StandardDialogsSpeakChinese)
{
    if (!InstallQtChineseTranslation(*qApp))
        GTEST_SKIP() << "qtbase_zh_CN.qm is not installed (Debian package qt6-translations-l10n)";

    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), u"确定"_s);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), u"取消"_s);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), u"是(&Y)"_s);
    EXPECT_EQ(box.button(QMessageBox::No)->text(), u"否(&N)"_s);

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const auto label = [&](const char *name) {
        const auto *found = dialog.findChild<QLabel *>(QString::fromLatin1(name));
        return found ? found->text() : u"<none>"_s;
    };
    EXPECT_EQ(label("lookInLabel"), u"查找范围："_s);
    EXPECT_EQ(label("fileNameLabel"), u"文件名称(&N)："_s);
    EXPECT_EQ(label("fileTypeLabel"), u"文件类型："_s);
    const auto *buttons = dialog.findChild<QDialogButtonBox *>(u"buttonBox"_s);
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Save)->text(), u"保存(&S)"_s);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), u"取消"_s);
    EXPECT_EQ(QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(u"storm.txt"_s),
              u"storm.txt 已存在。\n您想要替换它吗？"_s);
}

} // namespace
