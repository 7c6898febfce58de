#pragma once

#include <QDesktopServices>
#include <QUrl>
#include <functional>

// Opens a web address or a file with the program the desktop associates with
// it. Every opening goes through one of these, so that tests record the
// address instead of starting a browser. The outcome is not reported to the
// user: a missing browser or PDF viewer is the desktop's business.
using UrlOpener = std::function<bool(const QUrl &)>;

inline UrlOpener DesktopUrlOpener()
{
    return [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}
