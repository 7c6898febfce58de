#include "ManualPdf.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

// The PDF's text as a reader's tool extracts it (pdftotext), blanks removed;
// empty when pdftotext is missing.
QString ExtractedText(const QByteArray &pdf)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return {};
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("manual.pdf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QProcess process;
    process.start(pdftotext, {file.fileName(), QStringLiteral("-")});
    process.waitForFinished(60000);
    QString text = QString::fromUtf8(process.readAllStandardOutput());
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

QSet<QChar> CharactersOf(const QString &text)
{
    QSet<QChar> characters;
    for (const QChar c : text) {
        if (!c.isSpace())
            characters.insert(c);
    }
    return characters;
}

QString ShownCharacters(const QSet<QChar> &characters)
{
    QString shown;
    for (const QChar c : characters)
        shown += c;
    return shown;
}

QString MarkdownText(const QString &markdown)
{
    QTextDocument document;
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    return document.toPlainText();
}

// Characters that the CJK fonts draw with the glyph of another code point
// (雨 and the Kangxi radical ⾬, 见 and ⻅, – and ‒, ～ and 〜) and characters a
// ligature would join (fi, ——) read back as written.
TEST(ManualPdf, SharedGlyphsAndLigaturesReadBackAsWritten)
{
    const QString markdown =
        QStringLiteral("# 降雨强度\n\n一人大小 见角长马 用户 i–t–P 0～6 参数——对每个 ~/.config\n");
    const QString text = ExtractedText(RenderManualPdf(markdown));
    if (text.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QString expected = MarkdownText(markdown) + u'1'; // the page's number at its foot
    expected.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_EQ(text.toStdString(), expected.toStdString());
}

// The manual as built: a search of the PDF finds every heading, and its text
// holds exactly the characters of the manual's text, none in their place.
TEST(ManualPdf, ManualsTextReadsAsItsSource)
{
    QFile source(QStringLiteral(PLUVION_MANUAL_SOURCE));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QString markdown = QString::fromUtf8(source.readAll());
    const QString text = ExtractedText(RenderManualPdf(markdown));
    if (text.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";

    int headings = 0;
    static const QRegularExpression heading(QStringLiteral("^#+\\s+(.*)$"),
                                            QRegularExpression::MultilineOption);
    for (const auto &match : heading.globalMatch(markdown)) {
        QString title = match.captured(1);
        title.remove(QRegularExpression(QStringLiteral("\\s")));
        EXPECT_TRUE(text.contains(title)) << title.toStdString();
        ++headings;
    }
    EXPECT_GT(headings, 20);

    const QSet<QChar> written = CharactersOf(MarkdownText(markdown));
    const QSet<QChar> extracted = CharactersOf(text);
    EXPECT_EQ(ShownCharacters(extracted - written).toStdString(), "");
    EXPECT_EQ(ShownCharacters(written - extracted).toStdString(), "");
}

} // namespace
