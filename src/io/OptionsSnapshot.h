#pragma once

#include "io/ViewOptions.h"

#include <QByteArray>
#include <QString>

// The display options as they stood when the options dialog opened: the
// record, and the options file byte for byte, or the fact that there was no
// file. The dialog's live preview switches the chart's series, and every
// switch saves the options, so the file changes while the dialog is open;
// a cancelled dialog puts both back from here.
class OptionsSnapshot
{
public:
    // Takes the record and the file at path. A file that exists but cannot
    // be read is noted as unknown and is never touched by restore().
    OptionsSnapshot(const ViewOptions &options, const QString &path);

    // Puts the record back, then the file: its old bytes replace it in one
    // step, or it is removed when there was none. A file that already holds
    // the old bytes is left alone. Throws PluvionError "Unable to write to
    // <path>：<reason>" when the file cannot be put back; the record is back then too.
    void restore(ViewOptions &options) const;

    const QString &path() const { return m_path; }

private:
    enum class FileState
    {
        Missing,
        Read,
        Unreadable,
    };

    ViewOptions m_options;
    QString m_path;
    FileState m_state = FileState::Missing;
    QByteArray m_bytes;
};

// The options command once its dialog has closed, before the refresh.
// Accepted ("确定"): SaveOptions, then LoadOptions, both with the snapshot's
// path; a failed save throws PluvionError "Unable to write to <path>" and
// nothing is reloaded. Any other close ("取消", the close box): the snapshot
// is put back, record and file, so both are exactly as before the dialog
// opened (taking the record from the snapshot rather than reloading it also
// holds when the file cannot be read).
void KeepOrRevertOptions(bool accepted, ViewOptions &options, const OptionsSnapshot &opened);
