#include "io/TextLines.h"

namespace {

template <typename IsTrimmed> QStringView TrimEnds(QStringView text, IsTrimmed isTrimmed)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isTrimmed(text[first]))
        ++first;
    while (last > first && isTrimmed(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

} // namespace

QStringList SplitLines(const QString &text)
{
    QStringList lines;
    const qsizetype length = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < length) {
        const QChar ch = text.at(i);
        if (ch != u'\r' && ch != u'\n') {
            ++i;
            continue;
        }
        lines.append(text.sliced(start, i - start));
        if (ch == u'\r' && i + 1 < length && text.at(i + 1) == u'\n')
            ++i;
        start = ++i;
    }
    if (start < length)
        lines.append(text.sliced(start));
    return lines;
}

QStringView TrimControls(QStringView text)
{
    return TrimEnds(text, [](QChar c) { return c.unicode() <= u' '; });
}

QStringView TrimBlanks(QStringView text)
{
    return TrimEnds(text, [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\n';
    });
}
