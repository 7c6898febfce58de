#include "app/UpdateCheck.h"

#include "ScriptedPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// A one-page web server on 127.0.0.1: it records every request and answers
// each with the same canned response, or never answers when that is empty.
class PageServer
{
public:
    explicit PageServer(QByteArray response) : m_response(std::move(response))
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
    }

    QUrl url() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server.serverPort())); }
    const QList<QByteArray> &requests() const { return m_requests; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (!buffer->contains("\r\n\r\n"))
                    return;
                m_requests.append(*buffer);
                buffer->clear();
                if (m_response.isEmpty())
                    return;
                socket->write(m_response);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer m_server;
    QByteArray m_response;
    QList<QByteArray> m_requests;
};

QByteArray Response(const QByteArray &status, const QByteArray &body,
                    const QByteArray &contentType = "text/html; charset=utf-8", const QByteArray &extra = {})
{
    QByteArray response = "HTTP/1.1 " + status + "\r\n";
    if (!contentType.isEmpty())
        response += "Content-Type: " + contentType + "\r\n";
    response += extra;
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return response;
}

QByteArray Page(const QString &body)
{
    return Response("200 OK", body.toUtf8());
}

// One check against `server`, answered by `prompts`, with every opening recorded.
QList<QUrl> RunCheck(const QUrl &server, ScriptedPrompts &prompts,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    QList<QUrl> opened;
    UpdateCheck check(prompts, nullptr, u'.');
    check.setServer(server);
    check.setTimeout(timeout);
    check.setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    check.run();
    return opened;
}

const QString UpToDate = u"已经是最新版本了"_s;
const QString PageLink = u"http://www.quillfen.com/pluvion/2.09.html"_s;

TEST(UpdateCheck, AsksTheUpdatePageOnceWithTheProgramsHeaders)
{
    PageServer server(Page(u"2.08\r\nhttp://x.cn\r\n@@@@@@"_s));
    ScriptedPrompts prompts;
    RunCheck(server.url(), prompts);

    ASSERT_EQ(server.requests().size(), 1);
    const QList<QByteArray> lines = server.requests().constFirst().split('\n');
    EXPECT_EQ(lines.constFirst(), "GET /zb_users/upload/pluvion/update.php HTTP/1.1\r");
    EXPECT_TRUE(lines.contains("Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r"));
    EXPECT_TRUE(lines.contains("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r"));
    EXPECT_TRUE(lines.contains("Host: 127.0.0.1:" + QByteArray::number(server.url().port()) + "\r"));

    // By default the maker's own host, plain HTTP on port 80.
    UpdateCheck byDefault(prompts, nullptr, u'.');
    EXPECT_EQ(byDefault.requestUrl(), QUrl(u"http://www.quillfen.com/zb_users/upload/pluvion/update.php"_s));
}

TEST(UpdateCheck, ToldAccordingToTheServersAnswer)
{
    struct Case
    {
        const char *name;
        QByteArray response;
        UserPrompts::Icon icon;
        QString caption;
        QString text;
    };
    const Case cases[] = {
        {"older", Page(u"2.07\r\nhttp://x.cn\r\n新功能\r\n@@@@@@"_s), UserPrompts::Icon::Information,
         u"提示"_s, UpToDate},
        {"equal", Page(u"2.08\r\nhttp://x.cn\r\n@@@@@@"_s), UserPrompts::Icon::Information, u"提示"_s,
         UpToDate},
        {"footer after the marker",
         Page(u"2.08\r\nhttp://x.cn\r\n@@@@@@\r\n9.99\r\n<footer>@@@@@@</footer>"_s),
         UserPrompts::Icon::Information, u"提示"_s, UpToDate},
        {"no marker", Page(u"2.09\r\nhttp://x.cn\r\n新功能\r\n"_s), UserPrompts::Icon::Error, u"错误"_s,
         u"出错：更新信息的第1行不存在"_s},
        {"marker first", Page(u"@@@@@@2.09\r\nhttp://x.cn\r\n"_s), UserPrompts::Icon::Error, u"错误"_s,
         u"出错：更新信息的第1行不存在"_s},
        {"version starts with a letter", Page(u"V2.09\r\nhttp://x.cn\r\n@@@@@@"_s), UserPrompts::Icon::Error,
         u"错误"_s, u"出错：'V2.09' is not a valid floating point value"_s},
        {"404", Response("404 Not Found", "2.09\r\nhttp://x.cn\r\n@@@@@@"), UserPrompts::Icon::Error,
         u"错误"_s, u"出错：HTTP/1.1 404 Not Found"_s},
        {"500 without a reason", Response("500", {}), UserPrompts::Icon::Error, u"错误"_s,
         u"出错：HTTP/1.1 500"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PageServer server(c.response);
        ScriptedPrompts prompts;
        const QList<QUrl> opened = RunCheck(server.url(), prompts);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0].caption, c.caption);
        EXPECT_EQ(prompts.messages[0].text, c.text);
        EXPECT_EQ(prompts.messages[0].icon, c.icon);
        EXPECT_EQ(prompts.messages[0].buttons, UserPrompts::Buttons::Ok);
        EXPECT_TRUE(opened.isEmpty());
    }
}

TEST(UpdateCheck, NewerVersionOffersItsPageAndYesOpensIt)
{
    PageServer server(
        Page(u"  2.1 \r\n"_s + PageLink + u"\r\n修复了导出\r\n新增图片格式\r\n@@@@@@<p>footer</p>"_s));
    ScriptedPrompts prompts;
    prompts.answers = {UserPrompts::Answer::Yes};
    const QList<QUrl> opened = RunCheck(server.url(), prompts);

    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, u"更新"_s);
    EXPECT_EQ(prompts.messages[0].text,
              u"新版本：Ver2.1 已经发布~\r\n更新内容:\r\n修复了导出\r\n新增图片格式\r\n\r\n是否立即查看？"_s);
    EXPECT_EQ(prompts.messages[0].buttons, UserPrompts::Buttons::YesNo);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(PageLink)});
}

TEST(UpdateCheck, NoOpensNothing)
{
    PageServer server(Page(u"2.09\r\n"_s + PageLink + u"\r\n@@@@@@"_s));
    ScriptedPrompts prompts;
    prompts.answers = {UserPrompts::Answer::No};
    EXPECT_TRUE(RunCheck(server.url(), prompts).isEmpty());
    EXPECT_EQ(prompts.messages.size(), 1);
}

TEST(UpdateCheck, NotesInTheCharacterSetTheServerNames)
{
    QStringEncoder gbk("GBK");
    const QByteArray body = gbk.encode(u"2.09\r\nhttp://x.cn\r\n修复了导出\r\n@@@@@@"_s);
    for (const QByteArray &contentType : {QByteArray("text/plain; charset=GBK"), QByteArray()}) {
        SCOPED_TRACE(contentType.toStdString());
        // Without a named set the body is read as UTF-8, so only the named GBK shows the notes.
        PageServer server(
            Response("200 OK",
                     contentType.isEmpty() ? u"2.09\r\nhttp://x.cn\r\n修复了导出\r\n@@@@@@"_s.toUtf8() : body,
                     contentType));
        ScriptedPrompts prompts;
        prompts.answers = {UserPrompts::Answer::No};
        RunCheck(server.url(), prompts);
        EXPECT_TRUE(prompts.lastText().contains(u"\r\n修复了导出\r\n"_s)) << prompts.lastText().toStdString();
    }
}

TEST(UpdateCheck, LinkThatIsNoWebAddressIsNeverOpened)
{
    for (const QString &link :
         {u"file:///C:/Windows/System32/calc.exe"_s, u"C:\\Windows\\System32\\calc.exe"_s}) {
        SCOPED_TRACE(link.toStdString());
        PageServer server(Page(u"2.09\r\n"_s + link + u"\r\n@@@@@@"_s));
        ScriptedPrompts prompts;
        prompts.answers = {UserPrompts::Answer::Yes};
        const QList<QUrl> opened = RunCheck(server.url(), prompts);
        EXPECT_TRUE(opened.isEmpty());
        ASSERT_EQ(prompts.messages.size(), 2);
        EXPECT_EQ(prompts.messages[1].caption, u"错误"_s);
        EXPECT_EQ(prompts.messages[1].text, u"出错：更新地址不是网页地址："_s + link);
        EXPECT_EQ(prompts.messages[1].icon, UserPrompts::Icon::Error);
    }
}

TEST(UpdateCheck, RedirectIsAFailureAndNotFollowed)
{
    PageServer server{QByteArray()};
    PageServer redirecting(
        Response("302 Found", {}, {},
                 "Location: " + server.url().toEncoded() + "/zb_users/upload/pluvion/update.php\r\n"));
    ScriptedPrompts prompts;
    RunCheck(redirecting.url(), prompts);
    EXPECT_EQ(redirecting.requests().size(), 1);
    EXPECT_TRUE(server.requests().isEmpty());
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, u"出错：HTTP/1.1 302 Found"_s);
}

TEST(UpdateCheck, SilentServerTimesOutWhileTheWindowKeepsPainting)
{
    PageServer silent{QByteArray()};
    ScriptedPrompts prompts;
    std::optional<Qt::CursorShape> cursorWhileWaiting;
    QTimer::singleShot(50, [&] {
        if (const QCursor *cursor = QApplication::overrideCursor())
            cursorWhileWaiting = cursor->shape();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    RunCheck(silent.url(), prompts, std::chrono::milliseconds(300));

    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_EQ(silent.requests().size(), 1);
    EXPECT_EQ(cursorWhileWaiting, Qt::WaitCursor); // events ran while the request was under way
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].caption, u"错误"_s);
    EXPECT_EQ(prompts.messages[0].text, u"出错：服务器没有回应（等待超过0.3秒）"_s);
}

TEST(UpdateCheck, RefusedConnectionIsAFailure)
{
    QUrl closed;
    {
        PageServer gone{QByteArray()};
        closed = gone.url();
    }
    ScriptedPrompts prompts;
    RunCheck(closed, prompts);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(u"出错："_s));
    EXPECT_GT(prompts.messages[0].text.size(), 3);
    EXPECT_EQ(prompts.messages[0].icon, UserPrompts::Icon::Error);
}

} // namespace
