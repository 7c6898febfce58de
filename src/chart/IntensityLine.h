#pragma once

#include <qcustomplot.h>

// A line whose point marks, where the points are denser than the pixels,
// are thinned per pixel column to the column's first, lowest and highest
// points and about one more every four pixels of the column's height: a
// long storm draws a few thousand marks instead of one per minute.
class IntensityLine : public QCPGraph
{
public:
    IntensityLine(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    void getOptimizedScatterData(QVector<QCPGraphData> *scatterData,
                                 QCPGraphDataContainer::const_iterator begin,
                                 QCPGraphDataContainer::const_iterator end) const override;
};
