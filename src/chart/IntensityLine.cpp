#include "chart/IntensityLine.h"

#include <algorithm>
#include <cmath>

void IntensityLine::getOptimizedScatterData(QVector<QCPGraphData> *scatterData,
                                            QCPGraphDataContainer::const_iterator begin,
                                            QCPGraphDataContainer::const_iterator end) const
{
    const QCPAxis *keyAxis = mKeyAxis.data();
    const QCPAxis *valueAxis = mValueAxis.data();
    const bool plainAxis = keyAxis && valueAxis && keyAxis->scaleType() == QCPAxis::stLinear &&
                           !keyAxis->rangeReversed() && mScatterSkip == 0;
    const bool dense = plainAxis && mAdaptiveSampling && begin != end &&
                       double(end - begin) >= 2 * std::floor(std::fabs(keyAxis->coordToPixel((end - 1)->key) -
                                                                       keyAxis->coordToPixel(begin->key))) +
                                                  2;
    if (!dense) {
        QCPGraph::getOptimizedScatterData(scatterData, begin, end);
        return;
    }
    scatterData->clear();
    const QCPRange shown = valueAxis->range();
    const auto isShown = [&](double value) { return value > shown.lower && value < shown.upper; };
    for (auto column = begin; column != end;) {
        // The points of one pixel column: the times are sorted.
        const double columnEnd = keyAxis->pixelToCoord(std::floor(keyAxis->coordToPixel(column->key)) + 1);
        auto columnStop = std::lower_bound(
            column, end, columnEnd, [](const QCPGraphData &point, double key) { return point.key < key; });
        if (columnStop == column)
            ++columnStop;
        auto lowest = columnStop;
        auto highest = columnStop;
        for (auto it = column; it != columnStop; ++it) {
            if (!isShown(it->value))
                continue;
            if (lowest == columnStop || it->value < lowest->value)
                lowest = it;
            if (highest == columnStop || it->value > highest->value)
                highest = it;
        }
        if (lowest != columnStop) {
            const double height =
                std::fabs(valueAxis->coordToPixel(highest->value) - valueAxis->coordToPixel(lowest->value));
            const double count = double(columnStop - column);
            // Every `every`-th point, so that about one mark falls on four pixels.
            const qint64 every =
                qint64(std::clamp(std::round(count / std::max(height / 4, 1.0)), 1.0, count));
            qint64 sinceMarked = 0;
            for (auto it = column; it != columnStop; ++it) {
                if ((sinceMarked == 0 || it == lowest || it == highest) && isShown(it->value))
                    scatterData->append(*it);
                if (++sinceMarked == every)
                    sinceMarked = 0;
            }
        }
        column = columnStop;
    }
}
