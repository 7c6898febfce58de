#pragma once

#include "model/ExpressionObject.h"
#include "model/NumberForms.h"

#include <QString>
#include <QStringList>
#include <optional>

// What one run of pluvion-cli is asked to do.
struct CliRequest
{
    TExpressionObject storm = StartUpStorm();
    int precision = 4;
    bool calcByShow = false;
    int timeFormat = 0;
    bool raw = false;
    QString saveStormPath;
    // Exports, as the window's commands write them.
    QString csvPath;
    QString dataDocxPath;
    QString reportPath;
    QString picturePath;
    QString swmmPath; // the storm as a SWMM input-file fragment
    int pictureWidth = 579; // the chart's size in the window's first layout
    int pictureHeight = 480;
    bool help = false;

    bool drawsChart() const { return !reportPath.isEmpty() || !picturePath.isEmpty(); }
};

// Reads the arguments (without the program name) into a request: the storm
// file first when --open names one, then every other parameter over it.
// Numbers on the command line always use "." as the decimal separator.
// Raises PluvionError with the message to show for a bad argument or a file
// that cannot be read or is not a storm file.
CliRequest ParseCliArguments(const QStringList &arguments, const Separators &sep);

QString CliUsage();
