#pragma once

#include "chart/ChartPicture.h"
#include "export/StormBatch.h"
#include "fit/Bootstrap.h"
#include "fit/FitCase.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <memory>

class QCoreApplication;

// What pluvion-cli draws: charts off screen, for pictures and reports. The
// drawing lives in a module of its own (pluvion-drawing.so, made of the
// chart library) that only a run that draws loads, so that every other run
// starts without the GUI libraries, their fonts and their platform.
struct CliDrawing
{
    // The off-screen GUI application a run that draws needs; made before any other.
    std::unique_ptr<QCoreApplication> (*startApplication)(int &argc, char **argv);
    ChartScene (*stormScene)(const RainPoints &points, const Storm &storm, int precision,
                             const Separators &sep);
    RgbImage (*renderChart)(const ChartScene &scene, QSize size);
    QByteArray (*fitChartPng)(const FitOutcome &outcome, QSize size, bool logAxes,
                              const BootstrapResult *bands);
    RgbImage (*batchCompareChart)(const QList<BatchStorm> &storms, QSize size, const Separators &sep);
    RgbImage (*batchIdfChart)(const Storm &formula, const QList<double> &periods, double longestDuration,
                              bool logAxes, QSize size, const Separators &sep);
};

// The name the module exports its table under.
inline constexpr char CliDrawingSymbol[] = "pluvion_cli_drawing";

// The drawing: the table given to UseDrawing, or else the module's, loaded
// on first use from beside the program or from ../lib/pluvion/ (as
// installed). Raises PluvionError when the module cannot be loaded.
const CliDrawing &Drawing();

// Draws with this table instead of loading the module (the in-process tests
// link the drawing code itself).
void UseDrawing(const CliDrawing &drawing);

// The drawing code's own table, in the module and in the library tests link.
const CliDrawing &BuiltInDrawing();
