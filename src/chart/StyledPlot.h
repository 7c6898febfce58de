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

    // A logarithmic axis labelled at 1, 2 and 5 of every decade (see
    // DecadeStepsTicker), numbers in the shortest form.
    static void setLogarithmic(QCPAxis *axis);

    // Makes the plot a picture that is never shown: `size` pixels, one picture
    // pixel per chart pixel whatever the screen's scale.
    void prepareOffScreen(QSize size);
};

// Moves the legend under the axes, into row `row` of the plot's layout, and
// wraps its entries into as many columns as the plot's width holds (at most
// `perRow` when that is above 0), along each row, then the next. Call it once
// the entries are in the legend; calling it again wraps them anew.
void PlaceLegendBelow(QCustomPlot &plot, int row, int perRow = 0);

// Ticks for a logarithmic axis: 1, 2 and 5 times every power of ten in the
// range, the other whole multiples as sub-ticks. A range of less than two
// such ticks is labelled at every whole multiple, one of more than six
// decades at the powers of ten only, so that the labels never crowd.
class DecadeStepsTicker : public QCPAxisTicker
{
public:
    DecadeStepsTicker();

protected:
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override;
    QVector<double> createSubTickVector(int subTickCount, const QVector<double> &ticks) override;

private:
    QList<int> m_steps;
};
