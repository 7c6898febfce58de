#pragma once

#include "ui/UrlOpener.h"

#include <QString>

// The Help menu's openings (besides the update check and the About box).

// "帮助": opens the first manual found in `programFolder`, looked up anew on
// every call so that a manual copied there meanwhile is found. Nothing
// happens, silently, when there is none. Returns whether one was handed over.
bool OpenManual(const QString &programFolder, const UrlOpener &open);

// The community item: opens the maker's community page.
void OpenCommunityPage(const UrlOpener &open);
