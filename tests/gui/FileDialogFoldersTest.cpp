// The file dialogs start in the folder last used for their kind of file, in
// this session and the next.
#include "io/DialogFolders.h"
#include "ui/UserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Opens the dialog, notes the folder it starts in and picks `pick` in it
// (or cancels when empty).
QString StartFolder(WidgetPrompts &prompts, FileKind kind, const QString &pick = {})
{
    QString start;
    QTimer::singleShot(0, [&start, &pick] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        start = dialog->directory().absolutePath();
        if (pick.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(pick);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    UserPrompts::FileDialog setup;
    setup.title = QStringLiteral("保存");
    setup.filters = {QStringLiteral("Excel文件(*.csv)")};
    setup.kind = kind;
    setup.confirmOverwrite = false;
    prompts.saveFile(nullptr, setup);
    return start;
}

} // namespace

TEST(FileDialogFolders, EachKindStartsWhereItWasLastUsedAlsoInTheNextSession)
{
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("数据"));
    const QString pictures = root.filePath(QStringLiteral("图片"));
    ASSERT_TRUE(QDir().mkpath(data) && QDir().mkpath(pictures));
    const QString memory = root.filePath(QStringLiteral("DialogFolders.txt"));
    {
        WidgetPrompts prompts(memory);
        StartFolder(prompts, FileKind::Data, data + QStringLiteral("/a.csv"));
        StartFolder(prompts, FileKind::Picture, pictures + QStringLiteral("/b.png"));
        EXPECT_EQ(StartFolder(prompts, FileKind::Data), data);
    }
    WidgetPrompts nextSession(memory);
    EXPECT_EQ(StartFolder(nextSession, FileKind::Data), data);
    EXPECT_EQ(StartFolder(nextSession, FileKind::Picture), pictures);

    // A folder since removed, and a kind never used, start where the platform puts them.
    ASSERT_TRUE(QDir(pictures).removeRecursively());
    EXPECT_TRUE(DialogFolders(memory).folder(FileKind::Picture).isEmpty());
    EXPECT_TRUE(DialogFolders(memory).folder(FileKind::Swmm).isEmpty());
}

TEST(FileDialogFolders, AFileThatCannotBeKeptCostsOnlyTheMemory)
{
    QTemporaryDir root;
    // The memory's name is a folder: nothing can be written there, and nothing is told.
    DialogFolders folders(root.path());
    folders.remember(FileKind::Storm, root.filePath(QStringLiteral("x.txt")));
    EXPECT_EQ(folders.folder(FileKind::Storm), root.path());
    EXPECT_TRUE(DialogFolders(root.path()).folder(FileKind::Storm).isEmpty());
}
