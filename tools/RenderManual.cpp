// pluvion-render-manual MANUAL.md OUTPUT.pdf
//
// Renders the user manual, written in Markdown, to the PDF that the program's
// Help menu opens. Runs at build time, without a display.
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "pluvion-render-manual: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// A CJK face first, so that the Chinese text has glyphs whatever the system's
// default font is.
QFont bodyFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("微软雅黑"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun")});
    font.setPointSizeF(10.5);
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

// Qt tells on every start that a build machine has no runtime folder for the
// session; the tool needs none, so that note would only clutter the build log.
void dropRuntimeDirNote(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char **argv)
{
    // The tool never shows a window; it must also run where there is no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropRuntimeDirNote);
    QGuiApplication app(argc, argv);

    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return fail(QStringLiteral("usage: pluvion-render-manual MANUAL.md OUTPUT.pdf"));
    const QString sourcePath = arguments.at(1);
    const QString pdfPath = arguments.at(2);

    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(sourcePath, source.errorString()));
    const QString markdown = QString::fromUtf8(source.readAll());

    QTextDocument document;
    document.setDefaultFont(bodyFont());
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    useCjkFixedFont(document);
    tidyTables(document);
    if (document.isEmpty())
        return fail(QStringLiteral("%1 is empty").arg(sourcePath));

    // Written beside the target and moved into place only when complete, so a
    // failed run never leaves a half-written manual for the Help menu to open.
    const QString partialPath = pdfPath + QStringLiteral(".part");
    {
        QPdfWriter writer(partialPath);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("澜岑云图 软件说明书"));
        writer.setCreator(QStringLiteral("Pluvion"));
        document.print(&writer);
    }
    if (QFileInfo(partialPath).size() == 0) {
        QFile::remove(partialPath);
        return fail(QStringLiteral("nothing was written to %1").arg(partialPath));
    }
    QFile::remove(pdfPath);
    if (!QFile::rename(partialPath, pdfPath)) {
        QFile::remove(partialPath);
        return fail(QStringLiteral("cannot write %1").arg(pdfPath));
    }
    return 0;
}
