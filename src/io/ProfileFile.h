#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// An INI file read and changed the way the Windows profile functions do it.
//
// A line whose first non-blank character is '[' and which holds a ']' starts a
// section; its name lies between the '[' and the last ']'. A line holding '='
// is a key line: the key is the text before the first '=', the value the text
// after it. A line whose first non-blank character is ';' is a comment. Section
// and key names match without regard to letter case; names and values are
// trimmed of blanks around them, and a value enclosed in a pair of matching
// single or double quotes is read without them. Only the first section of a
// name and the first key of a name within it count.
//
// Changing a value touches only the line of that key: every other line keeps
// its bytes and its line end. The text is taken byte for byte as Latin-1, so
// bytes of any other encoding survive a rewrite; a UTF-8 byte-order mark at
// the start is set aside and written back in front.
class ProfileFile
{
public:
    ProfileFile() = default;
    explicit ProfileFile(const QByteArray &bytes);

    // Reads the file at path. A missing file reads as an empty profile.
    // Raises PluvionError "Cannot open file …", leaving the profile empty, when
    // the file exists but cannot be read.
    void loadFile(const QString &path);

    // The value of key in section; *found (when given) tells whether the key
    // is there at all. A missing key gives an empty text.
    QString value(const QString &section, const QString &key, bool *found = nullptr) const;

    // Sets key in section to value. An existing key line is rewritten in place
    // as "key=value" (with the key spelt as the file spells it); a key the
    // section lacks goes after the section's last key line (right after its
    // header when it has none); a missing section is added at the end with
    // its header and the key.
    void setValue(const QString &section, const QString &key, const QString &value);

    // The whole file as it now reads.
    QByteArray toBytes() const;

    // Replaces the file at path with toBytes() in one step: either the whole
    // new content is in place or the old file is left as it was. Raises
    // PluvionError "Cannot create file …" when the file could not be written.
    void saveFile(const QString &path) const;

private:
    struct Line
    {
        QString text;      // the line's bytes as Latin-1, without its line end
        QByteArray ending; // "\r\n", "\n", "\r", or empty for a last line without one
    };

    // Index of the header line of the first section named section, or -1.
    int findSection(const QString &section) const;
    // One past the last line of the section whose header is at headerIndex.
    int sectionEnd(int headerIndex) const;
    // Index of the first key line named key within [first, end), or -1.
    int findKey(const QString &key, int first, int end) const;
    // Inserts text as a new line before index, ending it with the file's line end.
    void insertLine(int index, const QString &text);
    // The line end new lines get: the file's first line end, CR LF when it has none.
    QByteArray lineEnding() const;

    std::vector<Line> m_lines;
    QByteArray m_byteOrderMark; // EF BB BF when the file began with it
};
