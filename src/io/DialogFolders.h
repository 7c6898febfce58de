#pragma once

#include <QHash>
#include <QString>

// The kinds of file the program's file dialogs ask for; each kind's dialog
// starts in the folder last used for it.
enum class FileKind
{
    None, // the dialog starts where the platform puts it
    Storm,
    Data, // CSV and Word data, calculation reports
    Picture,
    Swmm,
    FitData,
    FitReport,
    Records,
};

// The folder last used for each kind of file, kept in a small text file
// ("kind=folder" lines, UTF-8) so that they are the same in the next session.
// Remembering writes the file at once; a file that cannot be read or written
// costs only the remembered folders, never a message.
class DialogFolders
{
public:
    // An empty path keeps the folders for this session only.
    explicit DialogFolders(QString file = {});

    // The folder last used for the kind, when it still exists; empty otherwise.
    QString folder(FileKind kind) const;
    // Remembers the folder that holds `chosenPath` for the kind.
    void remember(FileKind kind, const QString &chosenPath);

private:
    QString m_file;
    QHash<QString, QString> m_folders; // by the kind's key
};
