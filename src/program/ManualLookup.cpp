#include "program/ManualLookup.h"

#include <QDir>
#include <QFileInfo>

QString FindManual(const QString &folder)
{
    // Name filters match without regard to case unless asked otherwise; sorting
    // by name makes "the first" the same on every system.
    const QDir dir(folder);
    const QFileInfoList manuals =
        dir.entryInfoList({ManualNamePattern()}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    return manuals.isEmpty() ? QString() : manuals.constFirst().absoluteFilePath();
}
