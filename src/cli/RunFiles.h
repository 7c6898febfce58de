#pragma once

#include "CliOptions.h"

#include <QList>
#include <QString>

// The files one run of pluvion-cli reads and writes, each named by the option
// that gives it. Checked together before anything is written: no two outputs
// may name one file, no output may name an input (./x.csv, x.csv, a symbolic
// link and a hard link to it all name one file), and every output must be a
// file that can be put where it is named.
class RunFiles
{
public:
    // `replacedBy` names the one output that may replace the input: a storm
    // file opened and saved again under its own name.
    void input(const CliOption &option, const QString &path, const CliOption *replacedBy = nullptr);
    // "-" (standard output) and empty paths are no files and are passed over.
    void output(const CliOption &option, const QString &path);

    // Raises PluvionError naming both options and the file for a collision,
    // or the target's own refusal (CheckTarget).
    void check() const;

private:
    struct File
    {
        QString option;
        QString path;
        QString replacedBy;
    };
    QList<File> m_inputs;
    QList<File> m_outputs;
};
