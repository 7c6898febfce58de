#include "ui/ProgressRun.h"

#include "model/PluvionError.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <optional>

bool RunWithProgress(QWidget *parent, const QString &caption, const QString &text,
                     const std::function<void(const ProgressReport &report)> &work, const QString &objectName)
{
    std::atomic<int> permille{0};
    std::atomic<bool> cancelled{false};
    std::optional<PluvionError> failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work([&](double fraction) {
                permille = int(fraction * 1000);
                return !cancelled.load();
            });
        } catch (const PluvionError &error) {
            failure = error;
        } catch (const std::bad_alloc &) {
            failure = PluvionError(OutOfMemoryMessage(), PluvionErrorKind::OutOfMemory);
        } catch (const std::exception &error) {
            // Nothing may leave a worker thread: the window says what happened.
            failure = PluvionError(QString::fromLocal8Bit(error.what()));
        }
    }));
    QProgressDialog progress(text, QStringLiteral("取消"), 0, 1000, parent);
    progress.setObjectName(objectName);
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoReset(false);
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&cancelled] { cancelled = true; });
    // The window's thread keeps the box up to date and passes on a cancel.
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, &progress, [&] {
        if (progress.wasCanceled())
            cancelled = true;
        else
            progress.setValue(permille.load());
    });
    QEventLoop waiting;
    QObject::connect(worker.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    worker->start();
    ticks.start(50);
    waiting.exec();
    worker->wait();
    progress.reset();
    if (failure) {
        if (failure->kind() == PluvionErrorKind::Cancelled)
            return false;
        throw *failure;
    }
    return true; // the work ran to its end, whatever was clicked meanwhile
}
