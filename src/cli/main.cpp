// pluvion-cli: the storm generator without a window, for scripts and batch work.
#include "CliDrawing.h"
#include "CliOutput.h"
#include "Commands.h"
#include "model/PluvionError.h"
#include "program/WriteSignals.h"

#include <QCoreApplication>
#include <malloc.h>
#include <memory>
#include <new>
#include <pthread.h>
#include <system_error>
#include <thread>

namespace {

// Qt draws and converts large pictures on two worker threads and waits for
// them: a worker that cannot start (no memory left for its stack or its
// allocator, under a memory limit) would leave the drawing waiting for ever.
// The workers get small stacks and share the allocator's one arena, and when
// two threads cannot run at once the run ends as out of memory instead of
// hanging.
void prepareDrawingThreads()
{
    mallopt(M_ARENA_MAX, 1);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) == 0) {
        pthread_attr_setstacksize(&attributes, 512 * 1024);
        pthread_setattr_default_np(&attributes);
        pthread_attr_destroy(&attributes);
    }
    bool started = true;
    try {
        std::thread first([] {});
        try {
            std::thread second([] {});
            second.join();
        } catch (const std::system_error &) {
            started = false;
        }
        first.join();
    } catch (const std::system_error &) {
        started = false;
    }
    if (!started)
        throw std::bad_alloc();
}

// Qt's own warnings (a missing runtime folder, a font it looked for) are no
// concern of the tool's user and would mix with its messages.
void dropQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        const QByteArray bytes = (message + u'\n').toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Before any file is opened: a closed standard output keeps its descriptor.
    StandardStreams output;
    IgnoreWriteSignals();
    qInstallMessageHandler(dropQtMessages);
    ExitStatus status = ExitStatus::Success;
    try {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        // Only a run that draws a picture loads the drawing, the GUI
        // platform and its fonts; it draws off screen, nothing is shown.
        std::unique_ptr<QCoreApplication> application;
        if (CommandLineDrawsPictures(arguments)) {
            prepareDrawingThreads();
            try {
                application = Drawing().startApplication(argc, argv);
            } catch (const PluvionError &error) {
                output.err(QStringLiteral("出错：") + error.description() + u'\n');
                output.finish();
                return int(ExitStatus::ComputationFailed);
            }
        } else {
            application = std::make_unique<QCoreApplication>(argc, argv);
        }
        status = RunCommandLine(arguments, Separators::fromSystem(), output);
    } catch (const std::bad_alloc &) {
        output.err(QStringLiteral("出错：") + OutOfMemoryMessage() + u'\n');
        status = ExitStatus::ComputationFailed;
    }
    // The files are written by now, whatever became of standard output.
    if (!output.finish() && status == ExitStatus::Success)
        status = ExitStatus::BadInput;
    return int(status);
}
