#include "app/UpdateCheck.h"

#include "model/PluvionError.h"
#include "program/ProgramInfo.h"
#include "program/UpdateAnswer.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

const QByteArray AcceptValue = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
const QByteArray UserAgentValue = "Mozilla/3.0 (compatible; Indy Library)";

// The wait cursor for as long as the server is asked.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

QString TimeoutDescription(std::chrono::milliseconds timeout)
{
    return QStringLiteral("服务器没有回应（等待超过%1秒）").arg(QString::number(timeout.count() / 1000.0));
}

void ThrowFailure(const QNetworkReply &reply, std::chrono::milliseconds timeout)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        if (code < 200 || code > 299) {
            // A redirect fails like any other status: the check asks one page only.
            const QString reason =
                QString::fromUtf8(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
            throw PluvionError(QStringLiteral("HTTP/1.1 %1 %2").arg(code).arg(reason).trimmed());
        }
    }
    switch (reply.error()) {
    case QNetworkReply::NoError:
        return;
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        throw PluvionError(TimeoutDescription(timeout));
    default:
        throw PluvionError(reply.errorString());
    }
}

} // namespace

UpdateCheck::UpdateCheck(UserPrompts &prompts, QWidget *window, QChar decimalSeparator)
    : m_prompts(prompts), m_window(window), m_decimalSeparator(decimalSeparator)
{}

void UpdateCheck::setServer(const QUrl &server)
{
    m_server = server;
}

void UpdateCheck::setTimeout(std::chrono::milliseconds timeout)
{
    m_timeout = timeout;
}

void UpdateCheck::setUrlOpener(UrlOpener open)
{
    m_open = std::move(open);
}

QUrl UpdateCheck::makerServer()
{
    QUrl server;
    server.setScheme(QStringLiteral("http"));
    server.setHost(QUrl(ProgramInfo::makerUrl()).host());
    return server;
}

QUrl UpdateCheck::requestUrl() const
{
    QUrl url;
    url.setScheme(m_server.scheme());
    url.setHost(m_server.host());
    url.setPort(m_server.port());
    url.setPath(UpdateAnswerPath());
    return url;
}

void UpdateCheck::run()
{
    try {
        const std::optional<QString> body = fetch();
        if (body)
            check(*body);
    } catch (const PluvionError &error) {
        m_prompts.message(m_window, QStringLiteral("错误"), QStringLiteral("出错：") + error.description(),
                          UserPrompts::Icon::Error);
    }
}

std::optional<QString> UpdateCheck::fetch() const
{
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);

    QNetworkRequest request(requestUrl());
    request.setRawHeader("Accept", AcceptValue);
    request.setRawHeader("User-Agent", UserAgentValue);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(int(m_timeout.count()));

    const WaitCursor waitCursor;
    QNetworkReply *reply = network.get(request);
    // A local loop keeps the window painting; input waits until the answer is
    // in, so the user cannot start a second check or close the window under
    // this one.
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!reply->isFinished()) {
        // The application is quitting: drop the request and say nothing.
        reply->abort();
        return std::nullopt;
    }
    ThrowFailure(*reply, m_timeout);
    return DecodeUpdateBody(reply->readAll(), reply->rawHeader("Content-Type"));
}

void UpdateCheck::check(const QString &body)
{
    const UpdateAnswer answer = ParseUpdateAnswer(body);
    if (!IsNewerVersion(answer.NewVersion, ProgramInfo::version(), m_decimalSeparator)) {
        m_prompts.message(m_window, QStringLiteral("提示"), QStringLiteral("已经是最新版本了"),
                          UserPrompts::Icon::Information);
        return;
    }
    const UserPrompts::Answer choice =
        m_prompts.message(m_window, QStringLiteral("更新"), UpdateQuestionText(answer),
                          UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo);
    if (choice == UserPrompts::Answer::Yes)
        m_open(UpdatePageUrl(answer.UpdateLink));
}
