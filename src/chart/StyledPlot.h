#pragma once

#include <QColor>
#include <QList>
#include <QSize>
#include <qcustomplot.h>

// A plot in the house style: white, still (no zooming or panning), no legend
// until a chart asks for one, dotted rose grid lines on the bottom and left
// axes. Every chart of the program, on screen or in a file, starts here.
class StyledPlot : public QCustomPlot
{
    Q_OBJECT

public:
    explicit StyledPlot(QWidget *parent = nullptr);

    // Twelve clear colours that stay apart on white and in print, for bars
    // and lines taken in turn.
    static const QList<QColor> &seriesColours();

    // An axis with its title and numbers with a fixed count of decimals.
    static void styleAxis(QCPAxis *axis, const QString &title, int decimals);

    // Makes the plot a picture that is never shown: `size` pixels, one picture
    // pixel per chart pixel whatever the screen's scale.
    void prepareOffScreen(QSize size);
};
