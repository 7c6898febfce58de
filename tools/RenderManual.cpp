// pluvion-render-manual MANUAL.md OUTPUT.pdf
//
// Renders the user manual, written in Markdown, to the PDF that the program's
// Help menu opens. Runs at build time, without a display.
#include "ManualPdf.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QGuiApplication>
#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "pluvion-render-manual: %s\n", message.toLocal8Bit().constData());
    return 1;
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
    try {
        const QString markdown = QString::fromUtf8(ReadFileBytes(arguments.at(1), 16 * 1024 * 1024));
        // Replaced only when complete, so a failed run never leaves a
        // half-written manual for the Help menu to open.
        WriteFileBytes(arguments.at(2), RenderManualPdf(markdown));
    } catch (const PluvionError &error) {
        return fail(error.description());
    }
    return 0;
}
