#pragma once

#include <QString>
#include <functional>

class QWidget;

// A long command run on a worker thread while the window stays answering: a
// window-modal progress box (shown once the work takes a moment) follows the
// share done, and its 取消 stops the work at its next report.

// What the work reports: the share done (0 to 1); it answers whether to go on.
using ProgressReport = std::function<bool(double fraction)>;

// Runs `work` and waits for it. Returns false when the user cancelled (the
// work stopped with a PluvionError of kind Cancelled), true when it ran to
// its end; a
// PluvionError of the work is raised again here, on the window's thread, and
// running out of memory raises the program's out-of-memory error, so that
// the caller's command guard shows it.
bool RunWithProgress(QWidget *parent, const QString &caption, const QString &text,
                     const std::function<void(const ProgressReport &report)> &work,
                     const QString &objectName = QString());
