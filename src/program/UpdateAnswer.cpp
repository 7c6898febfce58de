#include "program/UpdateAnswer.h"

#include "io/TextLines.h"
#include "model/NumberForms.h"
#include "model/PluvionError.h"

#include <QList>
#include <QStringDecoder>

namespace {

const QString Marker = QStringLiteral("@@@@@@");
const QString LineEnd = QStringLiteral("\r\n");

const QString &LineOrThrow(const QStringList &lines, qsizetype index)
{
    if (index >= lines.size())
        throw PluvionError(QStringLiteral("更新信息的第%1行不存在").arg(index + 1));
    return lines.at(index);
}

QByteArray CharsetOf(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts.at(i).trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

} // namespace

QString DecodeUpdateBody(const QByteArray &body, const QByteArray &contentType)
{
    const QByteArray charset = CharsetOf(contentType);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    return utf8.decode(body);
}

UpdateAnswer ParseUpdateAnswer(const QString &body)
{
    const qsizetype marker = body.indexOf(Marker);
    const QStringList lines = SplitLines(marker < 0 ? QString() : body.left(marker));

    UpdateAnswer answer;
    answer.NewVersion = TrimControls(LineOrThrow(lines, 0)).toString();
    answer.UpdateLink = TrimControls(LineOrThrow(lines, 1)).toString();
    for (qsizetype i = 2; i < lines.size(); ++i)
        answer.UpdateNotes += lines.at(i) + LineEnd;
    return answer;
}

namespace {

// A version number as the maker writes it, with a full stop, or in the
// user's own number format. Reading it only in the user's format would make
// every check fail where the decimal separator is a comma, since the
// program's own "2.08" is then no number.
double versionNumber(const QString &text, QChar decimalSeparator)
{
    double value = 0;
    if (TryParseFloat(text, u'.', &value))
        return value;
    return StrToFloat(text, decimalSeparator);
}

} // namespace

bool IsNewerVersion(const QString &serverVersion, const QString &ownVersion, QChar decimalSeparator)
{
    const double server = versionNumber(serverVersion, decimalSeparator);
    const double own = versionNumber(ownVersion, decimalSeparator);
    return server > own;
}

QString UpdateQuestionText(const UpdateAnswer &answer)
{
    return QStringLiteral("新版本：Ver%1 已经发布~\r\n更新内容:\r\n%2\r\n是否立即查看？")
        .arg(TrimControls(answer.NewVersion).toString(), answer.UpdateNotes);
}

QUrl UpdatePageUrl(const QString &updateLink)
{
    const QUrl url(updateLink, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")) ||
        url.host().isEmpty())
        throw PluvionError(QStringLiteral("更新地址不是网页地址：%1").arg(updateLink));
    return url;
}
