#include "ManualPdf.h"

#include "model/PluvionError.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRawFont>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

namespace {

// A CJK face first, so that the Chinese text has glyphs whatever the system's
// default font is. The text is not shaped (the manual's scripts need no
// shaping): a ligature would draw two characters as one glyph that the PDF's
// text layer names by one character, fi as ﬁ and —— as ⸺.
QFont bodyFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("微软雅黑"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun")});
    font.setPointSizeF(10.5);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Code blocks and inline code come in the system's fixed font, which has no
// Chinese; give them a monospaced CJK face (the storm file example holds
// Chinese keys).
void useCjkFixedFont(QTextDocument &document)
{
    QTextCharFormat fixed;
    fixed.setFontFamilies(QStringList{QStringLiteral("Noto Sans Mono CJK SC"),
                                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const bool codeBlock = block.blockFormat().hasProperty(QTextFormat::BlockCodeFence) ||
                               block.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || !(codeBlock || fragment.charFormat().fontFixedPitch()))
                continue;
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(fixed);
        }
    }
}

// Tables as a reader of a printed manual expects them: single rules, some
// room inside the cells and a little space around the table.
void tidyTables(QTextDocument &document)
{
    const QList<QTextFrame *> frames = document.rootFrame()->childFrames();
    for (QTextFrame *frame : frames) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorderCollapse(true);
        format.setBorder(1);
        format.setBorderBrush(QColor(0x80, 0x80, 0x80));
        format.setCellSpacing(0);
        format.setCellPadding(4);
        format.setTopMargin(4);
        format.setBottomMargin(8);
        table->setFormat(format);
    }
}

// The text layer of Qt's PDF writer names each glyph by the lowest code point
// of the basic plane that the font maps to that glyph. The CJK fonts draw a
// Kangxi radical (U+2F00…) or a radical of the supplement (U+2E80…) with the
// very glyph of its ideograph, and the radicals come first: the page shows
// 降雨 while the text layer reads 降⾬, and a search for 降雨 finds nothing.
// The text layer is mended with what the manual holds: a code point the
// writer names a glyph by that the manual does not hold becomes the manual's
// character that the same font draws with that glyph.
using TextLayerMends = QHash<char16_t, char16_t>;

// The faces the document's text is drawn in, the fallback faces included:
// one font of each, since a face maps its characters alike at every size.
QList<QRawFont> facesDrawn(QTextDocument &document)
{
    (void)document.size(); // lays the whole document out
    QHash<QString, QRawFont> faces;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            for (const QGlyphRun &run : it.fragment().glyphRuns()) {
                const QRawFont font = run.rawFont();
                faces.insert(font.familyName() + u'\n' + font.styleName(), font);
            }
        }
    }
    return faces.values();
}

// Each glyph of `font` with the code point the writer names it by: the lowest
// of the basic plane that the font maps to it.
QHash<quint32, char16_t> writersNames(const QRawFont &font)
{
    QList<QChar> characters;
    for (char32_t code = 1; code <= 0xFFFF; ++code) {
        if (!QChar::isSurrogate(code))
            characters.append(QChar(char16_t(code)));
    }
    QList<quint32> glyphs(characters.size());
    int count = int(glyphs.size());
    font.glyphIndexesForChars(characters.constData(), int(characters.size()), glyphs.data(), &count);
    QHash<quint32, char16_t> names;
    for (int i = 0; i < count; ++i) {
        if (glyphs[i] != 0 && !names.contains(glyphs[i]))
            names.insert(glyphs[i], characters[i].unicode());
    }
    return names;
}

TextLayerMends textLayerMends(QTextDocument &document)
{
    const QString text = document.toPlainText();
    QSet<char16_t> held;
    for (const QChar c : text)
        held.insert(c.unicode());
    TextLayerMends mends;
    for (const QRawFont &font : facesDrawn(document)) {
        const QHash<quint32, char16_t> names = writersNames(font);
        for (const char16_t c : std::as_const(held)) {
            const QChar character(c);
            quint32 glyph = 0;
            int count = 1;
            if (character.isSurrogate() || !font.glyphIndexesForChars(&character, 1, &glyph, &count) ||
                glyph == 0)
                continue;
            const char16_t name = names.value(glyph, c);
            if (name == c || held.contains(name))
                continue;
            if (mends.value(name, c) != c)
                throw PluvionError(
                    QStringLiteral("the manual's text layer cannot tell U+%1 as both %2 and %3")
                        .arg(uint(name), 4, 16, QLatin1Char('0'))
                        .arg(QChar(mends.value(name)))
                        .arg(character));
            mends.insert(name, c);
        }
    }
    return mends;
}

// Qt writes each font's text layer as an uncompressed CMap whose bfrange
// lines read "<first> <last> <code>" (glyphs of consecutive code points) or
// "<first> <last> [<code> <code> …]" (a code per glyph), every code in four
// hex digits. A mended code takes its old place byte for byte, so every
// offset the file records still holds.
void mendTextLayer(QByteArray &pdf, const TextLayerMends &mends)
{
    const QByteArrayView begin("beginbfrange\n");
    const QByteArrayView end("endbfrange");
    const auto codeAt = [&pdf](qsizetype at) { return char16_t(pdf.mid(at + 1, 4).toUInt(nullptr, 16)); };
    // A PDF writer that wrote its maps otherwise (compressed, say) would leave
    // the text layer as it was: that is a failure, not a manual.
    if (!pdf.contains(begin))
        throw PluvionError(QStringLiteral("the PDF writer wrote no text layer this renderer can read"));
    qsizetype at = 0;
    while ((at = pdf.indexOf(begin, at)) >= 0) {
        at += begin.size();
        const qsizetype stop = pdf.indexOf(end, at);
        if (stop < 0)
            throw PluvionError(QStringLiteral("the PDF writer left a text layer unfinished"));
        while (at < stop) {
            const qsizetype newline = pdf.indexOf('\n', at);
            const qsizetype lineEnd = newline >= 0 && newline < stop ? newline : stop;
            QList<qsizetype> codes; // where each "<xxxx>" of the line starts
            for (qsizetype c = pdf.indexOf('<', at); c >= 0 && c < lineEnd; c = pdf.indexOf('<', c + 1))
                codes.append(c);
            if (codes.size() >= 3) {
                const qsizetype bracket = pdf.indexOf('[', at);
                const bool run = codes.size() == 3 && !(bracket >= 0 && bracket < lineEnd);
                const int glyphs = codeAt(codes[1]) - codeAt(codes[0]) + 1;
                if (run && glyphs > 1) {
                    // A run cannot be mended in place: it only holds characters
                    // of consecutive code points, which radicals never are in text.
                    const char16_t first = codeAt(codes[2]);
                    for (int k = 0; k < glyphs; ++k) {
                        if (mends.contains(char16_t(first + k)))
                            throw PluvionError(
                                QStringLiteral("the PDF writer put U+%1 in a run of the text layer")
                                    .arg(uint(first + k), 4, 16, QLatin1Char('0')));
                    }
                } else {
                    for (qsizetype i = 2; i < codes.size(); ++i) {
                        const auto mend = mends.constFind(codeAt(codes[i]));
                        if (mend != mends.constEnd())
                            pdf.replace(codes[i] + 1, 4,
                                        QByteArray::number(uint(*mend), 16).rightJustified(4, '0').toUpper());
                    }
                }
            }
            at = lineEnd + 1;
        }
    }
}

} // namespace

QByteArray RenderManualPdf(const QString &markdown)
{
    QTextDocument document;
    document.setDefaultFont(bodyFont());
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    useCjkFixedFont(document);
    tidyTables(document);
    if (document.isEmpty())
        throw PluvionError(QStringLiteral("the manual is empty"));

    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("澜岑云图 软件说明书"));
        writer.setCreator(QStringLiteral("Pluvion"));
        document.print(&writer);
    }
    if (pdf.isEmpty())
        throw PluvionError(QStringLiteral("the PDF writer wrote nothing"));
    mendTextLayer(pdf, textLayerMends(document));
    return pdf;
}
