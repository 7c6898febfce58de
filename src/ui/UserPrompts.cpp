#include "ui/UserPrompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(UserPrompts::Icon icon)
{
    switch (icon) {
    case UserPrompts::Icon::Information:
        return QMessageBox::Information;
    case UserPrompts::Icon::Warning:
        return QMessageBox::Warning;
    case UserPrompts::Icon::Error:
        return QMessageBox::Critical;
    case UserPrompts::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

std::optional<UserPrompts::FileChoice> runFileDialog(QWidget *parent, const UserPrompts::FileDialog &setup,
                                                     QFileDialog::AcceptMode mode, DialogFolders &folders)
{
    QFileDialog dialog(parent, setup.title, folders.folder(setup.kind));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                       : setup.folder                  ? QFileDialog::Directory
                       : setup.manyFiles               ? QFileDialog::ExistingFiles
                                                       : QFileDialog::ExistingFile);
    dialog.setNameFilters(setup.filters);
    if (setup.selectedFilter >= 0 && setup.selectedFilter < setup.filters.size())
        dialog.selectNameFilter(setup.filters[setup.selectedFilter]);
    if (!setup.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!setup.proposedName.isEmpty())
        dialog.selectFile(setup.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    folders.remember(setup.kind, path);
    return UserPrompts::FileChoice{path, int(setup.filters.indexOf(dialog.selectedNameFilter())),
                                   setup.manyFiles ? dialog.selectedFiles() : QStringList()};
}

} // namespace

UserPrompts::Answer WidgetPrompts::message(QWidget *parent, const QString &caption, const QString &text,
                                           Icon icon, Buttons buttons)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::NoButton, parent);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return Answer::Ok;
    }
}

std::optional<UserPrompts::FileChoice> WidgetPrompts::openFile(QWidget *parent, const FileDialog &dialog)
{
    return runFileDialog(parent, dialog, QFileDialog::AcceptOpen, m_folders);
}

std::optional<UserPrompts::FileChoice> WidgetPrompts::saveFile(QWidget *parent, const FileDialog &dialog)
{
    return runFileDialog(parent, dialog, QFileDialog::AcceptSave, m_folders);
}

QString ApplicationTitle()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

void ShowStandardError(UserPrompts &prompts, QWidget *parent, const QString &description)
{
    QString text = description;
    if (!text.isEmpty() && text.back().unicode() > u'.')
        text += u'.';
    prompts.message(parent, ApplicationTitle(), text, UserPrompts::Icon::Error);
}
