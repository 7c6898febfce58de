#pragma once

#include "io/DialogFolders.h"

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// Every message box and file dialog of the window goes through this
// interface, so that tests can answer them without a modal loop.
class UserPrompts
{
public:
    enum class Icon
    {
        Information,
        Warning,
        Error,
        Question,
    };
    enum class Answer
    {
        Ok,
        Cancel,
        Yes,
        No,
    };
    enum class Buttons
    {
        Ok,
        YesNo,
        OkCancel,
    };

    // A file dialog as the program sets it up: title, typed filters such as
    // "文本文件(*.txt)", the filter selected at start, a proposed name.
    struct FileDialog
    {
        QString title;
        QStringList filters;
        int selectedFilter = 0;
        QString proposedName;
        bool confirmOverwrite = true;   // save dialogs: ask before replacing an existing file
        FileKind kind = FileKind::None; // starts in the folder last used for this kind
        bool manyFiles = false;         // open dialogs: the user may choose several files
        bool folder = false;            // open dialogs: the user chooses a folder
    };
    // The user's choice: the path and the index of the filter selected when the dialog closed.
    struct FileChoice
    {
        QString path; // the first file chosen
        int filter = 0;
        QStringList paths{}; // every file chosen (FileDialog::manyFiles); empty: just `path`
    };

    virtual ~UserPrompts() = default;

    virtual Answer message(QWidget *parent, const QString &caption, const QString &text, Icon icon,
                           Buttons buttons = Buttons::Ok) = 0;
    // Empty when the user cancels.
    virtual std::optional<FileChoice> openFile(QWidget *parent, const FileDialog &dialog) = 0;
    virtual std::optional<FileChoice> saveFile(QWidget *parent, const FileDialog &dialog) = 0;
};

// The real dialogs: QMessageBox and QFileDialog, each file dialog starting
// in the folder last used for its kind of file.
class WidgetPrompts : public UserPrompts
{
public:
    // `foldersFile` keeps the folders for the next session (see DialogFolders).
    explicit WidgetPrompts(const QString &foldersFile = {}) : m_folders(foldersFile) {}
    Answer message(QWidget *parent, const QString &caption, const QString &text, Icon icon,
                   Buttons buttons = Buttons::Ok) override;
    std::optional<FileChoice> openFile(QWidget *parent, const FileDialog &dialog) override;
    std::optional<FileChoice> saveFile(QWidget *parent, const FileDialog &dialog) override;

private:
    DialogFolders m_folders;
};

// The application's standard error box: a failure that the running command
// does not catch. Shows the description with a full stop added when its last
// character lies above the full stop, captioned with the application's title.
void ShowStandardError(UserPrompts &prompts, QWidget *parent, const QString &description);

// The application's title: the program file's name without its extension,
// every letter after the first in lower case ("pluvion" -> "Pluvion").
QString ApplicationTitle();
