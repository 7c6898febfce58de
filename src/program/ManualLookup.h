#pragma once

#include <QString>

// The user manual is a PDF that lies beside the program: any file whose name
// matches "软件说明书*.pdf", letters compared without regard to case.

// The pattern a manual's file name matches.
inline QString ManualNamePattern()
{
    return QStringLiteral("软件说明书*.pdf");
}

// The full path of the first manual in `folder` by name: files only (a folder
// that happens to match does not count), this folder only (sub-folders are
// not searched). Empty when there is none.
QString FindManual(const QString &folder);
