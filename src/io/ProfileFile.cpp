#include "io/ProfileFile.h"

#include "io/FileBytes.h"
#include "io/TextLines.h"

#include <QFileInfo>
#include <QStringView>

namespace {

enum class LineKind
{
    Other,
    Comment,
    Section,
    Key
};

// What one line is; name and value point into the line's text.
struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QStringView name;
    QStringView value;
};

ParsedLine parseLine(const QString &text)
{
    const QStringView line = TrimBlanks(text);
    ParsedLine parsed;
    if (line.isEmpty())
        return parsed;
    if (line.front() == u';') {
        parsed.kind = LineKind::Comment;
        return parsed;
    }
    if (line.front() == u'[') {
        const qsizetype close = line.lastIndexOf(u']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = TrimBlanks(line.mid(1, close - 1));
            return parsed;
        }
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals >= 0) {
        parsed.kind = LineKind::Key;
        parsed.name = TrimBlanks(line.left(equals));
        parsed.value = TrimBlanks(line.mid(equals + 1));
    }
    return parsed;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

ProfileFile::ProfileFile(const QByteArray &bytes)
{
    // A UTF-8 byte-order mark (as editors on Windows write it) is no part of
    // the first line; it is kept for the rewrite.
    qsizetype start = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_byteOrderMark = bytes.first(3);
        start = 3;
    }
    qsizetype i = start;
    const qsizetype size = bytes.size();
    while (i < size) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        const qsizetype endingLength = (c == '\r' && i + 1 < size && bytes[i + 1] == '\n') ? 2 : 1;
        m_lines.push_back({QString::fromLatin1(bytes.mid(start, i - start)), bytes.mid(i, endingLength)});
        i += endingLength;
        start = i;
    }
    if (start < size)
        m_lines.push_back({QString::fromLatin1(bytes.mid(start)), QByteArray()});
}

void ProfileFile::loadFile(const QString &path)
{
    m_lines.clear();
    if (!QFileInfo::exists(path))
        return;
    *this = ProfileFile(ReadFileBytes(path));
}

QString ProfileFile::value(const QString &section, const QString &key, bool *found) const
{
    if (found)
        *found = false;
    const int header = findSection(TrimBlanks(section).toString());
    if (header < 0)
        return QString();
    const int line = findKey(TrimBlanks(key).toString(), header + 1, sectionEnd(header));
    if (line < 0)
        return QString();
    if (found)
        *found = true;
    QStringView text = parseLine(m_lines[line].text).value;
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text.toString();
}

void ProfileFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = TrimBlanks(section).toString();
    const QString keyName = TrimBlanks(key).toString();
    const int header = findSection(sectionName);
    if (header < 0) {
        insertLine(int(m_lines.size()), u'[' + sectionName + u']');
        insertLine(int(m_lines.size()), keyName + u'=' + value);
        return;
    }
    const int end = sectionEnd(header);
    const int existing = findKey(keyName, header + 1, end);
    if (existing >= 0) {
        Line &line = m_lines[existing];
        line.text = parseLine(line.text).name.toString() + u'=' + value;
        return;
    }
    int insertAt = header + 1;
    for (int i = header + 1; i < end; ++i) {
        if (parseLine(m_lines[i].text).kind == LineKind::Key)
            insertAt = i + 1;
    }
    insertLine(insertAt, keyName + u'=' + value);
}

QByteArray ProfileFile::toBytes() const
{
    QByteArray bytes = m_byteOrderMark;
    for (const Line &line : m_lines) {
        bytes += line.text.toLatin1();
        bytes += line.ending;
    }
    return bytes;
}

void ProfileFile::saveFile(const QString &path) const
{
    WriteFileBytes(path, toBytes());
}

int ProfileFile::findSection(const QString &section) const
{
    for (int i = 0; i < int(m_lines.size()); ++i) {
        const ParsedLine parsed = parseLine(m_lines[i].text);
        if (parsed.kind == LineKind::Section && sameName(parsed.name, section))
            return i;
    }
    return -1;
}

int ProfileFile::sectionEnd(int headerIndex) const
{
    int i = headerIndex + 1;
    while (i < int(m_lines.size()) && parseLine(m_lines[i].text).kind != LineKind::Section)
        ++i;
    return i;
}

int ProfileFile::findKey(const QString &key, int first, int end) const
{
    for (int i = first; i < end; ++i) {
        const ParsedLine parsed = parseLine(m_lines[i].text);
        if (parsed.kind == LineKind::Key && sameName(parsed.name, key))
            return i;
    }
    return -1;
}

void ProfileFile::insertLine(int index, const QString &text)
{
    QByteArray ending = lineEnding();
    // A lone CR before an empty line that ends in a lone LF would read back
    // as one CR LF, and that empty line would be gone.
    if (ending == "\r" && index < int(m_lines.size()) && m_lines[index].text.isEmpty() &&
        m_lines[index].ending.startsWith('\n'))
        ending = QByteArrayLiteral("\r\n");
    if (index > 0 && m_lines[index - 1].ending.isEmpty())
        m_lines[index - 1].ending = ending;
    m_lines.insert(m_lines.begin() + index, Line{text, ending});
}

QByteArray ProfileFile::lineEnding() const
{
    for (const Line &line : m_lines) {
        if (!line.ending.isEmpty())
            return line.ending;
    }
    return QByteArrayLiteral("\r\n");
}
