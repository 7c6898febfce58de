#pragma once

#include "ui/UrlOpener.h"
#include "ui/UserPrompts.h"

#include <QChar>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

class QWidget;

// "检查更新...": asks the maker's server for the newest version, compares it
// with the program's own and either says the program is up to date or offers
// the new version's page. Nothing is kept between checks.
class UpdateCheck
{
public:
    // Connecting and every pause in the answer may last this long.
    static constexpr std::chrono::milliseconds DefaultTimeout{10000};

    // `window` owns the message boxes; `decimalSeparator` is the user's, used
    // to read the version numbers.
    UpdateCheck(UserPrompts &prompts, QWidget *window, QChar decimalSeparator);

    // The server asked: scheme, host and port of `server`, the path always
    // the update page's. By default plain HTTP on the maker's host.
    void setServer(const QUrl &server);
    void setTimeout(std::chrono::milliseconds timeout);
    void setUrlOpener(UrlOpener open);

    // The address the check asks.
    QUrl requestUrl() const;

    // The whole check, on the GUI thread. The window keeps painting while the
    // server is asked but takes no input; every failure ends in the box
    // "出错：<description>" captioned "错误".
    void run();

    // http://<the maker's host>
    static QUrl makerServer();

private:
    // The decoded body; empty when the application began to quit meanwhile.
    // Raises PluvionError for every failure of the request.
    std::optional<QString> fetch() const;
    void check(const QString &body);

    UserPrompts &m_prompts;
    QWidget *m_window;
    QChar m_decimalSeparator;
    QUrl m_server = makerServer();
    std::chrono::milliseconds m_timeout = DefaultTimeout;
    UrlOpener m_open = DesktopUrlOpener();
};
