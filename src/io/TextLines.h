#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Lines of text and the blanks around them, as the program's text files and
// the update answer hold them.

// The lines of `text`: lines end at CR LF, at a lone CR or at a lone LF; a
// final line without an ending counts, an ending at the very end adds no
// empty line.
QStringList SplitLines(const QString &text);

// `text` without the characters from U+0000 to the space at either end:
// blanks and control characters.
QStringView TrimControls(QStringView text);

// `text` without the blanks an INI line may carry around a name or value at
// either end: space, tab, vertical tab, form feed, CR and LF.
QStringView TrimBlanks(QStringView text);
