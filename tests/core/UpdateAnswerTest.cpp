#include "program/UpdateAnswer.h"

#include "model/PluvionError.h"

#include <QStringEncoder>
#include <gtest/gtest.h>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct ParseCase
{
    const char *name;
    QString body;
    QString version;
    QString link;
    QString notes;
    QString error; // the failure's description when the body is refused
};

TEST(UpdateAnswer, ParsesTheTextBeforeTheMarker)
{
    const QString noLine1 = QStringLiteral("更新信息的第1行不存在");
    const QString noLine2 = QStringLiteral("更新信息的第2行不存在");
    const ParseCase cases[] = {
        {"no notes", u"2.08\r\nhttp://x.cn/p\r\n@@@@@@"_s, u"2.08"_s, u"http://x.cn/p"_s, {}, {}},
        {"two notes",
         u"2.09\r\nhttp://x.cn/p\r\n修复A\r\n修复B\r\n@@@@@@"_s,
         u"2.09"_s,
         u"http://x.cn/p"_s,
         u"修复A\r\n修复B\r\n"_s,
         {}},
        {"LF, lone CR, last note ends at the marker",
         u"2.09\nlink\rnote1\nnote2@@@@@@"_s,
         u"2.09"_s,
         u"link"_s,
         u"note1\r\nnote2\r\n"_s,
         {}},
        {"blanks and controls trimmed off version and link only",
         u" \t2.1 \x01\r\n  link \r\n  a  \r\n\r\nb\r\n@@@@@@"_s,
         u"2.1"_s,
         u"link"_s,
         u"  a  \r\n\r\nb\r\n"_s,
         {}},
        {"footer after the marker ignored",
         u"2.08\r\nlink\r\n@@@@@@\r\n<p>9.99</p>\r\n@@@@@@tail"_s,
         u"2.08"_s,
         u"link"_s,
         {},
         {}},
        {"empty first line kept as the version",
         u"\r\n2.09\r\nlink\r\n@@@@@@"_s,
         {},
         u"2.09"_s,
         u"link\r\n"_s,
         {}},
        {"no marker", u"2.09\r\nlink\r\nnote\r\n"_s, {}, {}, {}, noLine1},
        {"marker first", u"@@@@@@2.09\r\nlink\r\n"_s, {}, {}, {}, noLine1},
        {"empty body", QString(), {}, {}, {}, noLine1},
        {"one line before the marker", u"2.09\r\n@@@@@@\r\nlink"_s, {}, {}, {}, noLine2},
        {"five @ are no marker", u"2.09\r\nlink\r\n@@@@@"_s, {}, {}, {}, noLine1},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.error.isEmpty()) {
            try {
                ParseUpdateAnswer(c.body);
                ADD_FAILURE() << "accepted";
            } catch (const PluvionError &error) {
                EXPECT_EQ(error.description(), c.error);
            }
            continue;
        }
        const UpdateAnswer answer = ParseUpdateAnswer(c.body);
        EXPECT_EQ(answer.NewVersion, c.version);
        EXPECT_EQ(answer.UpdateLink, c.link);
        EXPECT_EQ(answer.UpdateNotes, c.notes);
    }
}

TEST(UpdateAnswer, ComparesVersionsAsNumbersInTheUsersFormat)
{
    struct Case
    {
        QString server;
        QChar decimal;
        std::optional<bool> newer; // empty: refused with `error`
        QString error;
    };
    const Case cases[] = {
        {u"2.07"_s, u'.', false, {}},
        {u"2.08"_s, u'.', false, {}},
        {u"2.080"_s, u'.', false, {}},
        {u"2.09"_s, u'.', true, {}},
        {u"2.1"_s, u'.', true, {}}, // as text "2.1" < "2.08" would not be
        {u"2.10"_s, u'.', true, {}},
        {u"10"_s, u'.', true, {}},
        {u"1.99"_s, u'.', false, {}},
        {u"v2.09"_s, u'.', std::nullopt, u"'v2.09' is not a valid floating point value"_s},
        {u"2.09beta"_s, u'.', std::nullopt, u"'2.09beta' is not a valid floating point value"_s},
        {QString(), u'.', std::nullopt, u"'' is not a valid floating point value"_s},
        // Where the decimal separator is a comma, versions written either way still compare.
        {u"2,09"_s, u',', true, {}},
        {u"2.09"_s, u',', true, {}},
        {u"2,07"_s, u',', false, {}},
        {u"2,0,9"_s, u',', std::nullopt, u"'2,0,9' is not a valid floating point value"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.server.toStdString() + " with '" + QString(c.decimal).toStdString() + "'");
        if (c.newer) {
            EXPECT_EQ(IsNewerVersion(c.server, u"2.08"_s, c.decimal), *c.newer);
            continue;
        }
        try {
            IsNewerVersion(c.server, u"2.08"_s, c.decimal);
            ADD_FAILURE() << "accepted";
        } catch (const PluvionError &error) {
            EXPECT_EQ(error.description(), c.error);
        }
    }
    EXPECT_TRUE(IsNewerVersion(u"2,09"_s, u"2,08"_s, u','));
}

TEST(UpdateAnswer, QuestionShowsVersionNotesAndAnEmptyLineBeforeTheQuestion)
{
    const UpdateAnswer withNotes =
        ParseUpdateAnswer(u" 2.09 \r\nhttp://x.cn/p\r\n修复A\r\n修复B\r\n@@@@@@"_s);
    EXPECT_EQ(UpdateQuestionText(withNotes),
              u"新版本：Ver2.09 已经发布~\r\n更新内容:\r\n修复A\r\n修复B\r\n\r\n是否立即查看？"_s);

    // "%2" in a note is text, not a place for an argument.
    const UpdateAnswer plain{u"2.1"_s, u"link"_s, {}};
    EXPECT_EQ(UpdateQuestionText(plain), u"新版本：Ver2.1 已经发布~\r\n更新内容:\r\n\r\n是否立即查看？"_s);
    const UpdateAnswer percent{u"2.1"_s, u"link"_s, u"100%1 %2\r\n"_s};
    EXPECT_EQ(UpdateQuestionText(percent),
              u"新版本：Ver2.1 已经发布~\r\n更新内容:\r\n100%1 %2\r\n\r\n是否立即查看？"_s);
}

TEST(UpdateAnswer, OnlyWebAddressesAreOpened)
{
    for (const QString &link :
         {u"http://www.quillfen.com/pluvion/2.09.html"_s, u"HTTPS://x.cn/a?b=1#c"_s, u"http://x.cn/下载"_s}) {
        SCOPED_TRACE(link.toStdString());
        EXPECT_EQ(UpdatePageUrl(link), QUrl(link));
    }
    for (const QString &link :
         {u"file:///C:/Windows/System32/calc.exe"_s, u"C:\\Windows\\System32\\calc.exe"_s,
          u"\\\\server\\share\\setup.exe"_s, u"/usr/bin/xterm"_s, u"javascript:alert(1)"_s,
          u"mailto:a@b.cn"_s, u"ftp://x.cn/setup.exe"_s, u"www.quillfen.com"_s, u"http://"_s,
          u"http:///etc/passwd"_s, QString()}) {
        SCOPED_TRACE(link.toStdString());
        try {
            UpdatePageUrl(link);
            ADD_FAILURE() << "accepted";
        } catch (const PluvionError &error) {
            EXPECT_EQ(error.description(), u"更新地址不是网页地址："_s + link);
        }
    }
}

TEST(UpdateAnswer, BodyIsDecodedInTheNamedCharacterSet)
{
    const QString text = u"2.09\r\n修复\r\n"_s;
    QStringEncoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    const QByteArray gbkBytes = gbk.encode(text);
    const QByteArray utf8Bytes = text.toUtf8();

    EXPECT_EQ(DecodeUpdateBody(gbkBytes, "text/html; charset=GBK"), text);
    EXPECT_EQ(DecodeUpdateBody(gbkBytes, "text/html;Charset=\"gb2312\""), text);
    EXPECT_EQ(DecodeUpdateBody(utf8Bytes, "text/plain"), text);
    EXPECT_EQ(DecodeUpdateBody(utf8Bytes, QByteArray()), text);
    EXPECT_EQ(DecodeUpdateBody(utf8Bytes, "text/plain; charset=no-such-set"), text);
    EXPECT_EQ(DecodeUpdateBody("\xEF\xBB\xBF" + utf8Bytes, "text/plain; charset=utf-8"), text);
}

} // namespace
