// The update check's answer on arbitrary bytes and an arbitrary Content-Type:
// the reply is either read into its three parts or refused with the
// program's message, and only a web address is ever offered for opening.

#include "FuzzSupport.h"
#include "model/PluvionError.h"
#include "program/ProgramInfo.h"
#include "program/UpdateAnswer.h"

#include <QByteArray>

namespace {

bool Trimmed(const QString &text)
{
    return text.isEmpty() || (text.front().unicode() > u' ' && text.back().unicode() > u' ');
}

void CheckAnswer(const QString &body)
{
    UpdateAnswer answer;
    try {
        answer = ParseUpdateAnswer(body);
    } catch (const PluvionError &error) {
        const QString description = error.description();
        FUZZ_CHECK(description == QStringLiteral("更新信息的第1行不存在") ||
                       description == QStringLiteral("更新信息的第2行不存在"),
                   "unexpected failure: %s", Utf8(description).c_str());
        return;
    }
    const qsizetype marker = body.indexOf(QStringLiteral("@@@@@@"));
    FUZZ_CHECK(marker >= 0, "an answer without the end marker was read");
    for (const QString *part : {&answer.NewVersion, &answer.UpdateLink, &answer.UpdateNotes}) {
        FUZZ_CHECK(!part->contains(QStringLiteral("@@@@@@")), "a part runs past the end marker");
    }
    FUZZ_CHECK(Trimmed(answer.NewVersion) && Trimmed(answer.UpdateLink), "version or link not trimmed");
    FUZZ_CHECK(!answer.NewVersion.contains(u'\r') && !answer.NewVersion.contains(u'\n') &&
                   !answer.UpdateLink.contains(u'\r') && !answer.UpdateLink.contains(u'\n'),
               "version or link holds a line end");
    FUZZ_CHECK(answer.UpdateNotes.isEmpty() || answer.UpdateNotes.endsWith(QStringLiteral("\r\n")),
               "notes do not end in CR LF");

    for (const QChar separator : {QChar(u'.'), QChar(u',')}) {
        try {
            (void)IsNewerVersion(answer.NewVersion, ProgramInfo::version(), separator);
        } catch (const PluvionError &error) {
            FUZZ_CHECK(error.description() == QStringLiteral("'%1' is not a valid floating point value")
                                                  .arg(ValueExcerpt(answer.NewVersion)),
                       "unexpected failure: %s", Utf8(error.description()).c_str());
        }
    }
    const QString question = UpdateQuestionText(answer);
    FUZZ_CHECK(question.endsWith(QStringLiteral("是否立即查看？")), "the question lost its ending");

    try {
        const QUrl url = UpdatePageUrl(answer.UpdateLink);
        const QString scheme = url.scheme().toLower();
        FUZZ_CHECK((scheme == QStringLiteral("http") || scheme == QStringLiteral("https")) &&
                       !url.host().isEmpty(),
                   "'%s' would be opened", Utf8(answer.UpdateLink).c_str());
    } catch (const PluvionError &error) {
        FUZZ_CHECK(error.description() == QStringLiteral("更新地址不是网页地址：") + answer.UpdateLink,
                   "unexpected failure: %s", Utf8(error.description()).c_str());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const std::string contentType = data.ConsumeRandomLengthString(80);
    const std::string body = data.ConsumeRemainingBytesAsString();
    const QString text = DecodeUpdateBody(QByteArray(body.data(), qsizetype(body.size())),
                                          QByteArray(contentType.data(), qsizetype(contentType.size())));
    CheckAnswer(text);
    return 0;
}
