#include "app/HelpCommands.h"

#include "program/Community.h"
#include "program/ManualLookup.h"

bool OpenManual(const QString &programFolder, const UrlOpener &open)
{
    const QString manual = FindManual(programFolder);
    if (manual.isEmpty())
        return false;
    open(QUrl::fromLocalFile(manual));
    return true;
}

void OpenCommunityPage(const UrlOpener &open)
{
    open(QUrl(Community::pageUrl()));
}
