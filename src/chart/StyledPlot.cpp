#include "chart/StyledPlot.h"

#include <algorithm>
#include <cmath>

namespace {

const QColor GridColour(255, 128, 128);

constexpr int MostLabelledDecades = 6;

// Every `multiple` × 10^k (k whole) from the decade of `low` to that of
// `high`, ascending.
QVector<double> decadeMultiples(double low, double high, const QList<int> &multiples)
{
    QVector<double> values;
    if (!(low > 0) || !(high >= low) || !std::isfinite(high))
        return values;
    const int first = int(std::floor(std::log10(low)));
    const int last = int(std::floor(std::log10(high)));
    for (int k = first; k <= last; ++k) {
        const double decade = std::pow(10.0, k);
        for (const int multiple : multiples)
            values.append(multiple * decade);
    }
    return values;
}

int countWithin(const QVector<double> &values, const QCPRange &range)
{
    int count = 0;
    for (const double value : values)
        count += range.contains(value) ? 1 : 0;
    return count;
}

} // namespace

StyledPlot::StyledPlot(QWidget *parent) : QCustomPlot(parent)
{
    setBackground(Qt::white);
    setInteractions({}); // no zooming, no panning
    legend->setVisible(false);
    const QPen grid(GridColour, 0, Qt::DotLine);
    xAxis->grid()->setPen(grid);
    yAxis->grid()->setPen(grid);
}

const QList<QColor> &StyledPlot::seriesColours()
{
    static const QList<QColor> colours = {
        QColor(0, 128, 255),   QColor(255, 64, 64), QColor(46, 184, 46),   QColor(255, 191, 0),
        QColor(153, 102, 255), QColor(0, 191, 191), QColor(255, 128, 192), QColor(128, 128, 0),
        QColor(0, 64, 160),    QColor(192, 96, 0),  QColor(96, 160, 96),   QColor(128, 128, 128),
    };
    return colours;
}

void StyledPlot::styleAxis(QCPAxis *axis, const QString &title, int decimals)
{
    axis->setLabel(title);
    axis->setNumberFormat(QStringLiteral("f"));
    axis->setNumberPrecision(decimals);
}

void StyledPlot::prepareOffScreen(QSize size)
{
    setAttribute(Qt::WA_DontShowOnScreen);
    // A scaled screen (a high-density display, QT_SCALE_FACTOR) must not
    // multiply the size asked for.
    setBufferDevicePixelRatio(1);
    resize(size);
}

void StyledPlot::setLogarithmic(QCPAxis *axis)
{
    axis->setScaleType(QCPAxis::stLogarithmic);
    axis->setTicker(QSharedPointer<DecadeStepsTicker>(new DecadeStepsTicker));
    axis->setNumberFormat(QStringLiteral("g"));
    axis->setNumberPrecision(6);
}

void PlaceLegendBelow(QCustomPlot &plot, int row, int perRow)
{
    QCPLegend *legend = plot.legend;
    if (legend->layout() != plot.plotLayout()) {
        plot.plotLayout()->addElement(row, 0, legend);
        plot.plotLayout()->setRowStretchFactor(row, 0.001);
        legend->setMargins(QMargins(7, 4, 7, 4));
    }
    if (legend->itemCount() == 0)
        return;
    int itemWidth = 1;
    for (int i = 0; i < legend->itemCount(); ++i) {
        // A legend wrapped before and emptied since keeps empty cells.
        if (const QCPAbstractLegendItem *item = legend->item(i))
            itemWidth = std::max(itemWidth, item->minimumOuterSizeHint().width() + legend->columnSpacing());
    }
    const int fit = std::max(1, (plot.width() - 20) / itemWidth);
    legend->setWrap(perRow > 0 && perRow <= fit ? perRow : fit);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true); // along each row, then the next
}

DecadeStepsTicker::DecadeStepsTicker() : m_steps{1, 2, 5}
{}

QVector<double> DecadeStepsTicker::createTickVector(double, const QCPRange &range)
{
    // One decade beyond either end, so that the trimming keeps a tick outside.
    const double low = range.lower / 10;
    const double high = range.upper * 10;
    const double decades = std::log10(range.upper / range.lower);
    if (decades > MostLabelledDecades)
        m_steps = {1};
    else if (countWithin(decadeMultiples(low, high, {1, 2, 5}), range) < 2)
        m_steps = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    else
        m_steps = {1, 2, 5};
    return decadeMultiples(low, high, m_steps);
}

QVector<double> DecadeStepsTicker::createSubTickVector(int, const QVector<double> &ticks)
{
    if (ticks.isEmpty())
        return {};
    QList<int> between;
    for (int multiple = 1; multiple <= 9; ++multiple) {
        if (!m_steps.contains(multiple))
            between.append(multiple);
    }
    return decadeMultiples(ticks.first(), ticks.last(), between);
}
