#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QUrl>

// The maker's server answers the update check with a short text:
//
//     line 1    the newest version, e.g. 2.09
//     line 2    the page that tells about it
//     lines 3…  the release notes, any number of lines
//     @@@@@@    end of the answer; whatever follows (a page footer) is ignored
//
// Lines end in CR LF, LF or CR.

// The path asked for on the maker's host.
inline QString UpdateAnswerPath()
{
    return QStringLiteral("/zb_users/upload/pluvion/update.php");
}

struct UpdateAnswer
{
    QString NewVersion;  // line 1, blanks and control characters trimmed
    QString UpdateLink;  // line 2, trimmed the same way
    QString UpdateNotes; // lines 3 and on, each followed by CR LF; empty when there are none
};

// The body as text in the character set that the Content-Type header value
// names; UTF-8 when it names none or one that is unknown. A byte-order mark
// at the start is dropped.
QString DecodeUpdateBody(const QByteArray &body, const QByteArray &contentType);

// Only the text before the first "@@@@@@" counts; without the marker nothing
// does. Raises PluvionError "更新信息的第N行不存在" when fewer than two lines
// precede the marker.
UpdateAnswer ParseUpdateAnswer(const QString &body);

// Whether the server's version is a greater number than the program's own,
// each read with a full stop or in the user's number format (2.1 and 2.10 are
// both newer than 2.08). Raises PluvionError "'%s' is not a valid floating point value" for
// the first of the two, server's version first, that is not a number.
bool IsNewerVersion(const QString &serverVersion, const QString &ownVersion, QChar decimalSeparator);

// The question that offers the new version: its number, the notes and an
// empty line before "是否立即查看？".
QString UpdateQuestionText(const UpdateAnswer &answer);

// The page to open for the answer's link. The link comes from an unchecked
// plain-HTTP answer, so only a web address (http or https, with a host) is
// ever handed to the desktop; anything else, a file path or another scheme,
// raises PluvionError "更新地址不是网页地址：<link>".
QUrl UpdatePageUrl(const QString &updateLink);
