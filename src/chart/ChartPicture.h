#pragma once

#include "export/PictureFiles.h"
#include "model/NumberForms.h"
#include "model/RainGenerator.h"

#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>

class QCustomPlot;
class QWidget;

// The chart as displayed, labels included, as a 24-bit picture of its size.
RgbImage GrabChart(QWidget *chart);

// What a chart shows: the rows, the axes' maxima, which series and which
// labels show, and where the labels lie.
struct ChartScene
{
    struct Label
    {
        QString text;
        std::optional<QPoint> place; // where the user put it; none: the chart places it
        bool visible = true;
    };
    RainPoints points;
    double end = 0; // the storm's end, minutes: the time axis reaches it
    double leftMaximum = 9999;
    double rightMaximum = 9999;
    bool barsShown = true;
    bool lineShown = true;
    QList<Label> labels; // P, T, r, H, i, formula depth
};

// The chart of a freshly computed storm with both series and every label
// shown, as the window first shows it.
ChartScene StormScene(const RainPoints &points, const Storm &storm, int precision, const Separators &sep);

// Draws the scene off screen at the given size, as the window's chart would
// show it at that size.
RgbImage RenderChart(const ChartScene &scene, QSize size);

// Draws a chart that is not on screen (Qt::WA_DontShowOnScreen, buffer pixel
// ratio 1) at its own size, one picture pixel per chart pixel whatever the
// screen's scale.
RgbImage RenderOffScreen(QCustomPlot &chart);
