#include "chart/PaletteBars.h"

#include "chart/StyledPlot.h"

#include <algorithm>
#include <cmath>

namespace {

// The bars' colour where the house palette does not give one.
const QColor OverallColour(0, 128, 255);

} // namespace

PaletteBars::PaletteBars(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPBars(keyAxis, valueAxis)
{
    setPen(QPen(OverallColour.darker(150)));
    setBrush(OverallColour);
}

void PaletteBars::drawBar(QCPPainter *painter, const QRectF &rect, int index) const
{
    const QList<QColor> &colours = StyledPlot::seriesColours();
    const QColor colour = colours[index % colours.size()];
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawRect(rect);
    if (rect.width() >= 4 && rect.height() >= 4) {
        // Embossed: light upper and left edges, dark lower and right edges.
        painter->setPen(QPen(colour.lighter(150), 1));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.topLeft(), rect.bottomLeft());
        painter->setPen(QPen(colour.darker(160), 1));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomRight());
    }
}

void PaletteBars::setRows(std::shared_ptr<const RainPoints> rows)
{
    m_rows = rows ? std::move(rows) : std::make_shared<const RainPoints>();
}

int PaletteBars::firstBarFrom(double key) const
{
    const auto bar = std::lower_bound(m_rows->begin(), m_rows->end(), key,
                                      [](const RainPoint &row, double time) { return row.Time < time; });
    return int(bar - m_rows->begin());
}

void PaletteBars::drawHoveredFrame(QCPPainter *painter) const
{
    if (!visible() || m_hovered < 0 || m_hovered >= barCount())
        return;
    applyDefaultAntialiasingHint(painter);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::black, 2));
    painter->drawRect(shownRect(m_hovered).adjusted(-1, -1, 1, 1));
}

QRectF PaletteBars::shownRect(int index) const
{
    const RainPoint &row = (*m_rows)[size_t(index)];
    QRectF rect = getBarRect(row.Time, row.Overall);
    // A bar narrower than a pixel fills its pixel column, so that bars
    // denser than the pixels show as their envelope instead of vanishing.
    if (rect.width() < 1) {
        rect.setLeft(std::floor(rect.center().x()));
        rect.setWidth(1);
    }
    return rect;
}

void PaletteBars::draw(QCPPainter *painter)
{
    if (!mKeyAxis || !mValueAxis || m_rows->empty())
        return;
    // The bars within the key axis' range, and one more on each side, which
    // may reach into it.
    const QCPRange keys = mKeyAxis->range();
    const int begin = std::max(firstBarFrom(keys.lower) - 1, 0);
    const int end = std::min(firstBarFrom(std::nextafter(keys.upper, HUGE_VAL)) + 1, barCount());
    if (begin >= end)
        return;
    applyDefaultAntialiasingHint(painter);

    // Each pixel column draws only its longest bar: a storm of millions of
    // minutes costs one rectangle per column, and only the key's pixel per bar.
    const QCPAxis *keyAxis = mKeyAxis.data();
    const RainPoints &rows = *m_rows;
    int pendingColumn = std::numeric_limits<int>::min();
    int pendingIndex = -1;
    double pendingLength = -1;
    for (int index = begin; index < end; ++index) {
        const RainPoint &row = rows[size_t(index)];
        const int column = int(std::floor(keyAxis->coordToPixel(row.Time)));
        const double length = std::fabs(row.Overall);
        if (column != pendingColumn) {
            if (pendingIndex >= 0)
                drawBar(painter, shownRect(pendingIndex), pendingIndex);
            pendingColumn = column;
            pendingIndex = -1;
            pendingLength = -1;
        }
        if (length > pendingLength) {
            pendingIndex = index;
            pendingLength = length;
        }
    }
    if (pendingIndex >= 0)
        drawBar(painter, shownRect(pendingIndex), pendingIndex);
}
